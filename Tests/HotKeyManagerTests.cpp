// The global hot key: registration, presses, refusals and start-up.
#include <gtest/gtest.h>

#include "AppearanceToggler.h"
#include "DuskTest.h"
#include "HotKeyManager.h"

namespace dusk::test {
namespace {

constexpr std::uint32_t controlOptionCommand = 0x1900;
constexpr platform::OSType dusk = 0x4455534B;

TEST(HotKeyStartUp, AFreshInstallationRegistersControlOptionCommandD) {
    const auto app = launchDusk();
    const auto registrations = fake::registrations();
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].keyCode, 2u);
    EXPECT_EQ(registrations[0].carbonModifiers, controlOptionCommand);
    EXPECT_EQ(registrations[0].hotKeyID.signature, dusk);
    EXPECT_EQ(registrations[0].hotKeyID.id, 1u);
    EXPECT_EQ(fake::installedHandlers(), 1);
    // The handler is installed before the first registration.
    const auto texts = loggedTexts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "InstallEventHandler status=0");
    EXPECT_EQ(texts[1], "RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0");
    EXPECT_EQ(HotKeyManager::shared().registered(), (HotKey{2, 0x1C0000}));
}

TEST(HotKeyStartUp, ARefusedShortcutIsLoggedNeverShown) {
    fake::holdInOtherApp(2, controlOptionCommand);
    const auto app = launchDusk();
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_FALSE(HotKeyManager::shared().registered());
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=-9878");
    EXPECT_EQ(menuTitle(1), "Hotkey: ⌃⌥⌘D (not registered)…");
}

TEST(HotKeyStartUp, AClearedShortcutRegistersNothing) {
    Settings::setHotKey(std::nullopt);
    const auto app = launchDusk();
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_EQ(fake::unregisterCalls(), 0);
    EXPECT_EQ(menuTitle(1), "Set Hotkey…");
}

// A hand-edited store can hold what the recorder would refuse. Grabbed, a
// bare key would be taken from every application the user types in.
TEST(HotKeyStartUp, AStoredShortcutTheRecorderWouldRefuseIsShownButNeverGrabbed) {
    struct Case {
        std::optional<std::int64_t> modifiers;  // none: the key is missing
        std::string title;
        std::string line;
    };
    const std::string why = ": without Control, Option or Command only a function key can be a shortcut";
    // The missing key comes first: a later process inherits what was stored.
    for (const auto& stored : std::vector<Case>{
             {std::nullopt, "Hotkey: D (not registered)…", "not registering D code=2 mods=0" + why},
             {0, "Hotkey: D (not registered)…", "not registering D code=2 mods=0" + why},
             {0x20000, "Hotkey: ⇧D (not registered)…", "not registering ⇧D code=2 mods=512" + why},
             {0x10000 | 0x20000, "Hotkey: ⇧D (not registered)…", "not registering ⇧D code=2 mods=512" + why},
         }) {
        inNewProcess([&stored] {
            const auto& [modifiers, title, line] = stored;
            auto& defaults = platform::UserDefaults::standardUserDefaults();
            defaults.setInteger(2, "hotKeyCode");
            if (modifiers) defaults.setInteger(*modifiers, "hotKeyModifiers");
            const auto app = launchDusk();
            EXPECT_TRUE(fake::registrations().empty()) << title;
            EXPECT_EQ(loggedTexts().back(), line);
            for (const auto& text : loggedTexts()) EXPECT_FALSE(text.starts_with("RegisterEventHotKey")) << text;
            EXPECT_EQ(menuTitle(1), title);
            EXPECT_EQ(fake::pressHotKey(2, 0), std::nullopt);
            EXPECT_EQ(fake::pressHotKey(2, 0x200), std::nullopt);
            EXPECT_TRUE(fake::alerts().empty());
            // What the user wrote stays as written, for them to mend.
            EXPECT_EQ(defaults.integerForKey("hotKeyCode"), 2);
            EXPECT_EQ(defaults.objectForKey("hotKeyModifiers").has_value(), modifiers.has_value());
            EXPECT_EQ(defaults.integerForKey("hotKeyModifiers"), modifiers.value_or(0));
        });
    }
}

TEST(HotKeyPress, TogglesOnceOnlyAfterTheCallbackHasReturned) {
    const auto app = launchDusk();
    EXPECT_EQ(fake::pressHotKey(2, controlOptionCommand), platform::noErr);
    EXPECT_EQ(loggedTexts().back(), "hotkey event received sig=1146442571 id=1");
    EXPECT_TRUE(fake::scriptsRun().empty());
    fake::drainMainQueue();
    EXPECT_EQ(fake::scriptsRun().size(), 1u);
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
}

TEST(HotKeyPress, TenQuickPressesToggleTenTimesInOrder) {
    const auto app = launchDusk();
    for (int i = 0; i < 10; ++i) fake::pressHotKey(2, controlOptionCommand);
    fake::drainMainQueue();
    EXPECT_EQ(fake::scriptsRun().size(), 10u);
    std::vector<std::string> outcomes;
    for (const auto& text : loggedTexts()) {
        if (text.starts_with("toggle succeeded")) outcomes.push_back(text);
    }
    ASSERT_EQ(outcomes.size(), 10u);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_EQ(outcomes[i], i % 2 == 0 ? "toggle succeeded, now dark=true" : "toggle succeeded, now dark=false");
    }
}

TEST(HotKeyPress, EventsForOtherHotKeysAreLoggedAndIgnored) {
    const auto app = launchDusk();
    EXPECT_EQ(fake::deliverHotKeyEvent({dusk, 2}), platform::noErr);
    EXPECT_EQ(loggedTexts().back(), "hotkey event received sig=1146442571 id=2");
    EXPECT_EQ(fake::deliverHotKeyEvent({0x41424344, 1}), platform::noErr);
    EXPECT_EQ(loggedTexts().back(), "hotkey event received sig=1094861636 id=1");
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
}

TEST(HotKeyPress, AnUnreadableEventReturnsItsStatusAndLogsNothing) {
    const auto app = launchDusk();
    const auto before = fake::logLines().size();
    EXPECT_EQ(fake::deliverUnreadableHotKeyEvent(), platform::eventParameterNotFoundErr);
    EXPECT_EQ(fake::logLines().size(), before);
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
}

TEST(HotKeyPress, TheTriggerIsReadWhenTheWorkRuns) {
    auto& manager = HotKeyManager::shared();
    manager.registerHotKey({2, 0x1C0000});
    int first = 0;
    int second = 0;
    manager.onTrigger = [&first] { ++first; };
    fake::pressHotKey(2, controlOptionCommand);
    manager.onTrigger = [&second] { ++second; };
    fake::drainMainQueue();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    manager.onTrigger = nullptr;
    fake::pressHotKey(2, controlOptionCommand);
    EXPECT_EQ(fake::drainMainQueue(), 1u);
}

TEST(Register, AgainWithTheSameShortcutLeavesOneRegistration) {
    auto& manager = HotKeyManager::shared();
    EXPECT_TRUE(manager.registerHotKey({2, 0x1C0000}));
    EXPECT_TRUE(manager.registerHotKey({2, 0x1C0000}));
    EXPECT_EQ(fake::registrations().size(), 1u);
    EXPECT_EQ(fake::unregisterCalls(), 1);
    EXPECT_EQ(manager.registered(), (HotKey{2, 0x1C0000}));
}

TEST(Register, ARefusalDropsTheEarlierShortcutToo) {
    auto& manager = HotKeyManager::shared();
    ASSERT_TRUE(manager.registerHotKey({2, 0x1C0000}));
    fake::holdInOtherApp(40, 0x100);
    EXPECT_FALSE(manager.registerHotKey({40, 0x100000}));
    EXPECT_FALSE(manager.registered());
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_EQ(fake::pressHotKey(2, controlOptionCommand), std::nullopt);
    // And nothing dangles: a later unregister makes no platform call.
    manager.unregister();
    EXPECT_EQ(fake::unregisterCalls(), 1);
}

TEST(Register, KeepsTheFullModifierSetNotTheCarbonMask) {
    auto& manager = HotKeyManager::shared();
    const HotKey withStrayBit{2, 0x1C0000 | 0x10000};
    ASSERT_TRUE(manager.registerHotKey(withStrayBit));
    EXPECT_EQ(manager.registered(), withStrayBit);
    EXPECT_EQ(fake::registrations().at(0).carbonModifiers, controlOptionCommand);
}

// The same rule as the recorder's: one of Control, Option or Command, or
// else a function key, with or without Shift.
TEST(Register, TakesOnlyWhatTheRecorderWouldTake) {
    auto& manager = HotKeyManager::shared();
    struct Case {
        HotKey hotKey;
        bool taken;
    };
    for (const auto& [hotKey, taken] : std::vector<Case>{
             {{2, 0x80000}, true},     // ⌥D
             {{2, 0x40000}, true},     // ⌃D
             {{2, 0x100000}, true},    // ⌘D
             {{96, 0}, true},          // F5
             {{90, 0x20000}, true},    // ⇧F20
             {{2, 0}, false},          // D
             {{2, 0x20000}, false},    // ⇧D
             {{49, 0x20000}, false},   // ⇧Space
             {{53, 0}, false},         // Escape
             {{3, 0x10000}, false},    // F, the letter, with Caps Lock's bit
             {{2, 0x1000000}, false},  // D with a bit outside the four
         }) {
        ASSERT_TRUE(manager.registerHotKey({2, 0x1C0000}));
        const auto before = fake::registrations().size();
        EXPECT_EQ(manager.registerHotKey(hotKey), taken) << hotKey.displayString();
        EXPECT_EQ(manager.registered().has_value(), taken) << hotKey.displayString();
        // Refused or not, the earlier shortcut is gone.
        EXPECT_EQ(fake::pressHotKey(2, controlOptionCommand), std::nullopt) << hotKey.displayString();
        EXPECT_EQ(fake::registrations().size(), before - 1 + (taken ? 1 : 0)) << hotKey.displayString();
        EXPECT_EQ(loggedTexts().back().starts_with("RegisterEventHotKey"), taken) << loggedTexts().back();
        manager.unregister();
    }
}

TEST(Unregister, WithNothingRegisteredMakesNoPlatformCall) {
    auto& manager = HotKeyManager::shared();
    manager.unregister();
    EXPECT_FALSE(manager.registered());
    EXPECT_EQ(fake::unregisterCalls(), 0);
}

TEST(ApplyHotKey, NoneUnregistersAndNeverAlerts) {
    const auto app = launchDusk();
    app->applyHotKey(std::nullopt, true);
    EXPECT_TRUE(fake::registrations().empty());
    EXPECT_TRUE(fake::alerts().empty());
}

TEST(ApplyHotKey, ARefusalAlertsOnlyWhenAsked) {
    const auto app = launchDusk();
    fake::holdInOtherApp(40, 0x300);
    app->applyHotKey(HotKey{40, 0x120000}, false);
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⇧⌘K code=40 mods=768 status=-9878");

    fake::otherAppComesForward();
    app->applyHotKey(HotKey{40, 0x120000}, true);
    ASSERT_EQ(fake::alerts().size(), 1u);
    const auto& shown = fake::alerts()[0];
    EXPECT_EQ(shown.alert.style, platform::AlertStyle::Warning);
    EXPECT_EQ(shown.alert.messageText, "Couldn't register ⇧⌘K");
    EXPECT_EQ(shown.alert.informativeText,
              "Another app may already be using that shortcut. Try a different combination.");
    EXPECT_TRUE(shown.alert.buttons.empty());
    EXPECT_TRUE(shown.appActiveWhenShown);
}

TEST(Relaunch, ARecordedShortcutAndAClearedOneBothSurvive) {
    inNewProcess([] {
        const auto app = launchDusk();
        Settings::setHotKey(HotKey{40, 0x120000});
    });
    inNewProcess([] {
        const auto app = launchDusk();
        EXPECT_EQ(HotKeyManager::shared().registered(), (HotKey{40, 0x120000}));
        ASSERT_EQ(fake::registrations().size(), 1u);
        EXPECT_EQ(fake::pressHotKey(40, 0x300), platform::noErr);
        fake::drainMainQueue();
        EXPECT_EQ(fake::scriptsRun().size(), 1u);
        Settings::setHotKey(std::nullopt);
    });
    inNewProcess([] {
        const auto app = launchDusk();
        EXPECT_TRUE(fake::registrations().empty());
        EXPECT_EQ(menuTitle(1), "Set Hotkey…");
    });
    // The second process's toggle outlived it, as the real appearance would.
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
}

}  // namespace
}  // namespace dusk::test
