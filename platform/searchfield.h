#pragma once
// The search field: a QLineEdit with a search menu behind a magnifier at its
// start and a cancel button at its end. A QLineEdit becomes a search field on
// the first call below; its dynamic properties "itemTitles" and
// "itemCommands" give the fixed first items of its menu.
//
// Events, sent to the field's control (and passed on to its window and the
// application when not handled):
//   {kEventClassTextField, kEventTextAccepted}            Return or Enter
//   {kEventClassSearchField, kEventSearchFieldCancelClicked}  the cancel
//       button or Escape, after the text has been cleared
//   {kEventClassKeyboard, kEventRawKeyDown}               Up or Down, which
//       the field has no use for, with the parameters of keyboard.h; a
//       handler that answers noErr consumes the key
//   {kEventClassCommand, kEventCommandProcess}            a search menu item,
//       with the item's command (HICommand from the menu); which item shows
//       a mark is up to the program (CheckMenuItem)
// The text is the control's 'cfst' data, as for any line edit.

#include "platform/events.h"

#include <QString>

constexpr OptionBits kHISearchFieldAttributesCancel = 1u << 0;

OSStatus HISearchFieldGetSearchMenu(HIViewRef searchField, MenuRef* outMenu);
// Sets and clears attributes; the cancel button shows while
// kHISearchFieldAttributesCancel is set.
OSStatus HISearchFieldChangeAttributes(HIViewRef searchField, OptionBits attributesToSet,
                                       OptionBits attributesToClear);
// The grey text shown while the field is empty; a null or empty text removes it.
OSStatus HISearchFieldSetDescriptiveText(HIViewRef searchField, const QString& text);
