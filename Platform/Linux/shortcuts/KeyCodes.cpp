#include "shortcuts/KeyCodes.h"

#include <QList>
#include <QString>
#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <utility>

#include "platform/Keyboard.h"

namespace dusk::backend {
namespace {

// Indexed by virtual key code: the evdev code of the key in the same place
// on an ANSI or ISO keyboard, 0 for none. Keys a Mac has no code for (Menu,
// Henkan) Dusk could neither name nor store. A Mac's ISO keyboards put
// Section (10) left of 1 and Grave (50) beside the left Shift; Clear (71)
// sits where Num Lock does, Eisu (102) and Kana (104) where a PC keyboard
// has Muhenkan and Katakana/Hiragana.
// clang-format off
constexpr std::array<std::uint8_t, 128> evdevCodes{
    30, 31, 32, 33, 35, 34, 44, 45,       // A S D F H G Z X
    46, 47, 41, 48, 16, 17, 18, 19,       // C V § B Q W E R
    21, 20, 2, 3, 4, 5, 7, 6,             // Y T 1 2 3 4 6 5
    13, 10, 8, 12, 9, 11, 27, 24,         // = 9 7 - 8 0 ] O
    22, 26, 23, 25, 28, 38, 36, 40,       // U [ I P Return L J '
    37, 39, 43, 51, 53, 49, 50, 52,       // K ; \ , / N M .
    15, 57, 86, 14, 0, 1, 126, 125,       // Tab Space ` Backspace, Escape, right Command, Command
    42, 58, 56, 29, 54, 100, 97, 0,       // Shift Caps-Lock Option Control, right Shift Option Control
    187, 83, 0, 55, 0, 78, 0, 69,         // F17, keypad ., keypad *, keypad +, Clear
    0, 0, 0, 98, 96, 0, 74, 188,          // keypad / Enter, keypad -, F18
    189, 117, 82, 79, 80, 81, 75, 76,     // F19, keypad = 0 1 2 3 4 5
    77, 71, 190, 72, 73, 124, 89, 95,     // keypad 6 7, F20, keypad 8 9, Yen Ro, keypad ,
    63, 64, 65, 61, 66, 67, 94, 87,       // F5 F6 F7 F3 F8 F9 Eisu F11
    93, 183, 186, 184, 0, 68, 0, 88,      // Kana F13 F16 F14, F10, F12
    0, 185, 110, 102, 104, 111, 62, 107,  // F15 Insert Home PageUp Delete F4 End
    60, 109, 59, 105, 106, 108, 103, 0,   // F2 PageDown F1 ← → ↓ ↑
};
// Second places: Print, Scroll Lock and Pause sit where an Apple keyboard
// has F13 to F15, and a Mac reads them as those; an Apple keyboard's Eisu
// and Kana reach Linux as the Hanja and Hangeul keys.
constexpr std::array<std::pair<std::uint8_t, std::uint8_t>, 5> alsoAt{
    {{105, 99}, {107, 70}, {113, 119}, {102, 123}, {104, 122}}};
// clang-format on

constexpr int evdevToX = 8;

// The keysym the key types at this level of the keymap's group.
xkb_keysym_t keysymAt(const Keymap& keymap, std::uint32_t virtualKey, xkb_level_index_t level) {
    const auto keycodes = xKeycodesForVirtualKey(virtualKey);
    const xkb_keysym_t* keysyms = nullptr;
    if (keycodes.empty() ||
        xkb_keymap_key_get_syms_by_level(keymap.keymap.get(), keycodes.front(), keymap.group, level, &keysyms) < 1) {
        return XKB_KEY_NoSymbol;
    }
    return keysyms[0];
}

// What the system's keyboard is set to: the user's own choice in the
// environment (XKB_DEFAULT_*), which xkbcommon reads itself where no names
// are given, else Debian's keyboard configuration, which systemd-localed
// keeps in step.
XkbKeymap systemKeymap(xkb_context* context) {
    const char* chosen = std::getenv("XKB_DEFAULT_LAYOUT");
    std::ifstream file;
    if (chosen == nullptr || *chosen == '\0') file.open("/etc/default/keyboard");
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(file, line);) {
        const auto equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string value = line.substr(equals + 1);
        std::erase_if(value, [](char c) { return c == '"' || c == '\''; });
        values[line.substr(0, equals)] = value;
    }
    // Without a layout, the rest means nothing.
    const auto name = [&values](const char* key) {
        return values["XKBLAYOUT"].empty() || values[key].empty() ? nullptr : values[key].c_str();
    };
    const xkb_rule_names rules{nullptr, name("XKBMODEL"), name("XKBLAYOUT"), name("XKBVARIANT"), name("XKBOPTIONS")};
    return XkbKeymap(xkb_keymap_new_from_names(context, &rules, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

// The text a keysym types, if it types any. A dead key types nothing by
// itself; the accent it puts on the next letter is its name.
QString keysymText(xkb_keysym_t keysym) {
    // dead_grave to dead_ogonek, in keysym order.
    constexpr std::u32string_view accents = U"`\u00B4^~\u00AF\u02D8\u02D9\u00A8\u02DA\u02DD\u02C7\u00B8\u02DB";
    char32_t codePoint = xkb_keysym_to_utf32(keysym);
    if (keysym >= XKB_KEY_dead_grave && keysym <= XKB_KEY_dead_ogonek) codePoint = accents[keysym - XKB_KEY_dead_grave];
    // Control characters name no key.
    if (codePoint < 0x20 || codePoint == 0x7f) return {};
    return QString::fromUcs4(&codePoint, 1);
}

// Every desktop spells modifiers its own way: GNOME "Super", KDE "Meta",
// GTK accelerators "<Primary>".
std::optional<platform::ModifierFlags> modifierFlag(std::string name) {
    namespace Modifier = platform::Modifier;
    static const std::map<std::string, platform::ModifierFlags, std::less<>> flags{
        {"ctrl", Modifier::control}, {"control", Modifier::control}, {"primary", Modifier::control},
        {"alt", Modifier::option},   {"option", Modifier::option},   {"mod1", Modifier::option},
        {"shift", Modifier::shift},  {"logo", Modifier::command},    {"super", Modifier::command},
        {"meta", Modifier::command}, {"win", Modifier::command},     {"windows", Modifier::command},
        {"cmd", Modifier::command},  {"command", Modifier::command}, {"mod4", Modifier::command}};
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    const auto flag = flags.find(name);
    return flag == flags.end() ? std::nullopt : std::optional(flag->second);
}

// A keysym by its name, in any case, or by the one character it types.
xkb_keysym_t keysymNamed(const std::string& name) {
    for (const auto flags : {XKB_KEYSYM_NO_FLAGS, XKB_KEYSYM_CASE_INSENSITIVE}) {
        if (const auto keysym = xkb_keysym_from_name(name.c_str(), flags); keysym != XKB_KEY_NoSymbol) return keysym;
    }
    const auto codePoints = QString::fromStdString(name).toUcs4();
    return codePoints.size() == 1 ? xkb_utf32_to_keysym(codePoints.front()) : XKB_KEY_NoSymbol;
}

// The key that types this keysym in the keymap's group, preferring one that
// types it without Shift.
std::optional<std::uint32_t> keyTyping(xkb_keysym_t wanted, const Keymap& keymap) {
    wanted = xkb_keysym_to_lower(wanted);
    xkb_keymap* const map = keymap.keymap.get();
    std::optional<std::uint32_t> shifted;
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(map); keycode <= xkb_keymap_max_keycode(map); ++keycode) {
        const auto virtualKey = virtualKeyForXKeycode(keycode);
        if (!virtualKey) continue;
        const auto levels = xkb_keymap_num_levels_for_key(map, keycode, keymap.group);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* keysyms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(map, keycode, keymap.group, level, &keysyms);
            if (count < 1 || xkb_keysym_to_lower(keysyms[0]) != wanted) continue;
            if (level == 0) return *virtualKey;
            if (!shifted) shifted = *virtualKey;
        }
    }
    return shifted;
}

}  // namespace

std::vector<std::uint8_t> xKeycodesForVirtualKey(std::uint32_t virtualKey) {
    std::vector<std::uint8_t> codes;
    if (virtualKey < evdevCodes.size() && evdevCodes.at(virtualKey) != 0) codes.push_back(evdevCodes.at(virtualKey));
    for (const auto& [key, code] : alsoAt) {
        if (key == virtualKey) codes.push_back(code);
    }
    for (auto& code : codes) code = static_cast<std::uint8_t>(code + evdevToX);
    return codes;
}

std::optional<std::uint16_t> virtualKeyForXKeycode(std::uint32_t xKeycode) {
    for (std::uint16_t key = 0; key < std::uint16_t{evdevCodes.size()}; ++key) {
        const auto codes = xKeycodesForVirtualKey(key);
        if (std::find(codes.begin(), codes.end(), xKeycode) != codes.end()) return key;
    }
    return std::nullopt;
}

std::optional<Keymap> currentKeymap() {
    const XkbContext context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!context) return std::nullopt;
    if (auto keymap = xServerKeymap(context.get())) return keymap;
    if (auto keymap = systemKeymap(context.get())) return Keymap{std::move(keymap), 0};
    return std::nullopt;
}

std::optional<std::string> keyCaption(const Keymap& keymap, std::uint32_t virtualKey) {
    const xkb_keysym_t keysym = keysymAt(keymap, virtualKey, 0);
    QString text = keysymText(keysym);
    // The keypad's first level is its navigation role (KP_Insert) while Num
    // Lock is off; it is named by the digit printed on it.
    if (text.isEmpty() && keysym >= XKB_KEY_KP_Space && keysym <= XKB_KEY_KP_Equal) {
        text = keysymText(keysymAt(keymap, virtualKey, 1));
    }
    if (text.isEmpty()) return std::nullopt;
    // Qt applies Unicode's full case mapping: "ß" becomes "SS".
    return text.toUpper().toStdString();
}

std::optional<std::string> preferredTrigger(const platform::Shortcut& shortcut, const Keymap& keymap) {
    const xkb_keysym_t keysym = keysymAt(keymap, shortcut.keyCode, 0);
    std::array<char, 64> name{};
    if (keysym == XKB_KEY_NoSymbol || xkb_keysym_get_name(keysym, name.data(), name.size()) <= 0) return std::nullopt;
    // The modifiers in the order Dusk shows them.
    const auto has = [&shortcut](platform::ModifierFlags flag) { return (shortcut.modifiers & flag) != 0; };
    return std::string(has(platform::Modifier::control) ? "CTRL+" : "") +
           (has(platform::Modifier::option) ? "ALT+" : "") + (has(platform::Modifier::shift) ? "SHIFT+" : "") +
           (has(platform::Modifier::command) ? "LOGO+" : "") + name.data();
}

std::optional<platform::Shortcut> readTrigger(std::string_view text, const Keymap& keymap) {
    // "<Control><Alt>d" reads as "Control+Alt+d"; no name has a space.
    std::string rest;
    for (const char c : text) {
        if (c != '<' && c != ' ') rest += c == '>' ? '+' : c;
    }
    platform::Shortcut shortcut;
    // A "+" standing where a key belongs is the key itself: "Ctrl++".
    for (auto plus = rest.find('+', 1); plus != std::string::npos; plus = rest.find('+', 1)) {
        const auto flag = modifierFlag(rest.substr(0, plus));
        if (!flag) return std::nullopt;
        shortcut.modifiers |= *flag;
        rest.erase(0, plus + 1);
    }
    const auto keysym = keysymNamed(rest);
    const auto keyCode = keysym == XKB_KEY_NoSymbol ? std::nullopt : keyTyping(keysym, keymap);
    if (!keyCode) return std::nullopt;
    shortcut.keyCode = *keyCode;
    return shortcut;
}

}  // namespace dusk::backend

namespace platform {

std::optional<std::string> keyCaption(std::uint16_t keyCode) {
    const auto keymap = dusk::backend::currentKeymap();
    return keymap ? dusk::backend::keyCaption(*keymap, keyCode) : std::nullopt;
}

// GNOME's and KDE's own words for the keys, joined as their shortcut settings
// join them; Command is the key they call Super.
ModifierNames modifierNames() { return {"Ctrl", "Alt", "Shift", "Super", "+"}; }

}  // namespace platform
