// Search and filter of the entry list, and the busy indicator.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/searchfield.h"
#include "store/dictionary.h"
#include "windows/dictionary/searchindex.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

// The busy indicator is drawn again while a rebuild runs, at most this often.
constexpr qint64 kBusyRedrawMs = 100;

bool isPlainAscii(const QString& text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

ControlRef findDictionaryList()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    ControlRef list = nullptr;
    if (!window || GetControlByID(window, &kDictBrowserPaneID, &list) != noErr)
        return nullptr;
    return list;
}

} // namespace

void showBusy()
{
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    if (!window)
        return;
    ControlRef busy = nullptr;
    ControlRef caption = nullptr;
    OSStatus err = GetControlByID(window, &kBusyIndicatorID, &busy);
    if (err != noErr)
        std::printf("Got error %ld loading think control\n", long(err));
    err = GetControlByID(window, &kCharacterCaptionID, &caption);
    if (err != noErr)
        std::printf("Got error %ld loading think control\n", long(err));
    std::fflush(stdout);
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
        std::printf("Got error %ld loading think control\n", long(err));
        std::fflush(stdout);
    }
    if (busy) {
        HideControl(busy);
        Draw1Control(busy);
    }
    // The list is painted with the new items when the loop next runs.
}

void filterDBItems(ControlRef browser, int filter, int scope, const QString& text)
{
    showBusy();
    std::printf("Filter db for items with the field %d\n", filter);
    std::fflush(stdout);
    RemoveDataBrowserItems(browser, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty);

    const std::size_t count = dict.entries.size();
    if (filter == -1 && text.isNull()) {
        AddDataBrowserItems(browser, kDataBrowserNoItem, count, nullptr, kDataBrowserItemNoProperty);
        unshowBusy();
        return;
    }

    std::printf("Search db for items with the field %d\n", scope);
    std::fflush(stdout);

    // Entries whose character or searched fields hold the text, from the
    // search forms, in one pass over each form buffer.
    std::vector<uint8_t> hits;
    if (!text.isNull()) {
        hits.assign(count, 0);
        dictsearch::SearchIndex& index = dictsearch::dictionarySearchIndex();
        const QString needle = dictsearch::searchForm(text);
        if (scope == -2)
            index.buildAll(); // all fields in one walk, the first time
        if (scope == -1 || scope == -2)
            index.markMatches(dictsearch::SearchIndex::kCharacter, needle, hits);
        if (scope == -2) {
            for (std::size_t i = 0; i < dict.fields.size(); ++i) {
                if (dict.fields[i]->flags != 0)
                    index.markMatches(int(i), needle, hits);
            }
        } else if (scope >= 0 && std::size_t(scope) < dict.fields.size() &&
                   dict.fields[std::size_t(scope)]->flags != 0) {
            index.markMatches(scope, needle, hits);
        }
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
        if (filter != -1 && !dict.entries[p]->lookup(filter))
            continue;
        items.push_back(DataBrowserItemID(p + 1));
    }
    AddDataBrowserItems(browser, kDataBrowserNoItem, items.size(), items.data(),
                        kDataBrowserItemNoProperty);
    unshowBusy();
}

OSStatus DictWindowSearchHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    auto field = static_cast<ControlRef>(userData);
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassTextField && kind == kEventTextAccepted) {
        std::puts("Got search event!");
        HISearchFieldChangeAttributes(field, kHISearchFieldAttributesCancel, 0);
        QString text;
        const bool haveText = GetControlData(field, kControlEntireControl, kControlEditTextCFStringTag,
                                             sizeof text, &text, nullptr) == noErr;
        if (haveText) {
            if (text.isNull())
                text = QStringLiteral(""); // an empty text is still a search text
            std::printf("Got valid CFString (%s)\n", text.toUtf8().constData());
            const int scope = globals.searchState;
            if (isPlainAscii(text) && scope >= 0 && std::size_t(scope) < dict.fields.size() &&
                dict.fields[std::size_t(scope)]->name == "kMandarin") {
                std::puts("converting pinyin");
                const QString converted = dict.pinyinize(text.toLatin1().constData());
                if (!converted.isNull()) {
                    text = converted;
                    SetControlData(field, kControlEntireControl, kControlEditTextCFStringTag,
                                   sizeof text, &text);
                }
            }
        }
        std::fflush(stdout);
        ControlRef list = findDictionaryList();
        if (!list) {
            minorError("Error", "Error, could not find browser control", 0);
            return noErr;
        }
        filterDBItems(list, globals.filterState, globals.searchState, haveText ? text : QString());
        return noErr;
    }

    if (eventClass == kEventClassSearchField && kind == kEventSearchFieldCancelClicked) {
        HISearchFieldChangeAttributes(field, 0, kHISearchFieldAttributesCancel);
        std::puts("Got cancel event");
        std::fflush(stdout);
        ControlRef list = findDictionaryList();
        if (!list) {
            minorError("Error", "Error, could not find browser control", 0);
            return noErr;
        }
        filterDBItems(list, globals.filterState, -3, QString());
        return noErr;
    }

    std::puts("Go unknown event!");
    std::fflush(stdout);
    return eventNotHandledErr;
}
