// The key codes Dusk stores (the Mac's virtual key codes, which number a
// key's place on the keyboard, whatever it types) and the X keycodes of a PC keyboard under
// evdev, in one table read both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace dusk::backend {

// X keycode = evdev code + 8, the convention of xf86-input-evdev, libinput
// and every Wayland compositor's keymap. A virtual key may sit at several X
// keycodes (F13 is also where a PC keyboard has Print); the first is the
// key's own, where its name is read.
std::vector<std::uint8_t> xKeycodesForVirtualKey(std::uint32_t virtualKey);
std::optional<std::uint8_t> xKeycodeForVirtualKey(std::uint32_t virtualKey);
// What a key event's keycode (QKeyEvent::nativeScanCode on X11 and Wayland
// alike) stands for in Dusk's numbering; none for a key a Mac has no code
// for (Menu, Henkan).
std::optional<std::uint16_t> virtualKeyForXKeycode(std::uint32_t xKeycode);

// Every pair the table knows: (virtual key, X keycode).
std::span<const std::pair<std::uint16_t, std::uint8_t>> keyTable();

}  // namespace dusk::backend
