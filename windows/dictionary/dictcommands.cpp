// The dictionary window's handler: closing, resizing, the filter and search
// menus, and confirming the view preferences.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/prefs.h"
#include "app/speech.h"
#include "app/windowlookup.h"
#include "platform/menus.h"
#include "platform/searchfield.h"
#include "platform/windows.h"
#include "store/dictionary.h"

#include <algorithm>
#include <cstdio>

namespace {

OSStatus setScope(WindowRef window, int32_t scope, const QString& caption)
{
    globals.searchState = scope;
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

void hideCancelButton(WindowRef window, bool alert)
{
    ControlRef field = nullptr;
    const OSStatus err = GetControlByID(window, &kSearchFieldID, &field);
    if (err != noErr) {
        if (alert)
            minorError("Error", "Could not find dictionary window control", err);
        return;
    }
    HISearchFieldChangeAttributes(field, 0, kHISearchFieldAttributesCancel);
}

OSStatus windowResized(WindowRef window, EventRef event)
{
    UInt32 attributes = 0;
    GetEventParameter(event, kEventParamAttributes, typeUInt32, nullptr, sizeof attributes, nullptr,
                      &attributes);
    if (!(attributes & kWindowBoundsChangeSizeChanged))
        return noErr;
    Rect before{};
    Rect after{};
    GetEventParameter(event, kEventParamOriginalBounds, typeQDRectangle, nullptr, sizeof before,
                      nullptr, &before);
    GetEventParameter(event, kEventParamCurrentBounds, typeQDRectangle, nullptr, sizeof after,
                      nullptr, &after);
    ControlRef split = nullptr;
    if (GetControlByID(window, &kViewPaneID, &split) != noErr)
        return noErr;
    HIViewSetVisible(split, false);
    HIRect frame{};
    HIViewGetFrame(split, &frame);
    frame.size.width += float((after.right - after.left) - (before.right - before.left));
    frame.size.height += float((after.bottom - after.top) - (before.bottom - before.top));
    // A window made smaller than the split view's margins leaves it empty.
    frame.size.width = std::max(0.0f, frame.size.width);
    frame.size.height = std::max(0.0f, frame.size.height);
    HIViewSetFrame(split, &frame);
    HIViewSetVisible(split, true);
    return noErr;
}

OSStatus listEverything(WindowRef window)
{
    ControlRef list = nullptr;
    const OSStatus err = GetControlByID(window, &kDictBrowserPaneID, &list);
    if (err != noErr) {
        minorError("Error", "Could not find dictionary window controls", err);
    } else {
        hideCancelButton(window, true);
        // The menu now shows "All Entries"; the next search or cancel keeps to it.
        globals.filterState = -1;
        filterDBItems(list, -1, 0, QString());
    }
    return setScope(window, -1, QStringLiteral("Character"));
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
                std::printf("Error getting control: %ld\n", long(err));
                std::fflush(stdout);
                return noErr;
            }
            if (filterMenu)
                SetControl32BitValue(filterMenu, item);
            globals.filterState = int32_t(i);
            hideCancelButton(window, false);
            filterDBItems(list, int(i), 0, QString());
            return noErr;
        }
        if (command == ~field->code) {
            ControlRef caption = nullptr;
            const OSStatus err = GetControlByID(window, &kScopeCaptionID, &caption);
            if (err != noErr) {
                std::printf("Error getting control: %ld\n", long(err));
                std::fflush(stdout);
                continue;
            }
            globals.searchState = int32_t(i);
            SetControlData(caption, kControlEntireControl, kControlStaticTextCFStringTag,
                           sizeof field->title, &field->title);
            return eventNotHandledErr;
        }
    }
    std::printf("Unknown dict window command: %c%c%c%c\n", FOUR_CHAR_ARGS(command));
    std::fflush(stdout);
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
        std::puts("GOT Close event!");
        std::fflush(stdout);
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
}
