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
        // The standard placement: a or e; else the o of ou; else the last
        // vowel. Every Unihan reading is checked by the converter's round trip.
        QTest::newRow("ou marks the o") << QByteArray("dou4") << QStringLiteral("dòu");
        QTest::newRow("u colon e") << QByteArray("lu:e4") << QStringLiteral("lüè");
        QTest::newRow("UTF-8 capital U umlaut") << QByteArray("L\xC3\x9C"
                                                              "4")
                                                << QStringLiteral("lǜ");
        QTest::newRow("fifth tone") << QByteArray("ma5") << QStringLiteral("ma");
        QTest::newRow("no vowel") << QByteArray("m2") << QStringLiteral("m");
        QTest::newRow("stops at a leading digit") << QByteArray("ni3 4") << QStringLiteral("nǐ");
        // An invalid byte shows as a replacement character.
        QTest::newRow("invalid byte") << QByteArray("ma\xFF"
                                                    "1")
                                      << QStringLiteral("mā\uFFFD");
        QTest::newRow("leading digit") << QByteArray("3 ni3") << QString();
    }

    void toneNumbersBecomeToneMarks()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, expected);
        // Nothing to convert gives a null string.
        const QString result = dict.pinyinize(input.constData());
        QCOMPARE(result, expected);
        QCOMPARE(result.isNull(), expected.isNull());
        QVERIFY(dict.pinyinize(nullptr).isNull());
    }

    void toneMarkedConvertsPinyinWordsOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* text, const char* expected) {
            QTest::newRow(text) << QString::fromUtf8(text) << QString::fromUtf8(expected);
        };
        row("ni3hao3", "nǐhǎo");
        row("Xi1'an1", "Xī'ān");
        row("zhong1guo2", "zhōngguó");
        row("ni3 hao3, Zhong1", "nǐ hǎo, Zhōng");
        row("lv4 nv3 LU:4 lü4 LÜE4", "lǜ nǚ LǛ lǜ LÜÈ");
        row("liu2 gui4 dou4 xiong2 er2 m2", "liú guì dòu xióng ér m");
        row("ma5 ma ni3hao", "ma ma nǐhao");
        row("xian1", "xiān");
        // Words that are not pinyin with tone numbers stay as they are.
        row("hello world", "hello world");
        row("mp3 ma3x ma0 ma12 3 h2o", "mp3 ma3x ma0 ma12 3 h2o");
        row("水3 shuǐ3", "水3 shuǐ3");
        row("", "");
    }

    void toneMarkedConvertsPinyinWordsOnly()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(pinyinquery::toneMarked(text), expected);
    }

    void pinyinMatchesReadingsSyllableBySyllable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<bool>("matches");
        QTest::newRow("capitals") << QStringLiteral("SHUǏ") << QStringLiteral("shuǐ") << true;
        QTest::newRow("toneless, fourth tone")
            << QStringLiteral("shui") << QStringLiteral("shuì") << true;
        QTest::newRow("fifth tone is the unmarked reading")
            << QStringLiteral("ma5") << QStringLiteral("ma") << true;
        QTest::newRow("fifth tone is not a marked one")
            << QStringLiteral("ma5") << QStringLiteral("mā") << false;
        QTest::newRow("one of several readings")
            << QStringLiteral("zhong4") << QStringLiteral("zhōng zhòng") << true;
        QTest::newRow("v for u umlaut") << QStringLiteral("lv4") << QStringLiteral("lǜ") << true;
        QTest::newRow("u umlaut is not u")
            << QStringLiteral("lv4") << QStringLiteral("lù") << false;
        QTest::newRow("two syllables")
            << QStringLiteral("ni3 hao3") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("run together")
            << QStringLiteral("nihao") << QStringLiteral("nǐ hǎo") << true;
        QTest::newRow("apostrophe") << QStringLiteral("xi'an") << QStringLiteral("xī ān") << true;
        QTest::newRow("fewest syllables")
            << QStringLiteral("xian") << QStringLiteral("xī ān") << false;
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
        for (const char* word :
             {"water", "eat", "I", "4", "sh", "", "hello world", "ü", "ma3x", "shuǐǐ", "x1y"})
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
