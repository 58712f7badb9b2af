// Where no application may have a global shortcut (a Wayland compositor
// with no GlobalShortcuts portal and no X display beside it), the user can
// still bind `dusk toggle` in the compositor itself: how, in the words of
// the compositor this session runs.
#pragma once

#include <optional>
#include <string>

#include "platform/Shortcut.h"

namespace dusk::backend {

// The keys a bind asked for and nothing in this session could bind; none
// while a bind may yet work, or has.
std::optional<platform::Shortcut> shortcutNoOneCanBind();  // GlobalShortcut.cpp

// One sentence: where the compositor keeps its key bindings and the line
// that binds `dusk toggle` to `keys`, or, for a compositor that runs no
// command on a key, what to do instead.
std::string howToBindInTheCompositor(const platform::Shortcut& keys);

}  // namespace dusk::backend
