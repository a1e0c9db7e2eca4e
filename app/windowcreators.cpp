#include "app/windowcreators.h"

bool openDictionaryWindow()
{
    createDictionaryWindow();
    return true;
}

bool openFloatingWindow()
{
    createFloatingWindow();
    return true;
}
