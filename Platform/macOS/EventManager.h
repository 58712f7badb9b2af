// The Carbon event manager's hot keys, as far as Dusk's one shortcut needs
// them. Declared without Carbon's headers, so that what Dusk does with them
// (GlobalShortcut.cpp) is plain C++, tested off a Mac against a stand-in;
// EventManager.cpp is the real thing.
#pragma once

#include <cstdint>

// Carbon's own opaque type: an EventHotKeyRef points at one.
struct OpaqueEventHotKeyRef;

namespace platform::mac {

// Carbon's EventHotKeyID: which of an application's hot keys was pressed.
struct HotKeyId {
    std::uint32_t signature = 0;
    std::uint32_t id = 0;

    bool operator==(const HotKeyId&) const = default;
};

// Carbon's modifier masks (cmdKey, shiftKey, optionKey, controlKey).
namespace carbonModifier {
inline constexpr std::uint32_t command = 0x100;
inline constexpr std::uint32_t shift = 0x200;
inline constexpr std::uint32_t option = 0x800;
inline constexpr std::uint32_t control = 0x1000;
}  // namespace carbonModifier

// Carbon's kEventHotKeyExclusive: the keys are Dusk's alone while it holds
// them, and keys another application holds the same way are refused instead
// of shared, both applications then firing.
inline constexpr std::uint32_t exclusiveHotKey = 1U << 0;

namespace eventManager {

using HotKeyRef = OpaqueEventHotKeyRef*;

// From now on every hot-key press of this application reaches hotKeyPressed.
// Answers InstallEventHandler's status.
std::int32_t installPressHandler();
// RegisterEventHotKey on the application's event target with these options;
// answers its status, and on success the registration in `registered`.
std::int32_t registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, HotKeyId id, std::uint32_t options,
                            HotKeyRef& registered);
void unregisterHotKey(HotKeyRef registered);

}  // namespace eventManager

// Each press whose identifier could be read from its event, on the main
// thread, inside the event manager's delivery.
void hotKeyPressed(HotKeyId pressed);

}  // namespace platform::mac
