// The platform's hot-key calls are the Carbon event manager's own; only the
// opaque handle types differ in name, so each call is a forward with casts.
#include "platform/HotKeyEvents.h"

#include <Carbon/Carbon.h>

#include <deque>
#include <vector>

namespace platform {

// The core hands these values to the event manager as they are.
static_assert(noErr == ::noErr);
static_assert(eventHotKeyExistsErr == ::eventHotKeyExistsErr);
static_assert(eventParameterNotFoundErr == ::eventParameterNotFoundErr);
static_assert(kEventClassKeyboard == ::kEventClassKeyboard);
static_assert(kEventHotKeyPressed == ::kEventHotKeyPressed);
static_assert(kEventParamDirectObject == ::kEventParamDirectObject);
static_assert(typeEventHotKeyID == ::typeEventHotKeyID);
static_assert(kEventParamKeyCode == ::kEventParamKeyCode);
static_assert(kEventParamKeyModifiers == ::kEventParamKeyModifiers);
static_assert(typeUInt32 == ::typeUInt32);

namespace {

template <typename To, typename From>
To opaque(From handle) {
    return reinterpret_cast<To>(handle);
}

// The event manager calls back with its own handle types, so each installed
// handler is reached through this trampoline. Handlers are never removed.
struct InstalledHandler {
    EventHandlerProcPtr handler;
    void* userData;
};

::OSStatus trampoline(::EventHandlerCallRef call, ::EventRef event, void* installed) {
    const auto& target = *static_cast<const InstalledHandler*>(installed);
    return target.handler(opaque<EventHandlerCallRef>(call), opaque<EventRef>(event), target.userData);
}

}  // namespace

EventTargetRef GetEventDispatcherTarget() { return opaque<EventTargetRef>(::GetEventDispatcherTarget()); }

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, std::uint32_t numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    static std::deque<InstalledHandler> installed;
    installed.push_back({handler, userData});
    std::vector<::EventTypeSpec> types;
    for (std::uint32_t i = 0; i < numTypes; ++i) types.push_back({list[i].eventClass, list[i].eventKind});
    ::EventHandlerRef ref = nullptr;
    const ::OSStatus status = ::InstallEventHandler(opaque<::EventTargetRef>(target), NewEventHandlerUPP(trampoline),
                                                    numTypes, types.data(), &installed.back(), &ref);
    if (outRef != nullptr) *outRef = opaque<EventHandlerRef>(ref);
    return status;
}

std::uint32_t GetEventKind(EventRef event) { return ::GetEventKind(opaque<::EventRef>(event)); }

OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* outActualType,
                           std::uint32_t bufferSize, std::uint32_t* outActualSize, void* outData) {
    ::ByteCount actualSize = 0;
    const ::OSStatus status = ::GetEventParameter(opaque<::EventRef>(event), name, desiredType, outActualType,
                                                  bufferSize, &actualSize, outData);
    if (outActualSize != nullptr) *outActualSize = static_cast<std::uint32_t>(actualSize);
    return status;
}

OSStatus RegisterEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                             EventTargetRef target, std::uint32_t options, EventHotKeyRef* outRef) {
    ::EventHotKeyRef ref = nullptr;
    const ::OSStatus status = ::RegisterEventHotKey(keyCode, modifiers, {hotKeyID.signature, hotKeyID.id},
                                                    opaque<::EventTargetRef>(target), options, &ref);
    if (outRef != nullptr) *outRef = opaque<EventHotKeyRef>(ref);
    return status;
}

OSStatus UnregisterEventHotKey(EventHotKeyRef hotKey) {
    return ::UnregisterEventHotKey(opaque<::EventHotKeyRef>(hotKey));
}

}  // namespace platform
