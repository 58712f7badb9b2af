// The key codes Dusk stores (the Mac's virtual key codes, which number a
// key's place on the keyboard, whatever it types), the X keycodes of a PC
// keyboard under evdev, and what the keyboard layout calls each key.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Shortcut.h"

namespace dusk::backend {

// X keycode = evdev code + 8, the convention of xf86-input-evdev, libinput
// and every Wayland compositor's keymap. A virtual key may sit at several X
// keycodes (F13 is also where a PC keyboard has Print); the first is the
// key's own, where its name is read.
std::vector<std::uint8_t> xKeycodesForVirtualKey(std::uint32_t virtualKey);
// What a key event's keycode (QKeyEvent::nativeScanCode) stands for; none
// for a key a Mac has no code for (Menu, Henkan).
std::optional<std::uint16_t> virtualKeyForXKeycode(std::uint32_t xKeycode);

struct XkbUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};
using XkbContext = std::unique_ptr<xkb_context, XkbUnref>;
using XkbKeymap = std::unique_ptr<xkb_keymap, XkbUnref>;
using XkbState = std::unique_ptr<xkb_state, XkbUnref>;

struct Keymap {
    XkbKeymap keymap;
    xkb_layout_index_t group = 0;  // the layout in effect
};

// The X server's keymap where an X display speaks XKB, else the system's
// keyboard configuration, which a Wayland compositor starts from too (Qt
// keeps its keymap to itself). Read afresh: the layout may have changed.
std::optional<Keymap> currentKeymap();
std::optional<Keymap> xServerKeymap(xkb_context* context);  // GlobalShortcut.cpp

// What the key types at the first level, in upper case by the full Unicode
// mapping ("ß" gives "SS"): keypad keys by their digit, dead keys by their
// accent. None where it types nothing.
std::optional<std::string> keyCaption(const Keymap& keymap, std::uint32_t virtualKey);

// The shortcuts syntax Dusk asks the portal for: the modifiers, then the
// keysym the key types at its first level ("CTRL+ALT+LOGO+d").
std::optional<std::string> preferredTrigger(const platform::Shortcut& shortcut, const Keymap& keymap);
// The keys of a trigger as a desktop shows it ("Ctrl+Alt+Super+D"), however
// it spells them; none where it names a modifier or a key Dusk does not know.
std::optional<platform::Shortcut> readTrigger(std::string_view text, const Keymap& keymap);

}  // namespace dusk::backend
