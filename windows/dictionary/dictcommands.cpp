// The dictionary window's handler: closing, resizing, the filter and search
// menus, and confirming the view preferences.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/searchfield.h"
#include "platform/windows.h"
#include "store/dictionary.h"
#include "store/trace.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

OSStatus setScope(WindowRef window, int32_t scope, const QString& caption)
{
    globals.searchState = scope;
    markSearchScope(window);
    ControlRef text = nullptr;
    const OSStatus err = GetControlByID(window, &kScopeCaptionID, &text);
    if (err != noErr) {
        minorError("Error", "Could not find dictionary window control", err);
        return err;
    }
    SetControlData(text, kControlEntireControl, kControlStaticTextCFStringTag, sizeof caption,
                   &caption);
    return noErr;
}

OSStatus windowResized(WindowRef window, EventRef event)
{
    UInt32 attributes = 0;
    GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr,
                      &attributes);
    if (!(attributes & kWindowBoundsChangeSizeChanged))
        return noErr;
    Rect after{};
    GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof after,
                      nullptr, &after);
    ControlRef split = nullptr;
    if (GetControlByID(window, &kViewPaneID, &split) != noErr)
        return noErr;
    // Sized from the new bounds rather than grown by the change: the first
    // change reported for a window opened at saved bounds is measured from
    // the resource's size, which the split view never had.
    HIViewSetVisible(split, false);
    const HIRect frame = splitViewFrame(after, splitViewTop(window));
    HIViewSetFrame(split, &frame);
    HIViewSetVisible(split, true);
    return noErr;
}

// The filter changed: the list shows what the search field holds within it.
void refilter(WindowRef window, ControlRef list, int filter)
{
    ControlRef field = nullptr;
    if (GetControlByID(window, &kSearchFieldID, &field) == noErr)
        searchWithFieldText(field);
    else
        filterDBItems(list, filter, 0, QString());
}

// "All Entries": no filter. The scope stays as it is, so that a search in
// the field is not turned into a search of the characters.
OSStatus listEverything(WindowRef window)
{
    ControlRef list = nullptr;
    const OSStatus err = GetControlByID(window, &kDictBrowserPaneID, &list);
    if (err != noErr) {
        minorError("Error", "Could not find dictionary window controls", err);
        return err;
    }
    // The menu now shows "All Entries"; the next search or cancel keeps to it.
    globals.filterState = -1;
    refilter(window, list, -1);
    return noErr;
}

OSStatus fieldCommand(WindowRef window, UInt32 command)
{
    ControlRef filterMenu = nullptr;
    GetControlByID(window, &kFilterMenuID, &filterMenu);
    int item = 1;
    for (std::size_t i = 0; i < dict.fields.size(); ++i) {
        const dictFields* field = dict.fields[i];
        if (field->flags == 0)
            continue;
        ++item;
        if (command == field->code) {
            ControlRef list = nullptr;
            const OSStatus err = GetControlByID(window, &kDictBrowserPaneID, &list);
            if (err != noErr) {
                qCDebug(taviTrace, "Error getting control: %ld", long(err));
                return noErr;
            }
            if (filterMenu)
                SetControl32BitValue(filterMenu, item);
            globals.filterState = int32_t(i);
            refilter(window, list, int(i));
            return noErr;
        }
        if (command == ~field->code) {
            ControlRef caption = nullptr;
            const OSStatus err = GetControlByID(window, &kScopeCaptionID, &caption);
            if (err != noErr) {
                qCDebug(taviTrace, "Error getting control: %ld", long(err));
                continue;
            }
            globals.searchState = int32_t(i);
            SetControlData(caption, kControlEntireControl, kControlStaticTextCFStringTag,
                           sizeof field->title, &field->title);
            markSearchScope(window);
            return eventNotHandledErr;
        }
    }
    qCDebug(taviTrace, "Unknown dict window command: %c%c%c%c", FOUR_CHAR_ARGS(command));
    return eventNotHandledErr;
}

} // namespace

OSStatus DictWindowCommandHandler(EventHandlerCallRef, EventRef event, void* userData)
{
    auto window = static_cast<WindowRef>(userData);
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassWindow && kind == kEventWindowClose) {
        updateWindowPrefValues();
        qCDebug(taviTrace, "GOT Close event!");
        return eventNotHandledErr;
    }
    if (eventClass == kEventClassWindow && kind == kEventWindowBoundsChanged)
        return windowResized(window, event);
    if (eventClass != kEventClassCommand || kind != kEventCommandProcess)
        return eventNotHandledErr;

    HICommand command{};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command,
                          nullptr, &command) != noErr)
        return eventNotHandledErr;
    switch (command.commandID) {
    case "SALL"_4cc:
        return setScope(window, -2, QStringLiteral("Search All Fields"));
    case "SCHR"_4cc:
        return setScope(window, -1, QStringLiteral("Character"));
    case "DALL"_4cc:
        return listEverything(window);
    case "ok  "_4cc:
        return applyViewPreferences();
    case "SPEK"_4cc:
        speakReading(shownTextEntry(), SpeechVoice::Mandarin);
        return noErr;
    default:
        return fieldCommand(window, command.commandID);
    }
}

void redoMenuChoices(WindowRef window)
{
    ControlRef popup = nullptr;
    MenuRef menu = nullptr;
    if (GetControlByID(window, &kFilterMenuID, &popup) == noErr &&
        GetControlData(popup, kControlEntireControl, kControlPopupButtonMenuHandleTag, sizeof menu,
                       &menu, nullptr) == noErr &&
        menu) {
        // Every item after the fixed one goes, however many fields there were.
        while (CountMenuItems(menu) > 1)
            DeleteMenuItem(menu, 2);
        SetControl32BitMaximum(popup, 1);
        SetControl32BitValue(popup, 1);
        int n = 1;
        for (std::size_t i = 0; i < dict.fields.size(); ++i) {
            const dictFields* field = dict.fields[i];
            if (field->flags == 0)
                continue;
            ++n;
            AppendMenuItemTextWithCFString(menu, field->title, 0, field->code, nullptr);
            if (int32_t(i) == globals.filterState) {
                SetControl32BitMaximum(popup, n);
                SetControl32BitValue(popup, n);
            }
        }
        SetControl32BitMaximum(popup, n);
    }

    ControlRef search = nullptr;
    MenuRef searchMenu = nullptr;
    if (GetControlByID(window, &kSearchFieldID, &search) != noErr ||
        HISearchFieldGetSearchMenu(search, &searchMenu) != noErr || !searchMenu)
        return;
    while (CountMenuItems(searchMenu) > 2)
        DeleteMenuItem(searchMenu, 3);
    ControlRef caption = nullptr;
    GetControlByID(window, &kScopeCaptionID, &caption);
    auto setCaption = [caption](const QString& text) {
        if (caption)
            SetControlData(caption, kControlEntireControl, kControlStaticTextCFStringTag,
                           sizeof text, &text);
    };
    int m = 2;
    for (std::size_t i = 0; i < dict.fields.size(); ++i) {
        const dictFields* field = dict.fields[i];
        if (field->flags == 0)
            continue;
        ++m;
        AppendMenuItemTextWithCFString(searchMenu, field->title, 0, ~field->code, nullptr);
        if (int32_t(i) == globals.searchState)
            setCaption(field->title);
    }
    SetControl32BitMaximum(search, m);
    if (globals.searchState == -1)
        setCaption(QStringLiteral("Character"));
    else if (globals.searchState == -2)
        setCaption(QStringLiteral("Search All Fields"));
    markSearchScope(window);
}

void markSearchScope(WindowRef window)
{
    ControlRef search = nullptr;
    MenuRef menu = nullptr;
    if (GetControlByID(window, &kSearchFieldID, &search) != noErr ||
        HISearchFieldGetSearchMenu(search, &menu) != noErr || !menu)
        return;
    MenuCommand scope = 0;
    if (globals.searchState == -1)
        scope = "SCHR"_4cc;
    else if (globals.searchState == -2)
        scope = "SALL"_4cc;
    else if (globals.searchState >= 0 && std::size_t(globals.searchState) < dict.fields.size())
        scope = ~dict.fields[std::size_t(globals.searchState)]->code;
    // Every item is marked or unmarked, so all show the same kind of mark.
    bool marked = false;
    for (MenuItemIndex item = 1; item <= CountMenuItems(menu); ++item) {
        MenuCommand command = 0;
        GetMenuItemCommandID(menu, item, &command);
        const bool isScope = !marked && scope != 0 && command == scope;
        CheckMenuItem(menu, item, isScope);
        marked = marked || isScope;
    }
}

namespace {

// The divider position in thousandths, or false when the split view is not
// there (yet) or reports no usable ratio.
bool readDividerRatio(WindowRef window, int32_t* thousandths)
{
    ControlRef splitView = nullptr;
    if (GetControlByID(window, &kSplitViewControlID, &splitView) != noErr)
        return false;
    // NaN until the split view writes it: a handler that answers without
    // data leaves the stored ratio alone.
    float ratio = std::numeric_limits<float>::quiet_NaN();
    if (GetControlData(splitView, kControlEntireControl, kSplitViewRatioTag, sizeof ratio, &ratio,
                       nullptr) != noErr)
        return false;
    const double scaled = double(ratio) * 1000.0;
    if (!std::isfinite(scaled) || scaled < double(std::numeric_limits<int32_t>::min()) ||
        scaled > double(std::numeric_limits<int32_t>::max()))
        return false;
    *thousandths = static_cast<int32_t>(scaled); // truncated toward zero
    return true;
}

// Where positions are hidden, the bounds report a made-up corner: the size
// is kept at the corner saved before, or, with none, centred on the screen,
// for a later run where positions count.
void keepSavedCorner(Rect& bounds)
{
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    int left = globals.DictLeftCorner;
    int top = globals.DictTopCorner;
    if (left == -1 || top == -1) {
        Rect screen{};
        GetAvailableWindowPositioningBounds(nullptr, &screen);
        left = screen.left + std::max(0, (screen.right - screen.left - width) / 2);
        top = screen.top + std::max(0, (screen.bottom - screen.top - height) / 2);
    }
    SetRect(&bounds, short(left), short(top), short(left + width), short(top + height));
}

} // namespace

void updateWindowPrefValues()
{
    if (WindowRef window = FindMyWindow(kDictionaryWindowTag, false)) {
        int32_t ratio = 0;
        if (readDividerRatio(window, &ratio))
            globals.dividerRatio = ratio;
        Rect bounds;
        if (GetWindowBounds(window, kWindowContentRgn, &bounds) == noErr) {
            if (WindowPositionsAreHidden())
                keepSavedCorner(bounds);
            globals.DictLeftCorner = bounds.left;
            globals.DictTopCorner = bounds.top;
            globals.DictRightCorner = bounds.right;
            globals.DictBottomCorner = bounds.bottom;
        }
        ControlRef list = nullptr;
        if (GetControlByID(window, &kDictBrowserPaneID, &list) == noErr)
            rememberListSort(list);
        globals.ShowDictionary = 1;
    } else {
        globals.ShowDictionary = 0;
    }

    if (WindowRef window = FindMyWindow(kFloatingWindowTag, false)) {
        Rect bounds;
        if (!WindowPositionsAreHidden() &&
            GetWindowBounds(window, kWindowGlobalPortRgn, &bounds) == noErr) {
            globals.FloatLeftCorner = bounds.left;
            globals.FloatTopCorner = bounds.top;
        }
        globals.ShowFloating = 1;
    } else {
        globals.ShowFloating = 0;
    }
}
