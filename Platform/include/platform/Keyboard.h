// How this desktop names keys and modifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// What the current keyboard layout types on the key with this code, pressed
// without modifiers, in upper case by the full Unicode mapping ("ß" gives
// "SS"). None where the layout has no such key or it types nothing.
std::optional<std::string> keyCaption(std::uint16_t keyCode);

// How this desktop writes the modifiers of a shortcut: each one's name, and
// what follows each name. A Mac writes ⌃⌥⇧⌘ with nothing between ("⌃⌥⌘D");
// other desktops spell them out ("Ctrl+Alt+Super+D").
struct ModifierNames {
    std::string control;
    std::string option;
    std::string shift;
    std::string command;
    std::string separator;
};
ModifierNames modifierNames();

}  // namespace platform
