// KDE Plasma's colour scheme: read from Plasma's own settings file, followed
// through the signal Plasma sends when its colours change, and written by
// Plasma's tool, plasma-apply-colorscheme, which Dusk does not wait for.
#pragma once

#include <functional>
#include <optional>

#include "appearance/SideTracker.h"

namespace dusk::backend::plasma {

// Whether Plasma's window background is dark, as Plasma's own portal tells;
// a user who never chose a scheme has Breeze, which is light. A file read,
// with no process to wait on.
std::optional<bool> prefersDark();
// Each change of Plasma's colours, from any program, on the main thread.
void follow(std::function<void(bool dark)> changed);

// Breeze Dark or Breeze; `landed` gets the failure in the tool's own words
// where it gave any.
void write(bool dark, SideTracker::Landed landed);

}  // namespace dusk::backend::plasma
