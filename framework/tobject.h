#pragma once
// TObject: one instance of a class tied to one platform object.
//
// The platform owns the instance. A registered class's construct function
// makes the instance over the new platform object; the platform then sends
// the initialisation event, which initialises the base class first and then
// calls Initialize; the destruct event deletes the instance. Users never
// delete an instance themselves.

#include "framework/tcarbonevent.h"

#include <QString>

class TObject {
public:
    using ConstructProc = OSStatus (*)(HIObjectRef inObjectRef, TObject** outObject);

    virtual ~TObject();

    HIObjectRef GetObjectRef() const { return fObjectRef; }

    // Registers the class with the platform, with ObjectEventHandler as its
    // handler and the construct function as its construct data.
    static OSStatus RegisterSubclass(const QString& inClassID, const QString& inBaseClassID,
                                     ConstructProc inConstructProc);
    // A new initialisation event ({'hiob', 2}, now), or null. The caller
    // releases it after HIObjectCreate.
    static EventRef CreateInitializationEvent();
    // The class handler of every registered class.
    static OSStatus ObjectEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent,
                                       void* inUserData);

protected:
    explicit TObject(HIObjectRef inObjectRef);

    virtual OSStatus Initialize(TCarbonEvent& inEvent);
    virtual void PrintDebugInfoSelf();

    const HIObjectRef fObjectRef;

private:
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
};
