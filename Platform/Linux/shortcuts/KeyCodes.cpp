#include "shortcuts/KeyCodes.h"

#include <array>

namespace dusk::backend {
namespace {

constexpr std::uint8_t x(int evdev) { return static_cast<std::uint8_t>(evdev + 8); }

// Virtual key code, then the evdev code of the key in the same place on an
// ANSI or ISO keyboard. A key a Mac has no code for (Menu, Henkan,
// Zenkaku/Hankaku) is not listed: Dusk could neither name nor store it.
// One row per group of keys.
// clang-format off
constexpr auto table = std::to_array<std::pair<std::uint16_t, std::uint8_t>>({
    // Letters.
    {0, x(30)}, {1, x(31)}, {2, x(32)}, {3, x(33)}, {4, x(35)}, {5, x(34)}, {6, x(44)}, {7, x(45)}, {8, x(46)},
    {9, x(47)}, {11, x(48)}, {12, x(16)}, {13, x(17)}, {14, x(18)}, {15, x(19)}, {16, x(21)}, {17, x(20)},
    {31, x(24)}, {32, x(22)}, {34, x(23)}, {35, x(25)}, {37, x(38)}, {38, x(36)}, {40, x(37)}, {45, x(49)},
    {46, x(50)},
    // Digits.
    {18, x(2)}, {19, x(3)}, {20, x(4)}, {21, x(5)}, {23, x(6)}, {22, x(7)}, {26, x(8)}, {28, x(9)}, {25, x(10)},
    {29, x(11)},
    // Punctuation.
    {27, x(12)}, {24, x(13)}, {33, x(26)}, {30, x(27)}, {41, x(39)}, {39, x(40)},
    // The two ISO keys as a Mac numbers them on its ISO keyboards: Section
    // left of 1, Grave beside the left Shift.
    {10, x(41)}, {42, x(43)}, {43, x(51)}, {47, x(52)}, {44, x(53)}, {50, x(86)},
    // Editing and whitespace.
    {36, x(28)}, {48, x(15)}, {49, x(57)}, {51, x(14)}, {117, x(111)}, {53, x(1)}, {114, x(110)},
    // Navigation.
    {123, x(105)}, {124, x(106)}, {125, x(108)}, {126, x(103)}, {115, x(102)}, {119, x(107)}, {116, x(104)},
    {121, x(109)},
    // Function keys F1 to F20.
    {122, x(59)}, {120, x(60)}, {99, x(61)}, {118, x(62)}, {96, x(63)}, {97, x(64)}, {98, x(65)}, {100, x(66)},
    {101, x(67)}, {109, x(68)}, {103, x(87)}, {111, x(88)}, {105, x(183)}, {107, x(184)}, {113, x(185)},
    {106, x(186)}, {64, x(187)}, {79, x(188)}, {80, x(189)}, {90, x(190)},
    // Print, Scroll Lock and Pause sit where an Apple keyboard has F13 to
    // F15, and a Mac reads them as those.
    {105, x(99)}, {107, x(70)}, {113, x(119)},
    // Keypad; Clear sits where Num Lock does.
    {82, x(82)}, {83, x(79)}, {84, x(80)}, {85, x(81)}, {86, x(75)}, {87, x(76)}, {88, x(77)}, {89, x(71)},
    {91, x(72)}, {92, x(73)}, {65, x(83)}, {67, x(55)}, {69, x(78)}, {75, x(98)}, {78, x(74)}, {76, x(96)},
    {81, x(117)}, {71, x(69)},
    // Modifiers, so that a recorder can tell their presses from keys'.
    {55, x(125)}, {54, x(126)}, {56, x(42)}, {60, x(54)}, {58, x(56)}, {61, x(100)}, {59, x(29)}, {62, x(97)},
    {57, x(58)},
    // JIS keys: Yen, Ro, keypad comma, and Eisu and Kana where a PC keyboard
    // has Muhenkan and Katakana/Hiragana; an Apple keyboard's Eisu and Kana
    // reach Linux as the Hanja and Hangeul keys.
    {93, x(124)}, {94, x(89)}, {95, x(95)}, {102, x(94)}, {104, x(93)}, {102, x(123)}, {104, x(122)},
});
// clang-format on

}  // namespace

std::vector<std::uint8_t> xKeycodesForVirtualKey(std::uint32_t virtualKey) {
    std::vector<std::uint8_t> codes;
    for (const auto& [key, code] : table) {
        if (key == virtualKey) codes.push_back(code);
    }
    return codes;
}

std::optional<std::uint8_t> xKeycodeForVirtualKey(std::uint32_t virtualKey) {
    for (const auto& [key, code] : table) {
        if (key == virtualKey) return code;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> virtualKeyForXKeycode(std::uint32_t xKeycode) {
    for (const auto& [key, code] : table) {
        if (code == xKeycode) return key;
    }
    return std::nullopt;
}

std::span<const std::pair<std::uint16_t, std::uint8_t>> keyTable() { return table; }

}  // namespace dusk::backend
