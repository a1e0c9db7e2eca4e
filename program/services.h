#pragma once
// The Services that other programs call with selected text: the perform
// event of the application handler and the five messages it knows.

#include "platform/events.h"

// Carries out a kEventServicePerform event: reads the message name and the
// scrap's Unicode text, runs the message of exactly that name and puts its
// reply, if it has one, back on the scrap. Always noErr; a scrap that cannot
// be read is an alert.
OSStatus performService(EventRef event);
