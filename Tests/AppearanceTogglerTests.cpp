// Reading and flipping the appearance, and what the user sees when System
// Events says no.
#include <gtest/gtest.h>

#include <algorithm>

#include "AppearanceToggler.h"
#include "DuskTest.h"
#include "Log.h"

namespace dusk::test {
namespace {

using platform::Dictionary;

const std::string automationLink = "x-apple.systempreferences:com.apple.preference.security?Privacy_Automation";

TEST(IsDarkMode, OnlyTheExactStringDarkCounts) {
    const std::vector<std::pair<std::optional<Dictionary>, bool>> cases{
        {std::nullopt, false},
        {Dictionary{}, false},
        {Dictionary{{"AppleLanguages", std::string("en")}}, false},
        {Dictionary{{"AppleInterfaceStyle", std::string("Dark")}}, true},
        {Dictionary{{"AppleInterfaceStyle", std::string("dark")}}, false},
        {Dictionary{{"AppleInterfaceStyle", std::string("Dark ")}}, false},
        {Dictionary{{"AppleInterfaceStyle", std::string("Light")}}, false},
        {Dictionary{{"AppleInterfaceStyle", std::int64_t{1}}}, false},
        {Dictionary{{"AppleInterfaceStyle", true}}, false},
    };
    for (const auto& [domain, dark] : cases) {
        fake::setGlobalDomain(domain);
        EXPECT_EQ(AppearanceToggler::isDarkMode(), dark) << (domain ? describe(*domain) : "no domain");
    }
}

TEST(Toggle, FromLightLogsBothStatesAndShowsNothing) {
    AppearanceToggler::toggle();
    ASSERT_EQ(fake::scriptsRun().size(), 1u);
    EXPECT_EQ(fake::scriptsRun()[0].size(), 125u);
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    ASSERT_EQ(fake::logLines().size(), 2u);
    EXPECT_EQ(fake::logLines()[0].text, "toggle requested, currently dark=false");
    EXPECT_EQ(fake::logLines()[1].text, "toggle succeeded, now dark=true");
    for (const auto& line : fake::logLines()) {
        EXPECT_EQ(line.level, platform::LogLevel::Default);
        EXPECT_EQ(line.category, "hotkey");
    }
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(Toggle, RunsAFreshScriptEachTime) {
    AppearanceToggler::toggle();
    AppearanceToggler::toggle();
    EXPECT_EQ(fake::scriptsRun().size(), 2u);
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(loggedTexts().back(), "toggle succeeded, now dark=false");
}

TEST(Toggle, AScriptThatCannotBeMadeEndsQuietly) {
    fake::refuseScriptCreation(true);
    AppearanceToggler::toggle();
    EXPECT_EQ(loggedTexts(), std::vector<std::string>{"toggle requested, currently dark=false"});
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_TRUE(fake::scriptsRun().empty());
}

Dictionary permissionDenied() {
    return {{"NSAppleScriptErrorNumber", std::int64_t{-1743}},
            {"NSAppleScriptErrorMessage", std::string("Not authorized to send Apple events to System Events.")}};
}

TEST(PermissionAlert, OffersSystemSettingsInFrontOfOtherApps) {
    fake::failScriptsWith(permissionDenied());
    fake::otherAppComesForward();
    AppearanceToggler::toggle();

    ASSERT_EQ(fake::alerts().size(), 1u);
    const auto& shown = fake::alerts()[0];
    EXPECT_EQ(shown.alert.style, platform::AlertStyle::Warning);
    EXPECT_EQ(shown.alert.messageText, "Dusk needs permission to control System Events");
    EXPECT_EQ(shown.alert.informativeText,
              "Open System Settings › Privacy & Security › Automation and allow Dusk to control System Events, "
              "then try again.");
    EXPECT_EQ(shown.alert.buttons, (std::vector<std::string>{"Open System Settings", "Cancel"}));
    EXPECT_TRUE(shown.appActiveWhenShown);
    EXPECT_EQ(fake::openedURLs(), std::vector<std::string>{automationLink});
    EXPECT_FALSE(AppearanceToggler::isDarkMode());

    ASSERT_EQ(fake::logLines().size(), 2u);
    EXPECT_EQ(fake::logLines()[1].level, platform::LogLevel::Error);
    EXPECT_EQ(fake::logLines()[1].text,
              "AppleScript failed: {\n"
              "    NSAppleScriptErrorMessage = \"Not authorized to send Apple events to System Events.\";\n"
              "    NSAppleScriptErrorNumber = \"-1743\";\n"
              "}");
}

TEST(PermissionAlert, CancelOpensNothing) {
    fake::failScriptsWith(permissionDenied());
    fake::answerNextAlertWith(platform::alertSecondButtonReturn);
    AppearanceToggler::toggle();
    EXPECT_EQ(fake::alerts().size(), 1u);
    EXPECT_TRUE(fake::openedURLs().empty());
}

TEST(GeneralAlert, ShowsTheMessageAndNumberWithTheDefaultButtonOnly) {
    fake::failScriptsWith(Dictionary{{"NSAppleScriptErrorNumber", std::int64_t{-1728}},
                                     {"NSAppleScriptErrorMessage", std::string("Can't get appearance preferences.")}});
    fake::otherAppComesForward();
    AppearanceToggler::toggle();
    ASSERT_EQ(fake::alerts().size(), 1u);
    const auto& shown = fake::alerts()[0];
    EXPECT_EQ(shown.alert.style, platform::AlertStyle::Warning);
    EXPECT_EQ(shown.alert.messageText, "Couldn't change appearance");
    EXPECT_EQ(shown.alert.informativeText, "Can't get appearance preferences. (-1728)");
    EXPECT_TRUE(shown.alert.buttons.empty());
    EXPECT_TRUE(shown.appActiveWhenShown);
    EXPECT_TRUE(fake::openedURLs().empty());
    EXPECT_EQ(fake::logLines().back().level, platform::LogLevel::Error);
}

TEST(GeneralAlert, FillsInWhatTheErrorInformationLacks) {
    const std::vector<std::pair<Dictionary, std::string>> cases{
        {{}, "Unknown error (0)"},
        {{{"NSAppleScriptErrorMessage", std::string("Boom.")}}, "Boom. (0)"},
        {{{"NSAppleScriptErrorNumber", std::int64_t{42}}}, "Unknown error (42)"},
        // Entries of the wrong type count as missing.
        {{{"NSAppleScriptErrorNumber", std::string("-1743")}, {"NSAppleScriptErrorMessage", std::int64_t{7}}},
         "Unknown error (0)"},
    };
    for (const auto& [errorInfo, informative] : cases) {
        fake::failScriptsWith(errorInfo);
        AppearanceToggler::toggle();
        EXPECT_EQ(fake::alerts().back().alert.messageText, "Couldn't change appearance");
        EXPECT_EQ(fake::alerts().back().alert.informativeText, informative);
    }
    EXPECT_EQ(fake::alerts().size(), cases.size());
}

Dictionary locked() {
    return {{"NSAppleScriptErrorNumber", std::int64_t{-10000}},
            {"NSAppleScriptErrorMessage", std::string("Can't set dark mode: the setting is locked.")}};
}

std::size_t countLogged(const std::string& prefix) {
    const auto texts = loggedTexts();
    return static_cast<std::size_t>(std::count_if(
        texts.begin(), texts.end(), [&prefix](const std::string& text) { return text.starts_with(prefix); }));
}

// The user keeps pressing the shortcut while the first failure's alert waits
// for an answer: each failure is logged, the alert is not stacked.
TEST(RepeatedFailure, OneAlertAtATimeForTheSameFailureEachOneLogged) {
    constexpr std::uint32_t controlOptionCommand = 0x1900;
    const auto app = launchDusk();
    fake::failScriptsWith(locked());
    fake::whileNextAlertIsShown([] {
        for (int press = 0; press < 300; ++press) {
            fake::pressHotKey(2, controlOptionCommand);
            fake::drainMainQueue();
        }
    });
    fake::pressHotKey(2, controlOptionCommand);
    fake::drainMainQueue();
    EXPECT_EQ(fake::scriptsRun().size(), 301u);
    EXPECT_EQ(countLogged("AppleScript failed: "), 301u);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.informativeText, "Can't set dark mode: the setting is locked. (-10000)");

    // Dismissed, the same failure is shown again.
    fake::pressHotKey(2, controlOptionCommand);
    fake::drainMainQueue();
    EXPECT_EQ(fake::alerts().size(), 2u);
}

TEST(RepeatedFailure, TheMenuAndThePermissionAlertAreHeldBackAlike) {
    const auto app = launchDusk();
    fake::failScriptsWith(permissionDenied());
    fake::answerNextAlertWith(platform::alertSecondButtonReturn);
    fake::whileNextAlertIsShown([] {
        fake::chooseMenuItem("Switch to Dark Mode");
        AppearanceToggler::toggle();
    });
    fake::chooseMenuItem("Switch to Dark Mode");
    EXPECT_EQ(countLogged("AppleScript failed: "), 3u);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Dusk needs permission to control System Events");
    // Cancel was the answer: the held-back presses open nothing either.
    EXPECT_TRUE(fake::openedURLs().empty());
}

TEST(RepeatedFailure, ADifferentFailureIsStillShown) {
    fake::failScriptsWith(locked());
    fake::whileNextAlertIsShown([] {
        fake::failScriptsWith(permissionDenied());
        AppearanceToggler::toggle();
        fake::failScriptsWith(locked());
        AppearanceToggler::toggle();
    });
    AppearanceToggler::toggle();
    ASSERT_EQ(fake::alerts().size(), 2u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't change appearance");
    EXPECT_EQ(fake::alerts()[1].alert.messageText, "Dusk needs permission to control System Events");
    EXPECT_EQ(countLogged("AppleScript failed: "), 3u);
}

}  // namespace
}  // namespace dusk::test
