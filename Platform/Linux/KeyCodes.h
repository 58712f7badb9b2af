// The platform's virtual key codes (the macOS numbering Dusk stores) and the
// X11 keycodes of a PC keyboard under evdev, in one table both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace dusk::backend {

// X keycode = evdev code + 8, the xf86-input-evdev and libinput convention.
// A virtual key may sit at several X keycodes (F13 is where a PC keyboard has
// Print); the first is the key's own, where its name is read.
std::optional<std::uint8_t> xKeycodeForVirtualKey(std::uint32_t virtualKey);
std::vector<std::uint8_t> xKeycodesForVirtualKey(std::uint32_t virtualKey);
std::optional<std::uint16_t> virtualKeyForXKeycode(std::uint32_t xKeycode);

// Every pair the table knows: (virtual key, X keycode).
std::span<const std::pair<std::uint16_t, std::uint8_t>> keyTable();

}  // namespace dusk::backend
