// Desktops that have the last word on the keys: they answer a bind later,
// bind other keys than asked for, and move or drop the binding afterwards.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKeyManager.h"

namespace dusk::test {
namespace {

TEST(DesktopBinding, KeysTheDesktopMovesTheShortcutToAreShownStoredAndPressed) {
    const auto dusk = launchDusk();
    fake::rebind(controlOptionCommandL);
    EXPECT_EQ(loggedTexts().back(), "hot key binding changed by the desktop: ⌃⌥⌘L");
    EXPECT_EQ(HotKeyManager::shared().registered(), controlOptionCommandL);
    EXPECT_EQ(Settings::hotKey(), controlOptionCommandL);
    EXPECT_EQ(fake::storedSettings().at("hotKeyCode"), 37);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘L…");
    EXPECT_FALSE(fake::pressKeys(controlOptionCommandD));
    EXPECT_TRUE(fake::pressKeys(controlOptionCommandL));
    fake::drainMainQueue();
    EXPECT_EQ(fake::toggleRequests(), 1);
    // The same binding, moved: Dusk did not bind again.
    EXPECT_EQ(fake::bindRequests(), 1);
}

TEST(DesktopBinding, KeysTheDesktopDropsLeaveTheShortcutStoredButNotRegistered) {
    const auto dusk = launchDusk();
    fake::rebind(std::nullopt);
    EXPECT_EQ(loggedTexts().back(), "hot key binding changed by the desktop: no keys");
    EXPECT_FALSE(HotKeyManager::shared().registered());
    EXPECT_TRUE(fake::storedSettings().empty());
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D (not registered)…");
}

// A desktop may bind keys the recorder would refuse; stored, they would be
// refused at the next start and the shortcut lost.
constexpr HotKey bareA{0, 0};

TEST(DesktopBinding, KeysTheRecorderWouldRefuseAreShownWhileBoundButNeverStored) {
    inNewProcess([] {
        const auto dusk = launchDusk();
        fake::rebind(bareA);
        EXPECT_EQ(loggedTexts().back(), "hot key binding changed by the desktop: A");
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: A…");
        EXPECT_TRUE(fake::storedSettings().empty());
        EXPECT_TRUE(fake::pressKeys(bareA));
        fake::drainMainQueue();
        EXPECT_EQ(fake::toggleRequests(), 1);
        openRecorder();
        EXPECT_EQ(fake::recorderWindow()->content.current, "Current: A");
    });
    // The next start: a desktop that keeps the keys it chose, then one that does not.
    inNewProcess([] {
        fake::bindOtherKeysNextTime(bareA);
        const auto dusk = launchDusk();
        EXPECT_EQ(fake::boundShortcut(), bareA);
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: A…");
    });
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_EQ(fake::boundShortcut(), controlOptionCommandD);
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D…");
        EXPECT_TRUE(fake::storedSettings().empty());
    });
}

TEST(DesktopBinding, KeysOtherThanAskedForAreTheShortcutFromThenOn) {
    fake::bindOtherKeysNextTime(controlOptionCommandL);
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_EQ(loggedTexts(), (std::vector<std::string>{"RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0",
                                                           "hot key binding changed by the desktop: ⌃⌥⌘L"}));
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘L…");
        EXPECT_TRUE(fake::alerts().empty());
    });
    inNewProcess([] {
        const auto dusk = launchDusk();
        EXPECT_EQ(fake::boundShortcut(), controlOptionCommandL);
    });
}

TEST(LaterBind, TheMenuShowsTheShortcutAsNotRegisteredUntilTheDesktopAnswers) {
    fake::answerBindsLater(true);
    const auto dusk = launchDusk();
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D (not registered)…");
    EXPECT_FALSE(fake::pressKeys(controlOptionCommandD));
    EXPECT_TRUE(fake::logLines().empty());
    ASSERT_TRUE(fake::answerBind());
    EXPECT_EQ(loggedTexts(), std::vector<std::string>{"RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0"});
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D…");
}

TEST(LaterBind, ABindReplacedBeforeItsAnswerDoesNotCount) {
    fake::answerBindsLater(true);
    auto& manager = HotKeyManager::shared();
    int answers = 0;
    const auto count = [&answers](bool, const std::string&) { ++answers; };
    manager.registerHotKey(controlOptionCommandD, count);
    manager.registerHotKey(shiftCommandK, count);
    ASSERT_TRUE(fake::answerBind());
    EXPECT_FALSE(fake::answerBind());
    EXPECT_EQ(answers, 1);
    EXPECT_EQ(manager.registered(), shiftCommandK);
    EXPECT_EQ(countLogged("RegisterEventHotKey"), 1u);

    manager.registerHotKey(controlOptionCommandD, count);
    manager.unregister();
    EXPECT_FALSE(fake::answerBind());
    EXPECT_EQ(answers, 1);
    EXPECT_FALSE(manager.registered());
}

TEST(LaterBind, OpeningTheRecorderForgetsAPendingBindAndClosingItAsksAgain) {
    fake::answerBindsLater(true);
    const auto dusk = launchDusk();
    openRecorder();
    EXPECT_FALSE(fake::answerBind());
    fake::clickButton("Cancel");
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D (not registered)…");
    ASSERT_TRUE(fake::answerBind());
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D…");
}

TEST(LaterBind, ARecordedShortcutIsShownOnceTheDesktopTakesIt) {
    const auto dusk = launchDusk();
    fake::answerBindsLater(true);
    openRecorder();
    press(shiftCommandK);
    EXPECT_FALSE(fake::recorderWindow());
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⇧⌘K (not registered)…");
    ASSERT_TRUE(fake::answerBind());
    EXPECT_FALSE(fake::answerBind());
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⇧⌘K…");
    EXPECT_TRUE(fake::alerts().empty());
}

// The window has closed by the time the desktop says no; the user still
// hears why the shortcut they pressed does nothing.
TEST(LaterBind, ARecordedShortcutRefusedLaterStillAlerts) {
    const auto dusk = launchDusk();
    fake::answerBindsLater(true);
    fake::holdInOtherApp(shiftCommandK);
    fake::holdInOtherApp(controlOptionCommandL, "Taken by the window manager.");
    for (const auto& recorded : {shiftCommandK, controlOptionCommandL}) {
        openRecorder();
        press(recorded);
        ASSERT_TRUE(fake::answerBind());
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: " + recorded.displayString() + " (not registered)…");
    }
    ASSERT_EQ(fake::alerts().size(), 2u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register ⇧⌘K");
    EXPECT_EQ(fake::alerts()[0].alert.informativeText,
              "Another app may already be using that shortcut. Try a different combination.");
    EXPECT_EQ(fake::alerts()[1].alert.messageText, "Couldn't register ⌃⌥⌘L");
    EXPECT_EQ(fake::alerts()[1].alert.informativeText, "Taken by the window manager.");
}

}  // namespace
}  // namespace dusk::test
