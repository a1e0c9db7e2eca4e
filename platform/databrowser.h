#pragma once
// The data browser in list view: a flat list of items shown in columns over a
// QTreeView with a model of the layer's own.
//
// Items are 32-bit identifiers chosen by the owner (AddDataBrowserItems with
// no list numbers them from 1); 0 (kDataBrowserNoItem) is never an item.
// Columns are named by a property identifier (a four-character code) and
// carry a type (text or check box), flags, a minimum and maximum width and a
// header title. The browser keeps no cell data: it asks the item-data
// callback for each cell it is about to show (only visible cells, only when
// shown) and hands the user's edits to the same callback with the setting
// flag. Sorting by a sortable column orders the items with the item-compare
// callback (ascending; descending is the ascending order reversed).
// Selection, double click and the start and end of a cell edit are reported
// to the notification callback; Return or Enter on a selected row is
// reported as a double click on it. The model labels each row (its vertical
// header) with the row's item. A list filled after it was emptied starts at
// its top, its first row the current one (where the arrow keys start) but
// not selected.
//
// A QTreeView made elsewhere (a .ui file) becomes a data browser on the first
// call that needs one; CreateDataBrowserControl makes a new one.

#include "platform/controls.h"

#include <QString>

class QFont;

using DataBrowserItemID = UInt32;
using DataBrowserPropertyID = UInt32;
using DataBrowserPropertyType = OSType;
using DataBrowserPropertyFlags = UInt32;
using DataBrowserItemNotification = UInt32;
using DataBrowserSelectionFlags = UInt32;
using DataBrowserTableViewHiliteStyle = UInt32;
using DataBrowserSortOrder = UInt16;
using DataBrowserSetOption = UInt32;
using DataBrowserRevealOptions = UInt8;
using DataBrowserViewStyle = OSType;
using DataBrowserTableViewColumnIndex = UInt32;
using DataBrowserTableViewRowIndex = UInt32;
using DataBrowserTableViewColumnID = DataBrowserPropertyID;
using ThemeButtonValue = UInt16;

constexpr DataBrowserViewStyle kDataBrowserListView = FOUR_CHAR_CODE("lstv");
constexpr DataBrowserItemID kDataBrowserNoItem = 0;

// Properties the browser asks the item-data callback about (besides the
// columns' own).
constexpr DataBrowserPropertyID kDataBrowserItemNoProperty = 0;
constexpr DataBrowserPropertyID kDataBrowserItemIsActiveProperty = 1;
constexpr DataBrowserPropertyID kDataBrowserItemIsSelectableProperty = 2;
constexpr DataBrowserPropertyID kDataBrowserItemIsEditableProperty = 3;
constexpr DataBrowserPropertyID kDataBrowserContainerIsSortableProperty = 7;

// Column types. Icon-and-text columns show their text.
constexpr DataBrowserPropertyType kDataBrowserTextType = FOUR_CHAR_CODE("text");
constexpr DataBrowserPropertyType kDataBrowserCheckboxType = FOUR_CHAR_CODE("chbx");

constexpr DataBrowserPropertyFlags kDataBrowserPropertyIsMutable = 1u << 0;
constexpr DataBrowserPropertyFlags kDataBrowserTruncateTextAtEnd = 2u << 8;
constexpr DataBrowserPropertyFlags kDataBrowserListViewMovableColumn = 1u << 17;
constexpr DataBrowserPropertyFlags kDataBrowserListViewSortableColumn = 1u << 18;
constexpr DataBrowserPropertyFlags kDataBrowserListViewDefaultColumnFlags =
    kDataBrowserListViewMovableColumn | kDataBrowserListViewSortableColumn;

// Notifications.
constexpr DataBrowserItemNotification kDataBrowserEditStarted = 3;
constexpr DataBrowserItemNotification kDataBrowserEditStopped = 4;
constexpr DataBrowserItemNotification kDataBrowserItemSelected = 5;
constexpr DataBrowserItemNotification kDataBrowserItemDoubleClicked = 7;

// Selection flags.
constexpr DataBrowserSelectionFlags kDataBrowserDragSelect = 1u << 0;
constexpr DataBrowserSelectionFlags kDataBrowserCmdTogglesSelection = 1u << 3;

constexpr DataBrowserTableViewHiliteStyle kDataBrowserTableViewFillHilite = 1;

constexpr DataBrowserSortOrder kDataBrowserOrderIncreasing = 1;
constexpr DataBrowserSortOrder kDataBrowserOrderDecreasing = 2;

constexpr DataBrowserSetOption kDataBrowserItemsAssign = 1;

constexpr DataBrowserRevealOptions kDataBrowserRevealAndCenterInView = 1u << 0;

constexpr ThemeButtonValue kThemeButtonOff = 0;
constexpr ThemeButtonValue kThemeButtonOn = 1;

// ---------------------------------------------------------------------------
// Column descriptions.

struct DataBrowserPropertyDesc {
    DataBrowserPropertyID propertyID;
    DataBrowserPropertyType propertyType;
    DataBrowserPropertyFlags propertyFlags;
};

constexpr SInt16 kControlContentTextOnly = 0;
struct ControlButtonContentInfo {
    SInt16 contentType;
};

// Headers show in the application's font, which is the view font.
constexpr SInt16 kControlFontViewSystemFont = -4;

constexpr UInt32 kDataBrowserListViewLatestHeaderDesc = 0;
struct DataBrowserListViewHeaderDesc {
    UInt32 version;
    UInt16 minimumWidth;
    UInt16 maximumWidth;
    SInt16 titleOffset;
    QString titleString;
    DataBrowserSortOrder initialOrder;
    ControlFontStyleRec btnFontStyle;
    ControlButtonContentInfo btnContentInfo;
};

struct DataBrowserListViewColumnDesc {
    DataBrowserPropertyDesc propertyDesc;
    DataBrowserListViewHeaderDesc headerBtnDesc;
};

// ---------------------------------------------------------------------------
// Item data: what the browser asks for or hands over in one callback call.
// The callback answers with the Set... functions; when the setting flag is
// true it reads the user's value with the Get... functions.

struct DataBrowserItemData {
    DataBrowserItemID item = kDataBrowserNoItem;
    DataBrowserPropertyID property = kDataBrowserItemNoProperty;
    bool hasText = false;
    QString text;
    bool hasBoolean = false;
    Boolean boolean = false;
    bool hasButton = false;
    ThemeButtonValue button = kThemeButtonOff;
};
using DataBrowserItemDataRef = DataBrowserItemData*;

OSStatus SetDataBrowserItemDataText(DataBrowserItemDataRef itemData, const QString& text);
// The text handed over (or answered); errDataNotSupported when there is none.
OSStatus GetDataBrowserItemDataText(DataBrowserItemDataRef itemData, QString* outText);
OSStatus SetDataBrowserItemDataBooleanValue(DataBrowserItemDataRef itemData, Boolean value);
OSStatus SetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData, ThemeButtonValue value);
OSStatus GetDataBrowserItemDataButtonValue(DataBrowserItemDataRef itemData,
                                           ThemeButtonValue* outValue);

// ---------------------------------------------------------------------------
// Callbacks.

using DataBrowserItemDataProcPtr = OSStatus (*)(ControlRef browser, DataBrowserItemID item,
                                                DataBrowserPropertyID property,
                                                DataBrowserItemDataRef itemData, Boolean setValue);
// True when itemOne sorts before itemTwo in ascending order.
using DataBrowserItemCompareProcPtr = Boolean (*)(ControlRef browser, DataBrowserItemID itemOne,
                                                  DataBrowserItemID itemTwo,
                                                  DataBrowserPropertyID sortProperty);
using DataBrowserItemNotificationProcPtr = void (*)(ControlRef browser, DataBrowserItemID item,
                                                    DataBrowserItemNotification message);
using DataBrowserItemDataUPP = DataBrowserItemDataProcPtr;
using DataBrowserItemCompareUPP = DataBrowserItemCompareProcPtr;
using DataBrowserItemNotificationUPP = DataBrowserItemNotificationProcPtr;

inline DataBrowserItemDataUPP NewDataBrowserItemDataUPP(DataBrowserItemDataProcPtr p)
{
    return p;
}
inline DataBrowserItemCompareUPP NewDataBrowserItemCompareUPP(DataBrowserItemCompareProcPtr p)
{
    return p;
}
inline DataBrowserItemNotificationUPP
NewDataBrowserItemNotificationUPP(DataBrowserItemNotificationProcPtr p)
{
    return p;
}

constexpr UInt32 kDataBrowserLatestCallbacks = 0;
struct DataBrowserCallbacks {
    UInt32 version;
    union {
        struct {
            DataBrowserItemDataUPP itemDataCallback;
            DataBrowserItemCompareUPP itemCompareCallback;
            DataBrowserItemNotificationUPP itemNotificationCallback;
        } v1;
    } u;
};

// Sets the version and clears every callback.
OSStatus InitDataBrowserCallbacks(DataBrowserCallbacks* callbacks);
OSStatus SetDataBrowserCallbacks(ControlRef browser, const DataBrowserCallbacks* callbacks);

// ---------------------------------------------------------------------------
// The control.

// A new, hidden list-view browser in the window at bounds (window
// coordinates). paramErr for another style than kDataBrowserListView.
OSStatus CreateDataBrowserControl(WindowRef window, const Rect* bounds, DataBrowserViewStyle style,
                                  ControlRef* outControl);

OSStatus SetDataBrowserSelectionFlags(ControlRef browser, DataBrowserSelectionFlags flags);
OSStatus SetDataBrowserTableViewHiliteStyle(ControlRef browser,
                                            DataBrowserTableViewHiliteStyle style);

// Columns. A new column is appended, whatever the position. A second column
// with the same property is paramErr; an unknown property gives a non-zero
// status.
OSStatus AddDataBrowserListViewColumn(ControlRef browser, DataBrowserListViewColumnDesc* column,
                                      DataBrowserTableViewColumnIndex position);
OSStatus RemoveDataBrowserTableViewColumn(ControlRef browser, DataBrowserTableViewColumnID column);
// The font of a column's cells (the header keeps its own); null gives the
// cells the list's font again. Rows grow to fit the tallest cell.
OSStatus SetDataBrowserTableViewColumnFont(ControlRef browser, DataBrowserTableViewColumnID column,
                                           const QFont* font);
// A column starts at its maximum width; the user may resize it between its
// minimum and maximum.
OSStatus GetDataBrowserTableViewNamedColumnWidth(ControlRef browser,
                                                 DataBrowserTableViewColumnID column,
                                                 UInt16* outWidth);
OSStatus SetDataBrowserTableViewNamedColumnWidth(ControlRef browser,
                                                 DataBrowserTableViewColumnID column, UInt16 width);

// Items. The browser is a flat list: container must be kDataBrowserNoItem.
// items null adds 1..numItems. Items already listed and kDataBrowserNoItem
// are skipped. With a sort column set, the list is sorted again.
OSStatus AddDataBrowserItems(ControlRef browser, DataBrowserItemID container, ItemCount numItems,
                             const DataBrowserItemID* items, DataBrowserPropertyID preSortProperty);
// Removes every item: numItems must be 0 (items are not removed one by one).
OSStatus RemoveDataBrowserItems(ControlRef browser, DataBrowserItemID container, ItemCount numItems,
                                const DataBrowserItemID* items,
                                DataBrowserPropertyID preSortProperty);

// Selects the listed ones among items and no others: operation must be
// kDataBrowserItemsAssign.
OSStatus SetDataBrowserSelectedItems(ControlRef browser, ItemCount numItems,
                                     const DataBrowserItemID* items,
                                     DataBrowserSetOption operation);
Boolean IsDataBrowserItemSelected(ControlRef browser, DataBrowserItemID item);
// The item shown in a row (from 0, in the order shown); a non-zero status
// for a row beyond the list.
OSStatus GetDataBrowserTableViewItemID(ControlRef browser, DataBrowserTableViewRowIndex row,
                                       DataBrowserItemID* outItem);
// Scrolls the item (and the property's column, or the first column for
// kDataBrowserItemNoProperty) into view without changing the selection;
// a non-zero status when it is not listed.
OSStatus RevealDataBrowserItem(ControlRef browser, DataBrowserItemID item,
                               DataBrowserPropertyID property, DataBrowserRevealOptions options);

// Sorting. Property kDataBrowserItemNoProperty (the start) lists the items in
// the order they were added.
OSStatus SetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID property);
OSStatus GetDataBrowserSortProperty(ControlRef browser, DataBrowserPropertyID* outProperty);
OSStatus SetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder order);
OSStatus GetDataBrowserSortOrder(ControlRef browser, DataBrowserSortOrder* outOrder);
