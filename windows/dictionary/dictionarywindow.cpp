// Building the dictionary window and the view-preferences window, and
// keeping the entry list's columns in step with the fields' display flags.

#include "windows/dictionary/dictionarywindow.h"

#include "app/globals.h"
#include "app/hanfont.h"
#include "app/windowlookup.h"
#include "platform/nib.h"
#include "platform/searchfield.h"
#include "platform/textview.h"
#include "platform/windows.h"
#include "splitview/splitview.h"
#include "store/dictionary.h"
#include "store/searchindex.h"
#include "store/trace.h"

#include <QWidget>

#include <malloc.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr DataBrowserPropertyFlags kFixedColumnFlags =
    kDataBrowserListViewDefaultColumnFlags | kDataBrowserTruncateTextAtEnd; // 0x60200
constexpr DataBrowserPropertyFlags kEditableColumnFlags =
    kFixedColumnFlags | kDataBrowserPropertyIsMutable; // 0x60201

constexpr DataBrowserPropertyID kShowInBrowserColumn = FOUR_CHAR_CODE("DV00");
constexpr DataBrowserPropertyID kShowInTextColumn = FOUR_CHAR_CODE("DV01");
constexpr DataBrowserPropertyID kFieldColumn = FOUR_CHAR_CODE("DV02");
constexpr DataBrowserPropertyID kDescriptionColumn = FOUR_CHAR_CODE("DV03");

constexpr EventTypeSpec kDictWindowEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassWindow, kEventWindowBoundsChanged},
    {kEventClassWindow, kEventWindowClose},
};
constexpr EventTypeSpec kSearchFieldEvents[] = {
    {kEventClassTextField, kEventTextAccepted},
    {kEventClassSearchField, kEventSearchFieldCancelClicked},
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassKeyboard, kEventRawKeyDown},
};
constexpr EventTypeSpec kViewWindowEvents[] = {
    {kEventClassCommand, kEventCommandProcess},
};

UInt16 columnWidth(int base, uint32_t width)
{
    return UInt16(
        std::min<uint32_t>(0xFFFF, uint32_t(base) + 5 * std::min<uint32_t>(width, 10000)));
}

dictFields* fieldOfItem(DataBrowserItemID item)
{
    if (item == kDataBrowserNoItem || item > dict.fields.size())
        return nullptr;
    return dict.fields[item - 1];
}

// The entry text view, read-only, in pane B.
ControlRef makeTextView(WindowRef window, const HIRect& frame)
{
    ControlRef view = nullptr;
    if (HITextViewCreate(&frame, 0, kTXNWantVScrollBarMask | kTXNReadOnlyMask, &view) != noErr)
        return nullptr;
    // In the window until the split view takes it as a pane.
    HIViewAddSubview(GetControlFromWidget(GetWindowWidget(window)), view);
    HIViewSetFrame(view, &frame);
    SetControlID(view, &kTextPaneID);
    ShowControl(view);
    TXNObject text = HITextViewGetTXNObject(view);
    static const char kPrompt[] = "Click on a dictionary entry to view data here.";
    TXNSetData(text, kTXNTextData, kPrompt, sizeof kPrompt - 1, kTXNStartOffset, kTXNEndOffset);
    TXNSetScrollbarState(text, kScrollBarsAlwaysActive);
    TXNMargins margins{5, 5, 5, 5};
    TXNControlTag tags[] = {kTXNMarginsTag, kTXNTabSettingsTag};
    TXNControlData data[2];
    data[0].marginsPtr = &margins;
    data[1].tabValue = TXNTab{120, kTXNLeftTab, 0};
    TXNSetTXNObjectControls(text, false, 2, tags, data);
    return view;
}

} // namespace

OSStatus createDictionaryWindow()
{
    if (WindowRef open = FindMyWindow(kDictionaryWindowTag, false)) {
        // A minimised window comes back before it is brought forward.
        if (IsWindowCollapsed(open))
            CollapseWindow(open, false);
        FindMyWindow(kDictionaryWindowTag, true);
        return noErr;
    }

    WindowRef window = nullptr;
    OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("DataBrowserWindow"), &window);
    if (err != noErr)
        return err;

    const float ratio = float(globals.dividerRatio) / 1000.0f;

    if (globals.DictLeftCorner != -1 && globals.DictTopCorner != -1 &&
        globals.DictRightCorner != -1 && globals.DictBottomCorner != -1) {
        Rect bounds;
        SetRect(&bounds, short(globals.DictLeftCorner & 0xFFFF),
                short(globals.DictTopCorner & 0xFFFF), short(globals.DictRightCorner & 0xFFFF),
                short(globals.DictBottomCorner & 0xFFFF));
        // No window has such bounds: it opens as on a first run.
        if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) {
            std::fprintf(stderr,
                         "Tavi: the stored dictionary window bounds (%d, %d, %d, %d) are "
                         "impossible; the window opens where it first did\n",
                         bounds.left, bounds.top, bounds.right, bounds.bottom);
        } else {
            err = SetWindowBounds(window, kWindowContentRgn, &bounds);
            if (err != noErr)
                minorError("Error", "Error setting initial window region", err);
        }
        // Stored on another screen setup (or by hand), the bounds may be
        // larger than the screen or off it: the window is brought onto a
        // present screen, title bar and all.
        ConstrainWindowToScreen(window, kWindowStructureRgn,
                                kWindowConstrainMayResize | kWindowConstrainMoveRegardlessOfFit,
                                nullptr, nullptr);
    }

    Rect content{};
    GetWindowBounds(window, kWindowContentRgn, &content);
    const float width = float(content.right - content.left);
    const float height = float(content.bottom - content.top);
    const HIRect splitFrame = splitViewFrame(content, splitViewTop(window));

    ControlRef split = nullptr;
    if (SplitView::Create(&split, &splitFrame, window) == noErr && split) {
        SetControlData(split, kControlEntireControl, kSplitViewRatioTag, sizeof ratio, &ratio);
        ShowControl(split);
        SetControlID(split, &kViewPaneID);
    } else {
        split = nullptr;
    }

    Rect listBounds;
    SetRect(&listBounds, 6, 58, short(std::max(6.0f, width - 6)),
            short(std::max(58.0f, height - 18)));
    ControlRef list = nullptr;
    if (CreateDataBrowserControl(window, &listBounds, kDataBrowserListView, &list) == noErr) {
        SetDataBrowserSelectionFlags(list,
                                     kDataBrowserDragSelect | kDataBrowserCmdTogglesSelection);
        SetDataBrowserTableViewHiliteStyle(list, kDataBrowserTableViewFillHilite);
        SetControlID(list, &kDictBrowserPaneID);
        ShowControl(list);
        if (split)
            SetControlData(split, kControlEntireControl, kSplitViewSubViewATag, sizeof list, &list);
    }

    if (ControlRef text = makeTextView(window, splitFrame); text && split)
        SetControlData(split, kControlEntireControl, kSplitViewSubViewBTag, sizeof text, &text);

    InstallWindowEventHandler(window, NewEventHandlerUPP(DictWindowCommandHandler),
                              GetEventTypeCount(kDictWindowEvents), kDictWindowEvents, window,
                              nullptr);
    SetWRefCon(window, SRefCon(kDictionaryWindowTag));
    SetPortWindowPort(window);

    ControlRef searchField = nullptr;
    if (GetControlByID(window, &kSearchFieldID, &searchField) == noErr)
        InstallControlEventHandler(searchField, NewEventHandlerUPP(DictWindowSearchHandler),
                                   GetEventTypeCount(kSearchFieldEvents), kSearchFieldEvents,
                                   searchField, nullptr);

    redoMenuChoices(window);

    list = nullptr;
    GetControlByID(window, &kDictBrowserPaneID, &list);
    if (list) {
        AddColumnToList(list);
        DataBrowserCallbacks callbacks;
        InitDataBrowserCallbacks(&callbacks);
        callbacks.u.v1.itemDataCallback = NewDataBrowserItemDataUPP(dictionaryDataCallback);
        callbacks.u.v1.itemNotificationCallback =
            NewDataBrowserItemNotificationUPP(dictionaryNotificationCallback);
        callbacks.u.v1.itemCompareCallback =
            NewDataBrowserItemCompareUPP(dictionaryCompareCallback);
        SetDataBrowserCallbacks(list, &callbacks);
    }
    applyCharacterSizes(window);

    ShowWindow(window);
    if (list) {
        filterDBItems(list, globals.filterState, -3, QString());
        // The search forms, made once, so that the first search is as quick
        // as any; the first sight of the list does not need them.
        CallAfterFirstDraw(list, [] {
            qCDebug(taviTrace, "Window filled (%u entries in the dictionary)",
                    unsigned(dict.count));
            dictsearch::dictionarySearchIndex().buildAll();
            // Start-up freed much of what it made on its way (the list's
            // first rows, the forms' spare room): give those pages back.
            malloc_trim(0);
            qCDebug(taviTrace, "Search forms made");
        });
    }
    return noErr;
}

void applyCharacterSizes(WindowRef window)
{
    ControlRef list = nullptr;
    if (!window || GetControlByID(window, &kDictBrowserPaneID, &list) != noErr)
        return;
    const int pixelSize = applyListCharacterFont(list, kCharacterColumn, globals.biggerFonts != 0);
    // Two characters side by side fit the column.
    const auto wide = UInt16(std::clamp(pixelSize * 2 + 16, 50, 200));
    UInt16 width = 0;
    if (GetDataBrowserTableViewNamedColumnWidth(list, kCharacterColumn, &width) == noErr &&
        width < wide)
        SetDataBrowserTableViewNamedColumnWidth(list, kCharacterColumn, wide);
    if (characterEntry* shown = shownTextEntry())
        loadDictTextData(shown);
}

HIRect splitViewFrame(const Rect& content, float top)
{
    const float width = float(content.right - content.left);
    const float height = float(content.bottom - content.top);
    // A window smaller than the margins leaves the split view empty.
    return HIRect{{6, top}, {std::max(0.0f, width - 12), std::max(0.0f, height - top - 18)}};
}

float splitViewTop(WindowRef window)
{
    const QWidget* top = GetWindowWidget(window);
    const QWidget* bar = top ? top->findChild<QWidget*>(QStringLiteral("searchBar")) : nullptr;
    // The bar keeps the height its rows ask for, from the top of the content.
    return bar ? std::max(58.0f, float(bar->sizeHint().height())) : 58.0f;
}

OSStatus addColumn(ControlRef browser, DataBrowserPropertyID property, UInt16 minimumWidth,
                   UInt16 maximumWidth, const QString& title, DataBrowserPropertyType type,
                   DataBrowserPropertyFlags flags)
{
    DataBrowserListViewColumnDesc column{};
    column.propertyDesc.propertyID = property;
    column.propertyDesc.propertyType = type;
    column.propertyDesc.propertyFlags = flags;
    column.headerBtnDesc.version = kDataBrowserListViewLatestHeaderDesc;
    column.headerBtnDesc.minimumWidth = minimumWidth;
    column.headerBtnDesc.maximumWidth = maximumWidth;
    column.headerBtnDesc.titleOffset = 0;
    column.headerBtnDesc.titleString = title;
    column.headerBtnDesc.initialOrder = kDataBrowserOrderIncreasing;
    column.headerBtnDesc.btnFontStyle.flags = kControlUseThemeFontIDMask;
    column.headerBtnDesc.btnFontStyle.font = kControlFontViewSystemFont;
    column.headerBtnDesc.btnContentInfo.contentType = kControlContentTextOnly;
    return AddDataBrowserListViewColumn(browser, &column, 1000);
}

OSStatus AddColumnToList(ControlRef browser)
{
    addColumn(browser, kCharacterColumn, 50, 100, QStringLiteral("Char"), kDataBrowserTextType,
              kFixedColumnFlags);
    for (dictFields* field : dict.fields) {
        if (field->flags & 1) {
            field->inList = 1;
            addColumn(browser, field->code, 30, columnWidth(30, field->width), field->title,
                      kDataBrowserTextType, kEditableColumnFlags);
        } else {
            field->inList = 0;
        }
    }
    return noErr;
}

OSStatus createViewPrefWindow()
{
    if (FindMyWindow(kViewPrefWindowTag, true))
        return noErr;
    WindowRef window = nullptr;
    OSStatus err = CreateWindowFromNib(nibRef, QStringLiteral("ViewWindow"), &window);
    if (err != noErr)
        return err;
    InstallWindowEventHandler(window, NewEventHandlerUPP(DictWindowCommandHandler),
                              GetEventTypeCount(kViewWindowEvents), kViewWindowEvents, window,
                              nullptr);
    SetWRefCon(window, SRefCon(kViewPrefWindowTag));

    ControlRef list = nullptr;
    if (GetControlByID(window, &kViewPrefListID, &list) == noErr) {
        addColumn(list, kShowInBrowserColumn, 80, 160, QStringLiteral("Show in Browser"),
                  kDataBrowserCheckboxType, kDataBrowserPropertyIsMutable);
        addColumn(list, kShowInTextColumn, 80, 160, QStringLiteral("Show in Text View"),
                  kDataBrowserCheckboxType, kDataBrowserPropertyIsMutable);
        addColumn(list, kFieldColumn, 125, 160, QStringLiteral("Field"), kDataBrowserTextType,
                  kEditableColumnFlags);
        addColumn(list, kDescriptionColumn, 410, 680, QStringLiteral("Description"),
                  kDataBrowserTextType, kEditableColumnFlags);
        DataBrowserCallbacks callbacks;
        InitDataBrowserCallbacks(&callbacks);
        callbacks.u.v1.itemDataCallback = NewDataBrowserItemDataUPP(viewDataCallback);
        SetDataBrowserCallbacks(list, &callbacks);
        AddDataBrowserItems(list, kDataBrowserNoItem, dict.fields.size(), nullptr,
                            kDataBrowserItemNoProperty);
    }
    ShowWindow(window);
    return noErr;
}

OSStatus viewDataCallback(ControlRef, DataBrowserItemID item, DataBrowserPropertyID property,
                          DataBrowserItemDataRef itemData, Boolean setValue)
{
    switch (property) {
    case kDataBrowserItemIsEditableProperty:
        qCDebug(taviTrace, "Got editable query");
        SetDataBrowserItemDataBooleanValue(itemData, true);
        break;
    case kDataBrowserItemIsActiveProperty:
        SetDataBrowserItemDataBooleanValue(itemData, true);
        break;
    case kDataBrowserItemIsSelectableProperty:
    case kDataBrowserContainerIsSortableProperty:
        SetDataBrowserItemDataBooleanValue(itemData, false);
        break;
    case 12:
        return eventNotHandledErr;
    case kShowInBrowserColumn:
    case kShowInTextColumn: {
        const bool browserBit = property == kShowInBrowserColumn;
        qCDebug(taviTrace, "%s", browserBit ? "DV00 request" : "DV01 request");
        dictFields* field = fieldOfItem(item);
        if (!field)
            break;
        const uint32_t bit = browserBit ? 1u : 2u;
        if (setValue) {
            ThemeButtonValue value = kThemeButtonOff;
            GetDataBrowserItemDataButtonValue(itemData, &value);
            if (value == kThemeButtonOn)
                field->flags |= bit;
            else
                field->flags &= ~bit;
        }
        SetDataBrowserItemDataButtonValue(itemData,
                                          (field->flags & bit) ? kThemeButtonOn : kThemeButtonOff);
        break;
    }
    case kFieldColumn:
        qCDebug(taviTrace, "DV02 request");
        if (dictFields* field = fieldOfItem(item))
            SetDataBrowserItemDataText(itemData, field->title);
        break;
    case kDescriptionColumn:
        qCDebug(taviTrace, "DV03 request");
        if (dictFields* field = fieldOfItem(item))
            SetDataBrowserItemDataText(itemData, field->description);
        break;
    default:
        break;
    }
    return noErr;
}

OSStatus applyViewPreferences()
{
    WindowRef prefs = FindMyWindow(kViewPrefWindowTag, false);
    if (!prefs)
        return noErr;
    DisposeWindow(prefs);

    WindowRef window = FindMyWindow(kDictionaryWindowTag, true);
    ControlRef list = nullptr;
    if (!window || GetControlByID(window, &kDictBrowserPaneID, &list) != noErr)
        return noErr;

    OSStatus result = noErr;
    for (dictFields* field : dict.fields) {
        if ((field->flags & 1) && field->inList == 0) {
            addColumn(list, field->code, 20, columnWidth(20, field->width), field->title,
                      kDataBrowserTextType, kEditableColumnFlags);
            field->inList = 1;
        } else if (!(field->flags & 1) && field->inList != 0) {
            field->inList = 0;
            const OSStatus err = RemoveDataBrowserTableViewColumn(list, field->code);
            if (err != noErr) {
                minorError("Error", "Could not remove data browser column", err);
                result = err;
            }
        }
    }
    redoMenuChoices(window);
    return result;
}
