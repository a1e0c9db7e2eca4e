#pragma once
// The radical look-up window ('RADL'): the 214 radicals in a grid under
// their stroke counts, each simplified form beside its radical; choosing one
// lists its characters under the strokes beyond the radical, most common
// first. Two number fields narrow the list to one count of further strokes
// and one total. Clicking a character (or Return) shows it in the floating
// window and adds it to the history; a double click also selects it in the
// dictionary window.
//
// Its widgets, by object name: "radicalGrid" and "characterList" (list
// views; group headings are disabled rows), "residualStrokes" (a spin box,
// -1 for any count) and "totalStrokes" (a spin box, 0 for any count).

#include "platform/types.h"

namespace radicals {
class RadicalIndex;
}

// Opens the window, or brings the open one forward.
void createRadicalWindow();
// The index of the loaded dictionary, built on first use from it and the
// shipped radical list; null (after one alert) when the list is missing.
const radicals::RadicalIndex* radicalIndex();
// Lists the characters of a radical form; false when there is no such form.
bool chooseRadical(WindowRef window, int number, bool simplified);
// The number of characters listed now.
int listedCharacterCount(WindowRef window);
