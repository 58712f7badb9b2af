// A desktop that spells the modifiers out: its words reach every place a
// shortcut is shown, in Dusk's fixed order, while the stored integers and the
// log keep the symbols every desktop shares.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKey.h"

namespace dusk::test {
namespace {

const platform::ModifierNames spelledOut{"Ctrl", "Alt", "Shift", "Super", "+"};

TEST(ModifierNames, FollowTheFixedOrderWithTheDesktopsSeparator) {
    fake::useModifierNames({"c", "o", "s", "m", "-"});
    EXPECT_EQ(modifierNames(Modifier::recordable), "c-o-s-m-");
    EXPECT_EQ(modifierNames(Modifier::command | Modifier::shift), "s-m-");
    EXPECT_EQ(modifierNames(0), "");
    // Bits outside the four are no modifier of Dusk's.
    EXPECT_EQ(modifierNames(Modifier::control | 0x10000), "c-");
    EXPECT_EQ(missingModifierHint(0), "Add m, o, or c");
    EXPECT_EQ(missingModifierHint(Modifier::option | Modifier::shift), "Add m or c");

    fake::useModifierNames(spelledOut);
    EXPECT_EQ(controlOptionCommandD.desktopDisplayString(), "Ctrl+Alt+Super+D");
    EXPECT_EQ(controlOptionCommandD.displayString(), "⌃⌥⌘D");
    EXPECT_EQ((HotKey{122, 0}.desktopDisplayString()), "F1");
}

TEST(ModifierNames, OnAMacTheSymbolsAreTheWords) {
    for (const ModifierFlags modifiers :
         {ModifierFlags{0}, Modifier::recordable, Modifier::shift | Modifier::command}) {
        const HotKey hotKey{2, modifiers};
        EXPECT_EQ(hotKey.desktopDisplayString(), hotKey.displayString());
    }
    EXPECT_EQ(missingModifierHint(Modifier::shift), "Add ⌘, ⌥, or ⌃");
    EXPECT_EQ(missingModifierHint(Modifier::option), "Add ⌘ or ⌃");
}

TEST(ModifierNames, ReachTheMenuTheRecorderAndTheAlertButNotTheLogOrTheStore) {
    fake::useModifierNames(spelledOut);
    const auto dusk = launchDusk();
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: Ctrl+Alt+Super+D…");
    EXPECT_TRUE(logged("RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0"));

    openRecorder();
    EXPECT_EQ(fake::recorderWindow()->content.current, "Current: Ctrl+Alt+Super+D");
    fake::changeModifiers(Modifier::shift | Modifier::control);
    EXPECT_EQ(recorderText(), "Ctrl+Shift+…");
    fake::changeModifiers(0);
    fake::typeKey(shiftCommandK.keyCode);
    EXPECT_EQ(recorderText(), "Add Super, Alt, or Ctrl");

    fake::holdInOtherApp(shiftCommandK);
    press(shiftCommandK);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register Shift+Super+K");
    EXPECT_TRUE(logged("RegisterEventHotKey ⇧⌘K code=40 mods=768 status=-9878"));
    EXPECT_EQ(fake::storedSettings().at("hotKeyModifiers"), 0x120000);
    EXPECT_EQ(hotKeyItemTitle(), "Hotkey: Shift+Super+K (not registered)…");
}

}  // namespace
}  // namespace dusk::test
