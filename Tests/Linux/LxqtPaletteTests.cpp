// LXQt's palette through a whole switch: LXQt's own Dark palette on Dark,
// exactly the user's section (or none) on Light, a dark palette kept, and
// nothing changed where LXQt's Dark palette is not installed.
#include <gtest/gtest.h>

#include <QSettings>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ScratchFiles.h"
#include "appearance/LxqtPalette.h"
#include "appearance/ThemeSwitch.h"

namespace dusk::backend {
namespace {

constexpr const char* lxqtDark =
    "[Palette]\nbase_color=#282828\nhighlight_color=#640b0c\nhighlighted_text_color=#ebfdff\nlink_color=#8c9bff\n"
    "link_visited_color=#ffb3f7\ntext_color=#b8b8b8\nwindow_color=#232323\nwindow_text_color=#e1e6e6\n";

class LxqtPaletteTest : public ::testing::Test {
protected:
    ScratchDirectory home{"lxqt-palette"};
    QString conf = QString::fromStdString(home / "lxqt.conf");
    std::vector<SideTracker::Failure> outcomes;

    void SetUp() override {
        ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_DATA_DIRS", (home / "data").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "nothing").c_str(), 1);
    }

    void installLxqtDark() const {
        std::filesystem::create_directories(home / "data/lxqt/palettes");
        writeText(home / "data/lxqt/palettes/Dark", lxqtDark);
    }

    void toggle(bool dark) {
        switchThemes(
            {.dark = dark,
             .settings = {lxqt::paletteSetting(conf)},
             .writeTogether = [](const GSettingsValues&, const SideTracker::Landed& landed) { landed(std::nullopt); }},
            [this](const SideTracker::Failure& failure) { outcomes.push_back(failure); });
    }

    std::string windowColor() const {
        return QSettings(conf, QSettings::IniFormat)
            .value(QStringLiteral("Palette/window_color"))
            .toString()
            .toStdString();
    }
    bool hasPalette() const {
        QSettings settings(conf, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("Palette"));
        return !settings.childKeys().isEmpty();
    }
};

TEST_F(LxqtPaletteTest, DarkIsLxqtsDarkPaletteAndLightIsExactlyTheUsersOwnOrNone) {
    installLxqtDark();
    writeText(home / "lxqt.conf",
              "[General]\ntheme=light\n\n[Palette]\nwindow_color=#e8e8e6\nbase_color=#f4f4f2\nlink_color=#2a65d0\n");
    toggle(true);
    EXPECT_EQ(windowColor(), "#232323");
    EXPECT_EQ(QSettings(conf, QSettings::IniFormat).value(QStringLiteral("Palette/text_color")).toString(),
              QStringLiteral("#b8b8b8"));
    toggle(false);
    QSettings back(conf, QSettings::IniFormat);
    back.beginGroup(QStringLiteral("Palette"));
    EXPECT_EQ(back.childKeys(), (QStringList{QStringLiteral("base_color"), QStringLiteral("link_color"),
                                             QStringLiteral("window_color")}));
    EXPECT_EQ(windowColor(), "#e8e8e6");
    EXPECT_EQ(back.value(QStringLiteral("base_color")).toString(), QStringLiteral("#f4f4f2"));

    // A user without a palette of their own gets none back.
    writeText(home / "lxqt.conf", "[General]\ntheme=light\n");
    toggle(true);
    EXPECT_TRUE(hasPalette());
    toggle(false);
    EXPECT_FALSE(hasPalette());
    EXPECT_EQ(outcomes, (std::vector<SideTracker::Failure>(4, std::nullopt)));
}

TEST_F(LxqtPaletteTest, AUsersDarkPaletteStaysOnDarkAndGoesForLxqtsDefaultOnLight) {
    installLxqtDark();
    writeText(home / "lxqt.conf", "[Palette]\nwindow_color=#101418\n");
    toggle(true);
    EXPECT_EQ(windowColor(), "#101418");
    toggle(false);
    EXPECT_FALSE(hasPalette());
}

TEST_F(LxqtPaletteTest, WithoutLxqtsDarkPaletteThePaletteStaysAndTheSwitchLands) {
    writeText(home / "lxqt.conf", "[Palette]\nwindow_color=#e8e8e6\n");
    toggle(true);
    EXPECT_EQ(windowColor(), "#e8e8e6");
    EXPECT_EQ(outcomes, (std::vector<SideTracker::Failure>{std::nullopt}));
}

}  // namespace
}  // namespace dusk::backend
