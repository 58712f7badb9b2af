// The menu-bar spine: launch, the one copy per session, the status item and
// its menu.
#include <gtest/gtest.h>

#include "DuskTest.h"

namespace dusk::test {
namespace {

using platform::Symbol;

TEST(Launch, TheSymbolAndItsWordsOfferTheOtherSide) {
    struct Side {
        bool dark;
        Symbol symbol;
        std::string offer;
    };
    for (const auto& side :
         {Side{false, Symbol::Sun, "Switch to Dark Mode"}, Side{true, Symbol::Moon, "Switch to Light Mode"}}) {
        fake::setDark(side.dark);
        inNewProcess([&side] {
            const auto dusk = launchDusk();
            const auto item = fake::statusItem().value();
            EXPECT_EQ(item.symbol, side.symbol);
            EXPECT_EQ(item.accessibilityDescription, side.offer);
            EXPECT_EQ(item.toolTip, side.dark ? "Dusk – switch to Light Mode" : "Dusk – switch to Dark Mode");
            EXPECT_EQ(menuTitle(0), side.offer);
        });
    }
}

TEST(Launch, TheOnlyCopyPutsOneItemInTheBarAndStays) {
    const auto dusk = launchDusk();
    EXPECT_EQ(fake::statusItemsMade(), 1);
    EXPECT_FALSE(fake::quitRequested());
    EXPECT_TRUE(fake::alerts().empty());
    // Reading the default shortcut to bind it writes nothing.
    EXPECT_TRUE(fake::storedSettings().empty());
}

TEST(SingleInstance, ASecondCopyLogsAndQuitsBeforeShowingOrBindingAnything) {
    fake::setAnotherCopyRunning(true);
    const auto dusk = launchDusk();
    EXPECT_TRUE(fake::quitRequested());
    ASSERT_EQ(fake::logLines().size(), 1u);
    EXPECT_EQ(fake::logLines()[0].text, "another Dusk instance is already running; quitting this one");
    EXPECT_EQ(fake::logLines()[0].level, platform::LogLevel::Default);
    EXPECT_EQ(fake::statusItemsMade(), 0);
    EXPECT_EQ(fake::bindRequests(), 0);
    // Nor does it listen: the other copy follows the appearance.
    fake::setDark(true);
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
}

TEST(AppearanceChange, TheIconFollowsEachChangeOnlyOnceTheMainQueueRuns) {
    const auto dusk = launchDusk();
    fake::setDark(true);
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Sun);
    EXPECT_EQ(fake::pendingMainQueueItems(), 1u);
    fake::drainMainQueue();
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Moon);
    EXPECT_EQ(fake::statusItem()->toolTip, "Dusk – switch to Light Mode");

    // A burst gets one refresh per change, each reading the side as it runs.
    fake::setDark(false);
    fake::setDark(true);
    fake::setDark(false);
    EXPECT_EQ(fake::drainMainQueue(), 3u);
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Sun);
    EXPECT_EQ(fake::statusItem()->accessibilityDescription, "Switch to Dark Mode");
}

TEST(AppearanceChange, ReachesNothingOnceTheDelegateIsGone) {
    auto dusk = launchDusk();
    const std::weak_ptr<AppDelegate> weak = dusk;
    dusk.reset();
    EXPECT_TRUE(weak.expired()) << "the platform's callbacks must not keep the delegate alive";
    EXPECT_FALSE(fake::statusItem());
    fake::setDark(true);
    fake::drainMainQueue();
}

TEST(Menu, HoldsTheSixEntriesInOrderWithTitlesOfTheMomentItOpens) {
    const auto dusk = launchDusk();
    const auto menu = fake::openMenu();
    const std::vector<std::pair<std::string, std::string>> expected{
        {"Switch to Dark Mode", ""}, {"Hotkey: ⌃⌥⌘D…", ""}, {"", ""}, {"Launch at Login", ""}, {"", ""},
        {"Quit Dusk", "q"},
    };
    ASSERT_EQ(menu.size(), expected.size());
    for (std::size_t i = 0; i < menu.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(menu[i].isSeparator, expected[i].first.empty());
        EXPECT_EQ(menu[i].title, expected[i].first);
        EXPECT_EQ(menu[i].keyEquivalent, expected[i].second);
    }
    // The icon waits for the main queue; the menu reads the side as it opens.
    fake::setDark(true);
    EXPECT_EQ(menuTitle(0), "Switch to Light Mode");
}

TEST(Menu, TheToggleItemTogglesAndTheIconFollowsTheAnnouncedChange) {
    const auto dusk = launchDusk();
    fake::chooseMenuItem("Switch to Dark Mode");
    EXPECT_EQ(fake::toggleRequests(), 1);
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Sun);
    fake::drainMainQueue();
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Moon);
    EXPECT_EQ(menuTitle(0), "Switch to Light Mode");
}

TEST(Menu, AFailedToggleLeavesIconAndMenuAsTheyWere) {
    const auto dusk = launchDusk();
    fake::failTogglesWith(platform::AppearanceFailure{false, "The setting is locked."});
    fake::chooseMenuItem("Switch to Dark Mode");
    fake::drainMainQueue();
    EXPECT_EQ(fake::statusItem()->symbol, Symbol::Sun);
    EXPECT_EQ(menuTitle(0), "Switch to Dark Mode");
}

TEST(Menu, TheQuitItemEndsTheLoop) {
    const auto dusk = launchDusk();
    fake::chooseMenuItem("Quit Dusk");
    EXPECT_TRUE(fake::quitRequested());
}

}  // namespace
}  // namespace dusk::test
