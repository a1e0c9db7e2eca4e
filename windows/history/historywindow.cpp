// The history drawer: its list, callbacks and key and command handler.

#include "windows/history/history.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "app/windowlookup.h"
#include "platform/databrowser.h"
#include "platform/keyboard.h"
#include "platform/nib.h"
#include "platform/windowgroups.h"
#include "store/dictionary.h"
#include "store/trace.h"
#include "windows/navigation.h"
#include "windows/wordentry.h"
#include "windows/history/historyfile.h"

#include <QApplication>

#include <cstdio>

WindowGroupRef myGroup = nullptr;

namespace {

constexpr ControlID kHistoryListID = {FOUR_CHAR_CODE("HSDB"), 128};
constexpr DataBrowserPropertyID kHistoryColumn = FOUR_CHAR_CODE("LHST");
// A property the list refuses to answer.
constexpr DataBrowserPropertyID kRefusedProperty = 12;

constexpr EventTypeSpec kHistoryEvents[] = {
    {kEventClassKeyboard, kEventRawKeyDown},
    {kEventClassCommand, kEventCommandProcess},
};

// The history element that list item k stands for, or -1 for no element.
int64_t elementOfItem(DataBrowserItemID item)
{
    const std::size_t n = history.size();
    if (item < 1 || item > n)
        return -1;
    return int64_t(history[n - item]);
}

void showCharactersLarge(ControlRef list)
{
    applyListCharacterFont(list, kHistoryColumn, globals.biggerFonts != 0);
}

} // namespace

OSStatus historyDataCallback(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                             DataBrowserItemDataRef itemData, Boolean)
{
    switch (property) {
    case kDataBrowserItemIsEditableProperty:
    case kDataBrowserContainerIsSortableProperty:
        SetDataBrowserItemDataBooleanValue(itemData, false);
        return noErr;
    case kDataBrowserItemIsActiveProperty:
    case kDataBrowserItemIsSelectableProperty:
        SetDataBrowserItemDataBooleanValue(itemData, true);
        return noErr;
    case kRefusedProperty:
        return eventNotHandledErr;
    case kHistoryColumn: {
        const int64_t index = elementOfItem(item);
        const QString text = isKnownWordRef(index) ? wordRefForm(index)
                             : index >= 0 && uint64_t(index) < dict.entries.size()
                                 ? dict.entries[std::size_t(index)]->display
                                 : QStringLiteral("???");
        const OSStatus err = SetDataBrowserItemDataText(itemData, text);
        if (err != noErr)
            minorError("Error", "Could set history window text", err);
        return noErr;
    }
    default:
        qCDebug(taviTrace, "Unknown history databrowser query: '%c%c%c%c' (%d)",
                FOUR_CHAR_ARGS(property), int(property));
        return noErr;
    }
}

void historyNotificationCallback(ControlRef, DataBrowserItemID item,
                                 DataBrowserItemNotification message)
{
    switch (message) {
    case kDataBrowserItemSelected: {
        const int64_t index = elementOfItem(item);
        if (index < 0)
            return;
        showInOpenFloatingWindow(index);
        break;
    }
    case kDataBrowserEditStopped:
        // Back to the arrow, without disturbing whoever set the cursor.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) &&
            QApplication::overrideCursor())
            QApplication::changeOverrideCursor(Qt::ArrowCursor);
        break;
    default:
        break;
    }
}

void updateHistoryBrowser()
{
    WindowRef drawer = FindMyWindow(kHistoryWindowTag, true);
    if (!drawer)
        return;
    ControlRef list = nullptr;
    GetControlByID(drawer, &kHistoryListID, &list);
    qCDebug(taviTrace, "Databrowser entries size: %lu", static_cast<unsigned long>(history.size()));
    RemoveDataBrowserItems(list, kDataBrowserNoItem, 0, nullptr, kDataBrowserItemNoProperty);
    const OSStatus err = AddDataBrowserItems(list, kDataBrowserNoItem, history.size(), nullptr,
                                             kDataBrowserItemNoProperty);
    if (err != noErr)
        minorError("Error", "Could not add items to data browser", err);
}

void applyHistoryCharacterSize()
{
    WindowRef drawer = FindMyWindow(kHistoryWindowTag, false);
    ControlRef list = nullptr;
    if (drawer && GetControlByID(drawer, &kHistoryListID, &list) == noErr)
        showCharactersLarge(list);
}

void createHistoryWindow()
{
    openFloatingWindow();
    WindowRef floating = FindMyWindow(kFloatingWindowTag, true);
    WindowRef drawer = FindMyWindow(kHistoryWindowTag, true);
    if (!floating)
        return; // the floating window could not be made; that was reported
    if (drawer) {
        SetDrawerParent(drawer, floating);
        const OSStatus err = ToggleDrawer(drawer);
        if (err != noErr)
            minorError("Error", "Could not toggle history window drawer", err);
        return;
    }

    OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("HistoryWindow"), &drawer);
    if (err != noErr || !drawer) {
        minorError("Error", "Could not load history window", err);
        return;
    }
    SetWRefCon(drawer, kHistoryWindowTag);

    ControlRef list = nullptr;
    GetControlByID(drawer, &kHistoryListID, &list);
    DataBrowserCallbacks callbacks;
    callbacks.version = kDataBrowserLatestCallbacks;
    err = InitDataBrowserCallbacks(&callbacks);
    if (err != noErr)
        minorError("Error", "Could not initialize data browser", err);
    callbacks.u.v1.itemDataCallback = NewDataBrowserItemDataUPP(historyDataCallback);
    callbacks.u.v1.itemNotificationCallback =
        NewDataBrowserItemNotificationUPP(historyNotificationCallback);
    SetDataBrowserCallbacks(list, &callbacks);
    AddDataBrowserItems(list, kDataBrowserNoItem, history.size(), nullptr,
                        kDataBrowserItemNoProperty);
    showCharactersLarge(list);

    SetDrawerParent(drawer, floating);
    SetDrawerOffsets(drawer, 0.0f, 20.0f);

    if (!myGroup)
        CreateWindowGroup(0, &myGroup);
    SetWindowGroupParent(myGroup, GetWindowGroupOfClass(kUtilityWindowClass));
    SetWindowGroup(floating, myGroup);
    SetWindowGroup(drawer, myGroup);
    ChangeWindowGroupAttributes(myGroup,
                                kWindowGroupAttrMoveTogether | kWindowGroupAttrLayerTogether, 0);

    OpenDrawer(drawer);
    SetWindowSendsRawKeyEvents(drawer, true);
    InstallWindowEventHandler(drawer, NewEventHandlerUPP(HistoryHandler),
                              GetEventTypeCount(kHistoryEvents), kHistoryEvents, drawer, nullptr);
}

OSStatus HistoryHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    auto* drawer = static_cast<WindowRef>(userData);
    const EventClass eventClass = GetEventClass(event);

    if (eventClass == kEventClassCommand) {
        HICommand command{};
        GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                          nullptr, &command);
        if (command.commandID == "SHST"_4cc) {
            writeOutHistory();
            return noErr;
        }
        return eventNotHandledErr;
    }

    if (eventClass == kEventClassKeyboard && GetEventKind(event) == kEventRawKeyDown) {
        char character = 0;
        UInt32 keyCode = 0;
        GetEventParameter(event, kEventParamKeyMacCharCodes, typeChar, nullptr, sizeof character,
                          nullptr, &character);
        GetEventParameter(event, kEventParamKeyCode, typeUInt32, nullptr, sizeof keyCode, nullptr,
                          &keyCode);
        if (character != 8)
            return eventNotHandledErr;
        ControlRef list = nullptr;
        GetControlByID(drawer, &kHistoryListID, &list);
        // Item ids keep naming the elements they named before the loop: the
        // list is refilled only afterwards.
        const std::size_t before = history.size();
        std::vector<uint32_t> kept;
        kept.reserve(before);
        for (std::size_t i = 0; i < before; ++i) {
            if (!IsDataBrowserItemSelected(list, DataBrowserItemID(before - i)))
                kept.push_back(history[i]);
        }
        history.swap(kept);
        updateHistoryBrowser();
        scheduleHistorySave();
        return noErr;
    }
    return noErr;
}
