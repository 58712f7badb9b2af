// The table from Dusk's key codes to X keycodes, and the names of keys, read
// against the layouts xkb-data ships: a wrong row shows as a wrong letter.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "Keymaps.h"
#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

TEST(KeyNames, EveryKeyOfAMacKeyboardTypesWhatAMacPrintsOnItInTheUsLayout) {
    const auto us = keymapOf("us");
    ASSERT_TRUE(us.keymap);
    // Key code, then the key's caption on a US Mac keyboard; 10 and 50 are
    // where a Mac's ISO keyboard has them (left of 1, beside the left Shift).
    const std::map<std::uint32_t, std::string> printed{
        {0, "A"},  {1, "S"},   {2, "D"},  {3, "F"},  {4, "H"},  {5, "G"},  {6, "Z"},  {7, "X"},  {8, "C"},  {9, "V"},
        {10, "`"}, {11, "B"},  {12, "Q"}, {13, "W"}, {14, "E"}, {15, "R"}, {16, "Y"}, {17, "T"}, {18, "1"}, {19, "2"},
        {20, "3"}, {21, "4"},  {22, "6"}, {23, "5"}, {24, "="}, {25, "9"}, {26, "7"}, {27, "-"}, {28, "8"}, {29, "0"},
        {30, "]"}, {31, "O"},  {32, "U"}, {33, "["}, {34, "I"}, {35, "P"}, {37, "L"}, {38, "J"}, {39, "'"}, {40, "K"},
        {41, ";"}, {42, "\\"}, {43, ","}, {44, "/"}, {45, "N"}, {46, "M"}, {47, "."}, {50, "<"}, {49, " "}, {65, "."},
        {67, "*"}, {69, "+"},  {75, "/"}, {78, "-"}, {81, "="}, {82, "0"}, {83, "1"}, {84, "2"}, {85, "3"}, {86, "4"},
        {87, "5"}, {88, "6"},  {89, "7"}, {91, "8"}, {92, "9"},
    };
    for (const auto& [code, caption] : printed) EXPECT_EQ(keyCaption(us, code), caption) << "key code " << code;
}

TEST(KeyNames, KeysThatTypeNothingHaveNoName) {
    const auto us = keymapOf("us");
    // Return, Tab, Delete, Escape, F1, the arrows, Control, a code no
    // keyboard has.
    for (const std::uint32_t code : {36U, 48U, 51U, 53U, 122U, 123U, 59U, 52U, 0xFFFFU}) {
        EXPECT_EQ(keyCaption(us, code), std::nullopt) << "key code " << code;
    }
}

TEST(KeyNames, OtherLayoutsNameTheSameKeysByWhatTheyTypeInUpperCaseByTheFullMapping) {
    const auto de = keymapOf("de");
    EXPECT_EQ(keyCaption(de, 6), "Y");
    EXPECT_EQ(keyCaption(de, 16), "Z");
    EXPECT_EQ(keyCaption(de, 27), "SS");
    EXPECT_EQ(keyCaption(de, 41), "Ö");
    EXPECT_EQ(keyCaption(de, 65), ",");  // the keypad's decimal key
    // Dead keys by their accent: circumflex left of 1, acute left of Backspace.
    EXPECT_EQ(keyCaption(de, 10), "^");
    EXPECT_EQ(keyCaption(de, 24), "´");
    const auto fr = keymapOf("fr");
    EXPECT_EQ(keyCaption(fr, 0), "Q");
    EXPECT_EQ(keyCaption(fr, 18), "&");
    EXPECT_EQ(keyCaption(fr, 33), "^");  // dead circumflex
    EXPECT_EQ(keyCaption(keymapOf("us", "intl"), 39), "´");
    EXPECT_EQ(keyCaption(keymapOf("ca", "multix"), 39), "È");
}

TEST(KeyNames, AKeyPressReadsBackAsTheCodeItWasGrabbedAt) {
    std::set<std::uint8_t> keycodes;
    for (std::uint32_t code = 0; code < 0x100; ++code) {
        for (const auto keycode : xKeycodesForVirtualKey(code)) {
            EXPECT_TRUE(keycodes.insert(keycode).second) << "X keycode " << +keycode << " taken twice";
            EXPECT_EQ(virtualKeyForXKeycode(keycode), code) << "X keycode " << +keycode;
        }
    }
    // Every key of a Mac keyboard that a PC keyboard has too.
    EXPECT_EQ(keycodes.size(), 120U);
    // Print, Scroll Lock and Pause are F13, F14 and F15 on a Mac.
    EXPECT_EQ(virtualKeyForXKeycode(107), 105U);
    EXPECT_EQ(virtualKeyForXKeycode(78), 107U);
    EXPECT_EQ(virtualKeyForXKeycode(127), 113U);
    // Menu has no Mac code.
    EXPECT_EQ(virtualKeyForXKeycode(135), std::nullopt);
}

}  // namespace
}  // namespace dusk::backend
