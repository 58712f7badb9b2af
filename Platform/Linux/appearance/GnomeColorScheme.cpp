#include "appearance/GnomeColorScheme.h"

#include <utility>

#include "appearance/GSettingsKeys.h"
#include "common/Log.h"

namespace dusk::backend::gnome {

const gsettings::Key colorScheme{"org.gnome.desktop.interface", "color-scheme", "GNOME's", "gsettings-desktop-schemas",
                                 "GNOME 42 and later"};
const gsettings::Key gtkTheme{"org.gnome.desktop.interface", "gtk-theme", "GNOME's", "gsettings-desktop-schemas"};

namespace {
std::function<void(bool dark)> follower;
}  // namespace

std::optional<bool> prefersDark() {
    // GSettings is set up, and followed, at the first need: where the portal
    // answers, Dusk loads no GIO until it first writes.
    static const bool settingExists = [] {
        if (const auto why = gsettings::problem(colorScheme)) {
            // A missing schema is logged where GSettings is set up.
            if (why->find(" has no key ") != std::string::npos) logNotice(*why);
            return false;
        }
        gsettings::follow(colorScheme, [] {
            if (const auto dark = prefersDark(); dark && follower) follower(*dark);
        });
        return true;
    }();
    if (!settingExists) return std::nullopt;
    const auto value = gsettings::read(colorScheme);
    if (!value) return std::nullopt;
    return *value == "prefer-dark";
}

void follow(std::function<void(bool dark)> changed) { follower = std::move(changed); }

std::string colorSchemeValue(bool dark) { return dark ? "prefer-dark" : "default"; }

}  // namespace dusk::backend::gnome
