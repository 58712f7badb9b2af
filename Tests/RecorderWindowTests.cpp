// The recorder window and the hot key menu item, as the user meets them.
#include <gtest/gtest.h>

#include "DuskTest.h"

namespace dusk::test {
namespace {

TEST(RecorderWindow, ShowsItsTextsAndTakesTheShortcutAwayWhileOpen) {
    const auto dusk = launchDusk();
    openRecorder();
    const auto window = fake::recorderWindow().value();
    EXPECT_EQ(window.content.title, "Dusk Hotkey");
    EXPECT_EQ(window.content.prompt, "Press the shortcut you want to use to toggle Light/Dark mode.");
    EXPECT_EQ(window.content.recorderText, "Press a shortcut");
    EXPECT_EQ(window.content.current, "Current: ⌃⌥⌘D");
    EXPECT_EQ(window.content.clearButton, "Clear Hotkey");
    EXPECT_EQ(window.content.cancelButton, "Cancel");
    EXPECT_TRUE(window.focused);

    EXPECT_FALSE(fake::boundShortcut());
    EXPECT_FALSE(fake::pressKeys(controlOptionCommandD));
    EXPECT_EQ(fake::pendingMainQueueItems(), 0u);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D (not registered)…");
    // A key the recorder refuses leaves the window open.
    fake::typeKey(40);  // K alone
    EXPECT_EQ(recorderText(), "Add ⌘, ⌥, or ⌃");
    // Typed into the recorder, the shortcut is recorded like any other.
    press(controlOptionCommandD);
    EXPECT_FALSE(fake::recorderWindow());
    EXPECT_EQ(fake::storedSettings().at("hotKeyCode"), 2);
    EXPECT_EQ(fake::boundShortcut(), controlOptionCommandD);
    EXPECT_EQ(fake::toggleRequests(), 0);
}

TEST(RecorderWindow, ChoosingTheItemAgainBringsTheSameWindowForward) {
    const auto dusk = launchDusk();
    openRecorder();
    Settings::setHotKey(shiftCommandK);
    openRecorder();
    EXPECT_EQ(fake::recorderWindowsMade(), 1);
    EXPECT_EQ(fake::recorderWindow()->timesBroughtToFront, 1);
    EXPECT_EQ(fake::recorderWindow()->content.current, "Current: ⌃⌥⌘D");
}

TEST(RecorderWindow, RecordingStoresBindsAndClosesAndTheCloseBindsOnceMore) {
    const auto dusk = launchDusk();
    openRecorder();
    press(shiftCommandK);
    EXPECT_EQ(fake::storedSettings(),
              (std::map<std::string, std::int64_t>{{"hotKeyCode", 40}, {"hotKeyModifiers", 0x120000}}));
    EXPECT_FALSE(fake::recorderWindow());
    EXPECT_EQ(fake::boundShortcut(), shiftCommandK);
    EXPECT_EQ(fake::bindRequests(), 3) << "at launch, for the recording, and on closing";
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⇧⌘K…");
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_TRUE(fake::pressKeys(shiftCommandK));
}

TEST(RecorderWindow, EveryWayOfClosingWithoutARecordingRestoresTheBinding) {
    const auto dusk = launchDusk();
    const std::vector<std::pair<std::string, std::function<void()>>> ways{
        {"Cancel button", [] { fake::clickButton("Cancel"); }},
        {"Escape in the recorder", [] { fake::typeKey(escape); }},
        {"Escape as the Cancel button's key",
         [] {
             fake::focusRecorder(false);
             fake::typeKey(escape);
         }},
        {"close button", [] { fake::pressCloseButton(); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        openRecorder();
        ASSERT_FALSE(fake::boundShortcut());
        close();
        fake::drainMainQueue();
        EXPECT_FALSE(fake::recorderWindow());
        EXPECT_EQ(fake::boundShortcut(), controlOptionCommandD);
        EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌃⌥⌘D…");
    }
    EXPECT_TRUE(fake::alerts().empty());
    EXPECT_TRUE(fake::storedSettings().empty());
    EXPECT_EQ(fake::recorderWindowsMade(), 4);
}

TEST(RecorderWindow, ClearHotkeyStoresTheClearedFormAndBindsNothing) {
    const auto dusk = launchDusk();
    openRecorder();
    const int binds = fake::bindRequests();
    fake::clickButton("Clear Hotkey");
    EXPECT_EQ(fake::storedSettings(),
              (std::map<std::string, std::int64_t>{{"hotKeyCode", -1}, {"hotKeyModifiers", 0}}));
    EXPECT_FALSE(fake::recorderWindow());
    EXPECT_FALSE(fake::boundShortcut());
    EXPECT_EQ(fake::bindRequests(), binds);
    EXPECT_EQ(hotKeyItemTitle(), "Set Hotkey…");
    openRecorder();
    EXPECT_EQ(fake::recorderWindow()->content.current, "No hotkey set");
}

TEST(RecorderWindow, ARefusedRecordingAlertsWhileTheWindowIsStillOpen) {
    constexpr HotKey commandK{40, Modifier::command};
    const auto dusk = launchDusk();
    fake::holdInOtherApp(commandK);
    openRecorder();
    press(commandK);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register ⌘K");
    EXPECT_EQ(fake::alerts()[0].openWindowTitles, std::vector<std::string>{"Dusk Hotkey"});
    EXPECT_FALSE(fake::recorderWindow());
    EXPECT_EQ(Settings::hotKey(), commandK);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⌘K (not registered)…");
    // The closing's second try was logged, not shown.
    EXPECT_EQ(countLogged("RegisterEventHotKey ⌘K code=40 mods=256 status=-9878"), 2u);
}

TEST(RecorderWindow, ASaveThatFailsIsExplainedAndTheShortcutWorksUntilDuskQuits) {
    const auto dusk = launchDusk();
    fake::failSavesWith("Permission denied");
    openRecorder();
    press(shiftCommandK);
    fake::drainMainQueue();
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't save the shortcut");
    EXPECT_EQ(fake::alerts()[0].alert.informativeText,
              "Dusk couldn't write settings.conf: Permission denied. The shortcut lasts only until Dusk quits.");
    EXPECT_EQ(fake::boundShortcut(), shiftCommandK);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: ⇧⌘K…");
    EXPECT_TRUE(fake::storedSettings().empty());
}

TEST(RecorderWindow, TheOpenWindowDoesNotKeepTheDelegateAlive) {
    auto dusk = launchDusk();
    const std::weak_ptr<AppDelegate> weak = dusk;
    openRecorder();
    dusk.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(fake::recorderWindow());
}

}  // namespace
}  // namespace dusk::test
