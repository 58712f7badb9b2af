// The menu-bar spine: launch, the single-instance guard, the status icon and
// the menu.
#include <gtest/gtest.h>

#include "DuskTest.h"

namespace dusk::test {
namespace {

struct ButtonLook {
    std::string imageName;
    bool isTemplate;
    std::string accessibilityDescription;
    std::string toolTip;
};

ButtonLook statusButton() {
    const auto& button = fake::statusItem()->button()->impl();
    ButtonLook look{"", false, "", button.toolTip};
    if (button.image) {
        look.imageName = button.image->impl().name;
        look.isTemplate = button.image->impl().isTemplate;
        look.accessibilityDescription = button.image->impl().accessibilityDescription;
    }
    return look;
}

void startDark() { fake::setGlobalDomain(platform::Dictionary{{"AppleInterfaceStyle", std::string("Dark")}}); }

TEST(Launch, InDarkShowsTheMoonAndOffersLight) {
    startDark();
    const auto dusk = launchDusk();
    ASSERT_TRUE(fake::statusItem());
    EXPECT_EQ(fake::statusItem()->impl().length, -2.0);
    const auto look = statusButton();
    EXPECT_EQ(look.imageName, "moon.fill");
    EXPECT_TRUE(look.isTemplate);
    EXPECT_EQ(look.accessibilityDescription, "Switch to Light Mode");
    EXPECT_EQ(look.toolTip, "Dusk – switch to Light Mode");
    EXPECT_EQ(fake::activationPolicy(), platform::ActivationPolicy::Accessory);
}

TEST(Launch, InLightShowsTheSunAndOffersDark) {
    const auto dusk = launchDusk();
    const auto look = statusButton();
    EXPECT_EQ(look.imageName, "sun.max.fill");
    EXPECT_TRUE(look.isTemplate);
    EXPECT_EQ(look.accessibilityDescription, "Switch to Dark Mode");
    EXPECT_EQ(look.toolTip, "Dusk – switch to Dark Mode");
}

TEST(Launch, AStatusItemWithoutButtonChangesNothing) {
    fake::giveStatusItemsNoButton();
    const auto dusk = launchDusk();
    ASSERT_TRUE(fake::statusItem());
    EXPECT_FALSE(fake::statusItem()->button());
    fake::setDarkMode(true);
    fake::drainMainQueue();
    EXPECT_EQ(menuTitle(0), "Switch to Light Mode");
}

TEST(Launch, AMissingSystemImageClearsTheImageButKeepsTheToolTip) {
    const auto dusk = launchDusk();
    fake::removeSystemImage("moon.fill");
    fake::setDarkMode(true);
    fake::drainMainQueue();
    EXPECT_FALSE(fake::statusItem()->button()->impl().image);
    EXPECT_EQ(statusButton().toolTip, "Dusk – switch to Light Mode");
}

TEST(SingleInstance, ASecondCopyLogsAndQuitsBeforeShowingAnything) {
    fake::setRunningCopies({fake::processIdentifier(), 999});
    const auto dusk = launchDusk();
    EXPECT_TRUE(fake::terminated());
    EXPECT_EQ(loggedTexts(), std::vector<std::string>{"another Dusk instance is already running; quitting this one"});
    EXPECT_EQ(fake::logLines().at(0).level, platform::LogLevel::Default);
    EXPECT_FALSE(fake::statusItem());
    EXPECT_EQ(fake::installedHandlers(), 0);
    EXPECT_TRUE(fake::registrations().empty());
}

TEST(SingleInstance, TheOnlyCopyGoesOn) {
    fake::setRunningCopies({fake::processIdentifier()});
    const auto dusk = launchDusk();
    EXPECT_FALSE(fake::terminated());
    EXPECT_TRUE(fake::statusItem());
}

TEST(SingleInstance, OutsideABundleThereIsNoGuard) {
    fake::setBundleIdentifier(std::nullopt);
    fake::setRunningCopies({fake::processIdentifier(), 999});
    const auto dusk = launchDusk();
    EXPECT_FALSE(fake::terminated());
    EXPECT_TRUE(fake::statusItem());
}

TEST(AppearanceChange, TheIconFollowsOnlyOnceTheMainQueueRuns) {
    const auto dusk = launchDusk();
    fake::setDarkMode(true);
    EXPECT_EQ(statusButton().imageName, "sun.max.fill");
    EXPECT_EQ(fake::pendingMainQueueItems(), 1u);
    fake::drainMainQueue();
    EXPECT_EQ(statusButton().imageName, "moon.fill");
    EXPECT_EQ(statusButton().toolTip, "Dusk – switch to Light Mode");
}

TEST(AppearanceChange, EachNotificationOfABurstGetsItsOwnRefresh) {
    const auto dusk = launchDusk();
    fake::setDarkMode(true);
    fake::setDarkMode(false);
    fake::setDarkMode(true);
    EXPECT_EQ(fake::pendingMainQueueItems(), 3u);
    EXPECT_EQ(fake::drainMainQueue(), 3u);
    EXPECT_EQ(statusButton().imageName, "moon.fill");
}

TEST(AppearanceChange, OtherNotificationsAreIgnored) {
    const auto dusk = launchDusk();
    fake::postDistributedNotification("AppleColorPreferencesChangedNotification");
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
}

TEST(AppearanceChange, TheDeferredRefreshKeepsTheDelegateAlive) {
    auto delegate = launchDusk();
    fake::setDarkMode(true);
    delegate.reset();
    fake::drainMainQueue();
    EXPECT_EQ(statusButton().imageName, "moon.fill");
}

TEST(Menu, HoldsTheSixEntriesInOrder) {
    const auto dusk = launchDusk();
    const auto& menu = fake::statusItem()->impl().menu->impl();
    EXPECT_FALSE(menu.autoenablesItems);
    // As built, before the first opening brings the titles up to date.
    const std::vector<std::tuple<std::string, std::string, std::string, bool>> expected{
        {"Toggle Appearance", "toggleAppearance", "", true},
        {"Set Hotkey…", "showRecorder", "", true},
        {"", "", "", false},
        {"Launch at Login", "toggleLaunchAtLogin", "", true},
        {"", "", "", false},
        {"Quit Dusk", "terminate:", "q", false},
    };
    ASSERT_EQ(menu.items.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& [title, action, key, hasTarget] = expected[i];
        const auto& item = menu.items[i]->impl();
        SCOPED_TRACE(i);
        EXPECT_EQ(item.isSeparator, title.empty());
        EXPECT_EQ(item.title, title);
        EXPECT_EQ(item.action, action);
        EXPECT_EQ(item.keyEquivalent, key);
        EXPECT_EQ(item.hasTarget, hasTarget);
        EXPECT_EQ(!item.target.expired(), hasTarget);
    }
    for (const auto& entry : fake::openMenu()) EXPECT_TRUE(entry.enabled);
}

TEST(Menu, TheFirstItemNamesTheChangeEachTimeItOpens) {
    const auto dusk = launchDusk();
    EXPECT_EQ(menuTitle(0), "Switch to Dark Mode");
    fake::setDarkMode(true);
    // No refresh of the icon has run: the title comes from opening alone.
    EXPECT_EQ(menuTitle(0), "Switch to Light Mode");
}

TEST(Menu, TheToggleItemFlipsTheAppearanceAndTheIconFollowsTheNotification) {
    const auto dusk = launchDusk();
    fake::chooseMenuItem("Switch to Dark Mode");
    EXPECT_EQ(fake::scriptsRun().size(), 1u);
    EXPECT_EQ(statusButton().imageName, "sun.max.fill");
    fake::drainMainQueue();
    EXPECT_EQ(statusButton().imageName, "moon.fill");
    EXPECT_EQ(menuTitle(0), "Switch to Light Mode");
}

TEST(Menu, AFailedToggleLeavesIconAndMenuAsTheyWere) {
    const auto dusk = launchDusk();
    fake::failScriptsWith(platform::Dictionary{{"NSAppleScriptErrorNumber", std::int64_t{-600}}});
    fake::chooseMenuItem("Switch to Dark Mode");
    fake::drainMainQueue();
    EXPECT_EQ(statusButton().imageName, "sun.max.fill");
    EXPECT_EQ(menuTitle(0), "Switch to Dark Mode");
}

TEST(Menu, TheQuitItemEndsTheProcess) {
    const auto dusk = launchDusk();
    fake::chooseMenuItem("Quit Dusk");
    EXPECT_TRUE(fake::terminated());
}

TEST(Menu, CommandQQuitsWhileTheMenuIsOpen) {
    const auto dusk = launchDusk();
    fake::openMenu();
    fake::pressMenuKeyEquivalent("q");
    EXPECT_TRUE(fake::terminated());
}

}  // namespace
}  // namespace dusk::test
