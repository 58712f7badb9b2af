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

// Where the desktop, not the application, has the last word on a binding
// (a shortcuts portal), it may move a registered hot key to other keys, or
// drop it, after RegisterEventHotKey has returned. That arrives as an event
// of this kind, its direct object the hot key's identifier, with the keys
// now in effect as kEventParamKeyCode and kEventParamKeyModifiers (the
// modifier mask RegisterEventHotKey takes); both are missing when no keys
// are. The event manager itself never sends it.
inline constexpr std::uint32_t kEventHotKeyBindingChanged = 0x62696E64;  // 'bind'
inline constexpr OSType kEventParamKeyCode = 0x6B636F64;                 // 'kcod'
inline constexpr OSType kEventParamKeyModifiers = 0x6B6D6F64;            // 'kmod'
inline constexpr OSType typeUInt32 = 0x6D61676E;                         // 'magn'

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
std::uint32_t GetEventKind(EventRef event);
OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* outActualType,
                           std::uint32_t bufferSize, std::uint32_t* outActualSize, void* outData);
OSStatus RegisterEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                             EventTargetRef target, std::uint32_t options, EventHotKeyRef* outRef);
OSStatus UnregisterEventHotKey(EventHotKeyRef hotKey);

}  // namespace platform
