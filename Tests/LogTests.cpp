// Format rendering and the one logger.
#include <gtest/gtest.h>

#include <thread>

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
    EXPECT_EQ(renderLogLine("sig=%{public}u", {std::uint32_t{4294967295u}}), "sig=4294967295");
    EXPECT_EQ(renderLogLine("100%% done", {}), "100% done");
}

TEST(RenderLogLine, ToleratesMissingArgumentsAndUnclosedPlaceholders) {
    EXPECT_EQ(renderLogLine("a=%{public}d b=%{public}d", {std::int32_t{1}}), "a=1 b=<missing>");
    EXPECT_EQ(renderLogLine("broken %{public", {std::int32_t{1}}), "broken %{public");
    EXPECT_EQ(renderLogLine("trailing %", {}), "trailing %");
}

TEST(Describe, WritesADictionaryAsThePlatformDoes) {
    EXPECT_EQ(describe({}), "{\n}");
    EXPECT_EQ(describe({{"b", std::int64_t{5}}, {"a", std::string("two words")}, {"c", std::string("bare")}}),
              "{\n    a = \"two words\";\n    b = 5;\n    c = bare;\n}");
    EXPECT_EQ(describe({{"q", std::string("say \"hi\"\\")}}), "{\n    q = \"say \\\"hi\\\"\\\\\";\n}");
}

TEST(Log, IsCreatedOnceUnderConcurrentFirstUse) {
    std::vector<const Log*> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) threads.emplace_back([&slot] { slot = &log(); });
    for (auto& thread : threads) thread.join();
    for (const auto* instance : seen) EXPECT_EQ(instance, seen[0]);
    EXPECT_EQ(fake::loggersCreated(), 1);
    log().error("x=%{public}d", {std::int32_t{3}});
    EXPECT_EQ(fake::logLines().back().category, "hotkey");
    EXPECT_EQ(fake::logLines().back().subsystem, "app.dusk.Dusk");
    EXPECT_EQ(fake::logLines().back().level, platform::LogLevel::Error);
    EXPECT_EQ(fake::logLines().back().text, "x=3");
}

}  // namespace
}  // namespace dusk::test
