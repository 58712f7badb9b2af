// The triggers Dusk asks the shortcuts portal for, and reading back the
// text a desktop shows for the keys it bound, on keymaps compiled by
// xkbcommon from the system's layouts (xkb-data), as a session has them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ShortcutTrigger.h"

namespace dusk::backend {
namespace {

constexpr std::uint32_t cmdKey = 0x100, shiftKey = 0x200, optionKey = 0x800, controlKey = 0x1000;
constexpr std::uint32_t keyD = 2, keyZ = 6, keyL = 37, keyF5 = 96, keySpace = 49, keyReturn = 36;

struct Keymap {
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context{
        xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES), &xkb_context_unref};
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap{nullptr, &xkb_keymap_unref};
    explicit Keymap(const char* layout) {
        const xkb_rule_names names{"evdev", "pc105", layout, "", ""};
        keymap.reset(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    }
    xkb_keymap* get() const { return keymap.get(); }
};

TEST(ShortcutTrigger, WritesTheFreedesktopSyntaxModifiersInDisplayOrderThenTheKeysym) {
    const Keymap us("us");
    ASSERT_TRUE(us.get());
    EXPECT_EQ(preferredTrigger({keyD, controlKey | optionKey | cmdKey}, us.get()), "CTRL+ALT+LOGO+d");
    EXPECT_EQ(preferredTrigger({keyL, cmdKey | shiftKey}, us.get()), "SHIFT+LOGO+l");
    EXPECT_EQ(preferredTrigger({keyF5, 0}, us.get()), "F5");
    EXPECT_EQ(preferredTrigger({keySpace, controlKey}, us.get()), "CTRL+space");
    EXPECT_EQ(preferredTrigger({keyReturn, optionKey}, us.get()), "ALT+Return");
    // The key's own symbol in the layout: the US Z key types y in German.
    const Keymap de("de");
    EXPECT_EQ(preferredTrigger({keyZ, controlKey}, de.get()), "CTRL+y");
    EXPECT_EQ(preferredTrigger({0xFFFF, controlKey}, us.get()), std::nullopt);
}

TEST(ShortcutTrigger, ReadsTheKeysAsEachDesktopSpellsThem) {
    const Keymap us("us");
    const Chord controlOptionCommandD{keyD, controlKey | optionKey | cmdKey};
    for (const char* text : {"CTRL+ALT+LOGO+d", "Ctrl+Alt+Super+D", "Meta+Ctrl+Alt+D", "<Control><Alt><Super>d",
                             "Control+Option+Command+D", "ctrl + alt + super + d"}) {
        EXPECT_EQ(readTrigger(text, us.get()), controlOptionCommandD) << text;
    }
    EXPECT_EQ(readTrigger("Shift+Ctrl+F5", us.get()), (Chord{keyF5, controlKey | shiftKey}));
    EXPECT_EQ(readTrigger("Alt+Return", us.get()), (Chord{keyReturn, optionKey}));
    EXPECT_EQ(readTrigger("Ctrl+space", us.get()), (Chord{keySpace, controlKey}));
}

TEST(ShortcutTrigger, WhatItWritesReadsBackToTheSameKeys) {
    for (const char* layout : {"us", "de", "fr"}) {
        const Keymap keymap(layout);
        ASSERT_TRUE(keymap.get()) << layout;
        for (const std::uint32_t keyCode : {keyD, keyZ, keyL, keyF5, keySpace, keyReturn}) {
            const Chord chord{keyCode, controlKey | shiftKey | cmdKey};
            const auto trigger = preferredTrigger(chord, keymap.get());
            ASSERT_TRUE(trigger) << layout << " " << keyCode;
            EXPECT_EQ(readTrigger(*trigger, keymap.get()), chord) << layout << " " << *trigger;
        }
    }
}

TEST(ShortcutTrigger, KeysItCannotNameAreNoKeys) {
    const Keymap us("us");
    for (const char* text : {"", "Ctrl+", "Hyperdrive+D", "Ctrl+NoSuchKey", "Ctrl+ü"}) {
        EXPECT_EQ(readTrigger(text, us.get()), std::nullopt) << text;
    }
    // A "+" where a key belongs is the plus key: Shift and = on a US keyboard.
    EXPECT_EQ(readTrigger("Ctrl++", us.get()), (Chord{24, controlKey}));
}

}  // namespace
}  // namespace dusk::backend
