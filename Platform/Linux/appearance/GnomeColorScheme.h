// GNOME's colour scheme, org.gnome.desktop.interface color-scheme: read and
// followed through GSettings, and written through dconf's own client, which
// answers each write with dconf's reason when it fails. Nothing here waits on
// another process on the main thread. Qt-free: GLib's headers clash with
// Qt's keywords.
#pragma once

#include <functional>
#include <optional>

#include "appearance/SideTracker.h"

namespace dusk::backend::gnome {

// Through GSettings, which the first call sets up; none where GSettings
// cannot have the setting (logged once, with why).
std::optional<bool> prefersDark();
// Each change, from any program, once prefersDark() has set GSettings up; on
// the main thread.
void follow(std::function<void(bool dark)> changed);

// `landed` is called at once where the reason for a failure is known here,
// otherwise on the main thread when dconf's service answers, however late.
void write(bool dark, SideTracker::Landed landed);

}  // namespace dusk::backend::gnome
