// The keyboard as the system is configured, for a session with no X server
// to ask: Qt keeps the Wayland compositor's keymap to itself, so Dusk reads
// the same configuration the compositor starts from.
#pragma once

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace dusk::backend {

struct XkbContextFree {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct XkbKeymapFree {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
using XkbContextPtr = std::unique_ptr<xkb_context, XkbContextFree>;
using XkbKeymapPtr = std::unique_ptr<xkb_keymap, XkbKeymapFree>;

// The rules, model, layout, variant and options names, in the order they
// are looked for: XKB_DEFAULT_* in the environment, systemd-localed's X11
// settings (org.freedesktop.locale1), /etc/default/keyboard; empty names
// leave xkbcommon's own defaults.
struct KeyboardNames {
    std::string model, layout, variant, options;
};
KeyboardNames systemKeyboardNames();

// Read afresh each call, as the user may have changed it.
XkbKeymapPtr newSessionKeymap(xkb_context* context);

// The keymap Dusk names keys and triggers with: the X server's where there
// is one, else the system's configuration.
XkbKeymapPtr newCurrentKeymap(xkb_context* context);

}  // namespace dusk::backend
