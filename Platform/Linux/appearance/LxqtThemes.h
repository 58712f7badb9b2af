// LXQt's appearance, kept in its own files: the LXQt theme of the panel and
// LXQt's programs in ~/.config/lxqt/lxqt.conf, and, where the user lets LXQt
// manage it (lxqt-config-appearance's "Set GTK themes"), the GTK theme in the
// places LXQt writes it.
#pragma once

#include <vector>

#include "appearance/ThemeSetting.h"

namespace dusk::backend::lxqt {

std::vector<ThemeSetting> themeSettings();

}  // namespace dusk::backend::lxqt
