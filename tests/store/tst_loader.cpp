#include "storetest.h"

#include "store/dictionary.h"
#include "store/linereader.h"
#include "store/progress.h"

#include <QtTest>

namespace {

class RecordingProgress : public LoadProgress {
public:
    void setProgressMaximum(int32_t m) override { maxima.append(m); }
    void setProgressValue(int32_t v) override { values.append(v); }
    QList<int32_t> maxima;
    QList<int32_t> values;
};

int hitsOfBest(const dictionary& d)
{
    StdoutCapture out;
    d.table->PrintStats();
    return out.finish().split('\n').at(5).mid(3).toInt();
}

} // namespace

class LoaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    // Writes `content` to a new file and loads it into `d` (whose fields come
    // from the small fixture index); returns what load printed.
    QByteArray loadText(dictionary& d, const QByteArray& content, LoadProgress* progress = nullptr)
    {
        const QByteArray path = dir.filePath(QStringLiteral("d%1.txt").arg(++files)).toUtf8();
        writeFile(QString::fromUtf8(path), content);
        StdoutCapture out;
        d.load(path.constData(), progress);
        return out.finish();
    }

    static void loadFields(dictionary& d)
    {
        StdoutCapture out;
        d.loadIndex(fixturePath("small.txt").constData());
    }

    static const dictValue* value(const dictionary& d, uint32_t cp, const char* field)
    {
        const characterEntry* e = d.lookup(long(cp));
        return e == nullptr ? nullptr : e->lookup(d.findField(field));
    }

private slots:
    void theFixtureLoads()
    {
        dictionary d;
        loadFields(d);
        StdoutCapture out;
        d.load(fixturePath("small.txt").constData(), nullptr);
        QCOMPARE(out.finish(), "Loading '" + fixturePath("small.txt") + "'...\n");
        QCOMPARE(d.count, 4u);
        QCOMPARE(d.entries[3]->display, QString::fromUcs4(U"\U00020000"));
        QCOMPARE(d.entries[0]->values.size(), size_t(4));
        QCOMPARE(value(d, 0x4E2D, "kMandarin")->display, QStringLiteral("zhōng zhòng"));
        QCOMPARE(value(d, 0x570B, "kSimplifiedVariant")->display, QStringLiteral("国"));
        QCOMPARE(value(d, 0x20000, "kDefinition")->display, QStringLiteral("(same as U+5316 化) to change"));
        QCOMPARE(value(d, 0x4E00, "kMandarin")->modified, 0);
    }

    void displayRules_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("isNull");
        QTest::newRow("pinyin") << QByteArray("kMandarin") << QByteArray("yi1") << QStringLiteral("yī") << false;
        QTest::newRow("pinyin to nothing") << QByteArray("kMandarin") << QByteArray("3") << QString() << true;
        QTest::newRow("plain UTF-8") << QByteArray("kDefinition") << QByteArray("caf\xC3\xA9") << QStringLiteral("café") << false;
        QTest::newRow("invalid UTF-8") << QByteArray("kDefinition") << QByteArray("caf\xE9") << QString() << true;
        QTest::newRow("overlong UTF-8") << QByteArray("kDefinition") << QByteArray("\xC0\xAF") << QString() << true;
        QTest::newRow("empty value") << QByteArray("kDefinition") << QByteArray("") << QStringLiteral("") << false;
        QTest::newRow("radical") << QByteArray("kRSUnicode") << QByteArray("120.3") << QStringLiteral("\u2F77") << false;
        QTest::newRow("simplified radical") << QByteArray("kRSUnicode") << QByteArray("120'.3") << QStringLiteral("\u2F77") << false;
        QTest::newRow("radical without number") << QByteArray("kRSUnicode") << QByteArray("abc") << QStringLiteral("\u2EFF") << false;
        QTest::newRow("character list") << QByteArray("kSimplifiedVariant") << QByteArray("U+4E00+4E01") << QStringLiteral("一丁") << false;
        QTest::newRow("list ends at a separator") << QByteArray("kSimplifiedVariant") << QByteArray("U+4E00 U+4E01") << QStringLiteral("一") << false;
        QTest::newRow("list in any field") << QByteArray("kMandarin") << QByteArray("U+4E00") << QStringLiteral("一") << false;
        QTest::newRow("list without groups") << QByteArray("kDefinition") << QByteArray("U+") << QStringLiteral("") << false;
        // Above U+FFFF: surrogate pairs, and the next group right after the digits.
        QTest::newRow("list above U+FFFF") << QByteArray("kDefinition") << QByteArray("U+20000") << QString::fromUcs4(U"\U00020000") << false;
        QTest::newRow("two groups above U+FFFF") << QByteArray("kDefinition") << QByteArray("U+20000+20001") << QString::fromUcs4(U"\U00020000\U00020001") << false;
        QTest::newRow("short groups") << QByteArray("kDefinition") << QByteArray("U+41+42+43") << QStringLiteral("ABC") << false;
        QTest::newRow("forty groups") << QByteArray("kDefinition") << QByteArray("U+41").repeated(1) + QByteArray("+42").repeated(39) << QStringLiteral("A") + QString(39, u'B') << false;
        QTest::newRow("past U+10FFFF") << QByteArray("kDefinition") << QByteArray("U+110000") << QStringLiteral("\uFFFD") << false;
    }

    void displayRules()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, text);
        QFETCH(QString, display);
        QFETCH(bool, isNull);
        dictionary d;
        loadFields(d);
        loadText(d, "U+4E00\t" + field + "\t" + text + "\n");
        const dictValue* v = value(d, 0x4E00, field.constData());
        QVERIFY(v != nullptr);
        QCOMPARE(v->text, text);
        QCOMPARE(v->display.isNull(), isNull);
        QCOMPARE(v->display, display);
    }

    void theLastLineForAKeyAndFieldWinsAcrossFiles()
    {
        dictionary d;
        loadFields(d);
        loadText(d, "U+4E00\tkDefinition\tfirst\nU+4E00\tkMandarin\tyi1\nU+4E00\tkDefinition\tsecond\n"
                    "U+4E01\tkDefinition\tkept\n");
        QCOMPARE(d.entries[0]->values.size(), size_t(2));
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text, QByteArray("second"));
        // Two repeated lines found the entry; the look-up above found it once more.
        QCOMPARE(hitsOfBest(d), 3);
        loadText(d, "U+4E00\tkDefinition\tuser's\n");
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text, QByteArray("user's"));
        QCOMPARE(value(d, 0x4E01, "kDefinition")->text, QByteArray("kept"));
        QCOMPARE(d.count, 2u);
    }

    void linesWithoutAUsableFieldStillMakeTheEntry_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("unknown field") << QByteArray("U+4E00\tkNoSuchField\tvalue\n");
        QTest::newRow("no field column") << QByteArray("U+4E00\n");
        QTest::newRow("no value column") << QByteArray("U+4E00\tkDefinition\n");
        QTest::newRow("field name differs in case") << QByteArray("U+4E00\tkdefinition\tvalue\n");
    }

    void linesWithoutAUsableFieldStillMakeTheEntry()
    {
        QFETCH(QByteArray, line);
        dictionary d;
        loadFields(d);
        const QByteArray output = loadText(d, line);
        QCOMPARE(d.count, 1u);
        QVERIFY(d.entries[0]->values.empty());
        QVERIFY(!output.contains("Unknown input"));
    }

    void keys_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QList<uint>>("codes");
        QTest::newRow("one code point") << QByteArray("U+4E00") << QList<uint>{0x4E00};
        QTest::newRow("lowercase hex") << QByteArray("U+4e00") << QList<uint>{0x4E00};
        QTest::newRow("two code points") << QByteArray("U+4E00+4E01") << QList<uint>{0x4E00, 0x4E01};
        QTest::newRow("short and long") << QByteArray("U+A0+3007+20000") << QList<uint>{0xA0, 0x3007, 0x20000};
        QTest::newRow("empty piece skipped") << QByteArray("U++4E00") << QList<uint>{0x4E00};
        QTest::newRow("non-hex piece skipped") << QByteArray("U+xyz+4E00") << QList<uint>{0x4E00};
        QTest::newRow("digits then junk") << QByteArray("U+4E00zz") << QList<uint>{0x4E00};
        QTest::newRow("too many digits saturate") << QByteArray("U+123456789ABC") << QList<uint>{0xFFFFFFFFu};
        QTest::newRow("no code points") << QByteArray("U") << QList<uint>{};
    }

    void keys()
    {
        QFETCH(QByteArray, key);
        QFETCH(QList<uint>, codes);
        dictionary d;
        loadFields(d);
        loadText(d, key + "\tkDefinition\tx\n");
        QCOMPARE(d.count, 1u);
        const std::vector<uint32_t>& got = d.entries[0]->codes;
        QCOMPARE(QList<uint>(got.begin(), got.end()), codes);
    }

    // A long key keeps all its code points.
    void aKeyOfManyCodePointsIsKeptWhole()
    {
        dictionary d;
        loadFields(d);
        QByteArray key = "U";
        for (int i = 0; i < 100; ++i)
            key += "+" + QByteArray::number(0x20000 + i, 16);
        loadText(d, key + "\tkDefinition\tlong key\n" + key + "\tkMandarin\tyi1\n");
        QCOMPARE(d.count, 1u);
        QCOMPARE(d.entries[0]->codes.size(), size_t(100));
        QCOMPARE(d.entries[0]->display.size(), 200);
        QCOMPARE(d.entries[0]->values.size(), size_t(2));
    }

    void lineKinds()
    {
        dictionary d;
        loadFields(d);
        const QByteArray output = loadText(d, "# a comment\n\nX+4E00\tkDefinition\tx\nU+4E00\tkDefinition\tx\n");
        QCOMPARE(output.split('\n').mid(1),
                 (QList<QByteArray>{"Unknown input: ", "", "Unknown input: X+4E00\tkDefinition\tx", "", ""}));
        QCOMPARE(d.count, 1u);
    }

    // A long edit came back cut at 1023 bytes, its rest read as a line of
    // its own; a line over the bound is skipped whole, with a diagnostic.
    void longLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("kept");
        QTest::newRow("1500 bytes") << 1500 << true;
        QTest::newRow("across blocks") << 200000 << true;
        // The line is 24 bytes longer than `length`.
        QTest::newRow("at the bound") << int(LineReader::kLineMax) - 24 << true;
        QTest::newRow("over the bound") << int(LineReader::kLineMax) - 23 << false;
    }

    void longLines()
    {
        QFETCH(int, length);
        QFETCH(bool, kept);
        dictionary d;
        loadFields(d);
        const QByteArray head = "U+4E00\tkDefinition\t"; // 19 bytes
        const QByteArray line = head + QByteArray(length - 1, 'a') + "U+4E02\n";
        const QByteArray output = loadText(d, line + "U+4E01\tkDefinition\tnext\n");
        const dictValue* v = value(d, 0x4E00, "kDefinition");
        QCOMPARE(v ? v->text.size() : -1, kept ? length + 5 : -1);
        QVERIFY(!output.contains("Unknown input"));
        QCOMPARE(output.contains("Skipped 1 lines longer than"), !kept);
        QCOMPARE(value(d, 0x4E01, "kDefinition")->text, QByteArray("next"));
        QCOMPARE(d.count, kept ? 2u : 1u);
    }

    void lineEndingsAndBytes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("CR LF") << QByteArray("U+4E00\tkDefinition\tone\r\n") << QByteArray("one");
        QTest::newRow("extra column") << QByteArray("U+4E00\tkDefinition\tone\tmore\n") << QByteArray("one");
        // Data was lost when the last line had no newline.
        QTest::newRow("last line without newline") << QByteArray("U+4E01\tkDefinition\tx\nU+4E00\tkDefinition\tone") << QByteArray("one");
        // A byte-order mark made the first line unknown input.
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFU+4E00\tkDefinition\tone\n") << QByteArray("one");
        QTest::newRow("NUL ends the line") << QByteArray("U+4E00\tkDefinition\tone\0two\n", 27) << QByteArray("one");
    }

    void lineEndingsAndBytes()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, text);
        dictionary d;
        loadFields(d);
        const QByteArray output = loadText(d, content);
        QVERIFY2(!output.contains("Unknown input"), output.constData());
        QVERIFY(value(d, 0x4E00, "kDefinition") != nullptr);
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text, text);
    }

    void aMissingFileIsReportedAndChangesNothing()
    {
        dictionary d;
        RecordingProgress progress;
        const QByteArray path = dir.filePath(QStringLiteral("absent.txt")).toUtf8();
        StdoutCapture out;
        d.load(path.constData(), &progress);
        QCOMPARE(out.finish(), "Unable to open '" + path + "'\n");
        QCOMPARE(d.count, 0u);
        QVERIFY(progress.maxima.isEmpty());
        QVERIFY(progress.values.isEmpty());
    }

    void progressMovesInPerMilleAndEndsAt1000()
    {
        dictionary d;
        loadFields(d);
        QByteArray content;
        for (int i = 0; i < 5000; ++i)
            content += "U+" + QByteArray::number(0x4E00 + i, 16) + "\tkDefinition\tvalue " + QByteArray::number(i) + "\n";
        RecordingProgress progress;
        loadText(d, content, &progress);
        QCOMPARE(progress.maxima, QList<int32_t>{1000});
        QVERIFY(progress.values.size() > 100);
        QVERIFY(progress.values.size() <= 1001);
        QCOMPARE(progress.values.last(), 1000);
        for (int i = 1; i < progress.values.size() - 1; ++i)
            QVERIFY(progress.values[i] > progress.values[i - 1]); // only changes are reported

        RecordingProgress single;
        loadText(d, "U+4E00\tkDefinition\tone\n", &single);
        QVERIFY(!single.values.isEmpty());
        QCOMPARE(single.values.count(1000), single.values.size()); // straight to 1000
        RecordingProgress empty;
        loadText(d, "", &empty);
        QCOMPARE(empty.maxima, QList<int32_t>{1000});
        QCOMPARE(empty.values, QList<int32_t>{1000});
    }

    void repeatedValuesShareNothingObservable()
    {
        // Equal texts may share their strings; each value is still its own.
        dictionary d;
        loadFields(d);
        loadText(d, "U+4E00\tkTotalStrokes\t1\nU+4E01\tkTotalStrokes\t1\nU+4E02\tkDefinition\t1\n");
        dictValue* a = d.lookup(0x4E00)->values[0];
        dictValue* b = d.lookup(0x4E01)->values[0];
        QCOMPARE(a->display, b->display);
        a->display = QStringLiteral("edited");
        a->text = "edited";
        a->modified = 1;
        QCOMPARE(b->display, QStringLiteral("1"));
        QCOMPARE(b->text, QByteArray("1"));
        QCOMPARE(b->modified, 0);
        QCOMPARE(d.lookup(0x4E02)->values[0]->display, QStringLiteral("1"));
    }
};

QTEST_GUILESS_MAIN(LoaderTest)
#include "tst_loader.moc"
