#pragma once
// The floating window ('FWIN', from "FloatingWindow"): a small utility window
// that shows one entry, its character large, with one reading and one
// definition. Three pop-ups choose the fields of the three texts; the
// choices live in globals as field codes.

#include "platform/events.h"
#include "windows/lookup.h"
#include "windows/navigation.h"

#include <QString>

#include <cstdint>
#include <functional>

// The point size of a character text of n characters: 114 / ceil(sqrt(n)).
SInt16 characterTextSize(std::size_t n);

// The reading's size for the larger-characters setting.
void applyFloatingReadingSize(WindowRef window);

// Opens the window, or brings it forward and expands it.
void createFloatingWindow();
// Shows the entry at `index` of dict.entries; -1 shows the entry shown last.
void loadFloatingWindowData(WindowRef window, SInt32 index);
// Shows the text as a character that is not in the dictionary and keeps its
// first characters for addCharacter.
void loadFloatingWindowData(WindowRef window, const UniChar* units, SInt32 count);
// Shows the text with the line "No entry found for “text”"; the entry shown
// last stays the one that the pop-ups show again.
void showNoEntryFound(WindowRef window, const QString& text);
OSStatus floatingWindowCommandHandler(EventHandlerCallRef handlerRef, EventRef event,
                                      void* userData);
// 'SPEK': speaks the shown entry's reading, in Cantonese when the chosen
// reading is Cantonese and in Mandarin otherwise.
void speakFloatingReading();
// Makes a user entry of the character last shown as not in the dictionary.
void addCharacter();
// The character text shown now (a character, a word or a text not found),
// and a function told each time the window shows another.
QString floatingCharacterText();
void setFloatingCharacterObserver(std::function<void(const QString&)> observer);

// The not-found character: at most this many characters are kept.
constexpr std::size_t kNotFoundCharacterLimit = 32;
extern uint32_t ukBuffer[kNotFoundCharacterLimit];
extern std::size_t ukBufferLen;

// Content sizes of the two states; a content height above the limit counts
// as expanded.
constexpr short kFloatingWidth = 200;
constexpr short kFloatingExpandedHeight = 493;
constexpr short kFloatingCollapsedHeight = 0;
constexpr short kFloatingExpandedLimit = 99;
