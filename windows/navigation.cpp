#include "windows/navigation.h"

#include "app/globals.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/databrowser.h"
#include "platform/searchfield.h"
#include "store/dictionary.h"
#include "windows/dictionary/dictionarywindow.h"
#include "windows/floating/floatingwindow.h"
#include "windows/history/history.h"

void openFloatingWindow()
{
    createFloatingWindow();
}

void showInFloatingWindow(int64_t ref)
{
    createFloatingWindow();
    showInOpenFloatingWindow(ref);
}

void showInOpenFloatingWindow(int64_t ref)
{
    if (WindowRef floating = FindMyWindow(kFloatingWindowTag, true))
        loadFloatingWindowData(floating, SInt32(ref));
}

void searchDictionary(const QString& text)
{
    globals.filterState = -1;
    globals.searchState = -2;
    createDictionaryWindow();
    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);

    ControlRef list = nullptr;
    OSStatus err = GetControlByID(window, &kDictBrowserPaneID, &list);
    if (err != noErr)
        minorError("Error", "Could not load dictionary window controls", err);

    // Without the field the text cannot be set either: the same alert.
    ControlRef field = nullptr;
    err = GetControlByID(window, &kSearchFieldID, &field);
    if (err == noErr) {
        HISearchFieldChangeAttributes(field, kHISearchFieldAttributesCancel, 0);
        HISearchFieldSetDescriptiveText(field, QString());
        err = SetControlData(field, kControlEntireControl, kControlEditTextCFStringTag, sizeof text,
                             &text);
    }
    if (err != noErr)
        minorError("Error", "Could not sec dictionary window data", err);
    if (field)
        Draw1Control(field);

    ControlRef caption = nullptr;
    if (GetControlByID(window, &kScopeCaptionID, &caption) == noErr) {
        const QString scope = QStringLiteral("Search All Fields");
        SetControlData(caption, kControlEntireControl, kControlEditTextCFStringTag, sizeof scope,
                       &scope);
        Draw1Control(caption);
    }
    markSearchScope(window);

    if (window != nullptr)
        QDFlushPortBuffer(GetWindowPort(window), nullptr);

    if (list != nullptr)
        filterDBItems(list, -1, -2, text);
}

void showEntryInDictionary(int32_t entry)
{
    if (entry < 0 || std::size_t(entry) >= dict.entries.size())
        return;
    createDictionaryWindow();
    ControlRef list = dictionaryList();
    if (!list)
        return;
    const DataBrowserItemID item = DataBrowserItemID(entry) + 1;
    // Listed only when the list's filter lets it through; else the list shows
    // the character's search.
    if (RevealDataBrowserItem(list, item, kDataBrowserItemNoProperty,
                              kDataBrowserRevealAndCenterInView) != noErr) {
        filterDBItems(list, -1, -1, dict.entries[std::size_t(entry)]->display);
        RevealDataBrowserItem(list, item, kDataBrowserItemNoProperty,
                              kDataBrowserRevealAndCenterInView);
    }
    SetDataBrowserSelectedItems(list, 1, &item, kDataBrowserItemsAssign);
}

void recordLookup(int64_t ref)
{
    if (ref < 0)
        return;
    addToHistory(uint32_t(ref));
    updateHistoryBrowser();
}

int64_t newestLookup()
{
    return history.empty() ? -1 : int64_t(history.back());
}
