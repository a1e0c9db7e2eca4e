#include "app/windowcreators.h"

bool openDictionaryWindow()
{
#if TAVI_HAVE_DICTIONARY_WINDOW
    createDictionaryWindow();
    return true;
#else
    return false;
#endif
}

bool openFloatingWindow()
{
#if TAVI_HAVE_FLOATING_WINDOW
    createFloatingWindow();
    return true;
#else
    return false;
#endif
}

bool openFeedbackWindow()
{
#if TAVI_HAVE_FEEDBACK_WINDOW
    createFeedbackWindow();
    return true;
#else
    return false;
#endif
}
