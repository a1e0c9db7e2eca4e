// The search forms and the matching rule, and filterDBItems against a direct
// comparison of every value on the shipped dictionary.

#include "app/globals.h"
#include "platform/databrowser.h"
#include "store/dictionary.h"
#include "windows/dictionary/dictionarywindow.h"
#include "store/pinyinquery.h"
#include "windows/dictionary/searchindex.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextBoundaryFinder>
#include <QTreeView>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString kShipped = QStringLiteral(TAVI_BUILD_SHARE_DIR "/dictionary.txt");

// Written apart from the index: fold each text on its own, find every
// occurrence and accept it when both ends are grapheme boundaries.
QString directForm(const QString& text)
{
    return text.normalized(QString::NormalizationForm_D)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_D);
}

bool directContains(const QString& form, const QString& needle)
{
    if (needle.isEmpty())
        return false;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, form);
    for (qsizetype at = form.indexOf(needle); at >= 0; at = form.indexOf(needle, at + 1)) {
        finder.setPosition(at);
        const bool startsWhole = finder.isAtBoundary();
        finder.setPosition(at + needle.size());
        if (startsWhole && finder.isAtBoundary())
            return true;
    }
    return false;
}

std::vector<DataBrowserItemID> listed(ControlRef list)
{
    std::vector<DataBrowserItemID> items;
    GetDataBrowserItems(list, kDataBrowserNoItem, false, kDataBrowserItemAnyState, &items);
    return items;
}

characterEntry* makeEntry(dictionary& d, char32_t code)
{
    auto* entry = new characterEntry(std::vector<uint32_t>{uint32_t(code)});
    d.addCharacterEntry(entry);
    return entry;
}

void addValue(dictionary& d, characterEntry* entry, int field, const QString& display)
{
    d.addDictValue(entry, new dictValue{field, display.toUtf8(), display, 0});
}

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void matchesWholeCharactersOnly_data();
    void matchesWholeCharactersOnly();
    void indexFollowsNewEntriesAndEdits();
    void indexAgreesWithDirectComparisonOnTheShippedDictionary();
};

void SearchTest::matchesWholeCharactersOnly_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::newRow("case is ignored") << QStringLiteral("Mama") << QStringLiteral("MA") << true;
    QTest::newRow("precomposed in decomposed") << QStringLiteral("cafe\u0301") << QStringLiteral("caf\u00e9") << true;
    QTest::newRow("decomposed in precomposed") << QStringLiteral("caf\u00e9") << QStringLiteral("cafe\u0301") << true;
    QTest::newRow("a letter is not its accented form") << QStringLiteral("m\u01ce") << QStringLiteral("ma") << false;
    QTest::newRow("an accent alone is no character") << QStringLiteral("m\u01ce") << QStringLiteral("\u030c") << false;
    QTest::newRow("upper-case accented letter") << QStringLiteral("l\u01dc") << QStringLiteral("L\u01db") << true;
    QTest::newRow("marks in another order") << QStringLiteral("\u1ec7") << QStringLiteral("e\u0323\u0302") << true;
    QTest::newRow("part of a Hangul syllable") << QStringLiteral("\ud55c") << QStringLiteral("\ud558") << false;
    QTest::newRow("a whole Hangul syllable") << QStringLiteral("\ud55c\uad6d") << QStringLiteral("\ud55c") << true;
    QTest::newRow("a character beyond the basic plane") << QStringLiteral("x\U00020000y") << QStringLiteral("\U00020000") << true;
    QTest::newRow("half of a surrogate pair") << QStringLiteral("\U00020000") << QString(QChar(0xD840)) << false;
    QTest::newRow("an empty text") << QStringLiteral("water") << QStringLiteral("") << false;
}

void SearchTest::matchesWholeCharactersOnly()
{
    QFETCH(QString, value);
    QFETCH(QString, text);
    QFETCH(bool, found);
    const QString form = dictsearch::searchForm(value);
    const QString needle = dictsearch::searchForm(text);
    QCOMPARE(dictsearch::containsWhole(form, needle), found);
    QCOMPARE(directContains(directForm(value), directForm(text)), found);

    dictionary d;
    d.fields.push_back(new dictFields{"kTest", kMetaText, 10, FOUR_CHAR_CODE("TEST"),
                                      QStringLiteral("Test"), QString(), 3, 0});
    addValue(d, makeEntry(d, 0x4E00), 0, value);
    dictsearch::SearchIndex index(&d);
    std::vector<uint8_t> hits(1, 0);
    index.markMatches(0, needle, hits);
    QCOMPARE(hits[0] != 0, found);
}

void SearchTest::indexFollowsNewEntriesAndEdits()
{
    dictionary d;
    d.fields.push_back(new dictFields{"kDefinition", kDefinition, 10, FOUR_CHAR_CODE("EDEF"),
                                      QStringLiteral("Definition"), QString(), 3, 0});
    addValue(d, makeEntry(d, 0x6C34), 0, QStringLiteral("water"));
    addValue(d, makeEntry(d, 0x706B), 0, QStringLiteral("fire"));
    dictsearch::SearchIndex index(&d);
    auto search = [&](int field, const QString& text) {
        std::vector<uint8_t> hits(d.entries.size(), 0);
        index.markMatches(field, dictsearch::searchForm(text), hits);
        QString found;
        for (std::size_t p = 0; p < hits.size(); ++p) {
            if (hits[p])
                found += d.entries[p]->display;
        }
        return found;
    };
    QCOMPARE(search(0, QStringLiteral("WATER")), QStringLiteral("水"));

    // An entry added after the forms were made is found.
    characterEntry* ice = makeEntry(d, 0x51B0);
    addValue(d, ice, 0, QStringLiteral("ice, frozen water"));
    QCOMPARE(search(0, QStringLiteral("water")), QStringLiteral("水冰"));
    QCOMPARE(search(dictsearch::SearchIndex::kCharacter, QStringLiteral("冰")), QStringLiteral("冰"));

    // An edited value is found by its new text only.
    d.entries[0]->lookup(0)->display = QStringLiteral("liquid");
    index.valueChanged(d.entries[0], 0);
    QCOMPARE(search(0, QStringLiteral("water")), QStringLiteral("冰"));
    QCOMPARE(search(0, QStringLiteral("liquid")), QStringLiteral("水"));
    QCOMPARE(index.form(0, d.entries[0]), QStringView(u"liquid"));

    // A value made by an edit where there was none.
    characterEntry* wood = makeEntry(d, 0x6728);
    QCOMPARE(search(0, QStringLiteral("tree")), QString());
    addValue(d, wood, 0, QStringLiteral("Tree"));
    index.valueChanged(wood, 0);
    QCOMPARE(search(0, QStringLiteral("tree")), QStringLiteral("木"));
}

void SearchTest::indexAgreesWithDirectComparisonOnTheShippedDictionary()
{
    if (!QFile::exists(kShipped))
        QSKIP("The shipped dictionary has not been built");
    dict.loadIndex(kShipped.toUtf8().constData());
    dict.load(kShipped.toUtf8().constData(), nullptr);
    QVERIFY(dict.count > 1000);
    for (dictFields* field : dict.fields)
        field->flags = 3;
    // One field hidden: all-field searches must leave it out.
    const int hidden = dict.findField("kCangjie");
    if (hidden >= 0)
        dict.fields[std::size_t(hidden)]->flags = 0;
    const int mandarin = dict.findField("kMandarin");
    QVERIFY(mandarin >= 0);

    // The forms of every character and value, folded one by one.
    std::vector<QString> characters;
    std::vector<std::vector<QString>> values(dict.fields.size());
    for (characterEntry* entry : dict.entries) {
        characters.push_back(directForm(entry->display));
        for (std::size_t f = 0; f < dict.fields.size(); ++f) {
            const dictValue* value = entry->lookup(int(f));
            values[f].push_back(value ? directForm(value->display) : QString());
        }
    }
    // Numbers match whole; readings match pinyin syllable by syllable.
    auto wholeNumber = [](const QString& form, const QString& needle) {
        // Bounded where the needle itself begins or ends with a letter or digit.
        const QRegularExpression word(QStringLiteral("^[\\p{L}\\p{N}\\p{M}]$"));
        const QString before = word.match(needle.left(1)).hasMatch() ? QStringLiteral("(?<![\\p{L}\\p{N}\\p{M}])") : QString();
        const QString after = word.match(needle.right(1)).hasMatch() ? QStringLiteral("(?![\\p{L}\\p{N}\\p{M}])") : QString();
        return QRegularExpression(before + QRegularExpression::escape(needle) + after).match(form).hasMatch();
    };
    auto direct = [&](int filter, int scope, const QString& text) {
        const QString needle = directForm(text);
        const std::vector<pinyinquery::Syllable> syllables = pinyinquery::parse(text);
        auto matches = [&](std::size_t f, std::size_t p) {
            if (f == std::size_t(mandarin) && !syllables.empty())
                return pinyinquery::matchesReading(values[f][p], syllables);
            if (dict.fields[f]->kind == kMetaNum)
                return directContains(values[f][p], needle) && wholeNumber(values[f][p], needle);
            return directContains(values[f][p], needle);
        };
        std::vector<DataBrowserItemID> items;
        for (std::size_t p = 0; p < dict.entries.size(); ++p) {
            if (filter >= 0 && !dict.entries[p]->lookup(filter))
                continue;
            bool match = (scope == -1 || scope == -2) && directContains(characters[p], needle);
            for (std::size_t f = 0; !match && f < dict.fields.size(); ++f) {
                if ((scope == -2 || scope == int(f)) && dict.fields[f]->flags != 0 &&
                    dict.entries[p]->lookup(int(f)))
                    match = matches(f, p);
            }
            if (match)
                items.push_back(DataBrowserItemID(p + 1));
        }
        return items;
    };

    auto* view = new QTreeView;
    std::unique_ptr<QTreeView> owner(view);
    ControlRef list = GetControlFromWidget(view);
    QVERIFY(IsDataBrowserControl(list));

    const QStringList queries = {
        QStringLiteral("water"), QStringLiteral("Water"), QStringLiteral("WATER"),
        QStringLiteral("wa"), QStringLiteral("a"), QStringLiteral("mountain range"),
        QStringLiteral("caf\u00e9"), QStringLiteral("cafe\u0301"), QStringLiteral("\u00fc"),
        QStringLiteral("u\u0308"), QStringLiteral("n\u01da"), QStringLiteral("nu\u0308\u030c"),
        QStringLiteral("\u00e0"), QStringLiteral("\u0101"), QStringLiteral("\u00c9"),
        QStringLiteral("\u6c34"), QStringLiteral("\u4e2d"), QStringLiteral("\u4e00"),
        QStringLiteral("\U00020000"), QStringLiteral("m\u01ce"), QStringLiteral("ma\u030c"),
        QStringLiteral("zh\u014dng"), QStringLiteral("h\u01ceo"), QStringLiteral("L\u01dc"),
        QStringLiteral("\ud55c"), QStringLiteral("\ud558"), QStringLiteral("\u0111"),
        QStringLiteral("\u01a1"), QStringLiteral("\u1ec7"), QStringLiteral("10"),
        QStringLiteral(" "), QStringLiteral("ma"), QStringLiteral("shui"), QStringLiteral("lv4"),
        QStringLiteral("ni3hao3"), QStringLiteral("4"),
    };
    struct Scope {
        int filter;
        int scope;
    };
    const int strokes = dict.findField("kTotalStrokes");
    const Scope scopes[] = {{-1, -2}, {-1, -1}, {-1, mandarin}, {mandarin, -2}, {-1, strokes}};
    int compared = 0;
    for (const Scope& s : scopes) {
        for (const QString& query : queries) {
            filterDBItems(list, s.filter, s.scope, query);
            const std::vector<DataBrowserItemID> expected = direct(s.filter, s.scope, query);
            std::vector<DataBrowserItemID> found = listed(list);
            std::sort(found.begin(), found.end()); // the list is in order of relevance
            if (found != expected)
                QFAIL(qPrintable(QStringLiteral("filter %1, scope %2, text \"%3\": %4 items, expected %5")
                                     .arg(s.filter)
                                     .arg(s.scope)
                                     .arg(query)
                                     .arg(listed(list).size())
                                     .arg(expected.size())));
            compared += int(expected.size());
        }
    }
    QVERIFY(compared > 1000); // the queries found something

    // The most relevant entries come first.
    auto first = [&](int scope, const QString& text) {
        filterDBItems(list, -1, scope, text);
        const std::vector<DataBrowserItemID> items = listed(list);
        return items.empty() ? QString() : dict.entries[items[0] - 1]->display;
    };
    QCOMPARE(first(-2, QStringLiteral("水")), QStringLiteral("水"));
    QCOMPARE(first(-2, QStringLiteral("water")), QStringLiteral("水"));
    QCOMPARE(first(-2, QStringLiteral("shui")), QStringLiteral("水"));
    QCOMPARE(first(mandarin, QStringLiteral("shu\u01d0")), QStringLiteral("水"));
}

QTEST_MAIN(SearchTest)
#include "tst_search.moc"
