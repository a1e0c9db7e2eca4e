#include "app/globals.h"

// Zero until loadPrefs fills it.
Globals globals{};

IBNibRef nibRef = nullptr;
