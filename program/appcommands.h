#pragma once
// The application-level handler of commands and Services events.

#include "platform/events.h"

// The five event types the handler is installed for, in this order.
extern const EventTypeSpec kApplicationEventTypes[5];

// Commands are answered eventNotHandledErr, also when carried out, so the
// standard handling (quit) still sees them; Services events are consumed.
OSStatus applicationEventHandler(EventHandlerCallRef call, EventRef event, void* userData);

// 'BIGF': the larger-characters setting, applied to the open windows and
// shown as the menu item's check mark.
void setLargerCharacters(bool larger);
// Checks the menu item when larger characters are chosen.
void showLargerCharactersChoice();
// Help › Send Feedback… is offered only when feedback.conf names a real
// form-mail endpoint; otherwise it is disabled and its tooltip says how to
// set one up.
void showFeedbackChoice();
