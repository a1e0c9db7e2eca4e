#pragma once
// The face that Han characters are shown in, wherever one is shown larger
// than the surrounding text: the entry list's character column, the entry
// text's character line and the radical look-up window.

#include "platform/databrowser.h"

#include <QFont>

// The Noto CJK faces first; the extension-block face covers the rarer
// characters they lack. Pixel size at least 1.
QFont hanCharacterFont(int pixelSize);

// Han characters in the interface's own text (definitions, variants, the
// entry text) come from the same Noto CJK faces, before the system's choice:
// that could be the extension-block face, which is large to load and meant
// for the rarer characters. Sets the application's font families.
void useHanFacesForText();

// The character size for text of textPixelSize: 1.5 times it, or twice it
// when larger characters are chosen.
int characterPixelSize(int textPixelSize, bool larger);

// Gives a list's text the size of the larger-characters setting and the
// cells of one of its columns the Han face at characterPixelSize of that
// text, so that every list shows its characters alike. Answers the
// characters' pixel size.
int applyListCharacterFont(ControlRef list, DataBrowserPropertyID column, bool larger);
