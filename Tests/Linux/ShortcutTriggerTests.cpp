// The triggers Dusk asks the shortcuts portal for, and reading back the text
// a desktop shows for the keys it bound, on keymaps compiled by xkbcommon
// from the system's layouts (xkb-data), as a session has them.
#include <gtest/gtest.h>

#include "Keymaps.h"
#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

namespace Modifier = platform::Modifier;
using platform::Shortcut;

constexpr std::uint32_t keyD = 2, keyZ = 6, keyL = 37, keyF5 = 96, keySpace = 49, keyReturn = 36;

TEST(ShortcutTrigger, WritesTheFreedesktopSyntaxModifiersInDisplayOrderThenTheKeysym) {
    const auto us = keymapOf("us");
    ASSERT_TRUE(us.keymap);
    EXPECT_EQ(preferredTrigger({keyD, Modifier::control | Modifier::option | Modifier::command}, us),
              "CTRL+ALT+LOGO+d");
    EXPECT_EQ(preferredTrigger({keyL, Modifier::command | Modifier::shift}, us), "SHIFT+LOGO+l");
    EXPECT_EQ(preferredTrigger({keyF5, 0}, us), "F5");
    EXPECT_EQ(preferredTrigger({keySpace, Modifier::control}, us), "CTRL+space");
    EXPECT_EQ(preferredTrigger({keyReturn, Modifier::option}, us), "ALT+Return");
    // The key's own symbol in the layout: the US Z key types y in German.
    EXPECT_EQ(preferredTrigger({keyZ, Modifier::control}, keymapOf("de")), "CTRL+y");
    EXPECT_EQ(preferredTrigger({0xFFFF, Modifier::control}, us), std::nullopt);
}

TEST(ShortcutTrigger, ReadsTheKeysAsEachDesktopSpellsThem) {
    const auto us = keymapOf("us");
    const Shortcut controlOptionCommandD{keyD, Modifier::control | Modifier::option | Modifier::command};
    for (const char* text : {"CTRL+ALT+LOGO+d", "Ctrl+Alt+Super+D", "Meta+Ctrl+Alt+D", "<Control><Alt><Super>d",
                             "Control+Option+Command+D", "ctrl + alt + super + d"}) {
        EXPECT_EQ(readTrigger(text, us), controlOptionCommandD) << text;
    }
    EXPECT_EQ(readTrigger("Shift+Ctrl+F5", us), (Shortcut{keyF5, Modifier::control | Modifier::shift}));
    EXPECT_EQ(readTrigger("Alt+Return", us), (Shortcut{keyReturn, Modifier::option}));
    EXPECT_EQ(readTrigger("Ctrl+space", us), (Shortcut{keySpace, Modifier::control}));
}

TEST(ShortcutTrigger, WhatItWritesReadsBackToTheSameKeys) {
    for (const char* layout : {"us", "de", "fr"}) {
        const auto keymap = keymapOf(layout);
        ASSERT_TRUE(keymap.keymap) << layout;
        for (const std::uint32_t keyCode : {keyD, keyZ, keyL, keyF5, keySpace, keyReturn}) {
            const Shortcut shortcut{keyCode, Modifier::control | Modifier::shift | Modifier::command};
            const auto trigger = preferredTrigger(shortcut, keymap);
            ASSERT_TRUE(trigger) << layout << " " << keyCode;
            EXPECT_EQ(readTrigger(*trigger, keymap), shortcut) << layout << " " << *trigger;
        }
    }
}

TEST(ShortcutTrigger, KeysItCannotNameAreNoKeys) {
    const auto us = keymapOf("us");
    for (const char* text : {"", "Ctrl+", "Hyperdrive+D", "Ctrl+NoSuchKey", "Ctrl+ü", "Ctrl+Ω"}) {
        EXPECT_EQ(readTrigger(text, us), std::nullopt) << text;
    }
    // A "+" where a key belongs is the plus key: Shift and = on a US keyboard.
    EXPECT_EQ(readTrigger("Ctrl++", us), (Shortcut{24, Modifier::control}));
}

}  // namespace
}  // namespace dusk::backend
