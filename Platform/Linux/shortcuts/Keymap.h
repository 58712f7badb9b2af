// The keyboard layout Dusk names keys by: the X server's keymap where an X
// display answers, else the system's keyboard configuration, which a Wayland
// compositor starts from too (Qt keeps the compositor's keymap to itself).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shortcuts/Xkb.h"

namespace dusk::backend {

struct Keymap {
    XkbKeymap keymap;
    // The group (layout) in effect.
    xkb_layout_index_t group = 0;
};

// Read afresh each call: the user may have switched layouts since. None
// where xkbcommon cannot compile one.
std::optional<Keymap> currentKeymap();

// What the key of this virtual key code types at the first level of the
// keymap's group, in upper case by the full Unicode mapping ("ß" gives
// "SS"): keypad keys by their digit, dead keys by their accent. None where
// the keymap has no such key or it types nothing.
std::optional<std::string> keyCaption(const Keymap& keymap, std::uint32_t virtualKey);

}  // namespace dusk::backend
