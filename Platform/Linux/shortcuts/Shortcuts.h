// What GlobalShortcut.cpp, with its X key grab, and the desktop's
// GlobalShortcuts portal (ShortcutsPortal.cpp) share.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/GlobalShortcut.h"

namespace dusk::backend {

// The status a bind logs beside the call it made; 0 alone is bound. XGrabKey
// gives the X error of the first grab refused (10, BadAccess: another client
// holds the keys), else Dusk's own negative ones below; BindShortcuts the
// portal's response code (1: cancelled, 2: ended otherwise), else Dusk's own.
namespace bindStatus {
inline constexpr std::int32_t bound = 0;
inline constexpr std::int32_t noKeysBound = 3;    // the desktop answered, and bound no keys
inline constexpr std::int32_t unnamableKeys = 4;  // keys Dusk cannot name, so cannot show or keep
inline constexpr std::int32_t callFailed = 5;     // the portal answered a call with an error
inline constexpr std::int32_t noAnswer = 6;       // the desktop did not answer before the deadline
// Nothing was asked: this session's portal offers no global shortcuts and no
// X display answers.
inline constexpr std::int32_t noWayToBind = -1;
inline constexpr std::int32_t noSuchKey = -2;  // no X keycode, no symbol to name the key by
}  // namespace bindStatus

// What either way reports later (GlobalShortcut.cpp): a press of the bound
// keys (`how` is the log line), and the keys bound now (none once gone).
void shortcutPressed(const char* how);
void shortcutRebound(const std::optional<platform::Shortcut>& keys);

// The portal. Replaces any earlier binding; `done` gets the outcome, never
// once unbound, or, where the portal offers no global shortcuts, `otherwise`
// why not.
using Otherwise = std::function<void(const std::string& whyNot)>;
void bindThroughPortal(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done, Otherwise otherwise);
void unbindThroughPortal();

}  // namespace dusk::backend
