#include "store/dictionary.h"

#include <QtTest>

class PinyinTest : public QObject {
    Q_OBJECT

private slots:
    void toneNumbersBecomeToneMarks_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two syllables") << QByteArray("ni3 hao3") << QStringLiteral("nǐ hǎo");
        QTest::newRow("output is lowercase") << QByteArray("NI3 HAO3") << QStringLiteral("nǐ hǎo");
        QTest::newRow("i alone") << QByteArray("yi1") << QStringLiteral("yī");
        QTest::newRow("e before r") << QByteArray("er2") << QStringLiteral("ér");
        QTest::newRow("ui marks the i") << QByteArray("gui4") << QStringLiteral("guì");
        QTest::newRow("uo marks the o") << QByteArray("zhuo1") << QStringLiteral("zhuō");
        // The standard placement: a or e; else the o of ou; else the last vowel.
        QTest::newRow("iu marks the u") << QByteArray("liu2") << QStringLiteral("liú");
        QTest::newRow("ou marks the o") << QByteArray("dou4") << QStringLiteral("dòu");
        QTest::newRow("ou after a consonant pair") << QByteArray("shou3") << QStringLiteral("shǒu");
        QTest::newRow("iong marks the o") << QByteArray("xiong2") << QStringLiteral("xióng");
        QTest::newRow("iao marks the a") << QByteArray("jiao3") << QStringLiteral("jiǎo");
        QTest::newRow("ie marks the e") << QByteArray("xie4") << QStringLiteral("xiè");
        QTest::newRow("u colon") << QByteArray("lu:4") << QStringLiteral("lǜ");
        QTest::newRow("u colon, third tone") << QByteArray("nu:3") << QStringLiteral("nǚ");
        QTest::newRow("u colon e") << QByteArray("lu:e4") << QStringLiteral("lüè");
        QTest::newRow("u colon, fifth tone") << QByteArray("lu:5") << QStringLiteral("lü");
        QTest::newRow("UTF-8 capital U umlaut") << QByteArray("L\xC3\x9C" "4") << QStringLiteral("lǜ");
        QTest::newRow("UTF-8 small u umlaut") << QByteArray("l\xC3\xBC" "4") << QStringLiteral("lǜ");
        QTest::newRow("no tone digit") << QByteArray("ma") << QStringLiteral("ma");
        QTest::newRow("fifth tone") << QByteArray("ma5") << QStringLiteral("ma");
        QTest::newRow("tone out of range") << QByteArray("ma6") << QStringLiteral("ma");
        QTest::newRow("tone zero") << QByteArray("ma0") << QStringLiteral("ma");
        QTest::newRow("no vowel") << QByteArray("m2") << QStringLiteral("m");
        QTest::newRow("byte after the digit is skipped") << QByteArray("ni3hao3") << QStringLiteral("nǐ ǎo");
        QTest::newRow("two spaces") << QByteArray("ni3  hao3") << QStringLiteral("nǐ  hǎo");
        QTest::newRow("stops at a leading digit") << QByteArray("ni3 4") << QStringLiteral("nǐ");
        QTest::newRow("several digits") << QByteArray("ma12") << QStringLiteral("ma");
        // Other UTF-8 passes through as the characters it encodes.
        QTest::newRow("e circumflex") << QByteArray("\xC3\xAA") << QStringLiteral("ê");
        QTest::newRow("already marked") << QByteArray("l\xC7\x9C") << QStringLiteral("lǜ");
        QTest::newRow("four-byte UTF-8") << QByteArray("a1 \xF0\xA0\x80\x80") << QString::fromUcs4(U"ā \U00020000");
        QTest::newRow("invalid byte") << QByteArray("ma\xFF" "1") << QStringLiteral("mā\uFFFD");
        QTest::newRow("a colon at the start") << QByteArray(":a1") << QStringLiteral("ā");
    }

    void toneNumbersBecomeToneMarks()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        const QString result = dict.pinyinize(input.constData());
        QCOMPARE(result, expected);
        QVERIFY(!result.isNull());
    }

    void nothingToConvertGivesNull_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("leading digit") << QByteArray("3");
        QTest::newRow("leading digit and more") << QByteArray("3 ni3");
    }

    void nothingToConvertGivesNull()
    {
        QFETCH(QByteArray, input);
        QVERIFY(dict.pinyinize(input.constData()).isNull());
        QVERIFY(dict.pinyinize(nullptr).isNull());
    }

    // Every toned syllable of the standard set of finals: each vowel letter
    // of the expected marked form must be where the standard rule puts it.
    void everyFinalTakesTheMarkOnTheStandardVowel_data()
    {
        QTest::addColumn<QByteArray>("syllable");
        QTest::addColumn<int>("markedIndex");
        const struct {
            const char* final;
            int index;
        } finals[] = {
            {"a", 0},    {"ai", 0},   {"ao", 0},  {"an", 0},   {"ang", 0},  {"e", 0},     {"ei", 0},
            {"en", 0},   {"eng", 0},  {"er", 0},  {"o", 0},    {"ou", 0},   {"ong", 0},   {"i", 0},
            {"ia", 1},   {"iao", 1},  {"ie", 1},  {"iu", 1},   {"ian", 1},  {"in", 0},    {"iang", 1},
            {"ing", 0},  {"iong", 1}, {"u", 0},   {"ua", 1},   {"uo", 1},   {"uai", 1},   {"ui", 1},
            {"uan", 1},  {"un", 0},   {"uang", 1}, {"ueng", 1},
        };
        for (const auto& f : finals) {
            for (int tone = 1; tone <= 4; ++tone) {
                const QByteArray s = QByteArray("zh") + f.final + QByteArray::number(tone);
                QTest::newRow(s.constData()) << s << 2 + f.index;
            }
        }
    }

    void everyFinalTakesTheMarkOnTheStandardVowel()
    {
        QFETCH(QByteArray, syllable);
        QFETCH(int, markedIndex);
        const QString result = dict.pinyinize(syllable.constData());
        QCOMPARE(result.size(), syllable.size() - 1);
        for (int i = 0; i < result.size(); ++i) {
            const bool plain = result.at(i).unicode() < 0x80;
            QVERIFY2(plain == (i != markedIndex), qPrintable(result));
        }
    }
};

QTEST_GUILESS_MAIN(PinyinTest)
#include "tst_pinyin.moc"
