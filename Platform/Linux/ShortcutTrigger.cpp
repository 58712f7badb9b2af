#include "ShortcutTrigger.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

#include "KeyCodes.h"

namespace dusk::backend {
namespace {

// The event manager's modifier bits.
constexpr std::uint32_t cmdKey = 0x100, shiftKey = 0x200, optionKey = 0x800, controlKey = 0x1000;

struct ModifierName {
    std::uint32_t mask;
    const char* name;  // as the shortcuts syntax writes it
};
// In the order Dusk shows modifiers.
constexpr std::array<ModifierName, 4> modifierNames{
    {{controlKey, "CTRL"}, {optionKey, "ALT"}, {shiftKey, "SHIFT"}, {cmdKey, "LOGO"}}};

std::string lowercase(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// Every desktop spells modifiers its own way: GNOME "Super", KDE "Meta",
// GTK accelerators "<Primary>".
std::optional<std::uint32_t> modifierMask(std::string_view token) {
    const std::string name = lowercase(token);
    if (name == "ctrl" || name == "control" || name == "primary") return controlKey;
    if (name == "alt" || name == "option" || name == "mod1") return optionKey;
    if (name == "shift") return shiftKey;
    if (name == "logo" || name == "super" || name == "meta" || name == "win" || name == "windows" || name == "cmd" ||
        name == "command" || name == "mod4") {
        return cmdKey;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> singleCodePoint(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t length = text.size();
    if (length == 1 && bytes[0] < 0x80) return bytes[0];
    if (length == 2 && (bytes[0] & 0xE0) == 0xC0) return ((bytes[0] & 0x1Fu) << 6) | (bytes[1] & 0x3Fu);
    if (length == 3 && (bytes[0] & 0xF0) == 0xE0) {
        return ((bytes[0] & 0x0Fu) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
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

// The key of the first layout that types this keysym, preferring a key
// that types it without Shift.
std::optional<std::uint32_t> keyCodeTyping(xkb_keysym_t wanted, xkb_keymap* keymap) {
    wanted = xkb_keysym_to_lower(wanted);
    std::optional<std::uint32_t> shifted;
    for (xkb_keycode_t keycode = xkb_keymap_min_keycode(keymap); keycode <= xkb_keymap_max_keycode(keymap); ++keycode) {
        const auto virtualKey = virtualKeyForXKeycode(keycode);
        if (!virtualKey) continue;
        const auto levels = xkb_keymap_num_levels_for_key(keymap, keycode, 0);
        for (xkb_level_index_t level = 0; level < levels; ++level) {
            const xkb_keysym_t* keysyms = nullptr;
            const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, 0, level, &keysyms);
            if (count < 1 || xkb_keysym_to_lower(keysyms[0]) != wanted) continue;
            if (level == 0) return *virtualKey;
            if (!shifted) shifted = *virtualKey;
        }
    }
    return shifted;
}

}  // namespace

std::optional<std::string> preferredTrigger(const Chord& chord, xkb_keymap* keymap) {
    const auto keycode = xKeycodeForVirtualKey(chord.keyCode);
    if (!keycode || keymap == nullptr) return std::nullopt;
    const xkb_keysym_t* keysyms = nullptr;
    if (xkb_keymap_key_get_syms_by_level(keymap, *keycode, 0, 0, &keysyms) < 1) return std::nullopt;
    std::array<char, 64> name{};
    if (xkb_keysym_get_name(keysyms[0], name.data(), name.size()) <= 0) return std::nullopt;
    std::string trigger;
    for (const auto& modifier : modifierNames) {
        if ((chord.carbonModifiers & modifier.mask) != 0) trigger += std::string(modifier.name) + "+";
    }
    return trigger + name.data();
}

std::optional<Chord> readTrigger(std::string_view text, xkb_keymap* keymap) {
    if (keymap == nullptr) return std::nullopt;
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
    const auto trim = [](std::string_view token) {
        while (!token.empty() && token.front() == ' ') token.remove_prefix(1);
        while (!token.empty() && token.back() == ' ') token.remove_suffix(1);
        return token;
    };
    if (tokens.empty()) return std::nullopt;
    Chord chord;
    for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
        const auto mask = modifierMask(trim(tokens[i]));
        if (!mask) return std::nullopt;
        chord.carbonModifiers |= *mask;
    }
    const auto keysym = keysymNamed(trim(tokens.back()));
    if (keysym == XKB_KEY_NoSymbol) return std::nullopt;
    const auto keyCode = keyCodeTyping(keysym, keymap);
    if (!keyCode) return std::nullopt;
    chord.keyCode = *keyCode;
    return chord;
}

}  // namespace dusk::backend
