// Rendering log lines, and where they go.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "Log.h"

namespace dusk::test {
namespace {

TEST(RenderLogLine, FillsEachPlaceholderInOrder) {
    EXPECT_EQ(renderLogLine("RegisterEventHotKey %{public}s code=%{public}u mods=%{public}u status=%{public}d",
                            {std::string("⌃⌥⌘D"), std::uint32_t{2}, std::uint32_t{6400}, std::int32_t{-9878}}),
              "RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=-9878");
    EXPECT_EQ(renderLogLine("dark=%{bool,public}d", {true}), "dark=true");
    EXPECT_EQ(renderLogLine("dark=%{bool,public}d", {false}), "dark=false");
    EXPECT_EQ(renderLogLine("flag=%{public}d", {true}), "flag=1");
    EXPECT_EQ(renderLogLine("code=%{public}u", {std::uint32_t{4294967295U}}), "code=4294967295");
    EXPECT_EQ(renderLogLine("100%% done", {}), "100% done");
}

TEST(RenderLogLine, ToleratesMissingArgumentsAndUnclosedPlaceholders) {
    EXPECT_EQ(renderLogLine("a=%{public}d b=%{public}d", {std::int32_t{1}}), "a=1 b=<missing>");
    EXPECT_EQ(renderLogLine("broken %{public", {std::int32_t{1}}), "broken %{public");
    EXPECT_EQ(renderLogLine("dangling %{public}", {std::int32_t{1}}), "dangling %{public}");
    EXPECT_EQ(renderLogLine("trailing %", {}), "trailing %");
}

TEST(Log, WritesFinishedLinesToThePlatformAtTheirLevel) {
    log().notice("x=%{public}d", {std::int32_t{3}});
    log().error("y=%{public}s", {std::string("four")});
    ASSERT_EQ(fake::logLines().size(), 2u);
    EXPECT_EQ(fake::logLines()[0].level, platform::LogLevel::Default);
    EXPECT_EQ(fake::logLines()[0].text, "x=3");
    EXPECT_EQ(fake::logLines()[1].level, platform::LogLevel::Error);
    EXPECT_EQ(fake::logLines()[1].text, "y=four");
}

}  // namespace
}  // namespace dusk::test
