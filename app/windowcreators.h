#pragma once
// The windows that start-up and the application commands open. Each joins
// when its folder under windows/ provides its header; until then start-up
// opens no such window and its command does nothing.

#if __has_include("windows/dictionary/dictionarywindow.h")
#include "windows/dictionary/dictionarywindow.h" // createDictionaryWindow
#define TAVI_HAVE_DICTIONARY_WINDOW 1
#else
#define TAVI_HAVE_DICTIONARY_WINDOW 0
#endif

#if __has_include("windows/floating/floatingwindow.h")
#include "windows/floating/floatingwindow.h" // createFloatingWindow
#define TAVI_HAVE_FLOATING_WINDOW 1
#else
#define TAVI_HAVE_FLOATING_WINDOW 0
#endif

#if __has_include("windows/feedback/feedbackwindow.h")
#include "windows/feedback/feedbackwindow.h" // createFeedbackWindow
#define TAVI_HAVE_FEEDBACK_WINDOW 1
#else
#define TAVI_HAVE_FEEDBACK_WINDOW 0
#endif

// Opens the dictionary window, or brings the open one forward; false when
// this build has no dictionary window.
bool openDictionaryWindow();
// Opens the floating window, or brings it forward; false when this build has
// no floating window.
bool openFloatingWindow();
// Opens the feedback form; false when this build has none.
bool openFeedbackWindow();
