#include "shortcuts/ShortcutTrigger.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

namespace Modifier = platform::Modifier;

struct ModifierName {
    platform::ModifierFlags flag;
    const char* name;  // as the shortcuts syntax writes it
};
// In the order Dusk shows modifiers.
constexpr std::array<ModifierName, 4> modifierNames{
    {{Modifier::control, "CTRL"}, {Modifier::option, "ALT"}, {Modifier::shift, "SHIFT"}, {Modifier::command, "LOGO"}}};

std::string lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Every desktop spells modifiers its own way: GNOME "Super", KDE "Meta",
// GTK accelerators "<Primary>".
std::optional<platform::ModifierFlags> modifierFlag(std::string_view token) {
    const std::string name = lowercase(token);
    if (name == "ctrl" || name == "control" || name == "primary") return Modifier::control;
    if (name == "alt" || name == "option" || name == "mod1") return Modifier::option;
    if (name == "shift") return Modifier::shift;
    if (name == "logo" || name == "super" || name == "meta" || name == "win" || name == "windows" || name == "cmd" ||
        name == "command" || name == "mod4") {
        return Modifier::command;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> singleCodePoint(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t length = text.size();
    if (length == 1 && bytes[0] < 0x80) return bytes[0];
    if (length == 2 && (bytes[0] & 0xE0) == 0xC0) return ((bytes[0] & 0x1FU) << 6) | (bytes[1] & 0x3FU);
    if (length == 3 && (bytes[0] & 0xF0) == 0xE0) {
        return ((bytes[0] & 0x0FU) << 12) | ((bytes[1] & 0x3FU) << 6) | (bytes[2] & 0x3FU);
    }
    return std::nullopt;
}

xkb_keysym_t keysymNamed(std::string_view token) {
    const std::string name(token);
    if (const auto keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_NO_FLAGS); keysym != XKB_KEY_NoSymbol) {
        return keysym;
    }
    if (const auto keysym = xkb_keysym_from_name(name.c_str(), XKB_KEYSYM_CASE_INSENSITIVE);
        keysym != XKB_KEY_NoSymbol) {
        return keysym;
    }
    if (const auto codePoint = singleCodePoint(token)) return xkb_utf32_to_keysym(*codePoint);
    return XKB_KEY_NoSymbol;
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

std::string_view trimmed(std::string_view token) {
    while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
    while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
    return token;
}

}  // namespace

std::optional<std::string> preferredTrigger(const platform::Shortcut& shortcut, const Keymap& keymap) {
    const auto keycode = xKeycodeForVirtualKey(shortcut.keyCode);
    if (!keycode) return std::nullopt;
    const xkb_keysym_t* keysyms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap.keymap.get(), *keycode, keymap.group, 0, &keysyms) < 1) {
        return std::nullopt;
    }
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(keysyms[0], name.data(), name.size()) <= 0) return std::nullopt;
    std::string trigger;
    for (const auto& modifier : modifierNames) {
        if ((shortcut.modifiers & modifier.flag) != 0) trigger += std::string(modifier.name) + "+";
    }
    return trigger + name.data();
}

std::optional<platform::Shortcut> readTrigger(std::string_view text, const Keymap& keymap) {
    // "<Control><Alt>d" reads as "Control+Alt+d".
    std::string spelled;
    for (const char c : text) {
        if (c == '<') continue;
        spelled += c == '>' ? '+' : c;
    }
    std::vector<std::string_view> tokens;
    std::string_view rest = spelled;
    while (!rest.empty()) {
        auto plus = rest.find('+');
        // A "+" standing where a key belongs is the key itself: "Ctrl++".
        if (plus == 0) plus = 1;
        tokens.push_back(rest.substr(0, plus));
        rest = plus == std::string_view::npos ? std::string_view{} : rest.substr(std::min(plus + 1, rest.size()));
    }
    if (tokens.empty()) return std::nullopt;
    platform::Shortcut shortcut;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const auto flag = modifierFlag(trimmed(tokens[i]));
        if (!flag) return std::nullopt;
        shortcut.modifiers |= *flag;
    }
    const auto keysym = keysymNamed(trimmed(tokens.back()));
    if (keysym == XKB_KEY_NoSymbol) return std::nullopt;
    const auto keyCode = keyTyping(keysym, keymap);
    if (!keyCode) return std::nullopt;
    shortcut.keyCode = *keyCode;
    return shortcut;
}

}  // namespace dusk::backend
