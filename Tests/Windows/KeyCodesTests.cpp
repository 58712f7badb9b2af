// The key code table both ways, and what Wine's US layout types on each key
// through it: the names the menu and the recorder show.
#include <gtest/gtest.h>

#include <map>

#include "platform/Keyboard.h"
#include "shortcuts/KeyCodes.h"

using dusk::backend::macKeyCodeAt;
using dusk::backend::placesOf;

TEST(KeyCodes, EachKeysOwnPlaceReadsBackAsItsCodeAndNoPlaceIsTwoKeys) {
    int keys = 0;
    for (std::uint32_t code = 0; code < 128; ++code) {
        const auto places = placesOf(code);
        for (const auto& place : places) {
            EXPECT_EQ(macKeyCodeAt(place.scanCode), code) << "scan code " << std::hex << place.scanCode;
        }
        if (!places.empty()) ++keys;
    }
    // Every code below 128 but 52, Fn (63), 66, 68, 70, the volume keys
    // (72-74), 77, 108, 110, 112 and 127, which no PC key stands for.
    EXPECT_EQ(keys, 115);
    EXPECT_FALSE(macKeyCodeAt(0xE05D)) << "the Applications key has no Mac code";
    EXPECT_TRUE(placesOf(52).empty());
}

TEST(KeyCodes, PrintScrollLockAndPauseAreTheF13ToF15TheyStandForOnAMac) {
    EXPECT_EQ(macKeyCodeAt(0xE037), 105u);
    EXPECT_EQ(macKeyCodeAt(0x46), 107u);
    EXPECT_EQ(macKeyCodeAt(0x45), 113u);
    ASSERT_EQ(placesOf(105).size(), 2u);
    EXPECT_EQ(placesOf(105)[0].fixedVirtualKey, VK_F13);
    EXPECT_EQ(placesOf(105)[1].fixedVirtualKey, VK_SNAPSHOT);
    // Num Lock is the extended 45, Pause the plain one.
    EXPECT_EQ(macKeyCodeAt(0xE045), 71u);
}

TEST(KeyNames, TheUSLayoutNamesEveryTypingKeyByWhatItTypesInUpperCase) {
    const std::map<std::uint16_t, std::string> us{
        {0, "A"},  {1, "S"},  {2, "D"},  {3, "F"},  {4, "H"},  {5, "G"},   {6, "Z"},  {7, "X"},  {8, "C"},
        {9, "V"},  {10, "`"}, {11, "B"}, {12, "Q"}, {13, "W"}, {14, "E"},  {15, "R"}, {16, "Y"}, {17, "T"},
        {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {22, "6"}, {23, "5"},  {24, "="}, {25, "9"}, {26, "7"},
        {27, "-"}, {28, "8"}, {29, "0"}, {30, "]"}, {31, "O"}, {32, "U"},  {33, "["}, {34, "I"}, {35, "P"},
        {37, "L"}, {38, "J"}, {39, "'"}, {40, "K"}, {41, ";"}, {42, "\\"}, {43, ","}, {44, "/"}, {45, "N"},
        {46, "M"}, {47, "."}, {49, " "}, {67, "*"}, {69, "+"}, {75, "/"},  {78, "-"},
    };
    for (const auto& [code, typed] : us) EXPECT_EQ(platform::keyCaption(code), typed) << "key code " << code;
}

TEST(KeyNames, KeysThatTypeNoCharacterHaveNoCaption) {
    for (const int code : {36, 48, 51, 53, 55, 56, 59, 122, 123}) {
        EXPECT_EQ(platform::keyCaption(static_cast<std::uint16_t>(code)), std::nullopt) << "key code " << code;
    }
    EXPECT_EQ(platform::keyCaption(52), std::nullopt) << "no PC key";
    EXPECT_EQ(platform::keyCaption(500), std::nullopt);
}

TEST(KeyNames, ModifiersAreSpelledOutAsWindowsDoes) {
    const auto names = platform::modifierNames();
    EXPECT_EQ(names.control + names.separator + names.option + names.separator + names.command, "Ctrl+Alt+Win");
    EXPECT_EQ(names.shift, "Shift");
}
