#include "shortcuts/KeyCodes.h"

#include <algorithm>
#include <iterator>

namespace dusk::backend {
namespace {

struct Row {
    std::uint8_t macKeyCode = 0;
    KeyPlace place;
};

// A Mac's ISO keyboards put Section (10) left of 1 and Grave (50) beside the
// left Shift; Clear (71) sits where Num Lock does, Eisu (102) and Kana (104)
// where a PC keyboard has Muhenkan and Katakana/Hiragana. The rows after the
// first of a code are its second places: Print, Scroll Lock and Pause sit
// where an Apple keyboard has F13 to F15, and a Mac reads them as those; an
// Apple keyboard's Eisu and Kana reach Windows as Hanja and Hangul.
// clang-format off
constexpr Row rows[]{
    {0, {0x1E, 0}}, {1, {0x1F, 0}}, {2, {0x20, 0}}, {3, {0x21, 0}},                // A S D F
    {4, {0x23, 0}}, {5, {0x22, 0}}, {6, {0x2C, 0}}, {7, {0x2D, 0}},                // H G Z X
    {8, {0x2E, 0}}, {9, {0x2F, 0}}, {10, {0x29, 0}}, {11, {0x30, 0}},              // C V § B
    {12, {0x10, 0}}, {13, {0x11, 0}}, {14, {0x12, 0}}, {15, {0x13, 0}},            // Q W E R
    {16, {0x15, 0}}, {17, {0x14, 0}}, {18, {0x02, 0}}, {19, {0x03, 0}},            // Y T 1 2
    {20, {0x04, 0}}, {21, {0x05, 0}}, {22, {0x07, 0}}, {23, {0x06, 0}},            // 3 4 6 5
    {24, {0x0D, 0}}, {25, {0x0A, 0}}, {26, {0x08, 0}}, {27, {0x0C, 0}},            // = 9 7 -
    {28, {0x09, 0}}, {29, {0x0B, 0}}, {30, {0x1B, 0}}, {31, {0x18, 0}},            // 8 0 ] O
    {32, {0x16, 0}}, {33, {0x1A, 0}}, {34, {0x17, 0}}, {35, {0x19, 0}},            // U [ I P
    {36, {0x1C, VK_RETURN}}, {37, {0x26, 0}}, {38, {0x24, 0}}, {39, {0x28, 0}},    // Return L J '
    {40, {0x25, 0}}, {41, {0x27, 0}}, {42, {0x2B, 0}}, {43, {0x33, 0}},            // K ; \ ,
    {44, {0x35, 0}}, {45, {0x31, 0}}, {46, {0x32, 0}}, {47, {0x34, 0}},            // / N M .
    {48, {0x0F, VK_TAB}}, {49, {0x39, VK_SPACE}}, {50, {0x56, 0}},                 // Tab Space `
    {51, {0x0E, VK_BACK}}, {53, {0x01, VK_ESCAPE}},                                // Backspace Escape
    {54, {0xE05C, VK_RWIN}}, {55, {0xE05B, VK_LWIN}},                              // right Command, Command
    {56, {0x2A, VK_SHIFT}}, {57, {0x3A, VK_CAPITAL}}, {58, {0x38, VK_MENU}},       // Shift Caps-Lock Option
    {59, {0x1D, VK_CONTROL}}, {60, {0x36, VK_SHIFT}}, {61, {0xE038, VK_MENU}},     // Control, right Shift Option
    {62, {0xE01D, VK_CONTROL}}, {64, {0x68, VK_F17}},                              // right Control, F17
    {65, {0x53, VK_DECIMAL}}, {67, {0x37, VK_MULTIPLY}}, {69, {0x4E, VK_ADD}},     // keypad . * +
    {71, {0xE045, VK_NUMLOCK}}, {75, {0xE035, VK_DIVIDE}},                         // Clear, keypad /
    {76, {0xE01C, VK_RETURN}}, {78, {0x4A, VK_SUBTRACT}},                          // keypad Enter -
    {79, {0x69, VK_F18}}, {80, {0x6A, VK_F19}}, {81, {0x59, 0}},                   // F18 F19, keypad =
    {82, {0x52, VK_NUMPAD0}}, {83, {0x4F, VK_NUMPAD1}}, {84, {0x50, VK_NUMPAD2}},  // keypad 0 1 2
    {85, {0x51, VK_NUMPAD3}}, {86, {0x4B, VK_NUMPAD4}}, {87, {0x4C, VK_NUMPAD5}},  // keypad 3 4 5
    {88, {0x4D, VK_NUMPAD6}}, {89, {0x47, VK_NUMPAD7}}, {90, {0x6B, VK_F20}},      // keypad 6 7, F20
    {91, {0x48, VK_NUMPAD8}}, {92, {0x49, VK_NUMPAD9}},                            // keypad 8 9
    {93, {0x7D, 0}}, {94, {0x73, 0}}, {95, {0x7E, VK_SEPARATOR}},                  // Yen Ro, keypad ,
    {96, {0x3F, VK_F5}}, {97, {0x40, VK_F6}}, {98, {0x41, VK_F7}},                 // F5 F6 F7
    {99, {0x3D, VK_F3}}, {100, {0x42, VK_F8}}, {101, {0x43, VK_F9}},               // F3 F8 F9
    {102, {0x7B, VK_NONCONVERT}}, {102, {0x71, VK_HANJA}},                         // Eisu
    {103, {0x57, VK_F11}}, {104, {0x70, VK_KANA}}, {104, {0x72, VK_HANGUL}},       // F11, Kana
    {105, {0x64, VK_F13}}, {105, {0xE037, VK_SNAPSHOT}},                           // F13, Print
    {106, {0x67, VK_F16}}, {107, {0x65, VK_F14}}, {107, {0x46, VK_SCROLL}},        // F16, F14, Scroll Lock
    {109, {0x44, VK_F10}}, {111, {0x58, VK_F12}},                                  // F10 F12
    {113, {0x66, VK_F15}}, {113, {0x45, VK_PAUSE}},                                // F15, Pause
    {114, {0xE052, VK_INSERT}}, {115, {0xE047, VK_HOME}}, {116, {0xE049, VK_PRIOR}},  // Insert Home PageUp
    {117, {0xE053, VK_DELETE}}, {118, {0x3E, VK_F4}}, {119, {0xE04F, VK_END}},     // Delete F4 End
    {120, {0x3C, VK_F2}}, {121, {0xE051, VK_NEXT}}, {122, {0x3B, VK_F1}},          // F2 PageDown F1
    {123, {0xE04B, VK_LEFT}}, {124, {0xE04D, VK_RIGHT}},                           // ← →
    {125, {0xE050, VK_DOWN}}, {126, {0xE048, VK_UP}},                              // ↓ ↑
};
// clang-format on

}  // namespace

std::vector<KeyPlace> placesOf(std::uint32_t macKeyCode) {
    std::vector<KeyPlace> places;
    for (const auto& row : rows) {
        if (row.macKeyCode == macKeyCode) places.push_back(row.place);
    }
    return places;
}

std::optional<std::uint32_t> macKeyCodeAt(std::uint16_t scanCode) {
    const auto found = std::find_if(std::begin(rows), std::end(rows),
                                    [scanCode](const Row& row) { return row.place.scanCode == scanCode; });
    if (found == std::end(rows)) return std::nullopt;
    return found->macKeyCode;
}

BYTE virtualKeyAt(const KeyPlace& place, HKL layout) {
    if (place.fixedVirtualKey != 0) return place.fixedVirtualKey;
    if (layout == nullptr) layout = ::GetKeyboardLayout(0);
    return static_cast<BYTE>(::MapVirtualKeyExW(place.scanCode, MAPVK_VSC_TO_VK, layout));
}

}  // namespace dusk::backend
