// GNOME's colour scheme, org.gnome.desktop.interface color-scheme, which
// every desktop's GTK 4 and libadwaita programs follow through the Settings
// portal: read and followed through GSettings, written with the desktop's
// other keys (DesktopThemes).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "appearance/GSettingsKeys.h"

namespace dusk::backend::gnome {

extern const gsettings::Key colorScheme;
// The GTK theme, which GTK 3 follows on GNOME.
extern const gsettings::Key gtkTheme;

// None where GSettings cannot have the setting (logged once, with why).
std::optional<bool> prefersDark();
// Each change, from any program, on the main thread, once prefersDark()
// has set GSettings up.
void follow(std::function<void(bool dark)> changed);

// The key's value for a side.
std::string colorSchemeValue(bool dark);

}  // namespace dusk::backend::gnome
