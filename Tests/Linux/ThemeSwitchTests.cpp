// A switch of a desktop's themes, every part or none: settings written apart
// from dconf (Xfce's xfconf, LXQt's files) and the one change to dconf, on a
// desktop whose stores the test answers, one answer at a time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ScratchFiles.h"
#include "appearance/ThemeSwitch.h"

namespace dusk::backend {
namespace {

class ThemeSwitchTest : public ::testing::Test {
protected:
    // What Dusk remembers of the user's themes goes to the test's own folder.
    ScratchDirectory home{"theme-switch"};

    struct Write {
        std::string store;
        std::string value;
        SideTracker::Landed landed;
    };
    // Each setting's value where its desktop keeps it, dconf's keys included.
    std::map<std::string, std::string> stores;
    std::map<std::string, std::string> refusals;
    std::deque<Write> writes;
    std::vector<GSettingsValues> dconfChanges;
    std::vector<SideTracker::Failure> outcomes;

    void SetUp() override {
        ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    }

    const gsettings::Key colorScheme{"org.gnome.desktop.interface", "color-scheme", "GNOME's", "schemas"};

    // Kept apart from dconf, as Xfce's and LXQt's are; a value is written
    // when the test answers.
    ThemeSetting apart(const std::string& what, const std::string& store) {
        return {.what = what,
                .id = store,
                .read = [this, store](const ThemeSetting::Read& answered) { answered(stores[store], std::nullopt); },
                .write =
                    [this, store](const std::string& value, SideTracker::Landed landed) {
                        writes.push_back({store, value, std::move(landed)});
                    },
                .installed = [](const std::string&) { return true; }};
    }

    // Kept in dconf, as MATE's are.
    ThemeSetting inDconf(const std::string& what, const gsettings::Key& key) {
        return {
            .what = what,
            .id = key.setting(),
            .read = [this, key](const ThemeSetting::Read& answered) { answered(stores[key.setting()], std::nullopt); },
            .key = key,
            .installed = [](const std::string&) { return true; }};
    }

    void toggle(bool dark, std::vector<ThemeSetting> settings) {
        switchThemes({.dark = dark,
                      .settings = std::move(settings),
                      .alongside = {{colorScheme, dark ? "prefer-dark" : "default"}},
                      .writeTogether =
                          [this](const GSettingsValues& values, const SideTracker::Landed& landed) {
                              dconfChanges.push_back(values);
                              writes.push_back({"dconf", {}, landed});
                          }},
                     [this](const SideTracker::Failure& failure) { outcomes.push_back(failure); });
    }

    // The store of the oldest write waiting answers it.
    void answerNext() {
        ASSERT_FALSE(writes.empty());
        Write write = std::move(writes.front());
        writes.pop_front();
        if (refusals.contains(write.store)) return write.landed(refusals[write.store]);
        if (write.store == "dconf") {
            for (const auto& [key, value] : dconfChanges.back()) stores[key.setting()] = value;
        } else {
            stores[write.store] = write.value;
        }
        write.landed(std::nullopt);
    }

    // Every write waiting, and those that follow.
    void answerEverything() {
        while (!writes.empty()) answerNext();
    }
};

TEST_F(ThemeSwitchTest, EveryPartLandedIsASwitchThatLandedOnlyOnceDconfHasAnswered) {
    const gsettings::Key marco{"org.mate.Marco.general", "theme", "MATE's", "marco-common"};
    stores = {{"xsettings", "Adwaita"}, {marco.setting(), "Greybird"}};
    toggle(true, {apart("GTK theme", "xsettings"), inDconf("Marco theme", marco)});
    ASSERT_EQ(writes.size(), 1U);  // apart from dconf, first
    answerNext();
    ASSERT_EQ(dconfChanges.size(), 1U);
    EXPECT_TRUE(outcomes.empty());
    answerNext();
    EXPECT_EQ(dconfChanges[0].size(), 2U);  // the colour scheme and Marco's theme, in one change
    EXPECT_EQ(outcomes, (std::vector<SideTracker::Failure>{std::nullopt}));
    EXPECT_EQ(stores["xsettings"], "Adwaita-dark");
    EXPECT_EQ(stores[marco.setting()], "Greybird-dark");
    EXPECT_EQ(stores[colorScheme.setting()], "prefer-dark");

    // Back to Light: the user's own themes, exactly.
    toggle(false, {apart("GTK theme", "xsettings"), inDconf("Marco theme", marco)});
    answerEverything();
    EXPECT_EQ(outcomes.back(), std::nullopt);
    EXPECT_EQ(stores["xsettings"], "Adwaita");
    EXPECT_EQ(stores[marco.setting()], "Greybird");
}

TEST_F(ThemeSwitchTest, APartRefusedPutsBackWhatHadLandedAndTheSwitchFailsWithTheStoresReason) {
    stores = {{"xsettings", "Adwaita"}, {"xfwm4", "Greybird"}, {"panel", "Lumen"}};
    refusals["xfwm4"] = "xfconf did not save /general/theme in xfconf's channel xfwm4: it is locked";
    toggle(true, {apart("GTK theme", "xsettings"), apart("xfwm4 theme", "xfwm4"), apart("panel theme", "panel")});
    answerEverything();
    EXPECT_TRUE(dconfChanges.empty());  // nothing of the switch reaches dconf
    EXPECT_EQ(stores["xsettings"], "Adwaita");
    EXPECT_EQ(stores["panel"], "Lumen");
    EXPECT_EQ(stores["xfwm4"], "Greybird");
    EXPECT_EQ(outcomes, (std::vector<SideTracker::Failure>{
                            "xfconf did not save /general/theme in xfconf's channel xfwm4: it is locked (the GTK "
                            "theme and the panel theme went back to what they were)"}));
}

TEST_F(ThemeSwitchTest, DconfRefusingTheChangePutsBackEverySettingWrittenApart) {
    stores = {{"xsettings", "Adwaita"}, {"xfwm4", "Greybird"}};
    refusals["dconf"] = "The connection is closed";
    toggle(true, {apart("GTK theme", "xsettings"), apart("xfwm4 theme", "xfwm4")});
    answerEverything();
    EXPECT_EQ(stores["xsettings"], "Adwaita");
    EXPECT_EQ(stores["xfwm4"], "Greybird");
    EXPECT_EQ(outcomes,
              (std::vector<SideTracker::Failure>{
                  "The connection is closed (the GTK theme and the xfwm4 theme went back to what they were)"}));

    // Nothing was remembered of a switch that did not happen: a theme the
    // user picks by hand stays theirs.
    stores["xsettings"] = "Adwaita-dark";
    refusals.clear();
    toggle(false, {apart("GTK theme", "xsettings")});
    answerEverything();
    EXPECT_EQ(stores["xsettings"], "Adwaita");
}

TEST_F(ThemeSwitchTest, ASettingThatCannotBeReadStopsTheSwitchBeforeAnythingIsWritten) {
    ThemeSetting unreadable = apart("GTK theme", "xsettings");
    unreadable.read = [](const ThemeSetting::Read& answered) { answered({}, "xfconf's service is not on the bus"); };
    toggle(true, {apart("panel theme", "panel"), unreadable});
    EXPECT_TRUE(writes.empty());
    EXPECT_EQ(outcomes, (std::vector<SideTracker::Failure>{"xfconf's service is not on the bus"}));
}

}  // namespace
}  // namespace dusk::backend
