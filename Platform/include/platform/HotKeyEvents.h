// The event manager's global hot keys, in its own C shape: status codes, the
// 8-byte hot-key identifier, a plain C callback and opaque handles. Events are
// delivered on the main thread, from the application's event loop.
#pragma once

#include <cstdint>

namespace platform {

using OSStatus = std::int32_t;
using OSType = std::uint32_t;

inline constexpr OSStatus noErr = 0;
// The combination is held already, by this or another application.
inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;

inline constexpr OSType kEventClassKeyboard = 0x6B657962;  // 'keyb'
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr OSType kEventParamDirectObject = 0x2D2D2D2D;  // '----'
inline constexpr OSType typeEventHotKeyID = 0x686B6964;        // 'hkid'

struct OpaqueEventTargetRef;
struct OpaqueEventHandlerRef;
struct OpaqueEventHandlerCallRef;
struct OpaqueEventRef;
struct OpaqueEventHotKeyRef;
using EventTargetRef = OpaqueEventTargetRef*;
using EventHandlerRef = OpaqueEventHandlerRef*;
using EventHandlerCallRef = OpaqueEventHandlerCallRef*;
using EventRef = OpaqueEventRef*;
using EventHotKeyRef = OpaqueEventHotKeyRef*;

struct EventHotKeyID {
    OSType signature;
    std::uint32_t id;
};
static_assert(sizeof(EventHotKeyID) == 8);

struct EventTypeSpec {
    OSType eventClass;
    std::uint32_t eventKind;
};

using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef handlerCall, EventRef event, void* userData);

EventTargetRef GetEventDispatcherTarget();
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, std::uint32_t numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef);
OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* outActualType,
                           std::uint32_t bufferSize, std::uint32_t* outActualSize, void* outData);
OSStatus RegisterEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                             EventTargetRef target, std::uint32_t options, EventHotKeyRef* outRef);
OSStatus UnregisterEventHotKey(EventHotKeyRef hotKey);

}  // namespace platform
