#include "storetest.h"

#include "store/dictionary.h"

#include <QtTest>

namespace {

constexpr uint32_t code(const char (&c)[5])
{
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 |
           uint32_t(uint8_t(c[2])) << 8 | uint32_t(uint8_t(c[3]));
}

} // namespace

class FieldIndexTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Writes `index` beside a dictionary path and loads it into `d`.
    bool loadIndexText(dictionary& d, const QByteArray& index)
    {
        const QString path = dir.filePath(QStringLiteral("d.txt"));
        if (!writeFile(path + QStringLiteral(".index"), index))
            return false;
        StdoutCapture out;
        return d.loadIndex(path.toUtf8().constData()).ok();
    }

private slots:
    void theFixtureIndexGivesFieldsInFileOrder()
    {
        dictionary d;
        StdoutCapture out;
        QVERIFY(d.loadIndex(fixturePath("small.txt").constData()));
        out.finish();
        QCOMPARE(d.fields.size(), size_t(7)); // the comment and the empty line are skipped
        const dictFields* f = d.fields[0];
        QCOMPARE(f->name, QByteArray("kMandarin"));
        QCOMPARE(f->code, code("PYIN"));
        QCOMPARE(f->kind, kRomanization);
        QCOMPARE(f->title, QStringLiteral("Mandarin"));
        QCOMPARE(d.findField(code("RADS")), 2);
    }

    // A byte-order mark is not part of the first field's name, and the last
    // line is read even without a newline.
    void columnEdgeCases()
    {
        dictionary d;
        QVERIFY(loadIndexText(d, "\xEF\xBB\xBFkA\tAAAA\tkMetaText\tabc\tends in CR\r\n"
                                 "kB\tBBBB\tkMetaText\tTwenty-five bytes of text\tB\n"
                                 "kE\tEEEE\tkMetaText\tT\tdescription\textra column\n"
                                 "kG\tGGGG\tkMetaText\tfour columns: skipped\n"
                                 "\tHHHH\tkMetaText\tH\tno name: skipped\n"
                                 "kA\tPYI2\tkRomanization\tA\tthe first of a name wins\n"
                                 "kF\tFFFF\tkmetanum\tF\tan unknown kind still makes a field"));
        QCOMPARE(d.fields.size(), size_t(5));
        QCOMPARE(d.fields[0]->description, QStringLiteral("ends in CR\r"));
        QCOMPARE(d.fields[0]->width, 10u);
        QCOMPARE(d.fields[1]->width, 25u);
        QCOMPARE(d.fields[2]->description, QStringLiteral("description"));
        QCOMPARE(d.fields[4]->kind, -1);
        QCOMPARE(d.findField("kA"), 0);
    }
};

QTEST_GUILESS_MAIN(FieldIndexTest)
#include "tst_fieldindex.moc"
