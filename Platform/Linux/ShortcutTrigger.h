// Shortcuts as the desktop's shortcut portal writes them: the freedesktop
// shortcuts syntax for the trigger Dusk asks for ("CTRL+ALT+LOGO+d"), and
// the text the desktop shows for the trigger it bound ("Ctrl+Alt+Super+D").
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dusk::backend {

// A virtual key code and the event manager's modifier mask.
struct Chord {
    std::uint32_t keyCode = 0;
    std::uint32_t carbonModifiers = 0;
    bool operator==(const Chord&) const = default;
};

// None when the keymap has no key for the code.
std::optional<std::string> preferredTrigger(const Chord& chord, xkb_keymap* keymap);

// Reads the modifiers and key of a trigger text, whichever way a desktop
// spells them; none when it names a key this keymap does not have.
std::optional<Chord> readTrigger(std::string_view text, xkb_keymap* keymap);

}  // namespace dusk::backend
