// findCharacter and findDefinition: what they find, in which order of
// preference, and what they add to the history.

#include "tests/floating/floatingtest.h"

#include "windows/dictionary/searchindex.h"

#include <QFileInfo>
#include <QTest>

using ftest::lookUpCharacter;
using ftest::lookUpDefinition;

namespace {

const QByteArray kRankingIndex = "kDefinition\tEDEF\tkDefinition\tDefinition\tdefinition\n"
                                 "kFrequency\tFREQ\tkMetaNum\tFrequency\tfrequency\n";
const QByteArray kRankingIndexWithoutFrequency =
    "kDefinition\tEDEF\tkDefinition\tDefinition\tdefinition\n";

// The searches as a plain scan of every entry, for comparison with the
// indexed ones.
int32_t scanForCharacter(const dictionary& d, const std::vector<uint32_t>& codes)
{
    const QString form = dictsearch::searchForm(dictionary::displayOfCodes(codes));
    for (const characterEntry* e : d.entries) {
        if (e->codes == codes)
            return int32_t(e->index);
        for (std::size_t f = 0; f < d.fields.size(); ++f) {
            if (d.fields[f]->kind != kAltCharacter)
                continue;
            const dictValue* v = e->lookup(int(f));
            if (v && !v->display.isNull() && dictsearch::searchForm(v->display) == form)
                return int32_t(e->index);
        }
    }
    return -1;
}

int32_t scanForDefinition(const dictionary& d, const std::vector<std::vector<QString>>& forms,
                          const QString& text)
{
    const QString needle = dictsearch::searchForm(text);
    const int frequency = d.findField("kFrequency");
    int64_t best = -1;
    for (std::size_t i = 0; i < d.entries.size(); ++i) {
        for (const QString& form : forms[i]) {
            if (!dictsearch::containsWhole(form, needle))
                continue;
            if (best < 0) {
                best = int64_t(i);
                continue;
            }
            const dictValue* c = frequency >= 0 ? d.entries[i]->lookup(frequency) : nullptr;
            const dictValue* b = frequency >= 0 ? d.entries[std::size_t(best)]->lookup(frequency) : nullptr;
            if ((c && !b) || (!c && !b && d.entries[i]->codes.size() > d.entries[std::size_t(best)]->codes.size()) ||
                (c && b && tavi_lookup::leadingInteger(c->text) < tavi_lookup::leadingInteger(b->text)))
                best = int64_t(i);
        }
    }
    return int32_t(best);
}

} // namespace

class LookupTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void findCharacterMatchesKeysAndAlternatives_data();
    void findCharacterMatchesKeysAndAlternatives();
    void findDefinitionFindsAWordInsideALongerOne();
    void findDefinitionRanksCandidates_data();
    void findDefinitionRanksCandidates();
    void lookingUpABAGivesBAAndMissesChangeNothing();
    void entriesAddedLaterAreFound();
    void indexedSearchesAgreeWithAScanOfTheShippedDictionary();
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
    QTest::newRow("an alternative in an earlier entry wins over a later key")
        << QStringLiteral("檯") << 3;
    QTest::newRow("a surrogate pair is one character") << QString::fromUcs4(U"\U00020000", 1) << 6;
    QTest::newRow("a lone surrogate matches nothing") << QString(QChar(0xD840)) << -1;
}

void LookupTest::findCharacterMatchesKeysAndAlternatives()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(lookUpCharacter(text), expected);
}

void LookupTest::findDefinitionFindsAWordInsideALongerOne()
{
    QCOMPARE(lookUpDefinition(QStringLiteral("freshwater")), 4);
    QCOMPARE(lookUpDefinition(QStringLiteral("FRESH")), 4);
    // 水 and 淡 both hold "water"; 水 is the more frequent.
    QCOMPARE(lookUpDefinition(QStringLiteral("water")), 2);
    QCOMPARE(lookUpDefinition(QString()), -1);
}

void LookupTest::findDefinitionRanksCandidates_data()
{
    QTest::addColumn<QByteArray>("index");
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<int>("expected");
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
    QTest::newRow("no candidate")
        << kRankingIndex << QByteArray("U+4E00\tkDefinition\tbeta\n") << -1;
}

void LookupTest::findDefinitionRanksCandidates()
{
    QFETCH(QByteArray, index);
    QFETCH(QByteArray, lines);
    QFETCH(int, expected);
    auto d = ftest::makeDictionary(index, lines);
    QVERIFY(d);
    dictsearch::SearchIndex forms(d.get());
    tavi_lookup::LookupIndex searches(*d, forms);
    QCOMPARE(searches.findDefinition(u"alpha"), expected);
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

void LookupTest::indexedSearchesAgreeWithAScanOfTheShippedDictionary()
{
    const QByteArray path = QByteArray(TAVI_BUILD_SHARE_DIR) + "/dictionary.txt";
    if (!QFileInfo::exists(QString::fromUtf8(path)))
        QSKIP("the shipped dictionary is not built in this tree");
    dictionary real;
    real.loadIndex(path.constData());
    real.load(path.constData(), nullptr);
    QVERIFY(real.entries.size() > 10000);

    std::vector<std::vector<QString>> forms(real.entries.size());
    for (std::size_t i = 0; i < real.entries.size(); ++i) {
        for (std::size_t f = 0; f < real.fields.size(); ++f) {
            const dictValue* v = real.fields[f]->kind == kDefinition ? real.entries[i]->lookup(int(f)) : nullptr;
            if (v && !v->display.isNull())
                forms[i].push_back(dictsearch::searchForm(v->display));
        }
    }
    dictsearch::SearchIndex realForms(&real);
    tavi_lookup::LookupIndex searches(real, realForms);
    const QStringList words = {QStringLiteral("water"), QStringLiteral("Water"), QStringLiteral("fire"),
                               QStringLiteral("mountain"), QStringLiteral("river"), QStringLiteral("to"),
                               QStringLiteral("e"), QStringLiteral("variant of"), QStringLiteral("qzxv"),
                               QStringLiteral("surname"), QStringLiteral("("), QStringLiteral("é")};
    for (const QString& word : words)
        QVERIFY2(searches.findDefinition(word) == scanForDefinition(real, forms, word), qPrintable(word));

    // Keys and every alternative form of a sample of entries, and characters
    // no entry has.
    std::vector<std::vector<uint32_t>> samples = {{0xE000}, {0xF900}, {0x4E2D, 0x6587}};
    for (std::size_t i = 0; i < real.entries.size(); i += 211) {
        const characterEntry* e = real.entries[i];
        samples.push_back(e->codes);
        for (const dictValue* v : e->values) {
            if (real.fields[std::size_t(v->field)]->kind == kAltCharacter && !v->display.isNull())
                samples.push_back(tavi_lookup::codePointsOfUnits(v->display.utf16(), v->display.size()));
        }
    }
    for (const auto& codes : samples)
        QCOMPARE(searches.findCharacter(codes), scanForCharacter(real, codes));
}

QTEST_GUILESS_MAIN(LookupTest)
#include "tst_lookup.moc"
