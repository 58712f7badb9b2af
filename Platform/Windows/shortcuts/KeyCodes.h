// The key codes Dusk stores (the Mac's virtual key codes, which number a
// key's place on the keyboard, whatever it types) and a PC keyboard's scan
// codes, which number the same places on Windows.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace dusk::backend {

// A place on the keyboard as Windows reports it: the set-1 scan code, with
// 0xE000 added for the keys that arrive with the E0 prefix (the extended
// bit of a key message).
struct KeyPlace {
    std::uint16_t scanCode = 0;
    // The virtual key where it is the same on every layout; 0 where the
    // layout decides (the keys that type letters, digits and punctuation).
    BYTE fixedVirtualKey = 0;
};

// Every place a Mac key code stands for: its own first, then others that
// read as it (Print where an Apple keyboard has F13). Empty for a code no
// PC key has.
std::vector<KeyPlace> placesOf(std::uint32_t macKeyCode);
// The Mac key code of the key at `scanCode` (E000 added where extended);
// none for a key a Mac has no code for (the Applications key).
std::optional<std::uint32_t> macKeyCodeAt(std::uint16_t scanCode);

// The virtual key at a place on the keyboard `layout` (the current one when
// null); 0 where the layout has none.
BYTE virtualKeyAt(const KeyPlace& place, HKL layout = nullptr);

}  // namespace dusk::backend
