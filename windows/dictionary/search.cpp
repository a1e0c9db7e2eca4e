// Search and filter of the entry list, and the busy indicator.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/searchfield.h"
#include "store/dictionary.h"
#include "store/pinyinquery.h"
#include "store/relevance.h"
#include "store/searchindex.h"
#include "store/trace.h"
#include "store/textutil.h"

#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>

#include <cstdio>

namespace {

// The busy indicator is drawn again while a rebuild runs, at most this often.
constexpr qint64 kBusyRedrawMs = 100;

} // namespace

ControlRef dictionaryList()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    ControlRef list = nullptr;
    if (!window || GetControlByID(window, &kDictBrowserPaneID, &list) != noErr)
        return nullptr;
    return list;
}

void showBusy()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    if (!window)
        return;
    ControlRef busy = nullptr;
    ControlRef caption = nullptr;
    OSStatus err = GetControlByID(window, &kBusyIndicatorID, &busy);
    if (err != noErr)
        qCDebug(taviTrace, "Got error %ld loading think control", long(err));
    err = GetControlByID(window, &kCharacterCaptionID, &caption);
    if (err != noErr)
        qCDebug(taviTrace, "Got error %ld loading think control", long(err));
    if (busy) {
        ShowControl(busy);
        Draw1Control(busy);
    }
    if (caption) {
        const QString empty = QStringLiteral("");
        SetControlData(caption, kControlEntireControl, kControlStaticTextCFStringTag, sizeof empty,
                       &empty);
        Draw1Control(caption);
    }
    // Drawing a control puts it on the screen at once; flushing the whole
    // window would also lay out and paint the list, which is about to change.
}

void unshowBusy()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    if (!window)
        return;
    ControlRef busy = nullptr;
    const OSStatus err = GetControlByID(window, &kBusyIndicatorID, &busy);
    if (err != noErr) {
        qCDebug(taviTrace, "Got error %ld loading think control", long(err));
    }
    if (busy) {
        HideControl(busy);
        Draw1Control(busy);
    }
    // The list is painted with the new items when the loop next runs.
}

namespace {

// Matches of the text in one field: readings syllable by syllable when the
// text reads as pinyin, numbers whole, other values as substrings with whole
// words marked (2 in hits) above parts of words (1).
void markField(dictsearch::SearchIndex& index, int field, const QString& needle,
               const std::vector<pinyinquery::Syllable>& syllables, std::vector<uint8_t>& hits)
{
    const dictFields* f = dict.fields[std::size_t(field)];
    if (!syllables.empty() && f->name == "kMandarin") {
        index.markIf(
            field, [&](QStringView form) { return pinyinquery::matchesReading(form, syllables); },
            hits, 2);
    } else if (f->kind == kMetaNum) {
        index.markWords(field, needle, hits, 0);
    } else {
        index.markWords(field, needle, hits, 1);
    }
}

void showResultCount(std::size_t count, const QString& text)
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    ControlRef label = nullptr;
    if (!window || GetControlByID(window, &kResultCountID, &label) != noErr)
        return;
    QString caption;
    if (count == 0 && !text.isNull())
        caption = QStringLiteral("No entries match \u201C%1\u201D").arg(text);
    else if (count == 1)
        caption = QStringLiteral("1 entry");
    else
        caption = QStringLiteral("%1 entries").arg(QLocale().toString(qulonglong(count)));
    SetControlData(label, kControlEntireControl, kControlStaticTextCFStringTag, sizeof caption,
                   &caption);
}

} // namespace

void rememberListSort(ControlRef browser)
{
    DataBrowserPropertyID property = kDataBrowserItemNoProperty;
    DataBrowserSortOrder order = kDataBrowserOrderIncreasing;
    if (GetDataBrowserSortProperty(browser, &property) != noErr ||
        property == kDataBrowserItemNoProperty)
        return;
    GetDataBrowserSortOrder(browser, &order);
    listSort.column = property;
    listSort.order = order;
}

void filterDBItems(ControlRef browser, int filter, int scope, const QString& text)
{
    showBusy();
    qCDebug(taviTrace, "Filter db for items with the field %d", filter);
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty);

    // A search lists by relevance; otherwise the column the user sorted by.
    rememberListSort(browser);
    if (text.isNull()) {
        SetDataBrowserSortOrder(browser, DataBrowserSortOrder(listSort.order));
        SetDataBrowserSortProperty(browser, listSort.column);
    } else {
        SetDataBrowserSortProperty(browser, kDataBrowserItemNoProperty);
    }

    const std::size_t count = dict.entries.size();
    if (filter == -1 && text.isNull()) {
        AddDataBrowserItems(browser, kDataBrowserNoItem, count, nullptr,
                            kDataBrowserItemNoProperty);
        showResultCount(count, text);
        unshowBusy();
        return;
    }

    qCDebug(taviTrace, "Search db for items with the field %d", scope);

    // Entries whose character or searched fields hold the text, from the
    // search forms, in one pass over each form buffer. hits ranks them: 3
    // the character is the text, 2 a reading or a whole word, 1 the rest.
    dictsearch::SearchIndex& index = dictsearch::dictionarySearchIndex();
    std::vector<uint8_t> hits;
    if (!text.isNull()) {
        hits.assign(count, 0);
        const QString needle = dictsearch::searchForm(text);
        const std::vector<pinyinquery::Syllable> syllables = pinyinquery::parse(text);
        if (scope == -2)
            index.buildAll(); // all fields in one walk, the first time
        if (scope == -1 || scope == -2)
            index.markMatches(dictsearch::SearchIndex::kCharacter, needle, hits);
        if (scope == -2) {
            for (std::size_t i = 0; i < dict.fields.size(); ++i) {
                if (dict.fields[i]->flags != 0)
                    markField(index, int(i), needle, syllables, hits);
            }
        } else if (scope >= 0 && std::size_t(scope) < dict.fields.size() &&
                   dict.fields[std::size_t(scope)]->flags != 0) {
            markField(index, scope, needle, syllables, hits);
        }
        const QString key = text.trimmed();
        characterEntry probe(tavi_text::codePoints(key));
        if (const auto* e = static_cast<const characterEntry*>(dict.table->IsIn(&probe));
            e && hits[e->index])
            hits[e->index] = 3;
    }

    QElapsedTimer sinceDrawn;
    sinceDrawn.start();
    std::vector<DataBrowserItemID> items;
    for (std::size_t p = 0; p < count; ++p) {
        if (p % 1000 == 0 && sinceDrawn.elapsed() >= kBusyRedrawMs) {
            showBusy();
            sinceDrawn.restart();
        }
        if (!hits.empty() && !hits[p])
            continue;
        // The forms also tell which entries have a value of the field.
        if (filter != -1 && !index.hasValue(filter, p))
            continue;
        items.push_back(DataBrowserItemID(p + 1));
    }
    if (!hits.empty())
        orderByRelevance(items, hits);
    AddDataBrowserItems(browser, kDataBrowserNoItem, items.size(), items.data(),
                        kDataBrowserItemNoProperty);
    showResultCount(items.size(), text);
    unshowBusy();
}

void orderByRelevance(std::vector<DataBrowserItemID>& items, const std::vector<uint8_t>& hits)
{
    const dictsearch::Relevance relevance(dict);
    struct Ranked {
        uint8_t group;
        uint64_t key;
        DataBrowserItemID item;
    };
    std::vector<Ranked> ranked;
    ranked.reserve(items.size());
    for (DataBrowserItemID item : items) {
        const std::size_t p = item - 1;
        ranked.push_back({hits[p], relevance.key(dict.entries[p]), item});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        if (a.group != b.group)
            return a.group > b.group;
        if (a.key != b.key)
            return a.key < b.key;
        return a.item < b.item;
    });
    for (std::size_t i = 0; i < ranked.size(); ++i)
        items[i] = ranked[i].item;
}

void searchWithFieldText(ControlRef field)
{
    QString text;
    GetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof text, &text,
                   nullptr);
    // Nothing to look for: the list shows what the filter lets through.
    if (text.trimmed().isEmpty()) {
        cancelSearch(field);
        return;
    }
    HISearchFieldChangeAttributes(field, kHISearchFieldAttributesCancel, 0);
    qCDebug(taviTrace, "Got valid CFString (%s)", text.toUtf8().constData());
    const int scope = globals.searchState;
    if (scope >= 0 && std::size_t(scope) < dict.fields.size() &&
        dict.fields[std::size_t(scope)]->name == "kMandarin") {
        qCDebug(taviTrace, "converting pinyin");
        const QString converted = pinyinquery::toneMarked(text);
        if (converted != text) {
            text = converted;
            SetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof text,
                           &text);
        }
    }
    ControlRef list = dictionaryList();
    if (!list) {
        minorError("Error", "Error, could not find browser control", 0);
        return;
    }
    filterDBItems(list, globals.filterState, globals.searchState, text);
}

void cancelSearch(ControlRef field)
{
    QString text;
    GetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof text, &text,
                   nullptr);
    if (!text.isEmpty()) {
        const QString empty = QStringLiteral("");
        SetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof empty,
                       &empty);
    }
    HISearchFieldChangeAttributes(field, 0, kHISearchFieldAttributesCancel);
    ControlRef list = dictionaryList();
    if (!list) {
        minorError("Error", "Error, could not find browser control", 0);
        return;
    }
    filterDBItems(list, globals.filterState, -3, QString());
}

namespace {

// Down in the search field goes on to the list: its first row, selected.
OSStatus moveIntoList(EventRef event)
{
    char character = 0;
    GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof character,
                      nullptr, &character);
    if (character != 31)
        return eventNotHandledErr;
    WindowRef window = FindMyWindow(kDictionaryWindowTag, false);
    ControlRef list = nullptr;
    DataBrowserItemID first = kDataBrowserNoItem;
    if (!window || GetControlByID(window, &kDictBrowserPaneID, &list) != noErr ||
        GetDataBrowserTableViewItemID(list, 0, &first) != noErr)
        return eventNotHandledErr;
    SetKeyboardFocus(window, list, kControlFocusNextPart);
    SetDataBrowserSelectedItems(list, 1, &first, kDataBrowserItemsAssign);
    RevealDataBrowserItem(list, first, kDataBrowserItemNoProperty, 0);
    return noErr;
}

} // namespace

OSStatus DictWindowSearchHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    auto field = static_cast<ControlRef>(userData);
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassTextField && kind == kEventTextAccepted) {
        qCDebug(taviTrace, "Got search event!");
        searchWithFieldText(field);
        return noErr;
    }

    if (eventClass == kEventClassSearchField && kind == kEventSearchFieldCancelClicked) {
        qCDebug(taviTrace, "Got cancel event");
        cancelSearch(field);
        return noErr;
    }

    if (eventClass == kEventClassKeyboard && kind == kEventRawKeyDown)
        return moveIntoList(event);

    qCDebug(taviTrace, "Go unknown event!");
    return eventNotHandledErr;
}
