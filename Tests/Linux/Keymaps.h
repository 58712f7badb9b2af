// Keymaps as xkbcommon compiles them from the system's layouts (xkb-data),
// the way a session has them, for the tests of naming keys.
#pragma once

#include "shortcuts/KeyCodes.h"

namespace dusk::backend {

inline Keymap keymapOf(const char* layout, const char* variant = "") {
    const XkbContext context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    const xkb_rule_names names{"evdev", "pc105", layout, variant, ""};
    return {XkbKeymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS)), 0};
}

}  // namespace dusk::backend
