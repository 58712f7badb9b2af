// One switch of a desktop's themes to a side: every setting read, a theme
// chosen for each, then written, every one or none. The settings kept apart
// from dconf are written first; the keys kept in dconf last, in one change
// that lands whole or not at all. A part that fails puts back what had
// landed, and the switch is reported as not done, with the reason.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "appearance/GSettingsKeys.h"
#include "appearance/SideTracker.h"
#include "appearance/ThemeSetting.h"

namespace dusk::backend {

using GSettingsValues = std::vector<std::pair<gsettings::Key, std::string>>;

struct ThemeSwitch {
    bool dark = false;
    std::vector<ThemeSetting> settings{};
    // Written in the one change to dconf with the settings' own keys: the
    // colour scheme.
    GSettingsValues alongside{};
    // dconf's change, gsettings::write where Dusk runs.
    std::function<void(const GSettingsValues& values, SideTracker::Landed landed)> writeTogether{};
};

// `landed` is called once, when every part has answered.
void switchThemes(ThemeSwitch job, SideTracker::Landed landed);

}  // namespace dusk::backend
