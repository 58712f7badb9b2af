// The command line: each command, what it prints where, its exit status,
// and that it never becomes a second menu-bar item.
#include <gtest/gtest.h>

#include <sstream>
#include <string_view>
#include <vector>

#include "AppearanceToggler.h"
#include "CommandLine.h"
#include "DuskTest.h"

namespace dusk::test {
namespace {

struct Result {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Result run(std::vector<std::string_view> arguments) {
    std::ostringstream out;
    std::ostringstream err;
    const auto status = CommandLine::run(arguments, out, err);
    return {status, out.str(), err.str()};
}

// What a command never leaves behind.
void expectNoTrayInstance() {
    EXPECT_EQ(fake::statusItemsMade(), 0);
    EXPECT_EQ(fake::bindRequests(), 0);
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_EQ(fake::permissionSettingsOpened(), 0);
}

TEST(CommandLine, WithoutACommandDuskStartsInTheMenuBar) {
    // A process serial number is how LaunchServices once opened applications.
    for (const auto& arguments : {std::vector<std::string_view>{}, std::vector<std::string_view>{"-psn_0_1234567"}}) {
        const auto result = run(arguments);
        EXPECT_FALSE(result.status.has_value());
        EXPECT_EQ(result.out + result.err, "");
    }
    EXPECT_EQ(fake::toggleRequests(), 0);
}

TEST(CommandLine, ToggleSwitchesEachWayAndLogsLikeTheMenu) {
    auto result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(loggedTexts(),
              (std::vector<std::string>{"toggle requested, currently dark=false", "toggle succeeded, now dark=true"}));
    result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    expectNoTrayInstance();
}

TEST(CommandLine, DarkAndLightChangeOnlyWhatIsNotSoAlready) {
    for (const bool startDark : {false, true}) {
        for (const std::string_view command : {"dark", "light"}) {
            SCOPED_TRACE(std::string(command) + (startDark ? " from dark" : " from light"));
            fake::setDark(startDark);
            const int togglesBefore = fake::toggleRequests();
            const bool wantDark = command == "dark";
            const auto result = run({command});
            EXPECT_EQ(result.status, CommandLine::success);
            EXPECT_EQ(result.out + result.err, "");
            EXPECT_EQ(AppearanceToggler::isDarkMode(), wantDark);
            EXPECT_EQ(fake::toggleRequests() - togglesBefore, startDark == wantDark ? 0 : 1);
        }
    }
    expectNoTrayInstance();
}

TEST(CommandLine, StatusPrintsTheSideAndChangesNothing) {
    EXPECT_EQ(run({"status"}).out, "light\n");
    fake::setDark(true);
    const auto result = run({"status"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_EQ(result.out, "dark\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(fake::toggleRequests(), 0);
    EXPECT_TRUE(fake::logLines().empty());
    expectNoTrayInstance();
}

TEST(CommandLine, AFailedToggleSaysOnStandardErrorWhatTheAlertWould) {
    fake::failTogglesWith(platform::AppearanceFailure{false, "The setting is locked."});
    auto result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::failure);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "dusk: Couldn't change appearance: The setting is locked.\n");

    fake::failTogglesWith(platform::AppearanceFailure{true, "Not authorized."});
    result = run({"dark"});
    EXPECT_EQ(result.status, CommandLine::failure);
    EXPECT_EQ(result.err,
              "dusk: Dusk needs permission to control System Events: Open System Settings › Privacy & Security › "
              "Automation and allow Dusk to control System Events, then try again.\n");
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    expectNoTrayInstance();
}

TEST(CommandLine, ATogglePendingWithTheDesktopEndsWithItsAnswerOrFails) {
    fake::answerTogglesLater(true);
    // The desktop answers on a later turn of the command's loop.
    platform::Session::post([] { fake::answerToggle(); });
    EXPECT_EQ(run({"toggle"}).status, CommandLine::success);
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(loggedTexts().back(), "toggle succeeded, now dark=true");

    EXPECT_EQ(run({"light"}).status, CommandLine::failure) << "never answered";
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(countLogged("toggle succeeded"), 1u);
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
    for (const std::string_view flag : {"--help", "-h"}) {
        const auto result = run({flag});
        EXPECT_EQ(result.status, CommandLine::success);
        EXPECT_EQ(result.err, "");
        EXPECT_TRUE(result.out.starts_with("Usage: dusk [COMMAND]\n")) << result.out;
        for (const std::string_view command : {"toggle", "dark", "light", "status", "--help", "--version"}) {
            EXPECT_NE(result.out.find("\n  " + std::string(command) + " "), std::string::npos) << command;
        }
    }
    const auto version = run({"--version"});
    EXPECT_EQ(version.status, CommandLine::success);
    EXPECT_EQ(version.out, "Dusk " DUSK_PROJECT_VERSION "\n");
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(fake::toggleRequests(), 0);
    expectNoTrayInstance();
}

TEST(CommandLine, AnythingElseIsAUsageErrorThatChangesNothing) {
    const std::vector<std::vector<std::string_view>> wrong{
        {"Toggle"}, {"--dark"}, {""}, {"toggle", "now"}, {"status", "--verbose"}, {"-psn_0_42", "toggle"}};
    for (const auto& arguments : wrong) {
        const auto result = run(arguments);
        EXPECT_EQ(result.status, CommandLine::usageError) << arguments.front();
        EXPECT_EQ(result.out, "");
        EXPECT_TRUE(result.err.starts_with("dusk: ")) << result.err;
        EXPECT_NE(result.err.find("\n\nUsage: dusk [COMMAND]\n"), std::string::npos) << result.err;
    }
    EXPECT_TRUE(run({"toggle", "now"}).err.starts_with("dusk: unexpected argument 'now'\n"));
    EXPECT_TRUE(run({"--dark"}).err.starts_with("dusk: unknown command '--dark'\n"));
    EXPECT_EQ(fake::toggleRequests(), 0);
    expectNoTrayInstance();
}

}  // namespace
}  // namespace dusk::test
