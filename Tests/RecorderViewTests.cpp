// The recorder box on its own, in a window the test makes.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKeyRecorderView.h"

namespace dusk::test {
namespace {

constexpr ModifierFlags capsLock = 0x10000;

struct RecorderInWindow {
    platform::RecorderWindow window{
        {"Test", "", std::string(HotKeyRecorderView::unfocusedText), "", "Clear", "Cancel"}};
    HotKeyRecorderView recorder{window};
    std::vector<HotKey> recorded;
    int cancels = 0;

    RecorderInWindow() {
        recorder.onRecord = [this](HotKey hotKey) { recorded.push_back(hotKey); };
        recorder.onCancel = [this] { ++cancels; };
        window.show();
    }
};

TEST(RecorderView, TextFollowsFocusAndHeldModifiers) {
    RecorderInWindow r;
    EXPECT_EQ(recorderText(), "Press a shortcut");
    fake::focusRecorder(false);
    EXPECT_EQ(recorderText(), "Click to record");
    fake::focusRecorder(true);
    EXPECT_EQ(recorderText(), "Press a shortcut");
    fake::changeModifiers(Modifier::shift);
    EXPECT_EQ(recorderText(), "⇧…");
    // Symbols in their fixed order, whatever the order of pressing; Caps Lock dropped.
    fake::changeModifiers(Modifier::command | Modifier::shift | Modifier::control | capsLock);
    EXPECT_EQ(recorderText(), "⌃⇧⌘…");
    fake::changeModifiers(capsLock);
    EXPECT_EQ(recorderText(), "Press a shortcut");
}

TEST(RecorderView, RecordsShortcutsWithControlOptionOrCommandAndFunctionKeysAlone) {
    RecorderInWindow r;
    fake::typeKey(2, 0x1C0000);
    fake::typeKey(40, 0x120000);
    fake::typeKey(40, Modifier::command | capsLock | 0x800000);
    fake::typeKey(0, Modifier::option);
    fake::typeKey(f5);
    fake::typeKey(f5, Modifier::shift);
    fake::typeKey(90, capsLock);
    EXPECT_EQ(r.recorded, (std::vector<HotKey>{{2, 0x1C0000},
                                               {40, 0x120000},
                                               {40, Modifier::command},
                                               {0, Modifier::option},
                                               {f5, 0},
                                               {f5, Modifier::shift},
                                               {90, 0}}));
    EXPECT_EQ(fake::beeps(), 0);
}

TEST(RecorderView, RefusesPlainKeysWithABeepAndAHint) {
    RecorderInWindow r;
    fake::changeModifiers(Modifier::shift);
    fake::typeKey(40, Modifier::shift);
    EXPECT_EQ(recorderText(), "Add ⌘, ⌥, or ⌃");
    fake::typeKey(40);
    fake::typeKey(48);  // Tab, which moves no focus either
    EXPECT_EQ(fake::beeps(), 3);
    EXPECT_TRUE(r.recorded.empty());
    EXPECT_TRUE(fake::recorderWindow()->focused);
    // The hint stays until the next change of modifiers or focus.
    EXPECT_EQ(recorderText(), "Add ⌘, ⌥, or ⌃");
    fake::changeModifiers(Modifier::command);
    EXPECT_EQ(recorderText(), "⌘…");
}

// As macOS 15.0 and 15.1 refuse every application ⌥ and ⌥⇧ alone.
TEST(RecorderView, RefusesWhatTheDesktopRefusesAndAsksForAModifierThatMakesAShortcutOfIt) {
    fake::refuseModifiers(Modifier::option);
    fake::refuseModifiers(Modifier::option | Modifier::shift);
    RecorderInWindow r;
    fake::typeKey(2, Modifier::option);
    EXPECT_EQ(recorderText(), "Add ⌘ or ⌃");
    fake::typeKey(2, Modifier::option | Modifier::shift | capsLock);
    fake::typeKey(f5, Modifier::option);
    EXPECT_EQ(fake::beeps(), 3);
    EXPECT_TRUE(r.recorded.empty());
    EXPECT_EQ(recorderText(), "Add ⌘ or ⌃");
    // A key alone still asks for any of the three.
    fake::typeKey(40);
    EXPECT_EQ(recorderText(), "Add ⌘, ⌥, or ⌃");

    fake::typeKey(2, Modifier::option | Modifier::command);
    fake::typeKey(2, Modifier::control | Modifier::option | Modifier::shift);
    fake::typeKey(f5);
    EXPECT_EQ(r.recorded, (std::vector<HotKey>{{2, Modifier::option | Modifier::command},
                                               {2, Modifier::control | Modifier::option | Modifier::shift},
                                               {f5, 0}}));
    EXPECT_EQ(fake::beeps(), 4);
}

TEST(RecorderView, EscapeCancelsWhateverIsHeld) {
    RecorderInWindow r;
    fake::changeModifiers(Modifier::command);
    fake::typeKey(escape, Modifier::command);
    fake::typeKey(escape);
    EXPECT_EQ(r.cancels, 2);
    EXPECT_TRUE(r.recorded.empty());
    EXPECT_EQ(fake::beeps(), 0);
}

TEST(RecorderView, AnAcceptedPressKeepsTheTextUntilTheNextChange) {
    RecorderInWindow r;
    fake::changeModifiers(Modifier::control | Modifier::command);
    fake::typeKey(40, Modifier::control | Modifier::command);
    EXPECT_EQ(recorderText(), "⌃⌘…");
    // The held modifiers are forgotten with the press.
    fake::focusRecorder(false);
    fake::focusRecorder(true);
    EXPECT_EQ(recorderText(), "Press a shortcut");
}

}  // namespace
}  // namespace dusk::test
