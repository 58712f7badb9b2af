#include "platform/Keyboard.h"

#include "shortcuts/Keymap.h"

namespace platform {

std::optional<std::string> keyCaption(std::uint16_t keyCode) {
    const auto keymap = dusk::backend::currentKeymap();
    return keymap ? dusk::backend::keyCaption(*keymap, keyCode) : std::nullopt;
}

// GNOME's and KDE's own words for the keys, joined as their shortcut settings
// join them; Command is the key they call Super.
ModifierNames modifierNames() { return {"Ctrl", "Alt", "Shift", "Super", "+"}; }

}  // namespace platform
