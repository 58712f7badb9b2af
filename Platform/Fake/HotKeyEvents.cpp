#include <algorithm>
#include <cstring>

#include "State.h"

namespace platform {

using fake::desktop;

namespace {
struct OpaqueEventTargetRef* dispatcherTarget() {
    static char target;
    return reinterpret_cast<struct OpaqueEventTargetRef*>(&target);
}
}  // namespace

EventTargetRef GetEventDispatcherTarget() { return dispatcherTarget(); }

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, std::uint32_t numTypes,
                             const EventTypeSpec* list, void*, EventHandlerRef* outRef) {
    if (target != dispatcherTarget() || handler == nullptr) return -50;  // paramErr
    auto& handlers = desktop().handlers;
    handlers.push_back({handler, std::vector<EventTypeSpec>(list, list + numTypes)});
    // The handle is only ever compared, never followed.
    if (outRef != nullptr) *outRef = reinterpret_cast<EventHandlerRef>(&handlers.back());
    return noErr;
}

std::uint32_t GetEventKind(EventRef event) { return event->kind; }

OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* outActualType,
                           std::uint32_t bufferSize, std::uint32_t* outActualSize, void* outData) {
    if (event != nullptr && (name == kEventParamKeyCode || name == kEventParamKeyModifiers)) {
        if (desiredType != typeUInt32 || !event->binding) return eventParameterNotFoundErr;
        if (bufferSize < sizeof(std::uint32_t)) return -50;
        const std::uint32_t value = name == kEventParamKeyCode ? event->binding->first : event->binding->second;
        std::memcpy(outData, &value, sizeof value);
        if (outActualType != nullptr) *outActualType = typeUInt32;
        if (outActualSize != nullptr) *outActualSize = sizeof value;
        return noErr;
    }
    if (event == nullptr || name != kEventParamDirectObject || desiredType != typeEventHotKeyID || !event->hotKeyID) {
        return eventParameterNotFoundErr;
    }
    if (bufferSize < sizeof(EventHotKeyID)) return -50;
    std::memcpy(outData, &*event->hotKeyID, sizeof(EventHotKeyID));
    if (outActualType != nullptr) *outActualType = typeEventHotKeyID;
    if (outActualSize != nullptr) *outActualSize = sizeof(EventHotKeyID);
    return noErr;
}

OSStatus RegisterEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                             EventTargetRef target, std::uint32_t, EventHotKeyRef* outRef) {
    auto& state = desktop();
    if (target != dispatcherTarget()) return -50;
    const auto taken = [&](const auto& ref) {
        return ref->registration.keyCode == keyCode && ref->registration.carbonModifiers == modifiers;
    };
    if (state.heldByOthers.contains({keyCode, modifiers}) ||
        std::any_of(state.registrations.begin(), state.registrations.end(), taken)) {
        return eventHotKeyExistsErr;
    }
    state.registrations.push_back(
        std::make_unique<OpaqueEventHotKeyRef>(OpaqueEventHotKeyRef{{keyCode, modifiers, hotKeyID}}));
    if (outRef != nullptr) *outRef = state.registrations.back().get();
    return noErr;
}

OSStatus UnregisterEventHotKey(EventHotKeyRef hotKey) {
    auto& state = desktop();
    ++state.unregisterCalls;
    const auto removed = std::erase_if(state.registrations, [hotKey](const auto& ref) { return ref.get() == hotKey; });
    return removed == 0 ? -9876 : noErr;  // eventHotKeyInvalidErr
}

}  // namespace platform
