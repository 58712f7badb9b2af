// Which side Dusk reports on Linux, from the portal, the setting it writes and
// its own switches: the rules, on a desktop whose writes the test answers.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "appearance/SideTracker.h"

namespace dusk::backend {
namespace {

class SideTrackerTest : public ::testing::Test {
protected:
    struct Write {
        bool dark;
        SideTracker::Landed landed;
    };

    std::optional<bool> setting = false;
    int settingReads = 0;
    std::vector<Write> writes;
    std::optional<std::string> failAtOnce;
    int changes = 0;
    std::vector<std::pair<bool, SideTracker::Failure>> outcomes;

    SideTracker tracker{{[this] {
                             ++settingReads;
                             return setting;
                         },
                         [this](bool dark, SideTracker::Landed landed) {
                             if (failAtOnce) return landed(failAtOnce);
                             writes.push_back({dark, std::move(landed)});
                         }}};

    void SetUp() override {
        tracker.onChange([this] { ++changes; });
    }

    void toggle() {
        tracker.toggle(
            [this](bool dark, const SideTracker::Failure& failure) { outcomes.emplace_back(dark, failure); });
    }

    // Answers the oldest write still waiting.
    void land(const SideTracker::Failure& failure = std::nullopt) {
        ASSERT_FALSE(writes.empty());
        auto write = std::move(writes.front());
        writes.erase(writes.begin());
        write.landed(failure);
    }
};

TEST_F(SideTrackerTest, ThePortalSpeaksForTheDesktopWhileItHasAWordAndTheSettingOtherwise) {
    setting = true;
    tracker.portalSaid(false);
    EXPECT_FALSE(tracker.isDark());
    EXPECT_EQ(settingReads, 0);  // nothing loaded for the setting while the portal answers
    tracker.settingChanged(true);
    EXPECT_FALSE(tracker.isDark());
    EXPECT_EQ(changes, 0);

    // A word it cannot trust, or its going away: the setting is read.
    tracker.portalSaid(std::nullopt);
    EXPECT_TRUE(tracker.isDark());
    tracker.settingChanged(false);
    EXPECT_FALSE(tracker.isDark());
    tracker.portalSaid(true);
    EXPECT_TRUE(tracker.isDark());
    EXPECT_EQ(changes, 3);

    // A setting that cannot be read is Light.
    setting = std::nullopt;
    tracker.portalSaid(std::nullopt);
    EXPECT_FALSE(tracker.isDark());
}

TEST_F(SideTrackerTest, ASwitchThatLandedIsTheSideReportedWhateverALaggingOrDisagreeingPortalStillSays) {
    tracker.portalSaid(true);  // the portal says Dark, the setting Light
    ASSERT_EQ(changes, 1);
    toggle();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_FALSE(writes[0].dark);   // the opposite of the side reported, not of the setting
    EXPECT_TRUE(tracker.isDark());  // until it lands
    land();
    EXPECT_FALSE(tracker.isDark());
    EXPECT_EQ(changes, 2);
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_EQ(outcomes[0], std::make_pair(false, SideTracker::Failure()));

    // The setting's echo of the write, then the portal catching up.
    tracker.settingChanged(false);
    tracker.portalSaid(false);
    EXPECT_FALSE(tracker.isDark());
    EXPECT_EQ(changes, 2);
}

TEST_F(SideTrackerTest, AFailedSwitchLeavesTheSideAndTheNextOneTriesTheSameSide) {
    tracker.portalSaid(std::nullopt);
    toggle();
    land("locked");
    EXPECT_FALSE(tracker.isDark());
    EXPECT_EQ(changes, 0);
    ASSERT_EQ(outcomes.size(), 1U);
    EXPECT_EQ(outcomes[0], std::make_pair(true, SideTracker::Failure("locked")));
    toggle();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_TRUE(writes[0].dark);
}

TEST_F(SideTrackerTest, SwitchesAskedForWhileOneIsUnderWayEachWaitAndEachTurnsTheSideOnce) {
    tracker.portalSaid(std::nullopt);
    toggle();
    toggle();
    toggle();
    ASSERT_EQ(writes.size(), 1U);  // one write at a time
    land();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_FALSE(writes[0].dark);
    land();
    ASSERT_EQ(writes.size(), 1U);
    EXPECT_TRUE(writes[0].dark);
    land();
    EXPECT_TRUE(tracker.isDark());
    ASSERT_EQ(outcomes.size(), 3U);
    EXPECT_TRUE(outcomes[0].first);
    EXPECT_FALSE(outcomes[1].first);
    EXPECT_TRUE(outcomes[2].first);
    EXPECT_EQ(changes, 3);
}

TEST_F(SideTrackerTest, ASwitchAskedForWhileAFailureIsBeingReportedStartsOneWrite) {
    // An alert may run a loop of its own, in which the shortcut is pressed.
    tracker.portalSaid(std::nullopt);
    tracker.toggle([this](bool, const SideTracker::Failure& failure) {
        ASSERT_TRUE(failure);
        failAtOnce.reset();
        toggle();
    });
    land("refused");
    ASSERT_EQ(writes.size(), 1U);
    land();
    EXPECT_TRUE(tracker.isDark());
    EXPECT_TRUE(writes.empty());

    // Failures told before toggle returns, one after another.
    failAtOnce = "locked";
    toggle();
    toggle();
    EXPECT_EQ(outcomes.size(), 3U);
    EXPECT_TRUE(writes.empty());
    EXPECT_TRUE(tracker.isDark());
}

}  // namespace
}  // namespace dusk::backend
