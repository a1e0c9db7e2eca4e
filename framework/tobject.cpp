#include "framework/tobject.h"

#include <cstdio>

TObject::TObject(HIObjectRef inObjectRef) : fObjectRef(inObjectRef) {}

TObject::~TObject() = default;

OSStatus TObject::Initialize(TCarbonEvent&)
{
    return noErr;
}

void TObject::PrintDebugInfoSelf()
{
    std::fputs("TObject\n", stdout);
}

OSStatus TObject::RegisterSubclass(const QString& inClassID, const QString& inBaseClassID,
                                   ConstructProc inConstructProc)
{
    static const EventTypeSpec kObjectEvents[] = {
        {kEventClassHIObject, kEventHIObjectConstruct},
        {kEventClassHIObject, kEventHIObjectInitialize},
        {kEventClassHIObject, kEventHIObjectDestruct},
        {kEventClassHIObject, kEventHIObjectPrintDebugInfo},
    };
    return HIObjectRegisterSubclass(inClassID, inBaseClassID, 0, ObjectEventHandler,
                                    GetEventTypeCount(kObjectEvents), kObjectEvents,
                                    reinterpret_cast<void*>(inConstructProc), nullptr);
}

EventRef TObject::CreateInitializationEvent()
{
    EventRef event = nullptr;
    if (CreateEvent(nullptr, kEventClassHIObject, kEventHIObjectInitialize, GetCurrentEventTime(),
                    kEventAttributeNone, &event) != noErr)
        return nullptr;
    return event;
}

OSStatus TObject::ObjectEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent,
                                     void* inUserData)
{
    if (GetEventClass(inEvent) != kEventClassHIObject)
        return eventNotHandledErr;
    TObject* instance = static_cast<TObject*>(inUserData);
    TCarbonEvent event(inEvent);
    switch (GetEventKind(inEvent)) {
    case kEventHIObjectConstruct: {
        // The user data is the construct function here.
        auto construct = reinterpret_cast<ConstructProc>(inUserData);
        HIObjectRef object = nullptr;
        OSStatus status = event.GetParameter(kEventParamHIObjectInstance, typeHIObjectRef,
                                             sizeof object, &object);
        if (status != noErr)
            return status;
        TObject* created = nullptr;
        status = construct ? construct(object, &created) : paramErr;
        if (status != noErr)
            return status;
        // From now on the platform hands the instance to every event.
        void* pointer = created;
        return event.SetParameter(kEventParamHIObjectInstance, typeVoidPtr, sizeof pointer,
                                  &pointer);
    }
    case kEventHIObjectInitialize: {
        // The base class initialises first.
        const OSStatus status = CallNextEventHandler(inCallRef, inEvent);
        if (status != noErr)
            return status;
        return instance ? instance->Initialize(event) : paramErr;
    }
    case kEventHIObjectDestruct:
        delete instance;
        return eventNotHandledErr;
    case kEventHIObjectPrintDebugInfo:
        if (instance)
            instance->PrintDebugInfoSelf();
        return eventNotHandledErr;
    default:
        return eventNotHandledErr;
    }
}
