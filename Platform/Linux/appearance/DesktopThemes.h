// The side on each desktop, through that desktop's own settings: GNOME's
// colour scheme, which GTK 4 and libadwaita follow everywhere, and the
// themes that GTK 3, the panel and the window borders follow on GNOME, Xfce,
// LXQt, MATE and Cinnamon. KDE Plasma switches its own (Appearance.cpp).
#pragma once

#include <functional>

#include "appearance/SideTracker.h"

namespace dusk::backend {

enum class DesktopFamily { Gnome, Xfce, Lxqt, Mate, Cinnamon, Plasma, Other };

// From XDG_CURRENT_DESKTOP, the first name Dusk knows.
DesktopFamily desktopFamily();

// Switches the colour scheme and each theme of the desktop to `dark`,
// every one or, as far as the desktop allows, none: a failure of one part
// undoes the parts that had landed, and `landed` gets why. A theme without a
// sibling stays, and the user is told once.
void writeDesktopSide(bool dark, SideTracker::Landed landed);

// Each change of the desktop's theme made anywhere, as the side it means,
// starting with the theme it has now; on the main thread. Nothing where the
// colour scheme is the desktop's own word for the side (GNOME, others).
void followDesktopThemes(const std::function<void(bool dark)>& changed);

}  // namespace dusk::backend
