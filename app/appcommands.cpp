#include "app/appcommands.h"

#include "app/windowcreators.h"
#include "windows/history/history.h"

#include <cstdio>

const EventTypeSpec kApplicationEventTypes[5] = {
    {kEventClassCommand, kEventCommandProcess},
    {kEventClassService, kEventServicePerform},
    {kEventClassService, kEventServiceGetTypes},
    {kEventClassService, kEventServiceCopy},
    {kEventClassService, kEventServicePaste},
};

namespace {

void processCommand(UInt32 commandID)
{
    switch (commandID) {
    case "DWIN"_4cc:
        openDictionaryWindow();
        break;
    case "LWIN"_4cc:
        openFloatingWindow();
        break;
    case "VIEW"_4cc:
#if TAVI_HAVE_DICTIONARY_WINDOW
        createViewPrefWindow();
#endif
        break;
    case "LHWN"_4cc:
        createHistoryWindow();
        break;
    case "ADD "_4cc:
        addCharacter();
        break;
    case "FBAK"_4cc: // feedback form
        // COMMANDS: carried out here once their windows exist.
        break;
    default:
        std::printf("Unknown app command: %c%c%c%c\n", FOUR_CHAR_ARGS(commandID));
        std::fflush(stdout);
        break;
    }
}

OSStatus handleServiceEvent(EventKind kind)
{
    std::puts("got a service class event");
    switch (kind) {
    case kEventServiceGetTypes:
        std::puts("Got get types service event");
        break;
    case kEventServiceCopy:
        std::puts("Got service copy service event");
        break;
    case kEventServicePaste:
        std::puts("Got service paste service event");
        break;
    default:
        break;
    }
    std::fflush(stdout);
    return noErr;
}

} // namespace

OSStatus applicationEventHandler(EventHandlerCallRef, EventRef event, void*)
{
    const EventClass eventClass = GetEventClass(event);
    const EventKind kind = GetEventKind(event);

    if (eventClass == kEventClassCommand && kind == kEventCommandProcess) {
        HICommand command{};
        if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr,
                              sizeof command, nullptr, &command) == noErr)
            processCommand(command.commandID);
        return eventNotHandledErr;
    }

    if (eventClass == kEventClassService) {
        // SERVICES: the perform event (Lookup, LookupQuickly, ConvertPinyin,
        // ConvertUnicode, Convert) is handled here once the services bridge
        // exists; until then it is left to the standard handling.
        if (kind == kEventServicePerform)
            return eventNotHandledErr;
        return handleServiceEvent(kind);
    }

    return eventNotHandledErr;
}
