#pragma once
// The stroke order window ('STRK'): the characters of a text, one after
// another, each on a four-square practice grid, written stroke by stroke
// along each stroke's median. Space pauses and plays (and replays once all
// is written), Left and Right step one stroke back or forward, Home replays
// from the first character, + and - change the speed. Below the grid, the
// strip of steps of the character shown, which can be copied or saved as
// PNG or SVG.
//
// Its widgets, by object name: "strokeCanvas", "strokeCaption" (the
// character and its stroke count), "strokeStep" (the stroke being written),
// "stepStrip", "speed" (a slider), "replayButton", "copyStripButton",
// "savePngButton", "saveSvgButton".

#include "platform/types.h"

#include <QString>

// Opens the window showing the text's characters, or brings the open one
// forward and shows them.
void createStrokeOrderWindow(const QString& text);
// Shows the text's characters in the open window; nothing when it is closed.
void showStrokeOrderOf(const QString& text);

// What the window shows, for tests and the print-out.
struct StrokeOrderState {
    QString characters;   // the characters it goes through
    int current = 0;      // which of them is shown, from 0
    int strokes = -1;     // its stroke count; -1 when there is no stroke data
    int written = 0;      // strokes written completely
    bool playing = false; // the animation runs
};
StrokeOrderState strokeOrderState(WindowRef window);
// Writes the shown character's strip of steps, as SVG when the path ends in
// ".svg" and as PNG otherwise; false when it cannot be written or there is
// no strip.
bool saveStepStrip(WindowRef window, const QString& path);
