// findCharacter and findDefinition: what they find, in which order of
// preference, and what they add to the history.

#include "tests/floating/floatingtest.h"

#include "store/searchindex.h"
#include "store/words.h"
#include "windows/wordentry.h"

#include <QTest>

using ftest::lookUpCharacter;

namespace {

const QByteArray kRankingIndex = "kDefinition\tEDEF\tkDefinition\tDefinition\tdefinition\n"
                                 "kTraditionalVariant\tTRAD\tkAltCharacter\tTraditional\tt\n"
                                 "kSemanticVariant\tSEMV\tkAltCharacter\tSemantic\ts\n"
                                 "kFrequency\tFREQ\tkMetaNum\tFrequency\tfrequency\n";

} // namespace

class LookupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void findCharacterMatchesKeysAndAlternatives_data();
    void findCharacterMatchesKeysAndAlternatives();
    void quickLookUpRoutesTheText_data();
    void quickLookUpRoutesTheText();
    void candidatesAreRanked_data();
    void candidatesAreRanked();
    void everyKeyFindsItsOwnEntry();
    void theShippedDictionaryFindsWhatTheUserMeans_data();
    void theShippedDictionaryFindsWhatTheUserMeans();
    void aWordIsSpokenAndShownByItsReading();

private:
    // The shipped dictionary with its searches.
    dictionary m_shipped;
    std::unique_ptr<dictsearch::SearchIndex> m_forms;
    std::unique_ptr<tavi_lookup::LookupIndex> m_searches;
    // The same with the shipped words.
    std::unique_ptr<tavi_lookup::LookupIndex> m_wordSearches;
};

void LookupTest::initTestCase()
{
    ftest::loadFixtureDictionary();
    QCOMPARE(dict.entries.size(), std::size_t(15));
    const QByteArray path = TAVI_BUILD_SHARE_DIR "/dictionary.txt";
    QVERIFY(m_shipped.loadIndex(path.constData()));
    m_shipped.load(path.constData(), nullptr);
    m_forms = std::make_unique<dictsearch::SearchIndex>(&m_shipped);
    m_searches = std::make_unique<tavi_lookup::LookupIndex>(m_shipped, *m_forms);
    QVERIFY(!words::programWords().isEmpty());
    m_wordSearches =
        std::make_unique<tavi_lookup::LookupIndex>(m_shipped, *m_forms, &words::programWords());
}

void LookupTest::init()
{
    history.clear();
}

void LookupTest::findCharacterMatchesKeysAndAlternatives_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");
    QTest::newRow("own key") << QStringLiteral("中") << 0;
    QTest::newRow("first of a two-character key alone") << QStringLiteral("歡") << -1;
    QTest::newRow("simplified form") << QStringLiteral("国") << 10;
    QTest::newRow("capitals match lower case") << QStringLiteral("abc") << 7;
    QTest::newRow("decomposed matches precomposed") << QStringLiteral("e\u0301") << 9;
    QTest::newRow("base letter alone is not the accented one") << QStringLiteral("e") << -1;
    QTest::newRow("second listed form of a variant") << QStringLiteral("葉") << 14;
    // 台 (entry 3) lists 檯 as its traditional form; 檯 is entry 8's own key.
    QTest::newRow("a key wins over an earlier entry's alternative") << QStringLiteral("檯") << 8;
    QTest::newRow("a surrogate pair is one character") << QString::fromUcs4(U"\U00020000", 1) << 6;
    QTest::newRow("a lone surrogate matches nothing") << QString(QChar(0xD840)) << -1;
}

void LookupTest::findCharacterMatchesKeysAndAlternatives()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(lookUpCharacter(text), expected);
}

void LookupTest::quickLookUpRoutesTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("shown");
    QTest::addColumn<bool>("unknown");
    QTest::addColumn<std::vector<uint32_t>>("recorded");
    QTest::newRow("a character") << QStringLiteral(" 中\n") << 0 << false
                                 << std::vector<uint32_t>{0};
    // The shipped words: the longest word the text starts with.
    const auto chinese = uint32_t(wordRefOfCodes({0x4E2D, 0x6587}));
    QTest::newRow("a word that is no entry: the word")
        << QStringLiteral("中文書") << int(chinese) << false << std::vector<uint32_t>{chinese};
    QTest::newRow("no word: each character")
        << QStringLiteral("文中") << 1 << false << std::vector<uint32_t>{1, 0};
    QTest::newRow("a word that is an entry")
        << QStringLiteral("歡迎") << 5 << false << std::vector<uint32_t>{5};
    QTest::newRow("an unknown character")
        << QStringLiteral("龍") << -1 << true << std::vector<uint32_t>{};
    QTest::newRow("unknown among other text")
        << QStringLiteral("龍!") << -1 << false << std::vector<uint32_t>{};
    QTest::newRow("pinyin") << QStringLiteral("wen2") << 1 << false << std::vector<uint32_t>{1};
    QTest::newRow("pinyin of the wrong tone")
        << QStringLiteral("shui4") << -1 << false << std::vector<uint32_t>{};
    QTest::newRow("part of a longer word")
        << QStringLiteral("RESHWAT") << 4 << false << std::vector<uint32_t>{4};
}

void LookupTest::quickLookUpRoutesTheText()
{
    QFETCH(QString, text);
    QFETCH(int, shown);
    QFETCH(bool, unknown);
    QFETCH(std::vector<uint32_t>, recorded);
    const QuickLookup found = lookUpQuickly(text);
    QCOMPARE(found.index, shown);
    QCOMPARE(found.unknownCharacters, unknown);
    QCOMPARE(history, recorded);
}

// Alternative forms of 水 for findCharacter, definitions holding "alpha" for
// findDefinition.
void LookupTest::candidatesAreRanked_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("expected");
    QTest::newRow("alternatives: the smaller frequency wins")
        << QByteArray("U+4E00\tkTraditionalVariant\tU+6C34\nU+4E00\tkFrequency\t3\n"
                      "U+4E01\tkSemanticVariant\tU+6C34\nU+4E01\tkFrequency\t1\n")
        << 1;
    QTest::newRow("frequencies 3, 1 and none: 1 wins")
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E00\tkFrequency\t3\n"
                      "U+4E01\tkDefinition\talpha\nU+4E01\tkFrequency\t1\n"
                      "U+4E02\tkDefinition\talpha\n")
        << 1;
    QTest::newRow("no frequencies: more characters win")
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E01+4E02\tkDefinition\talpha\n") << 1;
    // A gloss (between ";" and ",") that is the word, before one that starts
    // with it, before one that holds it, whatever the frequencies.
    QTest::newRow("a gloss that is the word")
        << QByteArray("U+4E00\tkDefinition\tthe alpha; alpha male\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\tbeta, alpha\nU+4E01\tkFrequency\t5\n")
        << 1;
    QTest::newRow("a gloss that starts with the word")
        << QByteArray("U+4E00\tkDefinition\tthe alpha\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\tbeta; alpha male\nU+4E01\tkFrequency\t5\n")
        << 1;
    // Equal glosses: the earlier sense, among characters with a frequency.
    QTest::newRow("the earlier sense")
        << QByteArray("U+4E00\tkDefinition\tbeta; alpha\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\talpha; beta\nU+4E01\tkFrequency\t4\n"
                      "U+4E02\tkDefinition\talpha\n")
        << 1;
    // "alphas" is found as typed before its word is.
    QTest::newRow("a plural as typed")
        << QByteArray("U+4E00\tkDefinition\talphas\nU+4E00\tkFrequency\t4\n"
                      "U+4E01\tkDefinition\talpha\nU+4E01\tkFrequency\t1\n")
        << 1;
    QTest::newRow("a whole word beats a more frequent part of a word")
        << QByteArray("U+4E00\tkDefinition\talphabet\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\tsee: alpha-beta\nU+4E01\tkFrequency\t4\n")
        << 1;
}

void LookupTest::candidatesAreRanked()
{
    QFETCH(QByteArray, lines);
    QFETCH(int, expected);
    auto d = ftest::makeDictionary(kRankingIndex, lines);
    QVERIFY(d);
    dictsearch::SearchIndex forms(d.get());
    tavi_lookup::LookupIndex searches(*d, forms);
    const bool alternatives = lines.contains("U+6C34");
    QCOMPARE(alternatives ? searches.findCharacter({0x6C34}) : searches.findDefinition(u"alpha"),
             expected);
    // A plural or -ing form finds the word when nothing holds it as typed.
    if (!alternatives) {
        QCOMPARE(searches.findDefinition(u"alphas"), lines.contains("alphas") ? 0 : expected);
        QCOMPARE(searches.findDefinition(u"ALPHAING"), expected);
    }
}

void LookupTest::everyKeyFindsItsOwnEntry()
{
    QVERIFY(m_shipped.entries.size() > 10000);
    for (const characterEntry* e : m_shipped.entries)
        QCOMPARE(m_searches->findCharacter({e->codes.begin(), e->codes.end()}), int32_t(e->index));
}

// Without the shipped words (as a user's own dictionary is searched), and
// with them: English and pinyin then find words and characters alike.
void LookupTest::theShippedDictionaryFindsWhatTheUserMeans_data()
{
    QTest::addColumn<bool>("withWords");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const auto row = [](bool withWords, const char* text, const char* expected) {
        QTest::addRow("%s%s", withWords ? "words: " : "", text)
            << withWords << QString::fromUtf8(text) << QString::fromUtf8(expected);
    };
    // Characters that earlier rare variants list as an alternative form.
    for (const char* c : {"國", "你", "五", "學", "学", "水", "中"})
        row(false, c, c);
    // English: the gloss that is the word; a plural or -ing form that no
    // definition holds as typed finds its word.
    for (const auto& [text, found] :
         {std::pair("I", "我"), std::pair("shuǐ", "水"), std::pair("zhong1", "中"),
          std::pair("drink", "喝"), std::pair("hand", "手"), std::pair("he", "他"),
          std::pair("eat", "吃"), std::pair("mothers", "妈"), std::pair("buying", "买"),
          std::pair("Zhong1", "中"), std::pair("nv3", "女")})
        row(false, text, found);
    for (const char* spelling : {"lü4", "lv4", "lu:4", "lǜ"})
        row(false, spelling, "律");
    // A sense equal to the word first, the most common by jieba's counts;
    // Unihan's 人 reads "man; people; mankind", CC-CEDICT's "person; people".
    // Pinyin comes before senses that merely hold the syllable ("surname Hao").
    for (const auto& [text, found] :
         {std::pair("person", "人"), std::pair("hello", "你好"), std::pair("Computer", "计算机"),
          std::pair("eat", "吃"), std::pair("drink", "喝"), std::pair("water", "水"),
          std::pair("zhongwen", "中文"), std::pair("hao3", "好")})
        row(true, text, found);
    for (const char* spelling : {"ni hao", "nihao", "ni3hao3", "nǐ hǎo", "NI HAO"})
        row(true, spelling, "你好");
}

void LookupTest::aWordIsSpokenAndShownByItsReading()
{
    const words::Word green = wordOfWordRef(wordRefOfCodes({0x7EFF, 0x8272})); // 绿色
    QCOMPARE(green.pinyin, QStringLiteral("lu:4 se4"));
    QCOMPARE(wordSpeechText(green), QByteArray("lv4 se4"));
    QCOMPARE(wordReading(green), QStringLiteral("lǜ sè"));
    QCOMPARE(wordReading(wordOfWordRef(wordRefOfCodes({0x5317, 0x4EAC}))), // 北京
             QStringLiteral("Běi jīng"));
}

void LookupTest::theShippedDictionaryFindsWhatTheUserMeans()
{
    QFETCH(bool, withWords);
    QFETCH(QString, text);
    QFETCH(QString, expected);
    tavi_lookup::LookupIndex& searches = withWords ? *m_wordSearches : *m_searches;
    const bool han = QChar::script(text.at(0).unicode()) == QChar::Script_Han;
    const int32_t found =
        han ? searches.findCharacter(tavi_text::codePoints(text)) : searches.findLatin(text);
    QVERIFY(found >= 0);
    QCOMPARE(isWordRef(found) ? wordRefForm(found) : m_shipped.entries[std::size_t(found)]->display,
             expected);
}

QTEST_GUILESS_MAIN(LookupTest)
#include "tst_lookup.moc"
