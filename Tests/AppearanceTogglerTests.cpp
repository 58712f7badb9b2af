// Switching the appearance, and what the user sees when the desktop says no.
#include <gtest/gtest.h>

#include "AppearanceToggler.h"
#include "DuskTest.h"

namespace dusk::test {
namespace {

const platform::AppearanceFailure locked{false, "The setting is locked."};
const platform::AppearanceFailure permissionMissing{true, "Not authorized to send Apple events to System Events."};

const std::string permissionMessage = "Dusk needs permission to control System Events";

TEST(Toggle, LogsTheSideBeforeAndAfterAndShowsNothing) {
    AppearanceToggler::toggle();
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    AppearanceToggler::toggle();
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(loggedTexts(),
              (std::vector<std::string>{"toggle requested, currently dark=false", "toggle succeeded, now dark=true",
                                        "toggle requested, currently dark=true", "toggle succeeded, now dark=false"}));
    for (const auto& line : fake::logLines()) EXPECT_EQ(line.level, platform::LogLevel::Default);
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(Toggle, AnsweredLaterSucceedsAndRedrawsOnlyWhenItLands) {
    const auto dusk = launchDusk();
    fake::answerTogglesLater(true);
    fake::chooseMenuItem("Switch to Dark Mode");
    fake::drainMainQueue();
    EXPECT_EQ(loggedTexts().back(), "toggle requested, currently dark=false");
    EXPECT_EQ(fake::statusItem()->symbol, platform::Symbol::Sun);

    ASSERT_TRUE(fake::answerToggle());
    EXPECT_EQ(loggedTexts().back(), "toggle succeeded, now dark=true");
    fake::drainMainQueue();
    EXPECT_EQ(fake::statusItem()->symbol, platform::Symbol::Moon);
    EXPECT_EQ(fake::statusItem()->toolTip, "Dusk – switch to Light Mode");
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(FailureAlert, GivesTheDesktopsReasonWithOneButton) {
    fake::failTogglesWith(locked);
    AppearanceToggler::toggle();
    ASSERT_EQ(fake::alerts().size(), 1u);
    const auto& alert = fake::alerts()[0].alert;
    EXPECT_EQ(alert.messageText, "Couldn't change appearance");
    EXPECT_EQ(alert.informativeText, "The setting is locked.");
    EXPECT_TRUE(alert.buttons.empty());
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    // The desktop logs its refusal in its own words; Dusk claims no success.
    EXPECT_EQ(countLogged("toggle succeeded"), 0u);
    EXPECT_EQ(fake::logLines().back().level, platform::LogLevel::Error);
    EXPECT_EQ(fake::permissionSettingsOpened(), 0);
}

TEST(FailureAlert, AMissingPermissionOffersTheSettingsPageAndOnlyItsButtonOpensIt) {
    fake::failTogglesWith(permissionMissing);
    for (const std::size_t button : {1u, 0u}) {
        fake::answerNextAlertWith(button);
        AppearanceToggler::toggle();
    }
    ASSERT_EQ(fake::alerts().size(), 2u);
    const auto& alert = fake::alerts()[0].alert;
    EXPECT_EQ(alert.messageText, permissionMessage);
    EXPECT_EQ(alert.informativeText,
              "Open System Settings › Privacy & Security › Automation and allow Dusk to control System Events, "
              "then try again.");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Open System Settings", "Cancel"}));
    EXPECT_EQ(fake::permissionSettingsOpened(), 1);
}

// The shortcut still works while an alert is up: pressed again and again
// with the setting locked, it must not stack one alert on another.
TEST(RepeatedFailure, TheSameFailureIsShownOnceWhileItsAlertIsUp) {
    const auto dusk = launchDusk();
    fake::failTogglesWith(locked);
    fake::holdAlerts(true);
    for (int press = 0; press < 5; ++press) {
        ASSERT_TRUE(fake::pressKeys(controlOptionCommandD));
        fake::drainMainQueue();
    }
    fake::chooseMenuItem("Switch to Dark Mode");
    EXPECT_EQ(fake::toggleRequests(), 6);
    EXPECT_EQ(countLogged("toggle requested"), 6u);
    EXPECT_EQ(fake::alerts().size(), 1u);

    // Dismissed, the same failure is shown again.
    ASSERT_TRUE(fake::answerAlert(0));
    AppearanceToggler::toggle();
    EXPECT_EQ(fake::alerts().size(), 2u);
}

TEST(RepeatedFailure, ADifferentFailureIsShownBesideIt) {
    fake::holdAlerts(true);
    for (const auto& failure : {locked, permissionMissing, locked, platform::AppearanceFailure{false, "Busy."}}) {
        fake::failTogglesWith(failure);
        AppearanceToggler::toggle();
    }
    ASSERT_EQ(fake::alerts().size(), 3u);
    EXPECT_EQ(fake::alerts()[1].alert.messageText, permissionMessage);
    EXPECT_EQ(fake::alerts()[2].alert.informativeText, "Busy.");
    // A held permission alert still opens the page once answered.
    ASSERT_TRUE(fake::answerAlert(0));
    EXPECT_EQ(fake::permissionSettingsOpened(), 0);
    ASSERT_TRUE(fake::answerAlert(0));
    EXPECT_EQ(fake::permissionSettingsOpened(), 1);
}

}  // namespace
}  // namespace dusk::test
