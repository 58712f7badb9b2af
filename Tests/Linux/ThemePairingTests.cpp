// Which theme each desktop setting takes on the other side: the installed
// sibling by name, the user's own light theme restored, hand-written pairs,
// and the themes folders GTK searches.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "ScratchFiles.h"
#include "appearance/ThemePairing.h"

namespace dusk::backend {
namespace {

using Kind = ThemeChoice::Kind;

struct Themes {
    std::set<std::string> installed;
    IsInstalled asked() const {
        return [this](const std::string& name) { return installed.contains(name); };
    }
};

ThemeChoice choose(const std::string& current, bool dark, const Themes& themes,
                   std::optional<ThemePair> remembered = std::nullopt, std::vector<ThemePair> handWritten = {}) {
    return chooseTheme({current, std::move(remembered), std::move(handWritten)}, dark, themes.asked());
}

TEST(ThemePairing, EachConventionFindsItsInstalledDarkSiblingAndOnlyAnInstalledOne) {
    const Themes themes{{"Adwaita", "Adwaita-dark", "Greybird", "Greybird-Dark", "Arc-Light", "Arc-Dark", "light",
                         "dark", "Yaru-light", "Yaru-dark", "Lonely"}};
    EXPECT_EQ(choose("Adwaita", true, themes), (ThemeChoice{Kind::Switch, "Adwaita-dark"}));
    EXPECT_EQ(choose("Greybird", true, themes), (ThemeChoice{Kind::Switch, "Greybird-Dark"}));
    EXPECT_EQ(choose("Arc-Light", true, themes), (ThemeChoice{Kind::Switch, "Arc-Dark"}));
    EXPECT_EQ(choose("Yaru-light", true, themes), (ThemeChoice{Kind::Switch, "Yaru-dark"}));
    EXPECT_EQ(choose("light", true, themes), (ThemeChoice{Kind::Switch, "dark"}));
    // Named by the convention, but not installed: the theme stays and is named.
    EXPECT_EQ(choose("Lonely", true, themes), (ThemeChoice{Kind::NoSibling, "Lonely"}));
    EXPECT_EQ(choose("Default", true, themes), (ThemeChoice{Kind::NoSibling, "Default"}));
    // Cinnamon's built-in theme has no name at all.
    EXPECT_EQ(choose("", true, themes), (ThemeChoice{Kind::NoSibling, ""}));
}

TEST(ThemePairing, ADarkThemeStaysDarkAndFindsItsLightSiblingWithoutAMemory) {
    const Themes themes{{"Adwaita", "Adwaita-dark", "Arc-Light", "Arc", "Arc-Dark", "Yaru", "Yaru-dark", "dark",
                         "light", "Orphan-dark"}};
    EXPECT_EQ(choose("Adwaita-dark", true, themes), (ThemeChoice{Kind::Keep, "Adwaita-dark"}));
    EXPECT_EQ(choose("dark", true, themes), (ThemeChoice{Kind::Keep, "dark"}));
    EXPECT_EQ(choose("Adwaita", false, themes), (ThemeChoice{Kind::Keep, "Adwaita"}));
    EXPECT_EQ(choose("Adwaita-dark", false, themes), (ThemeChoice{Kind::Switch, "Adwaita"}));
    // NAME-Dark is the partner of NAME-Light before NAME.
    EXPECT_EQ(choose("Arc-Dark", false, themes), (ThemeChoice{Kind::Switch, "Arc-Light"}));
    EXPECT_EQ(choose("Yaru-dark", false, themes), (ThemeChoice{Kind::Switch, "Yaru"}));
    EXPECT_EQ(choose("dark", false, themes), (ThemeChoice{Kind::Switch, "light"}));
    EXPECT_EQ(choose("Orphan-dark", false, themes), (ThemeChoice{Kind::NoSibling, "Orphan-dark"}));
}

TEST(ThemePairing, SwitchingBackRestoresExactlyWhatTheUserHad) {
    const Themes themes{{"Arc", "Arc-Light", "Arc-Dark"}};
    // The user had Arc, not Arc-Light, which the names alone would give.
    const ThemePair remembered{"Arc", "Arc-Dark"};
    EXPECT_EQ(choose("Arc-Dark", false, themes, remembered), (ThemeChoice{Kind::Switch, "Arc"}));
    // Even a theme since removed: it is what the user chose.
    EXPECT_EQ(choose("Arc-Dark", false, Themes{{"Arc-Dark"}}, remembered), (ThemeChoice{Kind::Switch, "Arc"}));
    // The user picked another dark theme since: the memory no longer applies.
    EXPECT_EQ(choose("Adwaita-dark", false, Themes{{"Adwaita"}}, remembered), (ThemeChoice{Kind::Switch, "Adwaita"}));
}

TEST(ThemePairing, AHandWrittenPairOverridesTheGuessBothWays) {
    const Themes themes{{"Clearlooks", "Clearlooks-dark", "dark", "Kokodi"}};
    const std::vector<ThemePair> pairs{{"Clearlooks", "dark"}, {"Moheli", "Kokodi"}};
    EXPECT_EQ(choose("Clearlooks", true, themes, std::nullopt, pairs), (ThemeChoice{Kind::Switch, "dark"}));
    EXPECT_EQ(choose("dark", false, themes, std::nullopt, pairs), (ThemeChoice{Kind::Switch, "Clearlooks"}));
    EXPECT_EQ(choose("Kokodi", true, themes, std::nullopt, pairs), (ThemeChoice{Kind::Keep, "Kokodi"}));
    // A pair whose other half is not installed names the theme instead.
    EXPECT_EQ(choose("Kokodi", false, themes, std::nullopt, pairs), (ThemeChoice{Kind::NoSibling, "Kokodi"}));
}

TEST(ThemePairing, HandWrittenPairsAreReadLineByLineAndBadLinesAreNamed) {
    std::vector<std::string> problems;
    const auto pairs = parseThemePairs(
        "# my themes\n\n  Lubuntu Arc = Lubuntu Arc Dark \nClearlooks=dark\r\nno equals "
        "sign\n=Adwaita-dark\nSame=Same\n",
        problems);
    EXPECT_EQ(pairs, (std::vector<ThemePair>{{"Lubuntu Arc", "Lubuntu Arc Dark"}, {"Clearlooks", "dark"}}));
    EXPECT_EQ(problems, (std::vector<std::string>{"no equals sign", "=Adwaita-dark", "Same=Same"}));
}

TEST(ThemePairing, ThemeFoldersFollowGtksSearchOrderAndTheXdgRules) {
    std::map<std::string, std::string> variables{{"HOME", "/home/u"}};
    const auto environment = [&](const char* name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional(found->second);
    };
    EXPECT_EQ(themeFolders(environment), (std::vector<std::string>{"/home/u/.local/share/themes", "/home/u/.themes",
                                                                   "/usr/local/share/themes", "/usr/share/themes"}));
    variables["XDG_DATA_HOME"] = "relative/data";
    variables["XDG_DATA_DIRS"] = "/opt/share::relative:/usr/share";
    EXPECT_EQ(themeFolders(environment), (std::vector<std::string>{"/home/u/.local/share/themes", "/home/u/.themes",
                                                                   "/opt/share/themes", "/usr/share/themes"}));
    variables["XDG_DATA_HOME"] = "/data";
    EXPECT_EQ(themeFolders(environment).front(), "/data/themes");
}

TEST(ThemePairing, AThemeIsInstalledForAPartOnlyWhereThatPartIsInAFolder) {
    const ScratchDirectory scratch("themes");
    const std::filesystem::path user = scratch.path() / "user", system = scratch.path() / "system";
    std::filesystem::create_directories(user / "Greybird-dark" / "gtk-3.0");
    std::filesystem::create_directories(system / "Greybird-dark" / "xfwm4");
    std::filesystem::create_directories(system / "Default" / "metacity-1");
    const std::vector<std::string> folders{user.string(), system.string()};
    EXPECT_TRUE(hasThemePart(folders, "Greybird-dark", "gtk-3.0"));
    EXPECT_TRUE(hasThemePart(folders, "Greybird-dark", "xfwm4"));
    EXPECT_FALSE(hasThemePart(folders, "Default", "xfwm4"));
    EXPECT_FALSE(hasThemePart(folders, "Missing", "gtk-3.0"));
    // A name is a folder's name, never a path out of the themes folder.
    EXPECT_FALSE(hasThemePart(folders, "../system/Default", "metacity-1"));
    EXPECT_FALSE(hasThemePart(folders, "", "gtk-3.0"));
}

}  // namespace
}  // namespace dusk::backend
