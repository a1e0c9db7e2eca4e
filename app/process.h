#pragma once
// The program as a process among others: bringing it to the front.

#include "platform/types.h"

struct ProcessSerialNumber {
    UInt32 highLongOfPSN;
    UInt32 lowLongOfPSN;
};

// The serial number that stands for this process.
constexpr UInt32 kCurrentProcess = 2;
constexpr OSErr procNotFound = -600;

OSErr GetCurrentProcess(ProcessSerialNumber* outPSN);
// Brings every visible window of this process in front of other programs'
// windows, keeping their order, un-minimises them and activates the front
// one. Only this process can be brought forward: procNotFound for another.
// The window manager may still decline to hand over the focus.
OSErr SetFrontProcess(const ProcessSerialNumber* psn);
