#pragma once
// The application as the service targets drive it: the interface resources,
// a small dictionary of the target's own, the preferences a first run has and
// the application's event handler.

#include "fuzz/fuzzsupport.h"

#include "program/appcommands.h"
#include "app/globals.h"
#include "platform/events.h"
#include "platform/folders.h"
#include "platform/nib.h"
#include "store/dictionary.h"

#include <cstring>

namespace fuzzsupport {

inline void setUpApplication(const char* index, const char* dictionary)
{
    SetBundleResourcesFolderOverride(QStringLiteral(TAVI_FUZZ_RESOURCES_DIR));
    FUZZ_CHECK(CreateNibReference(QStringLiteral("Tavi"), &nibRef) == noErr);
    const std::string path = scratchPath("dictionary.txt");
    writeFile(path + ".index", index, strlen(index));
    writeFile(path, dictionary, strlen(dictionary));
    dict.loadIndex(path.c_str());
    dict.load(path.c_str(), nullptr);
    for (dictFields* field : dict.fields)
        field->flags = 3;
    globals.filterState = -1;
    globals.searchState = -2;
    globals.floatingCharType = FOUR_CHAR_CODE("TRAD");
    globals.floatingRomanType = FOUR_CHAR_CODE("PYIN");
    globals.floatingDefnType = FOUR_CHAR_CODE("EDEF");
    globals.dividerRatio = 1000;
    globals.DictLeftCorner = globals.DictTopCorner = globals.DictRightCorner =
        globals.DictBottomCorner = -1;
    globals.FloatLeftCorner = globals.FloatTopCorner = -1;
    InstallEventHandler(GetApplicationEventTarget(), NewEventHandlerUPP(applicationEventHandler),
                        GetEventTypeCount(kApplicationEventTypes), kApplicationEventTypes, nullptr,
                        nullptr);
}

} // namespace fuzzsupport
