// Shortcuts as the desktop's shortcuts portal writes them: the freedesktop
// shortcuts syntax for the trigger Dusk asks for ("CTRL+ALT+LOGO+d"), and
// the text the desktop shows for the keys it bound ("Ctrl+Alt+Super+D").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Shortcut.h"
#include "shortcuts/Keymap.h"

namespace dusk::backend {

// The modifiers, then the keysym the key types at its first level. None
// where the keymap has no such key.
std::optional<std::string> preferredTrigger(const platform::Shortcut& shortcut, const Keymap& keymap);

// Reads the modifiers and the key of a trigger, whichever way a desktop
// spells them; none where it names a modifier Dusk does not know or a key
// this keymap does not type.
std::optional<platform::Shortcut> readTrigger(std::string_view text, const Keymap& keymap);

}  // namespace dusk::backend
