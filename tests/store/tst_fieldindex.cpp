#include "storetest.h"

#include "store/dictionary.h"

#include <QtTest>

namespace {

constexpr uint32_t code(const char (&c)[5])
{
    return uint32_t(uint8_t(c[0])) << 24 | uint32_t(uint8_t(c[1])) << 16 | uint32_t(uint8_t(c[2])) << 8
        | uint32_t(uint8_t(c[3]));
}

} // namespace

class FieldIndexTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Writes `index` beside a dictionary path and loads it into `d`.
    bool loadIndexText(dictionary& d, const QByteArray& index, QByteArray* output = nullptr)
    {
        const QString path = dir.filePath(QStringLiteral("d.txt"));
        if (!writeFile(path + QStringLiteral(".index"), index))
            return false;
        StdoutCapture out;
        const bool opened = d.loadIndex(path.toUtf8().constData());
        if (output != nullptr)
            *output = out.finish();
        return opened;
    }

private slots:
    void theFixtureIndexGivesFieldsInFileOrder()
    {
        dictionary d;
        StdoutCapture out;
        QVERIFY(d.loadIndex(fixturePath("small.txt").constData()));
        QCOMPARE(out.finish(), "Loading index '" + fixturePath("small.txt.index") + "'...\n");
        QCOMPARE(d.fields.size(), size_t(5)); // the comment and the empty line are skipped
        const dictFields* f = d.fields[0];
        QCOMPARE(f->name, QByteArray("kMandarin"));
        QCOMPARE(f->code, code("PYIN"));
        QCOMPARE(f->kind, kRomanization);
        QCOMPARE(f->title, QStringLiteral("Mandarin"));
        QCOMPARE(f->description, QStringLiteral("Reading in Mandarin, with tone marks"));
        QCOMPARE(f->width, 10u);
        QCOMPARE(f->flags, 1u);
        QCOMPARE(f->inList, 0);
        QCOMPARE(d.findField("kSimplifiedVariant"), 4);
        QCOMPARE(d.findField(code("RADS")), 2);
    }

    void kindKeywords_data()
    {
        QTest::addColumn<QByteArray>("keyword");
        QTest::addColumn<int>("kind");
        QTest::newRow("definition") << QByteArray("kDefinition") << 0;
        QTest::newRow("alternative character") << QByteArray("kAltCharacter") << 1;
        QTest::newRow("romanization") << QByteArray("kRomanization") << 2;
        QTest::newRow("meta text") << QByteArray("kMetaText") << 3;
        QTest::newRow("meta number") << QByteArray("kMetaNum") << 4;
        QTest::newRow("other case") << QByteArray("kmetanum") << -1;
        QTest::newRow("unknown") << QByteArray("kSomething") << -1;
    }

    void kindKeywords()
    {
        QFETCH(QByteArray, keyword);
        QFETCH(int, kind);
        dictionary d;
        QVERIFY(loadIndexText(d, "kX\tXXXX\t" + keyword + "\tX\tX\n"));
        QCOMPARE(d.fields.size(), size_t(1)); // an unknown kind still makes a field
        QCOMPARE(d.fields[0]->kind, kind);
    }

    void columnEdgeCases()
    {
        dictionary d;
        const QByteArray longName(300, 'n');
        QVERIFY(loadIndexText(d,
                              "kA\tAAAA\tkMetaText\tabc\tends in CR\r\n"
                              "kB\tBBBB\tkMetaText\tTwenty-five bytes of text\tB\n"
                              + longName + "\tLONG\tkMetaText\tLong\tL\n"
                              "kC\tCC\tkMetaText\tT\tshort code\n"
                              "kD\tDDDDDD\tkMetaText\tT\tlong code\n"
                              "kE\tEEEE\tkMetaText\tT\tdescription\textra column\n"));
        QCOMPARE(d.fields.size(), size_t(6));
        QCOMPARE(d.fields[0]->description, QStringLiteral("ends in CR\r"));
        QCOMPARE(d.fields[0]->width, 10u);
        QCOMPARE(d.fields[1]->width, 25u);
        QCOMPARE(d.fields[2]->name, longName.left(255));
        QCOMPARE(d.findField(longName.left(255).constData()), 2);
        QCOMPARE(d.findField(longName.constData()), -1);
        QCOMPARE(d.fields[3]->code, code("CC  "));
        QCOMPARE(d.fields[4]->code, code("DDDD"));
        QCOMPARE(d.fields[5]->description, QStringLiteral("description"));
    }

    void findFieldIsExactAndFirstMatchWins()
    {
        dictionary d;
        QVERIFY(loadIndexText(d,
                              "kMandarin\tPYIN\tkRomanization\tMandarin\tfirst\n"
                              "kMandarin\tPYI2\tkRomanization\tMandarin\tsecond\n"
                              "kOther\tPYIN\tkRomanization\tOther\tsame code\n"));
        QCOMPARE(d.findField("kMandarin"), 0);
        QCOMPARE(d.findField("kmandarin"), -1);
        QCOMPARE(d.findField("kMandari"), -1);
        QCOMPARE(d.findField(""), -1);
        QCOMPARE(d.findField(static_cast<const char*>(nullptr)), -1);
        QCOMPARE(d.findField(code("PYIN")), 0);
        QCOMPARE(d.findField(code("PYI2")), 1);
        QCOMPARE(d.findField(code("NONE")), -1);
    }

    void incompleteLinesAreSkippedWithADiagnostic_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("four columns") << QByteArray("kA\tAAAA\tkMetaText\tTitle\n");
        QTest::newRow("empty title") << QByteArray("kA\tAAAA\tkMetaText\t\tDescription\n");
        QTest::newRow("empty name") << QByteArray("\tAAAA\tkMetaText\tTitle\tDescription\n");
        QTest::newRow("one column") << QByteArray("kA\n");
    }

    void incompleteLinesAreSkippedWithADiagnostic()
    {
        QFETCH(QByteArray, line);
        dictionary d;
        QByteArray output;
        QVERIFY(loadIndexText(d, line + "kB\tBBBB\tkMetaText\tB\tB\n", &output));
        QCOMPARE(d.fields.size(), size_t(1));
        QCOMPARE(d.fields[0]->name, QByteArray("kB"));
        QVERIFY2(output.contains("Bad field line: " + line.chopped(1) + "\n"), output.constData());
    }

    // A byte-order mark is not part of the first field's name, and the last
    // line is read even without a newline.
    void byteOrderMarkAndLastLineWithoutNewline()
    {
        dictionary d;
        QVERIFY(loadIndexText(d, "\xEF\xBB\xBFkA\tAAAA\tkMetaText\tA\tA\nkB\tBBBB\tkMetaText\tB\tlast"));
        QCOMPARE(d.findField("kA"), 0);
        QCOMPARE(d.fields.size(), size_t(2));
        QCOMPARE(d.fields[1]->description, QStringLiteral("last"));
    }

    void aMissingIndexLeavesNoFields()
    {
        dictionary d;
        const QByteArray path = dir.filePath(QStringLiteral("absent.txt")).toUtf8();
        StdoutCapture out;
        QVERIFY(!d.loadIndex(path.constData()));
        QCOMPARE(out.finish(), "Loading index '" + path + ".index'...\n");
        QVERIFY(d.fields.empty());
    }

    void lookupFindsOnlySingleCodePointKeys()
    {
        dictionary d;
        auto* bare = new characterEntry({0x4E00}); // an entry without values
        auto* pair = new characterEntry({0x4E01, 0x4E02});
        d.addCharacterEntry(bare);
        d.addCharacterEntry(pair);
        QCOMPARE(d.lookup(0x4E00), bare);
        QCOMPARE(d.lookup(0x4E01), nullptr);
        QCOMPARE(d.lookup(0x9999), nullptr);
        QCOMPARE(d.lookup(-1), nullptr);
        QCOMPARE(d.lookup(0x7FFFFFFF), nullptr);

        // Hits: two found look-ups of U+4E00; failed ones count nothing.
        d.lookup(0x4E00);
        StdoutCapture out;
        d.table->PrintStats();
        const QList<QByteArray> lines = out.finish().split('\n');
        QCOMPARE(lines.at(5), QByteArray("1: 2"));
        QCOMPARE(lines.at(6), QByteArray("2: 0"));
    }
};

QTEST_GUILESS_MAIN(FieldIndexTest)
#include "tst_fieldindex.moc"
