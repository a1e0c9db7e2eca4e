#pragma once
// The dictionary window: the entry list and text view in a split view under
// a search field, a filter menu and the search scope; and the small
// view-preferences window that chooses the fields shown.

#include "platform/databrowser.h"
#include "platform/events.h"

#include <QString>

class characterEntry;

// Identifiers of the controls the window makes itself.
constexpr ControlID kViewPaneID = {FOUR_CHAR_CODE("splV"), 0};
constexpr ControlID kDictBrowserPaneID = {FOUR_CHAR_CODE("DBRS"), 128};
constexpr ControlID kTextPaneID = {FOUR_CHAR_CODE("TXTP"), 128};
// And those of the interface resource.
constexpr ControlID kSearchFieldID = {FOUR_CHAR_CODE("SRCH"), 128};
constexpr ControlID kFilterMenuID = {FOUR_CHAR_CODE("DISP"), 128};
constexpr ControlID kScopeCaptionID = {FOUR_CHAR_CODE("TDSC"), 128};
constexpr ControlID kBusyIndicatorID = {FOUR_CHAR_CODE("THNK"), 128};
constexpr ControlID kCharacterCaptionID = {FOUR_CHAR_CODE("BCHR"), 128};
constexpr ControlID kViewPrefListID = {FOUR_CHAR_CODE("PBRS"), 128};

constexpr DataBrowserPropertyID kCharacterColumn = FOUR_CHAR_CODE("CHAR");

// Construction and columns.
OSStatus createDictionaryWindow();
OSStatus AddColumnToList(ControlRef browser);
OSStatus addColumn(ControlRef browser, DataBrowserPropertyID property, UInt16 minimumWidth,
                   UInt16 maximumWidth, const QString& title, DataBrowserPropertyType type,
                   DataBrowserPropertyFlags flags);
OSStatus createViewPrefWindow();
OSStatus viewDataCallback(ControlRef browser, DataBrowserItemID item,
                          DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                          Boolean setValue);
// The view-preferences window's 'ok  ': closes it and adds and removes list
// columns to match the fields' flags. The status of the last failed removal.
OSStatus applyViewPreferences();

// The entry list's callbacks.
OSStatus dictionaryDataCallback(ControlRef browser, DataBrowserItemID item,
                                DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                                Boolean setValue);
// Saves the user's edits to the user dictionary now. When they cannot be
// written, says so once (until a save works again); they stay pending and
// the next edit and the quit try again.
void saveUserEdits();
void dictionaryNotificationCallback(ControlRef browser, DataBrowserItemID item,
                                    DataBrowserItemNotification message);
Boolean dictionaryCompareCallback(ControlRef browser, DataBrowserItemID itemOne,
                                  DataBrowserItemID itemTwo, DataBrowserPropertyID sortProperty);

// Search and filter. filter: a field number or -1; scope: a field number,
// -1 (the character), -2 (the character and every shown field) or -3 (only
// a refill); a null text is no search.
void filterDBItems(ControlRef browser, int filter, int scope, const QString& text);
OSStatus DictWindowSearchHandler(EventHandlerCallRef call, EventRef event, void* userData);
void showBusy();
void unshowBusy();

// Commands and menus.
OSStatus DictWindowCommandHandler(EventHandlerCallRef call, EventRef event, void* userData);
void redoMenuChoices(WindowRef window);

// The entry text view.
void loadDictTextData(characterEntry* entry);
