#include "store/dictionary.h"
#include "store/pinyinquery.h"

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
        // The standard placement: a or e; else the o of ou; else the last
        // vowel. Every Unihan reading is checked by the converter's round trip.
        QTest::newRow("iu marks the u") << QByteArray("liu2") << QStringLiteral("liú");
        QTest::newRow("ou marks the o") << QByteArray("dou4") << QStringLiteral("dòu");
        QTest::newRow("u colon") << QByteArray("lu:4") << QStringLiteral("lǜ");
        QTest::newRow("u colon e") << QByteArray("lu:e4") << QStringLiteral("lüè");
        QTest::newRow("u colon, fifth tone") << QByteArray("lu:5") << QStringLiteral("lü");
        QTest::newRow("UTF-8 capital U umlaut") << QByteArray("L\xC3\x9C" "4") << QStringLiteral("lǜ");
        QTest::newRow("no tone digit") << QByteArray("ma") << QStringLiteral("ma");
        QTest::newRow("fifth tone") << QByteArray("ma5") << QStringLiteral("ma");
        QTest::newRow("tone out of range") << QByteArray("ma6") << QStringLiteral("ma");
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

    void pinyinMatchesReadingsSyllableBySyllable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<bool>("matches");
        QTest::newRow("tone number") << QStringLiteral("shui3") << QStringLiteral("shuǐ") << true;
        QTest::newRow("tone mark") << QStringLiteral("shuǐ") << QStringLiteral("shuǐ") << true;
        QTest::newRow("capitals") << QStringLiteral("SHUǏ") << QStringLiteral("shuǐ") << true;
        QTest::newRow("another tone") << QStringLiteral("shui3") << QStringLiteral("shuì") << false;
        QTest::newRow("toneless, first tone") << QStringLiteral("shui") << QStringLiteral("shuī") << true;
        QTest::newRow("toneless, fourth tone") << QStringLiteral("shui") << QStringLiteral("shuì") << true;
        QTest::newRow("toneless, no tone") << QStringLiteral("shui") << QStringLiteral("shui") << true;
        QTest::newRow("fifth tone is the unmarked reading") << QStringLiteral("ma5") << QStringLiteral("ma") << true;
        QTest::newRow("fifth tone is not a marked one") << QStringLiteral("ma5") << QStringLiteral("mā") << false;
        QTest::newRow("a whole syllable only") << QStringLiteral("shui") << QStringLiteral("shuang") << false;
        QTest::newRow("one of several readings") << QStringLiteral("zhong4") << QStringLiteral("zhōng zhòng") << true;
        QTest::newRow("v for u umlaut") << QStringLiteral("lv4") << QStringLiteral("lǜ") << true;
        QTest::newRow("u colon") << QStringLiteral("lu:4") << QStringLiteral("lǜ") << true;
        QTest::newRow("u umlaut and a number") << QStringLiteral("lü4") << QStringLiteral("lǜ") << true;
        QTest::newRow("u umlaut is not u") << QStringLiteral("lv4") << QStringLiteral("lù") << false;
        QTest::newRow("two syllables") << QStringLiteral("ni3 hao3") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("run together") << QStringLiteral("nihao") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("marks run together") << QStringLiteral("nǐhǎo") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("numbers run together") << QStringLiteral("ni3hao3") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("apostrophe") << QStringLiteral("xi'an") << QStringLiteral("xī ān") << true;
        QTest::newRow("fewest syllables") << QStringLiteral("xian") << QStringLiteral("xī ān") << false;
        QTest::newRow("syllables out of order") << QStringLiteral("ni hao") << QStringLiteral("hǎo nǐ") << false;
    }

    void pinyinMatchesReadingsSyllableBySyllable()
    {
        QFETCH(QString, text);
        QFETCH(QString, reading);
        QFETCH(bool, matches);
        const auto syllables = pinyinquery::parse(text);
        QVERIFY(!syllables.empty());
        const QString form = reading.normalized(QString::NormalizationForm_D).toLower();
        QCOMPARE(pinyinquery::matchesReading(form, syllables), matches);
    }

    void otherTextIsNotPinyin_data()
    {
        QTest::addColumn<QString>("text");
        for (const char* word : {"water", "eat", "I", "4", "sh", "", "hello world", "ü", "ma3x", "shuǐǐ", "x1y"})
            QTest::newRow(word) << QString::fromUtf8(word);
    }

    void otherTextIsNotPinyin()
    {
        QFETCH(QString, text);
        QVERIFY(pinyinquery::parse(text).empty());
    }
};

QTEST_GUILESS_MAIN(PinyinTest)
#include "tst_pinyin.moc"
