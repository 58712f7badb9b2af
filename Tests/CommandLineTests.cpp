// The command line: each command, what it prints where, its exit status,
// and that it never becomes a second menu-bar item.
#include <gtest/gtest.h>

#include <span>
#include <sstream>
#include <string_view>
#include <vector>

#include "AppearanceToggler.h"
#include "CommandLine.h"
#include "DuskTest.h"

namespace dusk::test {
namespace {

using platform::Dictionary;

struct Result {
    std::optional<int> status;
    std::string out;
    std::string err;
};

Result run(std::vector<std::string_view> arguments) {
    std::ostringstream out, err;
    const auto status = CommandLine::run(arguments, out, err);
    return {status, out.str(), err.str()};
}

// What a command must never leave behind: a menu-bar item, an application
// made an accessory, a hot-key handler, an alert.
void expectNoTrayInstance() {
    EXPECT_EQ(fake::statusItem(), nullptr);
    EXPECT_FALSE(fake::activationPolicy().has_value());
    EXPECT_EQ(fake::installedHandlers(), 0);
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(CommandLine, WithoutArgumentsDuskStartsInTheMenuBar) {
    const auto result = run({});
    EXPECT_FALSE(result.status.has_value());
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(fake::scriptsRun().empty());
}

TEST(CommandLine, ToggleFlipsThroughTheSameScriptAndLogLinesBothWays) {
    auto result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(fake::scriptsRun(), std::vector<std::string>{std::string(AppearanceToggler::script)});
    EXPECT_EQ(loggedTexts(),
              (std::vector<std::string>{"toggle requested, currently dark=false", "toggle succeeded, now dark=true"}));

    result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    EXPECT_EQ(loggedTexts().back(), "toggle succeeded, now dark=false");
    expectNoTrayInstance();
}

TEST(CommandLine, DarkAndLightChangeOnlyWhatIsNotSoAlready) {
    for (const bool startDark : {false, true}) {
        for (const std::string_view command : {"dark", "light"}) {
            fake::setDarkMode(startDark);
            const auto scriptsBefore = fake::scriptsRun().size();
            const bool wantDark = command == "dark";
            const auto result = run({command});
            EXPECT_EQ(result.status, CommandLine::success) << command;
            EXPECT_EQ(result.err, "") << command;
            EXPECT_EQ(AppearanceToggler::isDarkMode(), wantDark) << command << " from dark=" << startDark;
            EXPECT_EQ(fake::scriptsRun().size() - scriptsBefore, startDark == wantDark ? 0u : 1u)
                << command << " from dark=" << startDark;
        }
    }
    expectNoTrayInstance();
}

TEST(CommandLine, StatusPrintsTheAppearanceAndChangesNothing) {
    EXPECT_EQ(run({"status"}).out, "light\n");
    fake::setDarkMode(true);
    const auto result = run({"status"});
    EXPECT_EQ(result.status, CommandLine::success);
    EXPECT_EQ(result.out, "dark\n");
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(fake::scriptsRun().empty());
    EXPECT_TRUE(fake::logLines().empty());
    expectNoTrayInstance();
}

TEST(CommandLine, AFailedToggleSaysWhatTheAlertWouldOnStandardErrorInstead) {
    fake::failScriptsWith(Dictionary{{"NSAppleScriptErrorNumber", std::int64_t{-1728}},
                                     {"NSAppleScriptErrorMessage", std::string("Can't get appearance preferences.")}});
    auto result = run({"toggle"});
    EXPECT_EQ(result.status, CommandLine::failure);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "dusk: Couldn't change appearance: Can't get appearance preferences. (-1728)\n");
    EXPECT_EQ(fake::logLines().back().level, platform::LogLevel::Error);

    fake::failScriptsWith(Dictionary{{"NSAppleScriptErrorNumber", std::int64_t{-1743}}});
    result = run({"dark"});
    EXPECT_EQ(result.status, CommandLine::failure);
    EXPECT_EQ(result.err,
              "dusk: Dusk needs permission to control System Events: Open System Settings › Privacy & Security › "
              "Automation and allow Dusk to control System Events, then try again.\n");
    EXPECT_TRUE(fake::openedURLs().empty());
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    expectNoTrayInstance();
}

TEST(CommandLine, AScriptThatCannotBeMadeIsAFailureToo) {
    fake::refuseScriptCreation(true);
    const auto result = run({"light"});
    EXPECT_EQ(result.status, CommandLine::success) << "already light: nothing to make a script for";
    for (const std::string_view command : {"toggle", "dark"}) {
        const auto failed = run({command});
        EXPECT_EQ(failed.status, CommandLine::failure) << command;
        EXPECT_EQ(failed.err, "dusk: Couldn't change appearance: the toggle script could not be made\n");
    }
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    expectNoTrayInstance();
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
    EXPECT_TRUE(fake::scriptsRun().empty());
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
        EXPECT_NE(result.err.find("\nUsage: dusk [COMMAND]\n"), std::string::npos) << result.err;
    }
    EXPECT_EQ(run({"toggle", "now"}).err.substr(0, 32), "dusk: unexpected argument 'now'\n");
    EXPECT_EQ(run({"--dark"}).err.substr(0, 33), "dusk: unknown command '--dark'\n\nU");
    EXPECT_TRUE(fake::scriptsRun().empty());
    EXPECT_FALSE(AppearanceToggler::isDarkMode());
    expectNoTrayInstance();
}

TEST(CommandLine, AProcessSerialNumberFromTheLauncherIsAStartInTheMenuBar) {
    const auto result = run({"-psn_0_1234567"});
    EXPECT_FALSE(result.status.has_value());
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace dusk::test
