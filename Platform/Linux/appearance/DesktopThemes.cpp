#include "appearance/DesktopThemes.h"

#include <QString>
#include <QStringList>
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "appearance/GSettingsKeys.h"
#include "appearance/GnomeColorScheme.h"
#include "appearance/LxqtThemes.h"
#include "appearance/ThemeMemory.h"
#include "appearance/ThemePairing.h"
#include "appearance/ThemeSwitch.h"
#include "appearance/XfconfProperties.h"
#include "common/Log.h"

namespace dusk::backend {
namespace {

std::optional<std::string> environment(const char* name) {
    if (!qEnvironmentVariableIsSet(name)) return std::nullopt;
    return qEnvironmentVariable(name).toStdString();
}

ThemeSetting inGSettings(std::string what, gsettings::Key key, std::function<bool(const std::string&)> installed) {
    return {.what = std::move(what),
            .id = key.setting(),
            .read =
                [key](const ThemeSetting::Read& answered) {
                    if (const auto value = gsettings::read(key)) return answered(*value, std::nullopt);
                    answered({}, gsettings::problem(key));
                },
            .key = key,
            .installed = std::move(installed),
            .follow =
                [key](ThemeSetting::Changed changed) {
                    gsettings::follow(key, [key, changed = std::move(changed)] {
                        if (const auto value = gsettings::read(key)) changed(*value);
                    });
                }};
}

ThemeSetting inXfconf(std::string what, xfconf::Property property, std::function<bool(const std::string&)> installed) {
    return {.what = std::move(what),
            .id = property.describe(),
            .read = [property](ThemeSetting::Read answered) { xfconf::read(property, std::move(answered)); },
            .write = [property](const std::string& theme,
                                SideTracker::Landed landed) { xfconf::write(property, theme, std::move(landed)); },
            .installed = std::move(installed),
            .follow = [property](ThemeSetting::Changed changed) { xfconf::follow(property, std::move(changed)); }};
}

// The keys are those each desktop's own appearance settings write, as their
// schemas and settings programs name them.
std::vector<ThemeSetting> themeSettings(DesktopFamily desktop) {
    switch (desktop) {
        case DesktopFamily::Gnome:
            return {inGSettings("GTK theme", gnome::gtkTheme, installedForGtk())};
        case DesktopFamily::Xfce:
            return {inXfconf("GTK theme", {"xsettings", "/Net/ThemeName", "Adwaita"}, installedForGtk()),
                    inXfconf("xfwm4 theme", {"xfwm4", "/general/theme", "Default"}, installedAs("xfwm4"))};
        case DesktopFamily::Mate:
            return {inGSettings("GTK theme", {"org.mate.interface", "gtk-theme", "MATE's", "mate-desktop-common"},
                                installedForGtk()),
                    inGSettings("Marco theme", {"org.mate.Marco.general", "theme", "MATE's", "marco-common"},
                                installedAs("metacity-1"))};
        case DesktopFamily::Cinnamon:
            return {inGSettings("GTK theme",
                                {"org.cinnamon.desktop.interface", "gtk-theme", "Cinnamon's", "cinnamon-desktop-data"},
                                installedForGtk()),
                    // Empty, or "cinnamon", is Cinnamon's own theme.
                    inGSettings("Cinnamon theme", {"org.cinnamon.theme", "name", "Cinnamon's", "cinnamon-common"},
                                installedAs("cinnamon", {"", "cinnamon"}))};
        case DesktopFamily::Lxqt:
            return lxqt::themeSettings();
        case DesktopFamily::Plasma:
        case DesktopFamily::Other:
            break;
    }
    return {};
}

bool meansDark(const std::string& theme) {
    const auto pairs = themes::handWritten();
    for (const ThemePair& pair : pairs) {
        if (theme == pair.dark) return true;
        if (theme == pair.light) return false;
    }
    return looksDark(theme);
}

}  // namespace

std::function<bool(const std::string&)> installedAs(const char* part, std::vector<std::string> builtIn) {
    return [part, builtIn = std::move(builtIn)](const std::string& theme) {
        return std::ranges::find(builtIn, theme) != builtIn.end() ||
               hasThemePart(themeFolders(environment), theme, part);
    };
}

// GTK 3 draws these from its own resources, without a folder.
std::function<bool(const std::string&)> installedForGtk() {
    return installedAs("gtk-3.0", {"Adwaita", "HighContrast", "HighContrastInverse"});
}

DesktopFamily desktopFamily() {
    const QStringList names = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    for (const QString& name : names) {
        const QString upper = name.toUpper();
        if (upper == QStringLiteral("KDE")) return DesktopFamily::Plasma;
        if (upper == QStringLiteral("XFCE")) return DesktopFamily::Xfce;
        if (upper == QStringLiteral("LXQT")) return DesktopFamily::Lxqt;
        if (upper == QStringLiteral("MATE")) return DesktopFamily::Mate;
        if (upper == QStringLiteral("X-CINNAMON") || upper == QStringLiteral("CINNAMON"))
            return DesktopFamily::Cinnamon;
        if (upper == QStringLiteral("GNOME") || upper == QStringLiteral("UNITY")) return DesktopFamily::Gnome;
    }
    return DesktopFamily::Other;
}

void writeDesktopSide(bool dark, SideTracker::Landed landed) {
    switchThemes({.dark = dark,
                  .settings = themeSettings(desktopFamily()),
                  .alongside = {{gnome::colorScheme, gnome::colorSchemeValue(dark)}},
                  .writeTogether = gsettings::write},
                 std::move(landed));
}

void followDesktopThemes(const std::function<void(bool dark)>& changed) {
    const DesktopFamily desktop = desktopFamily();
    // The GTK theme, listed first, speaks for the desktop; on GNOME the
    // colour scheme does.
    if (desktop == DesktopFamily::Gnome) return;
    auto settings = themeSettings(desktop);
    if (settings.empty()) return;
    const ThemeSetting& theme = settings.front();
    const auto told = [changed](const std::string& value) { changed(meansDark(value)); };
    theme.follow(told);
    theme.read([told](const std::string& value, const SideTracker::Failure& failure) {
        if (!failure) told(value);
    });
}

}  // namespace dusk::backend
