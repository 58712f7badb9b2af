// A shortcut as Dusk keeps it on every desktop: a key and the modifiers held
// with it, numbered the way macOS numbers them. Settings files written on one
// desktop read the same on every other; each backend maps its own key codes
// and modifiers to and from these in one table of its own.
#pragma once

#include <cstdint>

namespace platform {

// The modifier bits a key event carries; Dusk gives meaning to four of them.
using ModifierFlags = std::uint64_t;

namespace Modifier {
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
inline constexpr ModifierFlags option = 0x80000;
inline constexpr ModifierFlags command = 0x100000;
}  // namespace Modifier

struct Shortcut {
    // The virtual key code of the key's position (2 is the key labelled D on
    // an ANSI keyboard), whatever the layout types on it.
    std::uint32_t keyCode = 0;
    ModifierFlags modifiers = 0;

    // All 64 bits count, including ones Dusk gives no meaning to.
    bool operator==(const Shortcut&) const = default;
};

}  // namespace platform
