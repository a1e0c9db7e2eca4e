#include "storetest.h"

#include "store/dictionary.h"
#include "store/linereader.h"
#include "store/progress.h"

#include <QtTest>

#include <sys/stat.h>

namespace {

class RecordingProgress : public LoadProgress {
public:
    void setProgressMaximum(int32_t m) override { maxima.append(m); }
    void setProgressValue(int32_t v) override { values.append(v); }
    QList<int32_t> maxima;
    QList<int32_t> values;
};

} // namespace

class LoaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    // Writes `content` to a new file and loads it into `d` (whose fields come
    // from the small fixture index); returns what load reported on standard
    // error.
    QByteArray loadText(dictionary& d, const QByteArray& content, LoadProgress* progress = nullptr)
    {
        const QByteArray path = dir.filePath(QStringLiteral("d%1.txt").arg(++files)).toUtf8();
        writeFile(QString::fromUtf8(path), content);
        StderrCapture err;
        d.load(path.constData(), progress);
        return err.finish();
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
    void displayRules_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("display");
        QTest::newRow("pinyin to nothing")
            << QByteArray("kMandarin") << QByteArray("3") << QString();
        QTest::newRow("invalid UTF-8")
            << QByteArray("kDefinition") << QByteArray("caf\xE9") << QStringLiteral("caf\uFFFD");
        QTest::newRow("radical") << QByteArray("kRSUnicode") << QByteArray("120.3")
                                 << QStringLiteral("\u2F77");
        QTest::newRow("character list") << QByteArray("kSimplifiedVariant")
                                        << QByteArray("U+4E00+4E01") << QStringLiteral("一丁");
        // Every listed form shows, without the sources that give it.
        QTest::newRow("every listed form")
            << QByteArray("kTraditionalVariant") << QByteArray("U+53F6 U+8449")
            << QStringLiteral("叶 葉");
        QTest::newRow("forms with their sources")
            << QByteArray("kSimplifiedVariant")
            << QByteArray("U+5FB7<kMatthews,kMeyerWempe  U+60B3<kMatthews x U+")
            << QStringLiteral("德 悳");
        QTest::newRow("readings with source codes")
            << QByteArray("kHangul") << QByteArray("섭:0N 엽:0E") << QStringLiteral("섭 엽");
        // Surrogate pairs, and the next group right after the digits.
        QTest::newRow("two groups above U+FFFF")
            << QByteArray("kDefinition") << QByteArray("U+20000+20001")
            << QString::fromUcs4(U"\U00020000\U00020001");
        QTest::newRow("past U+10FFFF")
            << QByteArray("kDefinition") << QByteArray("U+110000") << QStringLiteral("\uFFFD");
    }

    void displayRules()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, text);
        QFETCH(QString, display);
        dictionary d;
        loadFields(d);
        loadText(d, "U+4E00\t" + field + "\t" + text + "\n");
        const dictValue* v = value(d, 0x4E00, field.constData());
        QVERIFY(v != nullptr);
        QCOMPARE(v->text(), text);
        QCOMPARE(v->display().isNull(), display.isNull());
        QCOMPARE(v->display(), display);
    }

    void theLastLineForAKeyAndFieldWinsAcrossFiles()
    {
        dictionary d;
        loadFields(d);
        loadText(d,
                 "U+4E00\tkDefinition\tfirst\nU+4E00\tkMandarin\tyi1\nU+4E00\tkDefinition\tsecond\n"
                 "U+4E01\tkDefinition\tkept\n");
        QCOMPARE(d.entries[0]->values.size(), size_t(2));
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text(), QByteArray("second"));
        // A key that comes back after another one, in the same file and in
        // the next, merges with the values it has.
        loadText(d, "U+4E01\tkMandarin\tding1\nU+4E00\tkDefinition\tthird\n"
                    "U+4E01\tkDefinition\tagain\n");
        loadText(d, "U+4E00\tkDefinition\tuser's\nU+4E00\tkTotalStrokes\t1\n");
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text(), QByteArray("user's"));
        QCOMPARE(value(d, 0x4E00, "kMandarin")->display(), QStringLiteral("yī"));
        QCOMPARE(value(d, 0x4E00, "kTotalStrokes")->text(), QByteArray("1"));
        QCOMPARE(d.entries[0]->values.size(), size_t(3));
        QCOMPARE(value(d, 0x4E01, "kDefinition")->text(), QByteArray("again"));
        QCOMPARE(value(d, 0x4E01, "kMandarin")->text(), QByteArray("ding1"));
        QCOMPARE(d.entries[1]->values.size(), size_t(2));
        QCOMPARE(d.count, 2u);
    }

    void keys_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QList<uint>>("codes");
        QTest::newRow("short and long")
            << QByteArray("U+A0+3007+20000") << QList<uint>{0xA0, 0x3007, 0x20000};
        QTest::newRow("five") << QByteArray("U+4E00+4E01+4E02+4E03+4E04")
                              << QList<uint>{0x4E00, 0x4E01, 0x4E02, 0x4E03, 0x4E04};
        QTest::newRow("non-hex piece skipped") << QByteArray("U+xyz+4E00") << QList<uint>{0x4E00};
        QTest::newRow("empty piece skipped") << QByteArray("U++4E00") << QList<uint>{0x4E00};
    }

    void keys()
    {
        QFETCH(QByteArray, key);
        QFETCH(QList<uint>, codes);
        dictionary d;
        loadFields(d);
        // Two lines of one key make one entry.
        loadText(d, key + "\tkDefinition\tx\n" + key + "\tkMandarin\ty\n");
        QCOMPARE(d.count, 1u);
        const CodeList& got = d.entries[0]->codes;
        QCOMPARE(QList<uint>(got.begin(), got.end()), codes);
    }

    // Such keys became entries and history items, with no word.
    void keysThatNameNoCharacterAreSkippedWithOneLine_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("diagnostic");
        QTest::newRow("past U+10FFFF") << QByteArray("U+110000") << QByteArray("U+110000 is past");
        QTest::newRow("too many digits saturate")
            << QByteArray("U+123456789ABC") << QByteArray("U+FFFFFFFF is past");
        QTest::newRow("high surrogate") << QByteArray("U+D800") << QByteArray("U+D800 is a surr");
        QTest::newRow("low surrogate in a pair")
            << QByteArray("U+4E00+DFFF") << QByteArray("U+DFFF is a surr");
        QTest::newRow("U+0") << QByteArray("U+0") << QByteArray("U+0 is not a character");
        QTest::newRow("bare U") << QByteArray("U") << QByteArray("names no character");
        QTest::newRow("no hex") << QByteArray("U+ZZ") << QByteArray("names no character");
    }

    void keysThatNameNoCharacterAreSkippedWithOneLine()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, diagnostic);
        dictionary d;
        loadFields(d);
        const QByteArray printed =
            loadText(d, "U+4E01\tkDefinition\tkept\n" + key + "\tkDefinition\tx\n" + key +
                            "\tkMandarin\tyi1\n");
        QCOMPARE(d.count, 1u);
        QCOMPARE(printed.count('\n'), 2); // one per line
        QVERIFY2(printed.startsWith("line 2 of ") && printed.contains(diagnostic) &&
                     printed.contains("; line skipped\nline 3 of "),
                 printed.constData());
    }

    // One bad byte blanked the user's whole value, so that the shipped one
    // was lost too; a search for its words then found another character.
    void invalidUtf8IsKeptWithReplacementCharactersAndReportedOncePerLine()
    {
        dictionary d;
        loadFields(d);
        loadText(d, "U+6C34\tkDefinition\twater\nU+6C34\tkMandarin\tshui3\n");
        const QByteArray printed =
            loadText(d, "# caf\xE9\nU+6C34\tkDefinition\twater, liquid \xFF\n"
                        "U+6C35\tkDefinition\twater, liquid \xFF\nU+6C34\tkMandarin\tshu\xC0i3\n");
        QCOMPARE(value(d, 0x6C34, "kDefinition")->display(),
                 QStringLiteral("water, liquid \uFFFD"));
        QCOMPARE(value(d, 0x6C35, "kDefinition")->display(),
                 QStringLiteral("water, liquid \uFFFD"));
        QCOMPARE(value(d, 0x6C34, "kDefinition")->text(), QByteArray("water, liquid \xFF"));
        QVERIFY(value(d, 0x6C34, "kMandarin")->display().contains(u'\uFFFD'));
        const QByteArray path = dir.filePath(QStringLiteral("d%1.txt").arg(files)).toUtf8();
        QByteArray expected;
        for (int line : {2, 3, 4})
            expected += "line " + QByteArray::number(line) + " of " + path +
                        ": invalid UTF-8, kept with U+FFFD\n";
        QCOMPARE(printed, expected);
    }

    // Lines without a usable field still make their entry.
    void lineKinds()
    {
        dictionary d;
        loadFields(d);
        const QByteArray output =
            loadText(d, "# a comment\n\nX+4E00\tkDefinition\tx\nU+4E00\tkDefinition\tx\n"
                        "U+4E01\tkNoSuchField\tvalue\nU+4E02\tkDefinition\n");
        QCOMPARE(output.count("Unknown input"), 2); // the empty line and the X+ key
        QCOMPARE(d.count, 3u);
        QVERIFY(d.lookup(0x4E01)->values.empty());
        QVERIFY(d.lookup(0x4E02)->values.empty());
    }

    // A long edit came back cut at 1023 bytes, its rest read as a line of
    // its own; a line over the bound is skipped whole, with a diagnostic.
    void longLines_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("kept");
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
        QCOMPARE(v ? v->text().size() : -1, kept ? length + 5 : -1);
        QVERIFY(!output.contains("Unknown input"));
        QCOMPARE(output.contains("Skipped 1 lines longer than"), !kept);
        QCOMPARE(value(d, 0x4E01, "kDefinition")->text(), QByteArray("next"));
        QCOMPARE(d.count, kept ? 2u : 1u);
    }

    void lineEndingsAndBytes_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("CR LF") << QByteArray("U+4E00\tkDefinition\tone\r\n") << QByteArray("one");
        // Data was lost when the last line had no newline.
        QTest::newRow("last line without newline")
            << QByteArray("U+4E01\tkDefinition\tx\nU+4E00\tkDefinition\tone") << QByteArray("one");
        // A byte-order mark made the first line unknown input.
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBFU+4E00\tkDefinition\tone\n") << QByteArray("one");
        QTest::newRow("NUL ends the line")
            << QByteArray("U+4E00\tkDefinition\tone\0two\n", 27) << QByteArray("one");
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
        QCOMPARE(value(d, 0x4E00, "kDefinition")->text(), text);
    }

    // A missing file, a folder and a FIFO (which a plain open would wait on
    // for a writer) are each reported with their reason and change nothing.
    void aFileThatCannotBeReadIsReportedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing" << QString::fromLocal8Bit(strerror(ENOENT));
        QTest::newRow("folder") << "folder" << QString::fromLocal8Bit(strerror(EISDIR));
        QTest::newRow("fifo") << "fifo" << QStringLiteral("Not a regular file");
    }

    void aFileThatCannotBeReadIsReportedAndChangesNothing()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        dictionary d;
        const QByteArray path = QFile::encodeName(dir.filePath(kind));
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(dir.filePath(kind)));
        else if (kind == u"fifo")
            QCOMPARE(mkfifo(path.constData(), 0600), 0);
        StderrCapture err;
        const ReadResult read = d.load(path.constData(), nullptr);
        QCOMPARE(err.finish(), "Unable to open '" + path + "'\n");
        QCOMPARE(read.reason, reason);
        QCOMPARE(d.count, 0u);
    }

    void progressMovesInPerMilleAndEndsAt1000()
    {
        dictionary d;
        loadFields(d);
        QByteArray content;
        for (int i = 0; i < 5000; ++i)
            content += "U+" + QByteArray::number(0x4E00 + i, 16) + "\tkDefinition\tvalue " +
                       QByteArray::number(i) + "\n";
        RecordingProgress progress;
        loadText(d, content, &progress);
        QCOMPARE(progress.maxima, QList<int32_t>{1000});
        QVERIFY(progress.values.size() > 100);
        QCOMPARE(progress.values.last(), 1000);
        QVERIFY(std::is_sorted(progress.values.begin(), progress.values.end()));
        RecordingProgress empty;
        loadText(d, "", &empty);
        QCOMPARE(empty.maxima, QList<int32_t>{1000});
        QCOMPARE(empty.values, QList<int32_t>{1000});
    }
};

QTEST_GUILESS_MAIN(LoaderTest)
#include "tst_loader.moc"
