// One theme setting of a desktop, and how Dusk reaches the store the desktop
// keeps it in.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "appearance/GSettingsKeys.h"
#include "appearance/SideTracker.h"
#include "appearance/ThemePairing.h"

namespace dusk::backend {

struct ThemeSetting {
    // The value, or why it could not be read; now or later, on the main thread.
    using Read = std::function<void(const std::string& value, const SideTracker::Failure& failure)>;
    using Changed = std::function<void(const std::string& value)>;

    // For the user: "GTK theme", "Marco theme".
    std::string what{};
    // For Dusk's memory of the user's theme: the key, property or file.
    std::string id{};
    std::function<void(Read answered)> read{};
    // Where the setting is in GSettings, it is written there in one change
    // with the colour scheme; where it is written elsewhere, or also
    // elsewhere, `write` does it first.
    std::optional<gsettings::Key> key{};
    std::function<void(const std::string& theme, SideTracker::Landed landed)> write{};
    std::function<bool(const std::string& theme)> installed{};
    // Where the setting is not a theme's name: what it takes on a side.
    // Otherwise the installed sibling (chooseTheme).
    std::function<ThemeChoice(const ThemeSituation& situation, bool dark)> choose{};
    // Each change made anywhere; for the setting that speaks for the side.
    std::function<void(Changed changed)> follow{};
};

// Installed as the folder `part` (gtk-3.0, xfwm4 …) of a theme in the
// folders GTK searches, or one of `builtIn`.
std::function<bool(const std::string& theme)> installedAs(const char* part, std::vector<std::string> builtIn = {});
// A GTK 3 theme: a folder, or one GTK draws from its own resources.
std::function<bool(const std::string& theme)> installedForGtk();

}  // namespace dusk::backend
