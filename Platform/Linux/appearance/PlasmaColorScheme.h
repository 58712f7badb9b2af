// KDE Plasma's colour scheme, switched between Breeze Dark and Breeze Light by
// Plasma's own tool, plasma-apply-colorscheme, run without waiting for it.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace dusk::backend {

// Where XDG_CURRENT_DESKTOP names KDE.
bool onPlasma();

// `applied` gets none once the tool has applied the scheme, else why it did
// not, in the tool's own words where it gave any: at once where the tool is
// missing, otherwise later on the main thread.
void applyPlasmaScheme(bool dark, std::function<void(const std::optional<std::string>& failure)> applied);

}  // namespace dusk::backend
