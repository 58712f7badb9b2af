// What a key is called: the first part of Keymap.h, kept apart from reading
// the keymap so that it is tested without a display.
#include <QString>
#include <array>
#include <utility>

#include "shortcuts/KeyCodes.h"
#include "shortcuts/Keymap.h"

namespace dusk::backend {
namespace {

// A dead key types nothing by itself; the accent it puts on the next letter
// is its name.
char32_t deadKeyAccent(xkb_keysym_t keysym) {
    static constexpr std::array<std::pair<xkb_keysym_t, char32_t>, 13> accents{{
        {XKB_KEY_dead_grave, U'`'},
        {XKB_KEY_dead_acute, U'\u00B4'},
        {XKB_KEY_dead_circumflex, U'^'},
        {XKB_KEY_dead_tilde, U'~'},
        {XKB_KEY_dead_macron, U'\u00AF'},
        {XKB_KEY_dead_breve, U'\u02D8'},
        {XKB_KEY_dead_abovedot, U'\u02D9'},
        {XKB_KEY_dead_diaeresis, U'\u00A8'},
        {XKB_KEY_dead_abovering, U'\u02DA'},
        {XKB_KEY_dead_doubleacute, U'\u02DD'},
        {XKB_KEY_dead_caron, U'\u02C7'},
        {XKB_KEY_dead_cedilla, U'\u00B8'},
        {XKB_KEY_dead_ogonek, U'\u02DB'},
    }};
    for (const auto& [dead, accent] : accents) {
        if (dead == keysym) return accent;
    }
    return 0;
}

// The text a keysym types, if it types any.
QString keysymText(xkb_keysym_t keysym) {
    char32_t codePoint = xkb_keysym_to_utf32(keysym);
    if (codePoint == 0) codePoint = deadKeyAccent(keysym);
    // Control characters name no key.
    if (codePoint < 0x20 || codePoint == 0x7f) return {};
    return QString::fromUcs4(&codePoint, 1);
}

QString levelText(const Keymap& keymap, xkb_keycode_t keycode, xkb_level_index_t level) {
    const xkb_keysym_t* keysyms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap.keymap.get(), keycode, keymap.group, level, &keysyms);
    return count > 0 ? keysymText(keysyms[0]) : QString();
}

bool isKeypadKey(std::uint32_t virtualKey) {
    return virtualKey == 65 || virtualKey == 67 || virtualKey == 69 || virtualKey == 75 || virtualKey == 78 ||
           virtualKey == 81 || (virtualKey >= 82 && virtualKey <= 92 && virtualKey != 90);
}

}  // namespace

std::optional<std::string> keyCaption(const Keymap& keymap, std::uint32_t virtualKey) {
    const auto keycode = xKeycodeForVirtualKey(virtualKey);
    if (!keycode) return std::nullopt;
    QString text = levelText(keymap, *keycode, 0);
    // The keypad's first level is its navigation role (KP_Insert) while Num
    // Lock is off; it is named by the digit printed on it.
    if (text.isEmpty() && isKeypadKey(virtualKey)) text = levelText(keymap, *keycode, 1);
    if (text.isEmpty()) return std::nullopt;
    // Qt applies Unicode's full case mapping: "ß" becomes "SS".
    return text.toUpper().toStdString();
}

}  // namespace dusk::backend
