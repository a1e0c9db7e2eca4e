#pragma once
// Finding a window again by its tag, and the one alert helper.

#include "platform/types.h"

// The frontmost window whose reference constant is tag, brought to the front
// when select is true; nullptr when none carries it.
WindowRef FindMyWindow(long tag, bool select);

// A modal note alert. title and message are Pascal strings (length byte, at
// most 255 bytes); message may be null; err is a status, 0 for none.
void minorError(const unsigned char* title, const unsigned char* message, long err);

// The same with C strings, made into Pascal strings (cut at 255 bytes).
void minorError(const char* title, const char* message, long err);
