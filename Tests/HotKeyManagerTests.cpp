// The global shortcut: binding it with the desktop, presses, refusals and
// start-up.
#include <gtest/gtest.h>

#include "AppearanceToggler.h"
#include "DuskTest.h"
#include "HotKeyManager.h"

namespace dusk::test {
namespace {

TEST(HotKeyStartUp, AFreshInstallationBindsControlOptionCommandD) {
    const auto dusk = launchDusk();
    EXPECT_EQ(loggedTexts(), std::vector<std::string>{"RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0"});
    EXPECT_EQ(fake::boundShortcut(), controlOptionCommandD);
    EXPECT_EQ(HotKeyManager::shared().registered(), controlOptionCommandD);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D…");
}

TEST(HotKeyStartUp, ARefusedShortcutIsLoggedNeverShown) {
    fake::holdInOtherApp(controlOptionCommandD);
    const auto dusk = launchDusk();
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=-9878");
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_FALSE(fake::boundShortcut());
    EXPECT_FALSE(HotKeyManager::shared().registered());
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D (not registered)…");
    // Nothing dangles: letting go of the shortcut has nothing to unbind.
    HotKeyManager::shared().unregister();
    EXPECT_EQ(fake::unbindRequests(), 0);
}

TEST(HotKeyStartUp, AClearedShortcutBindsNothing) {
    fake::storeSetting("hotKeyCode", -1);
    const auto dusk = launchDusk();
    EXPECT_EQ(fake::bindRequests(), 0);
    EXPECT_EQ(hotKeyItemTitle(), "Set Hotkey…");
}

// A hand-edited store can hold what the recorder would refuse. Bound, a bare
// key would be taken from every application the user types in.
TEST(HotKeyStartUp, AStoredShortcutTheRecorderWouldRefuseIsShownButNeverBound) {
    struct Case {
        std::optional<std::int64_t> modifiers;  // none: the entry is missing
        std::string symbols;
        std::uint32_t carbon;
    };
    fake::storeSetting("hotKeyCode", 2);
    // The missing entry comes first: the next process inherits what is stored.
    for (const auto& stored :
         {Case{std::nullopt, "", 0}, Case{0, "", 0}, Case{0x20000, "⇧", 512}, Case{0x20000 | 0x10000, "⇧", 512}}) {
        SCOPED_TRACE(stored.carbon);
        if (stored.modifiers) fake::storeSetting("hotKeyModifiers", *stored.modifiers);
        inNewProcess([&stored] {
            const auto dusk = launchDusk();
            const auto shown = stored.symbols + "D";
            EXPECT_EQ(loggedTexts(), std::vector<std::string>{"not registering " + shown +
                                                              " code=2 mods=" + std::to_string(stored.carbon) +
                                                              ": without Control, Option or Command only a function "
                                                              "key can be a shortcut"});
            EXPECT_EQ(fake::bindRequests(), 0);
            EXPECT_EQ(hotKeyItemTitle(), "Hotkey: " + shown + " (not registered)…");
            EXPECT_TRUE(fake::alerts().empty());
        });
        // What the user wrote stays as written, for them to mend.
        EXPECT_EQ(fake::storedSettings().contains("hotKeyModifiers"), stored.modifiers.has_value());
    }
}

// Stored before the desktop began to refuse it, as ⌥D before macOS 15.0: the
// refusal, and its reason, are the desktop's to give.
TEST(HotKeyStartUp, AStoredShortcutTheDesktopRefusesIsAskedForAndShownAsNotRegistered) {
    const HotKey optionD{2, Modifier::option};
    fake::refuseModifiers(Modifier::option, "Not with ⌥ alone.");
    Settings::setHotKey(optionD);
    const auto dusk = launchDusk();
    EXPECT_EQ(fake::bindRequests(), 1);
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⌥D code=2 mods=2048 status=-9868");
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌥D (not registered)…");
    EXPECT_TRUE(fake::alerts().empty());
    dusk->applyHotKey(optionD, true);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.informativeText, "Not with ⌥ alone.");
}

TEST(HotKeyPress, TogglesOnceOnTheMainQueueAfterTheDesktopsCallbackReturned) {
    const auto dusk = launchDusk();
    EXPECT_TRUE(fake::pressKeys(controlOptionCommandD));
    EXPECT_EQ(fake::toggleRequests(), 0);
    EXPECT_EQ(fake::pendingMainQueueItems(), 1u);
    fake::drainMainQueue();
    EXPECT_EQ(fake::toggleRequests(), 1);
    EXPECT_TRUE(AppearanceToggler::isDarkMode());

    // Quick presses toggle once each, in order.
    for (int i = 0; i < 4; ++i) fake::pressKeys(controlOptionCommandD);
    fake::drainMainQueue();
    EXPECT_EQ(fake::toggleRequests(), 5);
    EXPECT_EQ(countLogged("toggle succeeded, now dark=true"), 3u);
    EXPECT_EQ(loggedTexts().back(), "toggle succeeded, now dark=true");
}

TEST(HotKeyPress, TheTriggerIsReadWhenTheWorkRuns) {
    auto& manager = HotKeyManager::shared();
    manager.registerHotKey(controlOptionCommandD);
    int first = 0;
    int second = 0;
    manager.onTrigger = [&first] { ++first; };
    fake::pressKeys(controlOptionCommandD);
    manager.onTrigger = [&second] { ++second; };
    fake::drainMainQueue();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    manager.onTrigger = nullptr;
    fake::pressKeys(controlOptionCommandD);
    EXPECT_EQ(fake::drainMainQueue(), 1u);
}

TEST(Register, AgainWithTheSameShortcutLeavesOneBinding) {
    auto& manager = HotKeyManager::shared();
    manager.registerHotKey(controlOptionCommandD);
    manager.registerHotKey(controlOptionCommandD);
    EXPECT_EQ(fake::bindRequests(), 2);
    EXPECT_EQ(fake::unbindRequests(), 1);
    EXPECT_EQ(fake::boundShortcut(), controlOptionCommandD);
    EXPECT_EQ(manager.registered(), controlOptionCommandD);
}

TEST(Register, ARefusalDropsTheEarlierShortcutToo) {
    auto& manager = HotKeyManager::shared();
    manager.registerHotKey(controlOptionCommandD);
    fake::holdInOtherApp(shiftCommandK);
    std::optional<bool> bound;
    manager.registerHotKey(shiftCommandK, [&bound](bool taken, const std::string&) { bound = taken; });
    EXPECT_EQ(bound, false);
    EXPECT_FALSE(manager.registered());
    EXPECT_FALSE(fake::boundShortcut());
    EXPECT_FALSE(fake::pressKeys(controlOptionCommandD));
    EXPECT_EQ(loggedTexts().back(), "RegisterEventHotKey ⇧⌘K code=40 mods=768 status=-9878");
}

// The same rule as the recorder's, so a hand-edited store cannot bind more.
TEST(Register, TakesOnlyWhatTheRecorderWouldTake) {
    auto& manager = HotKeyManager::shared();
    for (const auto& [hotKey, taken] : std::vector<std::pair<HotKey, bool>>{
             {{2, 0x80000}, true},     // ⌥D
             {{2, 0x40000}, true},     // ⌃D
             {{2, 0x100000}, true},    // ⌘D
             {{f5, 0}, true},          // F5
             {{90, 0x20000}, true},    // ⇧F20
             {{2, 0}, false},          // D
             {{2, 0x20000}, false},    // ⇧D
             {{49, 0x20000}, false},   // ⇧Space
             {{escape, 0}, false},     // Escape
             {{3, 0x10000}, false},    // F, the letter, with Caps Lock's bit
             {{2, 0x1000000}, false},  // D with a bit outside the four
         }) {
        SCOPED_TRACE(hotKey.displayString());
        manager.registerHotKey(controlOptionCommandD);
        const int asked = fake::bindRequests();
        std::optional<bool> bound;
        manager.registerHotKey(hotKey, [&bound](bool ok, const std::string&) { bound = ok; });
        EXPECT_EQ(bound, taken);
        EXPECT_EQ(manager.registered().has_value(), taken);
        EXPECT_EQ(fake::bindRequests() - asked, taken ? 1 : 0);
        // Refused or not, the earlier shortcut is gone.
        EXPECT_FALSE(fake::pressKeys(controlOptionCommandD));
        EXPECT_EQ(loggedTexts().back().starts_with("RegisterEventHotKey"), taken) << loggedTexts().back();
    }
}

TEST(ApplyHotKey, ARefusalAlertsOnlyWhenAskedInTheDesktopsWordsWhereItHasAny) {
    const auto dusk = launchDusk();
    fake::holdInOtherApp(shiftCommandK);
    fake::holdInOtherApp(controlOptionCommandL, "The desktop keeps ⌃⌥⌘L for its own use.");
    dusk->applyHotKey(shiftCommandK, false);
    EXPECT_TRUE(fake::alerts().empty());
    dusk->applyHotKey(shiftCommandK, true);
    dusk->applyHotKey(controlOptionCommandL, true);
    ASSERT_EQ(fake::alerts().size(), 2u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register ⇧⌘K");
    EXPECT_EQ(fake::alerts()[0].alert.informativeText,
              "Another app may already be using that shortcut. Try a different combination.");
    EXPECT_TRUE(fake::alerts()[0].alert.buttons.empty());
    EXPECT_EQ(fake::alerts()[1].alert.messageText, "Couldn't register ⌃⌥⌘L");
    EXPECT_EQ(fake::alerts()[1].alert.informativeText, "The desktop keeps ⌃⌥⌘L for its own use.");
    // None only lets go, and has nothing to complain about.
    dusk->applyHotKey(controlOptionCommandD, true);
    dusk->applyHotKey(std::nullopt, true);
    EXPECT_FALSE(fake::boundShortcut());
    EXPECT_EQ(fake::alerts().size(), 2u);
}

TEST(Relaunch, ARecordedShortcutAndAClearedOneBothSurvive) {
    inNewProcess([] {
        const auto dusk = launchDusk();
        openRecorder();
        press(shiftCommandK);
    });
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_EQ(fake::boundShortcut(), shiftCommandK);
        EXPECT_TRUE(fake::pressKeys(shiftCommandK));
        fake::drainMainQueue();
        openRecorder();
        fake::clickButton("Clear Hotkey");
    });
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_EQ(fake::bindRequests(), 0);
        EXPECT_EQ(hotKeyItemTitle(), "Set Hotkey…");
        openRecorder();
        EXPECT_EQ(fake::recorderWindow()->content.current, "No hotkey set");
    });
    // The second process's toggle outlived it, as the desktop's appearance does.
    EXPECT_TRUE(AppearanceToggler::isDarkMode());
}

}  // namespace
}  // namespace dusk::test
