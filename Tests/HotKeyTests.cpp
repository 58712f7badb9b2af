// The shortcut as a value, its stored form and the names of keys.
#include <gtest/gtest.h>

#include "DuskTest.h"
#include "HotKey.h"

namespace dusk::test {
namespace {

constexpr ModifierFlags capsLock = 0x10000;

TEST(HotKeyValue, ModifierMaskAndSymbolsFollowTheFourBits) {
    const std::vector<std::tuple<ModifierFlags, std::uint32_t, std::string>> cases{
        {0, 0, ""},
        {0x1C0000, 0x1900, "⌃⌥⌘"},
        {0x1E0000, 0x1B00, "⌃⌥⇧⌘"},
        {0x120000, 0x300, "⇧⌘"},
        {0x20000, 0x200, "⇧"},
        {0x40000, 0x1000, "⌃"},
        {0x80000, 0x800, "⌥"},
        {0x100000, 0x100, "⌘"},
        // Bits Dusk gives no meaning to are ignored here.
        {0x1C0000 | capsLock | (1ULL << 63), 0x1900, "⌃⌥⌘"},
    };
    for (const auto& [modifiers, carbon, symbols] : cases) {
        const HotKey hotKey{2, modifiers};
        EXPECT_EQ(hotKey.carbonModifiers(), carbon) << std::hex << modifiers;
        EXPECT_EQ(hotKey.modifierSymbols(), symbols) << std::hex << modifiers;
        EXPECT_EQ(hotKey.displayString(), symbols + "D");
    }
}

TEST(HotKeyValue, EqualityComparesKeyCodeAndAllModifierBits) {
    EXPECT_EQ((HotKey{2, 0x1C0000}), (HotKey{2, 0x1C0000}));
    EXPECT_NE((HotKey{2, 0x1C0000}), (HotKey{2, 0x1E0000}));
    EXPECT_NE((HotKey{2, 0x1C0000}), (HotKey{3, 0x1C0000}));
    EXPECT_NE((HotKey{2, 0x1C0000}), (HotKey{2, 0x1C0000 | capsLock}));
    EXPECT_NE(std::optional<HotKey>(), std::optional<HotKey>(HotKey{}));
}

TEST(StoredHotKey, AFreshInstallationReadsControlOptionCommandDAndWritesNothing) {
    EXPECT_EQ(Settings::hotKey(), (HotKey{2, 0x1C0000}));
    EXPECT_TRUE(fake::storedSettings().empty());
    // Only the code's presence decides: a lone modifiers entry changes nothing.
    fake::storeSetting("hotKeyModifiers", 0x20000);
    EXPECT_EQ(Settings::hotKey(), (HotKey{2, 0x1C0000}));
}

TEST(StoredHotKey, ACodeWithoutModifiersIsAKeyWithoutModifiers) {
    fake::storeSetting("hotKeyCode", 3);
    EXPECT_EQ(Settings::hotKey(), (HotKey{3, 0}));
}

TEST(StoredHotKey, ReadsWhatIsStored) {
    const std::vector<std::tuple<std::int64_t, std::int64_t, std::optional<HotKey>>> cases{
        {0, 0x100000, HotKey{0, 0x100000}},  // 0 is the A key, not "none"
        {-1, 0, std::nullopt},
        {-5, 0x100000, std::nullopt},
        {4294967295, 0x100000, HotKey{4294967295U, 0x100000}},
        // Beyond any key code: no shortcut rather than some other key.
        {4294967296, 0x100000, std::nullopt},
        // Outside bits make it unequal to ⌃⌥⌘D, not unreadable.
        {2, 0x1C0000 | capsLock, HotKey{2, 0x1D0000}},
        // A negative stored value is the two's-complement pattern of the raw bits.
        {2, -1, HotKey{2, ~ModifierFlags{0}}},
    };
    for (const auto& [code, modifiers, expected] : cases) {
        fake::storeSetting("hotKeyCode", code);
        fake::storeSetting("hotKeyModifiers", modifiers);
        EXPECT_EQ(Settings::hotKey(), expected) << "code " << code;
    }
}

TEST(StoredHotKey, WritesCodeAndModifiersAndClearsToMinusOneAndZero) {
    Settings::setHotKey(shiftCommandK);
    EXPECT_EQ(fake::storedSettings(),
              (std::map<std::string, std::int64_t>{{"hotKeyCode", 40}, {"hotKeyModifiers", 0x120000}}));
    Settings::setHotKey(std::nullopt);
    EXPECT_EQ(fake::storedSettings(),
              (std::map<std::string, std::int64_t>{{"hotKeyCode", -1}, {"hotKeyModifiers", 0}}));
    EXPECT_EQ(Settings::hotKey(), std::nullopt);
    // Raw values at or above 2^63 keep every bit through the signed store.
    const HotKey odd{2, (1ULL << 63) | Modifier::command};
    Settings::setHotKey(odd);
    EXPECT_LT(fake::storedSettings().at("hotKeyModifiers"), 0);
    EXPECT_EQ(Settings::hotKey(), odd);
}

TEST(KeyNames, TheTableWinsOverAnyLayout) {
    fake::useLayout({{49, "X"}, {36, "Y"}, {122, "Z"}});
    EXPECT_EQ(KeyNames::name(49), "Space");
    EXPECT_EQ(KeyNames::name(36), "↩");
    EXPECT_EQ(KeyNames::name(53), "⎋");
    EXPECT_EQ(KeyNames::name(122), "F1");
    EXPECT_EQ(KeyNames::name(90), "F20");
    fake::useLayout(fake::Layout::None);
    EXPECT_EQ(KeyNames::name(117), "⌦");
}

TEST(KeyNames, FunctionKeysAreTheTwentyFKeysOfTheTableOnly) {
    int found = 0;
    for (std::uint32_t code = 0; code < 512; ++code) found += KeyNames::isFunctionKey(code) ? 1 : 0;
    EXPECT_EQ(found, 20);
    for (const std::uint32_t code : {122, 96, 111, 64, 90}) EXPECT_TRUE(KeyNames::isFunctionKey(code)) << code;
    EXPECT_FALSE(KeyNames::isFunctionKey(49));
    // The layout names the F letter key "F"; it is no function key.
    EXPECT_EQ(KeyNames::name(3), "F");
    EXPECT_FALSE(KeyNames::isFunctionKey(3));
}

TEST(KeyNames, OtherKeysAreNamedByTheCurrentLayout) {
    EXPECT_EQ(KeyNames::name(2), "D");
    EXPECT_EQ(KeyNames::name(18), "1");
    EXPECT_EQ(KeyNames::name(16), "Y");
    // Asked afresh each time: a layout switch shows at once.
    fake::useLayout(fake::Layout::German);
    EXPECT_EQ(KeyNames::name(16), "Z");
    EXPECT_EQ(KeyNames::name(27), "SS");
    EXPECT_EQ(KeyNames::name(41), "Ö");
}

TEST(KeyNames, EveryOtherKeyFallsBackToKeyAndItsNumber) {
    EXPECT_EQ(KeyNames::name(55), "Key 55");  // Command types nothing
    EXPECT_EQ(KeyNames::name(300), "Key 300");
    // Above 16 bits the layout is not asked: 65538 must not become key 2.
    EXPECT_EQ(KeyNames::name(65538), "Key 65538");
    EXPECT_EQ(KeyNames::name(4294967295U), "Key 4294967295");
    fake::useLayout({{2, ""}});
    EXPECT_EQ(KeyNames::name(2), "Key 2");
    fake::useLayout(fake::Layout::None);
    EXPECT_EQ(KeyNames::name(2), "Key 2");
}

}  // namespace
}  // namespace dusk::test
