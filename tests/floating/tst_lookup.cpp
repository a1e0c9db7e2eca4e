// findCharacter and findDefinition: what they find, in which order of
// preference, and what they add to the history.

#include "tests/floating/floatingtest.h"

#include "windows/dictionary/searchindex.h"

#include <QFileInfo>
#include <QTest>

using ftest::lookUpCharacter;
using ftest::lookUpDefinition;

namespace {

const QByteArray kRankingIndexWithoutFrequency =
    "kDefinition\tEDEF\tkDefinition\tDefinition\tdefinition\n"
    "kTraditionalVariant\tTRAD\tkAltCharacter\tTraditional\tt\n"
    "kSemanticVariant\tSEMV\tkAltCharacter\tSemantic\ts\n";
const QByteArray kRankingIndex =
    kRankingIndexWithoutFrequency + "kFrequency\tFREQ\tkMetaNum\tFrequency\tfrequency\n";

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
    void lookingUpABAGivesBAAndMissesChangeNothing();
    void entriesAddedLaterAreFound();
    void everyKeyFindsItsOwnEntry();
    void theShippedDictionaryFindsWhatTheUserMeans_data();
    void theShippedDictionaryFindsWhatTheUserMeans();
};

void LookupTest::initTestCase()
{
    ftest::loadFixtureDictionary();
    QCOMPARE(dict.entries.size(), std::size_t(14));
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
    QTest::newRow("key of two characters") << QStringLiteral("歡迎") << 5;
    QTest::newRow("first of a two-character key alone") << QStringLiteral("歡") << -1;
    QTest::newRow("simplified form") << QStringLiteral("国") << 10;
    QTest::newRow("capitals match lower case") << QStringLiteral("abc") << 7;
    QTest::newRow("decomposed matches precomposed") << QStringLiteral("e\u0301") << 9;
    QTest::newRow("base letter alone is not the accented one") << QStringLiteral("e") << -1;
    QTest::newRow("not in the dictionary") << QStringLiteral("龍") << -1;
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
    QTest::newRow("a character") << QStringLiteral(" 中\n") << 0 << false << std::vector<uint32_t>{0};
    QTest::newRow("a word that is no entry: each character")
        << QStringLiteral("中文") << 0 << false << std::vector<uint32_t>{0, 1};
    QTest::newRow("characters among other text")
        << QStringLiteral("龍 and 水, 中") << 2 << false << std::vector<uint32_t>{2, 0};
    QTest::newRow("a word that is an entry") << QStringLiteral("歡迎") << 5 << false << std::vector<uint32_t>{5};
    QTest::newRow("an unknown character") << QStringLiteral("龍") << -1 << true << std::vector<uint32_t>{};
    QTest::newRow("unknown among other text") << QStringLiteral("龍!") << -1 << false << std::vector<uint32_t>{};
    QTest::newRow("an English word") << QStringLiteral("Water") << 2 << false << std::vector<uint32_t>{2};
    QTest::newRow("pinyin with a tone mark") << QStringLiteral("shuǐ") << 2 << false << std::vector<uint32_t>{2};
    QTest::newRow("pinyin with a tone number") << QStringLiteral("shui3") << 2 << false << std::vector<uint32_t>{2};
    QTest::newRow("toneless pinyin") << QStringLiteral("wen") << 1 << false << std::vector<uint32_t>{1};
    QTest::newRow("pinyin of the wrong tone") << QStringLiteral("shui4") << -1 << false << std::vector<uint32_t>{};
    QTest::newRow("part of a longer word") << QStringLiteral("FRESH") << 4 << false << std::vector<uint32_t>{4};
    QTest::newRow("nothing") << QStringLiteral("zebra") << -1 << false << std::vector<uint32_t>{};
    QTest::newRow("blanks") << QStringLiteral(" \t") << -1 << false << std::vector<uint32_t>{};
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
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("expected");
    QTest::newRow("alternatives: the smaller frequency wins")
        << kRankingIndex
        << QByteArray("U+4E00\tkTraditionalVariant\tU+6C34\nU+4E00\tkFrequency\t3\n"
                      "U+4E01\tkSemanticVariant\tU+6C34\nU+4E01\tkFrequency\t1\n")
        << 1;
    QTest::newRow("alternatives: a frequency beats none")
        << kRankingIndex
        << QByteArray("U+4E00\tkTraditionalVariant\tU+6C34\n"
                      "U+4E01\tkTraditionalVariant\tU+6C34\nU+4E01\tkFrequency\t5\n")
        << 1;
    QTest::newRow("alternatives, equal: the earliest, whatever the field")
        << kRankingIndex
        << QByteArray("U+4E00\tkSemanticVariant\tU+6C34\nU+4E01\tkTraditionalVariant\tU+6C34\n")
        << 0;
    QTest::newRow("the key itself beats every alternative")
        << kRankingIndex
        << QByteArray("U+4E00\tkTraditionalVariant\tU+6C34\nU+4E00\tkFrequency\t1\n"
                      "U+6C34\tkFrequency\t5\n")
        << 1;
    QTest::newRow("frequencies 3, 1 and none: 1 wins")
        << kRankingIndex
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E00\tkFrequency\t3\n"
                      "U+4E01\tkDefinition\talpha\nU+4E01\tkFrequency\t1\n"
                      "U+4E02\tkDefinition\talpha\n")
        << 1;
    QTest::newRow("equal frequencies: the earlier wins")
        << kRankingIndex
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E00\tkFrequency\t2\n"
                      "U+4E01\tkDefinition\talpha\nU+4E01\tkFrequency\t2\n")
        << 0;
    QTest::newRow("a frequency beats none")
        << kRankingIndex
        << QByteArray("U+4E00+4E01\tkDefinition\talpha\nU+4E02\tkDefinition\talpha\n"
                      "U+4E02\tkFrequency\t5\n")
        << 1;
    QTest::newRow("a frequency without digits counts 0")
        << kRankingIndex
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\talpha\nU+4E01\tkFrequency\tfew\n")
        << 1;
    QTest::newRow("no frequencies: more characters win")
        << kRankingIndex
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E01+4E02\tkDefinition\talpha\n")
        << 1;
    QTest::newRow("no frequency field: each longer key replaces the best")
        << kRankingIndexWithoutFrequency
        << QByteArray("U+4E00\tkDefinition\talpha\nU+4E01+4E02\tkDefinition\talpha\n"
                      "U+4E03+4E04\tkDefinition\talpha\nU+4E05+4E06+4E07\tkDefinition\talpha\n"
                      "U+4E08\tkDefinition\talpha\n")
        << 3;
    QTest::newRow("a whole word beats a more frequent part of a word")
        << kRankingIndex
        << QByteArray("U+4E00\tkDefinition\talphabet\nU+4E00\tkFrequency\t1\n"
                      "U+4E01\tkDefinition\tsee: alpha-beta\nU+4E01\tkFrequency\t4\n")
        << 1;
    QTest::newRow("no candidate")
        << kRankingIndex << QByteArray("U+4E00\tkDefinition\tbeta\n") << -1;
}

void LookupTest::candidatesAreRanked()
{
    QFETCH(QByteArray, index);
    QFETCH(QByteArray, lines);
    QFETCH(int, expected);
    auto d = ftest::makeDictionary(index, lines);
    QVERIFY(d);
    dictsearch::SearchIndex forms(d.get());
    tavi_lookup::LookupIndex searches(*d, forms);
    const bool alternatives = lines.contains("U+6C34");
    QCOMPARE(alternatives ? searches.findCharacter({0x6C34}) : searches.findDefinition(u"alpha"), expected);
}

void LookupTest::lookingUpABAGivesBAAndMissesChangeNothing()
{
    QCOMPARE(lookUpCharacter(QStringLiteral("中")), 0);
    QCOMPARE(lookUpDefinition(QStringLiteral("literature")), 1);
    QCOMPARE(lookUpCharacter(QStringLiteral("中")), 0);
    QCOMPARE(history, (std::vector<uint32_t>{1, 0}));
    // Nothing found leaves the history alone.
    QCOMPARE(lookUpCharacter(QStringLiteral("龍")), -1);
    QCOMPARE(lookUpDefinition(QStringLiteral("zebra")), -1);
    QCOMPARE(history, (std::vector<uint32_t>{1, 0}));
}

void LookupTest::entriesAddedLaterAreFound()
{
    auto d = ftest::makeDictionary(kRankingIndex, "U+4E00\tkDefinition\talpha\n");
    dictsearch::SearchIndex forms(d.get());
    tavi_lookup::LookupIndex searches(*d, forms);
    QCOMPARE(searches.findDefinition(u"gamma"), -1);
    QCOMPARE(searches.findCharacter({0x4E01}), -1);
    auto* e = new characterEntry(std::vector<uint32_t>{0x4E01});
    d->addCharacterEntry(e);
    d->addDictValue(e, new dictValue{0, QByteArray("gamma"), QStringLiteral("gamma"), 1});
    QCOMPARE(searches.findDefinition(u"gamma"), 1);
    QCOMPARE(searches.findCharacter({0x4E01}), 1);
    // A changed display is seen once the search index is told.
    e->values[0]->display = QStringLiteral("delta");
    forms.valueChanged(e, 0);
    QCOMPARE(searches.findDefinition(u"gamma"), -1);
    QCOMPARE(searches.findDefinition(u"delta"), 1);
}

namespace {

// The shipped dictionary with its searches, loaded once; null when it is not
// built in this tree.
struct Shipped {
    dictionary d;
    std::unique_ptr<dictsearch::SearchIndex> forms;
    std::unique_ptr<tavi_lookup::LookupIndex> searches;
};

Shipped* shipped()
{
    static std::unique_ptr<Shipped> loaded;
    const QByteArray path = QByteArray(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";
    if (!loaded && QFileInfo::exists(QString::fromUtf8(path))) {
        loaded = std::make_unique<Shipped>();
        loaded->d.loadIndex(path.constData());
        loaded->d.load(path.constData(), nullptr);
        loaded->forms = std::make_unique<dictsearch::SearchIndex>(&loaded->d);
        loaded->searches = std::make_unique<tavi_lookup::LookupIndex>(loaded->d, *loaded->forms);
    }
    return loaded.get();
}

} // namespace

void LookupTest::everyKeyFindsItsOwnEntry()
{
    Shipped* s = shipped();
    if (!s)
        QSKIP("the shipped dictionary is not built in this tree");
    QVERIFY(s->d.entries.size() > 10000);
    for (const characterEntry* e : s->d.entries)
        QCOMPARE(s->searches->findCharacter(e->codes), int32_t(e->index));
}

void LookupTest::theShippedDictionaryFindsWhatTheUserMeans_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    // Characters that earlier rare variants list as an alternative form.
    for (const char* c : {"國", "你", "五", "學", "学", "水", "中"})
        QTest::newRow(c) << QString::fromUtf8(c) << QString::fromUtf8(c);
    QTest::newRow("eat") << QStringLiteral("eat") << QStringLiteral("吃");
    QTest::newRow("I") << QStringLiteral("I") << QStringLiteral("我");
    QTest::newRow("water") << QStringLiteral("water") << QStringLiteral("水");
    QTest::newRow("shuǐ") << QStringLiteral("shuǐ") << QStringLiteral("水");
    QTest::newRow("shui3") << QStringLiteral("shui3") << QStringLiteral("水");
    QTest::newRow("zhong1") << QStringLiteral("zhong1") << QStringLiteral("中");
    for (const char* spelling : {"lü4", "lv4", "lu:4", "lǜ"})
        QTest::newRow(spelling) << QString::fromUtf8(spelling) << QStringLiteral("律");
}

void LookupTest::theShippedDictionaryFindsWhatTheUserMeans()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    Shipped* s = shipped();
    if (!s)
        QSKIP("the shipped dictionary is not built in this tree");
    const bool han = QChar::script(text.at(0).unicode()) == QChar::Script_Han;
    const int32_t found =
        han ? s->searches->findCharacter(tavi_lookup::codePointsOfUnits(text.utf16(), text.size()))
            : s->searches->findLatin(text);
    QVERIFY(found >= 0);
    QCOMPARE(s->d.entries[std::size_t(found)]->display, expected);
}

QTEST_GUILESS_MAIN(LookupTest)
#include "tst_lookup.moc"
