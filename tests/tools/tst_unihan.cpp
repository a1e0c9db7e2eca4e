// The Unihan converter: tone-mark to tone-number conversion, dictionary
// building and bzip2 reading.

#include "tools/unihan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bzlib.h>

#include <string>

using namespace unihan;
using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string text(const QByteArray& b)
{
    return std::string(b.constData(), std::size_t(b.size()));
}

QByteArray compressed(const QByteArray& plain)
{
    QByteArray out(plain.size() + plain.size() / 100 + 700, '\0');
    unsigned length = unsigned(out.size());
    const int rc = BZ2_bzBuffToBuffCompress(
        out.data(), &length, const_cast<char*>(plain.constData()), unsigned(plain.size()), 9, 0, 0);
    if (rc != BZ_OK)
        qFatal("bzip2 compression failed: %d", rc);
    out.resize(qsizetype(length));
    return out;
}

std::string build(const std::vector<std::string_view>& sources, BuildStats& stats)
{
    std::vector<std::string> warnings;
    return buildDictionary(sources, stats, warnings);
}

} // namespace

class TestUnihan : public QObject {
    Q_OBJECT

private slots:
    // Every Unihan reading is checked through the shipped dictionary; these are
    // forms it does not hold.
    void toneNumbersConvertsMarksToDigits_data()
    {
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("numbered");
        QTest::newRow("extra white space collapses") << u"  ma \t mā  "_s << u"ma5 ma1"_s;
        QTest::newRow("e with combining circumflex and macron") << u"e\u0302\u0304"_s << u"ê1"_s;
        QTest::newRow("decomposed ü with acute") << u"lu\u0308\u0301"_s << u"lu:2"_s;
        QTest::newRow("capital Ǚ") << u"LǙ"_s << u"LU:3"_s;
    }

    void toneNumbersConvertsMarksToDigits()
    {
        QFETCH(QString, marked);
        QFETCH(QString, numbered);
        std::string problem;
        const std::string out = toneNumbers(text(marked.toUtf8()), &problem);
        QCOMPARE(QString::fromUtf8(bytes(out)), numbered);
        QVERIFY2(problem.empty(), problem.c_str());
    }

    void buildKeepsCharactersWithAReadingInCodePointOrder()
    {
        // Two sources, each out of order with the other; U+20000 sorts after
        // U+FFFF numerically even though its key text sorts before "U+3".
        const std::string a = "U+20000\tkCantonese\tjat1\n"
                              "U+4E00\tkRSUnicode\t1.0\n"
                              "U+3400\tkHangul\t\xEA\xB5\xAC:N\n";
        const std::string b = "U+4E00\tkDefinition\tfirst\r\n"
                              "U+4E00\tkDefinition\tone\r\n" // the last of repeated values wins
                              "U+9FA5\tkRSUnicode\t9.1\n"    // no reading: left out
                              "U+9FA5\tkTotalStrokes\t3\n"
                              "U+FFFF\tkJapaneseKun\tX\n";
        BuildStats stats;
        const std::string out = build({a, b}, stats);
        QCOMPARE(bytes(out), QByteArray("U+3400\tkHangul\t\xEA\xB5\xAC:N\n"
                                        "U+4E00\tkDefinition\tone\n"
                                        "U+4E00\tkRSUnicode\t1.0\n"
                                        "U+FFFF\tkJapaneseKun\tX\n"
                                        "U+20000\tkCantonese\tjat1\n"));
        QCOMPARE(stats.characters, std::size_t(4));
        QCOMPARE(stats.aboveBmp, std::size_t(1));
        QCOMPARE(stats.duplicates, std::size_t(1));
    }

    void buildRepairsValuesThatWouldBreakTheLineFormat_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("written");
        QTest::addColumn<bool>("repaired");

        QTest::newRow("TAB inside") << QByteArray("a\tb") << QByteArray("a b") << true;
        QTest::newRow("invalid UTF-8") << QByteArray("a\xFF"
                                                     "b")
                                       << QByteArray("a\xEF\xBF\xBD"
                                                     "b")
                                       << true;
        QTest::newRow("valid UTF-8 kept")
            << QByteArray("(\xE4\xB8\x98) hill") << QByteArray("(\xE4\xB8\x98) hill") << false;
        QTest::newRow("only blanks: no line") << QByteArray(" \t ") << QByteArray() << true;
    }

    void buildRepairsValuesThatWouldBreakTheLineFormat()
    {
        QFETCH(QByteArray, value);
        QFETCH(QByteArray, written);
        QFETCH(bool, repaired);
        // A second field keeps the character in the dictionary either way;
        // Cantonese comes before Definition in the index.
        const std::string src =
            "U+4E00\tkDefinition\t" + text(value) + "\nU+4E00\tkCantonese\tjat1\n";
        QByteArray expected = "U+4E00\tkCantonese\tjat1\n";
        if (!written.isEmpty())
            expected += "U+4E00\tkDefinition\t" + written + "\n";
        BuildStats stats;
        QCOMPARE(bytes(build({src}, stats)), expected);
        QCOMPARE(stats.repairedValues, std::size_t(repaired ? 1 : 0));
    }

    void buildSkipsMalformedLines()
    {
        const std::string src = "# a comment\nU+4E00\tkDefinition\tone\n"
                                "U+4G00\tkMandarin\tyi\nU+110000\tkMandarin\tyi\n"
                                "U+D800\tkMandarin\tyi\nU+4E02\tkMandarin\n"
                                "U+4E01\tkDefinition\tnail"; // last line without LF
        BuildStats stats;
        QCOMPARE(bytes(build({src}, stats)),
                 QByteArray("U+4E00\tkDefinition\tone\nU+4E01\tkDefinition\tnail\n"));
        QCOMPARE(stats.malformed, std::size_t(4));
    }

    void readBzip2FileFailsOnBadInput_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file at all
        const QByteArray good = compressed(QByteArray(5000, 'x'));
        QTest::newRow("missing file") << QByteArray();
        QTest::newRow("not bzip2") << QByteArray("U+4E00\tkMandarin\tyi1\n");
        QTest::newRow("cut short") << good.left(good.size() / 2);
    }

    void readBzip2FileFailsOnBadInput()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"bad.bz2"_s);
        if (!content.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        std::string out = "stale", error;
        QVERIFY(!readBzip2File(text(path.toUtf8()), out, error));
        QVERIFY(!error.empty());
        QVERIFY(QByteArray::fromStdString(error).contains("bad.bz2"));
    }
};

QTEST_GUILESS_MAIN(TestUnihan)
#include "tst_unihan.moc"
