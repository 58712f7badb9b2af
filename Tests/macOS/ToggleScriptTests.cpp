// What System Events' answers to the toggle script come to: the log line of
// a failure, worded as Foundation describes a dictionary, and the failure
// Dusk is told of.
#include <gtest/gtest.h>

#include "Doubles.h"
#include "ToggleScript.h"

namespace dusk::macos::test {
namespace {

using platform::AppearanceFailure;
using platform::mac::describe;
using platform::mac::Description;
using platform::mac::ScriptErrorInfo;

// As NSAppleScript fills it when the user has not allowed Automation.
const ScriptErrorInfo notAuthorized{
    {"NSAppleScriptErrorAppName", std::string("System Events")},
    {"NSAppleScriptErrorBriefMessage", std::string("Not authorized to send Apple events to System Events.")},
    {"NSAppleScriptErrorMessage", std::string("Not authorized to send Apple events to System Events.")},
    {"NSAppleScriptErrorNumber", std::int64_t{-1743}},
    {"NSAppleScriptErrorRange", Description{"NSRange: {0, 0}"}},
};

std::optional<AppearanceFailure> finish(const std::optional<ScriptErrorInfo>& errorInfo) {
    std::optional<AppearanceFailure> reported{AppearanceFailure{false, "not called"}};
    platform::mac::finishToggle(errorInfo,
                                [&reported](const std::optional<AppearanceFailure>& failure) { reported = failure; });
    return reported;
}

TEST(Describe, WritesTheDictionaryAsFoundationDoes) {
    EXPECT_EQ(describe(notAuthorized),
              "{\n"
              "    NSAppleScriptErrorAppName = \"System Events\";\n"
              "    NSAppleScriptErrorBriefMessage = \"Not authorized to send Apple events to System Events.\";\n"
              "    NSAppleScriptErrorMessage = \"Not authorized to send Apple events to System Events.\";\n"
              "    NSAppleScriptErrorNumber = \"-1743\";\n"
              "    NSAppleScriptErrorRange = \"NSRange: {0, 0}\";\n"
              "}");
    EXPECT_EQ(describe({}), "{\n}");
}

TEST(Describe, LeavesOnlyAsciiLettersAndDigitsBare) {
    EXPECT_EQ(describe({{"b", std::string("Terminal")},
                        {"a", std::int64_t{5}},
                        {"c", std::string("16A323")},
                        {"d", true},
                        {"e", false}}),
              "{\n    a = 5;\n    b = Terminal;\n    c = 16A323;\n    d = 1;\n    e = 0;\n}");
    EXPECT_EQ(describe({{"zh_CN", std::string("6.0")},
                        {"path", std::string("/Applications")},
                        {"empty", std::string()},
                        {"fraction", Description{"0.5"}}}),
              "{\n    empty = \"\";\n    fraction = \"0.5\";\n    path = \"/Applications\";\n"
              "    \"zh_CN\" = \"6.0\";\n}");
}

TEST(Describe, EscapesQuotesBackslashesNewlinesAndEverythingBeyondAscii) {
    EXPECT_EQ(describe({{"q", std::string("say \"hi\"\\")}}), "{\n    q = \"say \\\"hi\\\"\\\\\";\n}");
    EXPECT_EQ(describe({{"n", std::string("two\nlines")}}), "{\n    n = \"two\\nlines\";\n}");
    // UTF-16 units, in lower-case hex: two for a character beyond the BMP.
    EXPECT_EQ(describe({{"m", std::string("Can’t get é 🌙")}}),
              "{\n    m = \"Can\\U2019t get \\U00e9 \\Ud83c\\Udf19\";\n}");
    EXPECT_EQ(describe({{"é", std::int64_t{1}}}), "{\n    \"\\U00e9\" = 1;\n}");
}

TEST(FinishToggle, ReportsSuccessAsNoneAndLogsNothing) {
    EXPECT_EQ(finish(std::nullopt), std::nullopt);
    EXPECT_TRUE(loggedLines().empty());
}

TEST(FinishToggle, LogsTheWholeDictionaryAtTheErrorLevel) {
    finish(ScriptErrorInfo{{"NSAppleScriptErrorNumber", std::int64_t{-1728}}});
    ASSERT_EQ(loggedLines().size(), 1U);
    EXPECT_EQ(loggedLines()[0].level, platform::LogLevel::Error);
    EXPECT_EQ(loggedLines()[0].text, "AppleScript failed: {\n    NSAppleScriptErrorNumber = \"-1728\";\n}");
}

TEST(FinishToggle, TellsAMissingAutomationPermissionFromOtherFailures) {
    const auto denied = finish(notAuthorized);
    ASSERT_TRUE(denied);
    EXPECT_TRUE(denied->permissionMissing);

    const auto other = finish(ScriptErrorInfo{
        {"NSAppleScriptErrorMessage", std::string("System Events got an error: Can’t get appearance preferences.")},
        {"NSAppleScriptErrorNumber", std::int64_t{-1728}}});
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->permissionMissing);
    EXPECT_EQ(other->reason, "System Events got an error: Can’t get appearance preferences. (-1728)");
}

TEST(FinishToggle, FallsBackToUnknownErrorAndZeroForMissingOrMistypedEntries) {
    EXPECT_EQ(finish(ScriptErrorInfo{})->reason, "Unknown error (0)");
    // Only a whole number is a number and only text is a message: -1743 as
    // text is no refusal of permission.
    const auto mistyped = finish(ScriptErrorInfo{{"NSAppleScriptErrorNumber", std::string("-1743")},
                                                 {"NSAppleScriptErrorMessage", Description{"(null)"}}});
    ASSERT_TRUE(mistyped);
    EXPECT_FALSE(mistyped->permissionMissing);
    EXPECT_EQ(mistyped->reason, "Unknown error (0)");
    EXPECT_EQ(finish(ScriptErrorInfo{{"NSAppleScriptErrorNumber", true}})->reason, "Unknown error (0)");
    EXPECT_EQ(finish(ScriptErrorInfo{{"NSAppleScriptErrorMessage", std::string("Gone.")}})->reason, "Gone. (0)");
}

TEST(FailToMakeScript, ReportsAPlainFailureWithoutALogLine) {
    std::optional<AppearanceFailure> reported;
    platform::mac::failToMakeScript(
        [&reported](const std::optional<AppearanceFailure>& failure) { reported = failure; });
    ASSERT_TRUE(reported);
    EXPECT_FALSE(reported->permissionMissing);
    EXPECT_EQ(reported->reason, "The script that asks System Events to switch could not be made.");
    EXPECT_TRUE(loggedLines().empty());
}

}  // namespace
}  // namespace dusk::macos::test
