// What Dusk keeps about the desktop's themes: the user's own light theme of
// each setting, remembered at each switch to Dark so that switching back
// restores exactly it; the pairs the user wrote down; and which themes the
// user has been told have no sibling.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "appearance/ThemePairing.h"

namespace dusk::backend::themes {

// The pair Dusk made for `setting` on its last switch to Dark, kept in
// $XDG_STATE_HOME/dusk/light-themes.
std::optional<ThemePair> remembered(const std::string& setting);
void remember(const std::string& setting, const ThemePair& pair);

// ~/.config/dusk/themes.conf: "light theme = dark theme", one pair a line,
// read afresh at each switch. Lines not understood are logged.
std::vector<ThemePair> handWritten();

// A log line every time; a desktop notification only the first time a
// theme is found without a sibling, so that nobody is told at each switch.
// `what` names the setting ("GTK theme"), `theme` the user's theme.
void tellNoSibling(const std::string& what, const std::string& theme, bool dark);

}  // namespace dusk::backend::themes
