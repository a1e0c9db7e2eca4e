#pragma once
// The history of quick look-ups and the drawer that lists it.
//
// `history` holds entry indices from the oldest look-up to the newest, each
// at most once. The drawer ('HIST', from "HistoryWindow") hangs at the left
// edge of the floating window; its list {'HSDB', 128} shows item k for the
// element history[n - k], so the newest look-up is item 1, on top.

#include "platform/databrowser.h"
#include "platform/events.h"
#include "platform/windowgroups.h"

#include <cstdint>
#include <vector>

extern std::vector<uint32_t> history;
// The group of the floating window and its drawer; made with the first drawer.
extern WindowGroupRef myGroup;

// Moves the index to the end of the history, or appends it.
void addToHistory(uint32_t index);
// Refills the drawer's list from the history, when the drawer exists.
void updateHistoryBrowser();
// Opens the drawer on the floating window, or toggles the one there is.
void createHistoryWindow();
// Draws the drawer's characters as large as the entry list's, for the
// larger-characters setting; does nothing without a drawer.
void applyHistoryCharacterSize();

// The list's item-data and notification callbacks.
OSStatus historyDataCallback(ControlRef browser, DataBrowserItemID item,
                             DataBrowserPropertyID property, DataBrowserItemDataRef itemData,
                             Boolean setValue);
void historyNotificationCallback(ControlRef browser, DataBrowserItemID item,
                                 DataBrowserItemNotification message);
// The drawer's handler: 'SHST' exports the history, Delete removes the
// selected rows from it.
OSStatus HistoryHandler(EventHandlerCallRef handlerRef, EventRef event, void* userData);
