// The Unihan converter: tone-mark to tone-number conversion, line parsing,
// dictionary building and bzip2 reading.

#include "tools/unihan.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bzlib.h>

#include <string>

using namespace unihan;
using namespace Qt::StringLiterals;

namespace {

QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), qsizetype(s.size()));
}

std::string text(const QByteArray& b) {
    return std::string(b.constData(), std::size_t(b.size()));
}

QByteArray compressed(const QByteArray& plain) {
    QByteArray out(plain.size() + plain.size() / 100 + 700, '\0');
    unsigned length = unsigned(out.size());
    const int rc = BZ2_bzBuffToBuffCompress(
        out.data(), &length, const_cast<char*>(plain.constData()), unsigned(plain.size()), 9, 0, 0);
    if (rc != BZ_OK)
        qFatal("bzip2 compression failed: %d", rc);
    out.resize(qsizetype(length));
    return out;
}

std::string build(const std::vector<std::string_view>& sources, BuildStats& stats,
                  std::vector<std::string>* warningsOut = nullptr) {
    std::vector<std::string> warnings;
    std::string out = buildDictionary(sources, stats, warnings);
    if (warningsOut)
        *warningsOut = warnings;
    return out;
}

} // namespace

class TestUnihan : public QObject {
    Q_OBJECT
  private slots:
    void toneNumbersConvertsMarksToDigits_data();
    void toneNumbersConvertsMarksToDigits();
    void toneNumbersReportsWhatIsNotPinyin_data();
    void toneNumbersReportsWhatIsNotPinyin();
    void parseLineClassifiesLines_data();
    void parseLineClassifiesLines();
    void buildKeepsCharactersWithAReadingInCodePointOrder();
    void buildWritesFieldsInIndexOrderAndConvertsMandarin();
    void buildKeepsTheLastOfRepeatedValues();
    void buildRepairsValuesThatWouldBreakTheLineFormat_data();
    void buildRepairsValuesThatWouldBreakTheLineFormat();
    void buildCutsOverlongValuesAtACharacterBoundary();
    void buildSkipsMalformedLinesAndLimitsWarnings();
    void fieldIndexHasTheFieldsInOrder();
    void readBzip2FileReadsOneOrMoreStreams();
    void readBzip2FileFailsOnBadInput_data();
    void readBzip2FileFailsOnBadInput();
};

void TestUnihan::toneNumbersConvertsMarksToDigits_data() {
    QTest::addColumn<QString>("marked");
    QTest::addColumn<QString>("numbered");

    QTest::newRow("first tone") << u"zhōng"_s << u"zhong1"_s;
    QTest::newRow("unmarked is neutral") << u"de"_s << u"de5"_s;

    QTest::newRow("ü marked") << u"lǜ"_s << u"lu:4"_s;
    QTest::newRow("ü unmarked") << u"lü"_s << u"lu:5"_s;
    QTest::newRow("üe marked on e") << u"lüè"_s << u"lu:e4"_s;

    QTest::newRow("two readings") << u"bo bǔ"_s << u"bo5 bu3"_s;
    QTest::newRow("extra white space collapses") << u"  ma \t mā  "_s << u"ma5 ma1"_s;
    QTest::newRow("empty") << QString() << QString();

    QTest::newRow("nasal ḿ") << u"ḿ"_s << u"m2"_s;
    QTest::newRow("nasal ǹ") << u"ǹ"_s << u"n4"_s;
    QTest::newRow("unmarked hm") << u"hm"_s << u"hm5"_s;
    QTest::newRow("nasal among readings") << u"ń ňg"_s << u"n2 ng3"_s;

    QTest::newRow("ê with combining macron") << u"ê\u0304"_s << u"ê1"_s;
    QTest::newRow("precomposed ế") << u"ế"_s << u"ê2"_s;
    QTest::newRow("e with combining circumflex and macron") << u"e\u0302\u0304"_s << u"ê1"_s;

    QTest::newRow("decomposed a with macron") << u"ma\u0304"_s << u"ma1"_s;
    QTest::newRow("decomposed ü with acute") << u"lu\u0308\u0301"_s << u"lu:2"_s;

    QTest::newRow("capital marked vowel") << u"Ā"_s << u"A1"_s;
    QTest::newRow("capital Ǚ") << u"LǙ"_s << u"LU:3"_s;
    QTest::newRow("capital Ê with mark") << u"Ế"_s << u"Ê2"_s;
}

void TestUnihan::toneNumbersConvertsMarksToDigits() {
    QFETCH(QString, marked);
    QFETCH(QString, numbered);
    std::string problem;
    const std::string out = toneNumbers(text(marked.toUtf8()), &problem);
    QCOMPARE(QString::fromUtf8(bytes(out)), numbered);
    QVERIFY2(problem.empty(), problem.c_str());
}

void TestUnihan::toneNumbersReportsWhatIsNotPinyin_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");

    QTest::newRow("two marks in one syllable")
        << QByteArray("\xC4\x81\xC3\xA1") << QByteArray("aa1");
    QTest::newRow("already numbered") << QByteArray("ma1") << QByteArray("ma15");
    QTest::newRow("letter outside pinyin") << QByteArray("\xC3\x9F") << QByteArray("\xC3\x9F" "5");
    QTest::newRow("invalid UTF-8 byte") << QByteArray("m\xFF") << QByteArray("m\xFF" "5");
    QTest::newRow("truncated UTF-8 sequence") << QByteArray("m\xC4") << QByteArray("m\xC4" "5");
    QTest::newRow("overlong UTF-8") << QByteArray("\xC0\xA1") << QByteArray("\xC0\xA1" "5");
    QTest::newRow("tone mark without letter") << QByteArray("\xCC\x81") << QByteArray("2");
}

void TestUnihan::toneNumbersReportsWhatIsNotPinyin() {
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    std::string problem;
    QCOMPARE(bytes(toneNumbers(text(input), &problem)), output);
    QVERIFY(!problem.empty());
    // Without a place for the problem the conversion is the same.
    QCOMPARE(bytes(toneNumbers(text(input))), output);
}

void TestUnihan::parseLineClassifiesLines_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("value");

    const int skipped = int(LineKind::Skipped), kept = int(LineKind::Kept),
              malformed = int(LineKind::Malformed);
    QTest::newRow("comment") << QByteArray("# Unihan_Readings.txt") << skipped << 0u << 0
                             << QByteArray();
    QTest::newRow("field we do not ship")
        << QByteArray("U+4E00\tkTang\t*qiet") << skipped << 0u << 0 << QByteArray();
    QTest::newRow("reading") << QByteArray("U+4E00\tkMandarin\ty\xC4\xAB") << kept << 0x4E00u << 0
                             << QByteArray("y\xC4\xAB");
    QTest::newRow("above U+FFFF") << QByteArray("U+2A6D6\tkDefinition\tsomething") << kept
                                  << 0x2A6D6u << 2 << QByteArray("something");
    QTest::newRow("lowercase hex")
        << QByteArray("U+4e0a\tkCangjie\tYM") << kept << 0x4E0Au << 15 << QByteArray("YM");
    QTest::newRow("CR of a CRLF line dropped")
        << QByteArray("U+4E00\tkTotalStrokes\t1\r") << kept << 0x4E00u << 7 << QByteArray("1");
    QTest::newRow("empty value") << QByteArray("U+4E00\tkKorean\t") << kept << 0x4E00u << 12
                                 << QByteArray();
    QTest::newRow("no value column")
        << QByteArray("U+4E00\tkMandarin") << malformed << 0u << 0 << QByteArray();
    QTest::newRow("no key prefix")
        << QByteArray("4E00\tkMandarin\tyi") << malformed << 0u << 0 << QByteArray();
    QTest::newRow("not hex") << QByteArray("U+4G00\tkMandarin\tyi") << malformed << 0u << 0
                             << QByteArray();
    QTest::newRow("beyond U+10FFFF")
        << QByteArray("U+110000\tkMandarin\tyi") << malformed << 0u << 0 << QByteArray();
    QTest::newRow("surrogate") << QByteArray("U+D800\tkMandarin\tyi") << malformed << 0u << 0
                               << QByteArray();
    QTest::newRow("key too long to be one code point")
        << QByteArray("U+0000004E00\tkMandarin\tyi") << malformed << 0u << 0 << QByteArray();
}

void TestUnihan::parseLineClassifiesLines() {
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(uint, codePoint);
    QFETCH(int, field);
    QFETCH(QByteArray, value);
    Record r{0, -1, {}};
    const std::string l = text(line);
    QCOMPARE(int(parseLine(l, r)), kind);
    if (kind == int(LineKind::Kept)) {
        QCOMPARE(uint(r.codePoint), codePoint);
        QCOMPARE(r.field, field);
        QCOMPARE(QByteArray(r.value.data(), qsizetype(r.value.size())), value);
    }
}

void TestUnihan::buildKeepsCharactersWithAReadingInCodePointOrder() {
    // Two sources, each out of order with the other; U+20000 sorts after
    // U+FFFF numerically even though its key text sorts before "U+3".
    const std::string a = "U+20000\tkCantonese\tjat1\n"
                          "U+4E00\tkRSUnicode\t1.0\n"
                          "U+3400\tkHangul\t\xEA\xB5\xAC:N\n";
    const std::string b = "U+4E00\tkDefinition\tone\n"
                          "U+9FA5\tkRSUnicode\t9.1\n" // no reading: left out
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
    QCOMPARE(stats.lines, std::size_t(5));
    QCOMPARE(stats.perField[std::size_t(fieldNumber("kRSUnicode"))], std::size_t(1));
}

void TestUnihan::buildWritesFieldsInIndexOrderAndConvertsMandarin() {
    const std::string src = "U+4e2d\tkFourCornerCode\t5000.6\n"
                            "U+4e2d\tkMandarin\tzh\xC5\x8Dng zh\xC3\xB2ng\n"
                            "U+4e2d\tkTraditionalVariant\tU+4E2D\n"
                            "U+4e2d\tkCantonese\tzung1 zung3\n";
    BuildStats stats;
    QCOMPARE(bytes(build({src}, stats)), QByteArray("U+4E2D\tkMandarin\tzhong1 zhong4\n"
                                                    "U+4E2D\tkCantonese\tzung1 zung3\n"
                                                    "U+4E2D\tkTraditionalVariant\tU+4E2D\n"
                                                    "U+4E2D\tkFourCornerCode\t5000.6\n"));
    QCOMPARE(stats.mandarinProblems, std::size_t(0));
}

void TestUnihan::buildKeepsTheLastOfRepeatedValues() {
    const std::string first = "U+4E00\tkDefinition\tfirst\n";
    const std::string second = "U+4E00\tkDefinition\tsecond\nU+4E00\tkDefinition\tthird\n";
    BuildStats stats;
    std::vector<std::string> warnings;
    QCOMPARE(bytes(build({first, second}, stats, &warnings)),
             QByteArray("U+4E00\tkDefinition\tthird\n"));
    QCOMPARE(stats.duplicates, std::size_t(2));
    QCOMPARE(warnings.size(), std::size_t(2));
}

void TestUnihan::buildRepairsValuesThatWouldBreakTheLineFormat_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("repaired");

    QTest::newRow("TAB inside") << QByteArray("a\tb") << QByteArray("a b") << true;
    QTest::newRow("CR inside") << QByteArray("a\rb") << QByteArray("a b") << true;
    QTest::newRow("other control byte") << QByteArray("a\x01" "b") << QByteArray("a b") << true;
    QTest::newRow("invalid UTF-8") << QByteArray("a\xFF" "b") << QByteArray("a\xEF\xBF\xBD" "b") << true;
    QTest::newRow("surrounding spaces trimmed") << QByteArray("  ab ") << QByteArray("ab") << false;
    QTest::newRow("valid UTF-8 kept")
        << QByteArray("(\xE4\xB8\x98) hill") << QByteArray("(\xE4\xB8\x98) hill") << false;
    QTest::newRow("only blanks: no line") << QByteArray(" \t ") << QByteArray() << true;
    QTest::newRow("empty: no line") << QByteArray() << QByteArray() << false;
}

void TestUnihan::buildRepairsValuesThatWouldBreakTheLineFormat() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, written);
    QFETCH(bool, repaired);
    // A second field keeps the character in the dictionary either way;
    // Cantonese comes before Definition in the index.
    const std::string src = "U+4E00\tkDefinition\t" + text(value) + "\nU+4E00\tkCantonese\tjat1\n";
    QByteArray expected = "U+4E00\tkCantonese\tjat1\n";
    if (!written.isEmpty())
        expected += "U+4E00\tkDefinition\t" + written + "\n";
    BuildStats stats;
    QCOMPARE(bytes(build({src}, stats)), expected);
    QCOMPARE(stats.repairedValues, std::size_t(repaired ? 1 : 0));
}

void TestUnihan::buildCutsOverlongValuesAtACharacterBoundary() {
    std::string longValue;
    for (int i = 0; i < 700; ++i)
        longValue += "\xE4\xB8\xAD"; // 中, three bytes
    const std::string src = "U+4E00\tkDefinition\t" + longValue + "\n";
    BuildStats stats;
    const QByteArray out = bytes(build({src}, stats));
    QVERIFY(out.endsWith('\n'));
    QVERIFY2(out.size() <= 1023, QByteArray::number(out.size()).constData());
    QVERIFY(out.size() > 1000);
    const QByteArray value = out.mid(19, out.size() - 20);
    QVERIFY(value.size() % 3 == 0);
    QCOMPARE(QString::fromUtf8(value), QString(value.size() / 3, QChar(0x4E2D)));
    QCOMPARE(stats.repairedValues, std::size_t(1));
}

void TestUnihan::buildSkipsMalformedLinesAndLimitsWarnings() {
    std::string src = "U+4E00\tkDefinition\tone\n";
    for (int i = 0; i < 30; ++i)
        src += "U+XYZ\tkMandarin\tyi\n";
    src += "U+4E01\tkDefinition\tnail"; // last line without LF
    BuildStats stats;
    std::vector<std::string> warnings;
    QCOMPARE(bytes(build({src}, stats, &warnings)),
             QByteArray("U+4E00\tkDefinition\tone\nU+4E01\tkDefinition\tnail\n"));
    QCOMPARE(stats.malformed, std::size_t(30));
    QCOMPARE(warnings.size(), std::size_t(20));
    QVERIFY(QByteArray::fromStdString(warnings.front()).contains("line 2"));
}

// The codes are kept in the saved preferences and the order is the order
// shown, so both are pinned here.
void TestUnihan::fieldIndexHasTheFieldsInOrder() {
    const QList<QByteArray> lines = bytes(fieldIndexText()).split('\n');
    QVERIFY(lines.first().startsWith('#'));
    QCOMPARE(lines.last(), QByteArray()); // ends with a newline
    QList<QByteArray> codes;
    for (const QByteArray& line : lines.mid(1, lines.size() - 2)) {
        const QList<QByteArray> columns = line.split('\t');
        QCOMPARE(columns.size(), 5);
        QVERIFY2(!columns.contains(QByteArray()), line.constData());
        codes << columns[0] + ' ' + columns[1];
    }
    QCOMPARE(codes.join(' '), QByteArray("kMandarin PYIN kCantonese JYUT kDefinition EDEF "
                                         "kTraditionalVariant TRAD kSimplifiedVariant SIMP "
                                         "kSemanticVariant SEMV kRSUnicode RADS kTotalStrokes STRK "
                                         "kFrequency FREQ kGradeLevel GRAD kJapaneseOn JPON "
                                         "kJapaneseKun JKUN kKorean KORN kHangul HANG "
                                         "kVietnamese VIET kCangjie CJIE kFourCornerCode FOUR"));
}

void TestUnihan::readBzip2FileReadsOneOrMoreStreams() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray plain;
    for (int i = 0; i < 20000; ++i)
        plain += "U+" + QByteArray::number(0x4E00 + i, 16).toUpper() + "\tkTotalStrokes\t" +
                 QByteArray::number(i % 30) + "\n";
    const QByteArray second = "U+20000\tkDefinition\tsecond stream\n";

    const QString one = dir.filePath(u"one.bz2"_s);
    const QString two = dir.filePath(u"two.bz2"_s);
    QFile f1(one), f2(two);
    QVERIFY(f1.open(QIODevice::WriteOnly) && f1.write(compressed(plain)) > 0);
    f1.close();
    QVERIFY(f2.open(QIODevice::WriteOnly) && f2.write(compressed(plain) + compressed(second)) > 0);
    f2.close();

    std::string out, error;
    QVERIFY2(readBzip2File(text(one.toUtf8()), out, error), error.c_str());
    QCOMPARE(bytes(out), plain);
    QVERIFY2(readBzip2File(text(two.toUtf8()), out, error), error.c_str());
    QCOMPARE(bytes(out), plain + second);
}

void TestUnihan::readBzip2FileFailsOnBadInput_data() {
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    const QByteArray good = compressed(QByteArray(5000, 'x'));
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("not bzip2") << QByteArray("U+4E00\tkMandarin\tyi1\n");
    QTest::newRow("cut short") << good.left(good.size() / 2);
    QTest::newRow("good stream then garbage") << good + "garbage";
}

void TestUnihan::readBzip2FileFailsOnBadInput() {
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

QTEST_GUILESS_MAIN(TestUnihan)
#include "tst_unihan.moc"
