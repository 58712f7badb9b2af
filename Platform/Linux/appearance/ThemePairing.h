// Which theme a desktop's theme setting takes on the other side: the user's
// own light theme and its installed dark sibling, found by the names themes
// are published under, or a pair the user wrote down. Qt-free, so that the
// rules are tested alone.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dusk::backend {

struct ThemePair {
    std::string light;
    std::string dark;
    bool operator==(const ThemePair&) const = default;
};

// What the setting holds now, and what Dusk knows about it.
struct ThemeSituation {
    std::string current;
    // The pair Dusk itself made on its last switch to Dark: the user's light
    // theme and the dark one Dusk set.
    std::optional<ThemePair> remembered;
    // Pairs written by hand in Dusk's settings folder, first match wins.
    std::vector<ThemePair> handWritten;
};

// The outcome for one setting.
struct ThemeChoice {
    enum class Kind {
        Keep,       // already on the side asked for
        Switch,     // set `theme`
        NoSibling,  // `theme` is the current one, which has no sibling installed
    };
    Kind kind;
    std::string theme;
    bool operator==(const ThemeChoice&) const = default;
};

// Whether a theme of that name is installed for the setting's kind.
using IsInstalled = std::function<bool(const std::string& name)>;

// A name published as the dark one of a pair: NAME-dark, NAME-Dark, Dark.
bool looksDark(std::string_view theme);

// The names a theme's siblings on the other side go by, most likely first:
// Adwaita ↔ Adwaita-dark, NAME ↔ NAME-dark or NAME-Dark, NAME-Light ↔
// NAME-Dark, Light ↔ Dark.
std::vector<std::string> siblingNames(std::string_view theme, bool dark);

ThemeChoice chooseTheme(const ThemeSituation& situation, bool dark, const IsInstalled& installed);

// The themes folders in the order GTK searches them: $XDG_DATA_HOME/themes
// (or ~/.local/share/themes), ~/.themes, then each of $XDG_DATA_DIRS (or
// /usr/local/share:/usr/share) followed by /themes.
std::vector<std::string> themeFolders(const std::function<std::optional<std::string>(const char*)>& environment);

// Whether `name` has a `part` (gtk-3.0, xfwm4, metacity-1, cinnamon …) in
// one of `folders`.
bool hasThemePart(const std::vector<std::string>& folders, const std::string& name, std::string_view part);

// Pairs written as "light=dark" lines, one a line; blank lines and lines
// starting with # are skipped. `problems` gets each line not understood.
std::vector<ThemePair> parseThemePairs(std::string_view text, std::vector<std::string>& problems);

}  // namespace dusk::backend
