// Where this copy of Dusk runs from, and whether that makes it installed:
// an installed copy has an application id, with which it owns its name on
// the session bus and launches at login.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dusk::backend {

inline constexpr std::string_view applicationId = "app.dusk.Dusk";

// The program's own path, links resolved; none where /proc cannot say.
const std::optional<std::string>& executablePath();

// Installed means <prefix>/bin/dusk beside
// <prefix>/share/applications/app.dusk.Dusk.desktop, as `cmake --install` and
// the package lay it out. A build tree has no such file.
bool runsInstalled();

// $XDG_CONFIG_HOME, or ~/.config; $XDG_STATE_HOME, or ~/.local/state. A
// relative value is ignored, as the XDG rules say.
std::string configHome();
std::string stateHome();

}  // namespace dusk::backend
