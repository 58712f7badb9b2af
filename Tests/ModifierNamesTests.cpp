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
    EXPECT_EQ(missingModifierHint(), "Add m, o, or c");

    fake::useModifierNames(spelledOut);
    EXPECT_EQ((HotKey{2, Modifier::required}.desktopDisplayString()), "Ctrl+Alt+Super+D");
    EXPECT_EQ((HotKey{2, Modifier::required}.displayString()), "⌃⌥⌘D");
    EXPECT_EQ((HotKey{122, 0}.desktopDisplayString()), "F1");
}

TEST(ModifierNames, OnAMacTheSymbolsAreTheWords) {
    for (const ModifierFlags modifiers :
         {ModifierFlags{0}, Modifier::recordable, Modifier::shift | Modifier::command}) {
        const HotKey hotKey{2, modifiers};
        EXPECT_EQ(hotKey.desktopDisplayString(), hotKey.displayString());
    }
    EXPECT_EQ(missingModifierHint(), "Add ⌘, ⌥, or ⌃");
}

TEST(ModifierNames, ReachTheMenuTheRecorderAndTheAlertButNotTheLogOrTheStore) {
    fake::useModifierNames(spelledOut);
    const auto app = launchDusk();
    EXPECT_EQ(menuTitle(1), "Hotkey: Ctrl+Alt+Super+D…");
    EXPECT_TRUE(logged("RegisterEventHotKey ⌃⌥⌘D code=2 mods=6400 status=0"));

    fake::chooseMenuItem("Hotkey: Ctrl+Alt+Super+D…");
    const auto window = fake::openWindows().back();
    EXPECT_TRUE(fake::findLabel(*window, "Current: Ctrl+Alt+Super+D"));
    fake::changeModifiers(Modifier::shift | Modifier::control);
    EXPECT_TRUE(fake::findLabel(*window, "Ctrl+Shift+…"));
    fake::changeModifiers(0);
    fake::typeKey(40);  // K alone
    EXPECT_TRUE(fake::findLabel(*window, "Add Super, Alt, or Ctrl"));

    // Shift-Command-K is held by another application: the refusal names it
    // in the desktop's words.
    fake::holdInOtherApp(40, 0x300);
    fake::typeKey(40, Modifier::shift | Modifier::command);
    ASSERT_EQ(fake::alerts().size(), 1u);
    EXPECT_EQ(fake::alerts()[0].alert.messageText, "Couldn't register Shift+Super+K");
    EXPECT_TRUE(logged("RegisterEventHotKey ⇧⌘K code=40 mods=768 status=-9878"));
    EXPECT_EQ(platform::UserDefaults::standardUserDefaults().integerForKey("hotKeyCode"), 40);
    EXPECT_EQ(platform::UserDefaults::standardUserDefaults().integerForKey("hotKeyModifiers"), 0x120000);
    EXPECT_EQ(menuTitle(1), "Hotkey: Shift+Super+K (not registered)…");
}

}  // namespace
}  // namespace dusk::test
