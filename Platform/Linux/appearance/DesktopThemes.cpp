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
#include "appearance/XfconfProperties.h"
#include "common/Log.h"

namespace dusk::backend {
namespace {

using Failure = SideTracker::Failure;

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

// One switch: every setting read, a theme chosen for each, then written.
struct Switch : std::enable_shared_from_this<Switch> {
    bool dark = false;
    SideTracker::Landed landed;
    std::vector<ThemeSetting> settings;
    std::vector<std::string> current;
    std::vector<ThemeChoice> choices;
    Failure failure;
    std::size_t waiting = 0;
    // The settings written on their own that have landed, to undo.
    std::vector<std::size_t> landedAlone;

    void start() {
        current.resize(settings.size());
        waiting = settings.size();
        if (waiting == 0) return choose();
        for (std::size_t index = 0; index < settings.size(); ++index) {
            settings[index].read([self = shared_from_this(), index](const std::string& value, const Failure& why) {
                self->current[index] = value;
                if (why && !self->failure) self->failure = why;
                if (--self->waiting == 0) self->choose();
            });
        }
    }

    void choose() {
        if (failure) return landed(failure);
        const auto pairs = themes::handWritten();
        for (std::size_t index = 0; index < settings.size(); ++index) {
            const ThemeSetting& setting = settings[index];
            choices.push_back(chooseTheme({current[index], themes::remembered(setting.id), pairs}, dark,
                                          [&setting](const std::string& theme) { return setting.installed(theme); }));
        }
        // The settings kept apart first: the one change to dconf, which lands
        // whole or not at all, comes last, once they all have.
        std::vector<std::size_t> alone;
        for (std::size_t index = 0; index < settings.size(); ++index) {
            if (settings[index].write && choices[index].kind == ThemeChoice::Kind::Switch) alone.push_back(index);
        }
        waiting = alone.size();
        if (waiting == 0) return writeGSettings();
        for (const std::size_t index : alone) {
            settings[index].write(choices[index].theme, [self = shared_from_this(), index](const Failure& why) {
                if (why && !self->failure) self->failure = why;
                if (!why) self->landedAlone.push_back(index);
                if (--self->waiting == 0) self->failure ? self->undo() : self->writeGSettings();
            });
        }
    }

    void writeGSettings() {
        std::vector<std::pair<gsettings::Key, std::string>> values{{gnome::colorScheme, gnome::colorSchemeValue(dark)}};
        for (std::size_t index = 0; index < settings.size(); ++index) {
            if (settings[index].key && choices[index].kind == ThemeChoice::Kind::Switch) {
                values.emplace_back(*settings[index].key, choices[index].theme);
            }
        }
        gsettings::write(values, [self = shared_from_this()](const Failure& why) {
            if (why) {
                self->failure = why;
                return self->undo();
            }
            self->finish();
        });
    }

    // What landed apart goes back to what the user had: nothing is left
    // half-switched. Undoing is not waited for; a failure to undo is said.
    void undo() {
        std::string undone;
        for (const std::size_t index : landedAlone) {
            settings[index].write(current[index], [what = settings[index].what](const Failure& why) {
                if (why) logError("the " + what + " could not be put back: " + *why);
            });
            undone += (undone.empty() ? " (the " : ", the ") + settings[index].what;
        }
        landed(*failure + (undone.empty() ? "" : undone + " went back to what it was)"));
    }

    void finish() {
        for (std::size_t index = 0; index < settings.size(); ++index) {
            const ThemeChoice& choice = choices[index];
            if (choice.kind == ThemeChoice::Kind::NoSibling)
                themes::tellNoSibling(settings[index].what, choice.theme, dark);
            if (choice.kind == ThemeChoice::Kind::Switch && dark) {
                themes::remember(settings[index].id, {current[index], choice.theme});
            }
        }
        landed(std::nullopt);
    }
};

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
    auto job = std::make_shared<Switch>();
    job->dark = dark;
    job->landed = std::move(landed);
    job->settings = themeSettings(desktopFamily());
    job->start();
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
    theme.read([told](const std::string& value, const Failure& failure) {
        if (!failure) told(value);
    });
}

}  // namespace dusk::backend
