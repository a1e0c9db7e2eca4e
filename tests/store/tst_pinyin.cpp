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
};

QTEST_GUILESS_MAIN(PinyinTest)
#include "tst_pinyin.moc"
