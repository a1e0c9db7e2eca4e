#pragma once
// The dictionary window: the entry list and text view in a split view under
// a search field, a filter menu and the search scope; and the small
// view-preferences window that chooses the fields shown.

#include "app/prefs.h"
#include "platform/databrowser.h"
#include "platform/events.h"
#include "splitview/splitview.h"
#include "windows/navigation.h"

#include <QString>

#include <cstdint>
#include <vector>

class characterEntry;

// Identifiers of the controls the window makes itself.
constexpr ControlID kViewPaneID = kSplitViewControlID;
constexpr ControlID kDictBrowserPaneID = {FOUR_CHAR_CODE("DBRS"), 128};
constexpr ControlID kTextPaneID = {FOUR_CHAR_CODE("TXTP"), 128};
// And those of the interface resource.
constexpr ControlID kSearchFieldID = {FOUR_CHAR_CODE("SRCH"), 128};
constexpr ControlID kFilterMenuID = {FOUR_CHAR_CODE("DISP"), 128};
constexpr ControlID kScopeCaptionID = {FOUR_CHAR_CODE("TDSC"), 128};
constexpr ControlID kBusyIndicatorID = {FOUR_CHAR_CODE("THNK"), 128};
constexpr ControlID kCharacterCaptionID = {FOUR_CHAR_CODE("BCHR"), 128};
constexpr ControlID kResultCountID = {FOUR_CHAR_CODE("TDCT"), 128};
constexpr ControlID kViewPrefListID = {FOUR_CHAR_CODE("PBRS"), 128};

// Construction and columns.
OSStatus createDictionaryWindow();
OSStatus AddColumnToList(ControlRef browser);
// The split view's frame in a window of these content bounds: 6 pixels at
// the sides, `top` above for the search and filter controls, 18 below.
HIRect splitViewFrame(const Rect& content, float top = 58);
// Room for the search and filter controls above the split view: 58 pixels,
// or more where a large font makes them taller.
float splitViewTop(WindowRef window);
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
void dictionaryNotificationCallback(ControlRef browser, DataBrowserItemID item,
                                    DataBrowserItemNotification message);
Boolean dictionaryCompareCallback(ControlRef browser, DataBrowserItemID itemOne,
                                  DataBrowserItemID itemTwo, DataBrowserPropertyID sortProperty);

// Search and filter. filter: a field number or -1; scope: a field number,
// -1 (the character), -2 (the character and every shown field) or -3 (only
// a refill); a null text is no search.
// A search lists its entries by relevance (orderByRelevance); a list
// without search text is sorted by the column the user chose last.
void filterDBItems(ControlRef browser, int filter, int scope, const QString& text);
// Orders list items by their group in hits (entry position p at item p + 1;
// higher groups first), then by dictsearch::Relevance, then by position.
void orderByRelevance(std::vector<DataBrowserItemID>& items, const std::vector<uint8_t>& hits);
// Takes the list's sort column and order into listSort, when it has one.
void rememberListSort(ControlRef browser);
OSStatus DictWindowSearchHandler(EventHandlerCallRef call, EventRef event, void* userData);
// Lists the entries that pass the filter and hold the search field's text
// (tone-marked first in the Mandarin scope); a blank text is no search and
// clears the field as cancelSearch does.
void searchWithFieldText(ControlRef field);
// Empties the search field, hides its cancel button and lists every entry
// that passes the filter.
void cancelSearch(ControlRef field);
// The dictionary window's entry list, the window brought forward; null
// without the window.
ControlRef dictionaryList();
void showBusy();
void unshowBusy();

// Commands and menus.
OSStatus DictWindowCommandHandler(EventHandlerCallRef call, EventRef event, void* userData);
void redoMenuChoices(WindowRef window);
// Marks the one item of the search menu that stands for globals.searchState.
void markSearchScope(WindowRef window);

// The entry text view.
void loadDictTextData(characterEntry* entry);
// The entry the text view shows; null before the first.
characterEntry* shownTextEntry();
// Sizes the list's text and its character column, and the text view's
// character, for the larger-characters setting.
void applyCharacterSizes(WindowRef window);
