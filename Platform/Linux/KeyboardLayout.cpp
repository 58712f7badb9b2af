#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QString>
#include <memory>

#include "KeyCodes.h"
#include "SessionKeymap.h"
#include "X11.h"
#include "platform/KeyboardLayout.h"

namespace dusk::backend {
namespace {
struct ContextUnref {
    void operator()(xkb_context* context) const { xkb_context_unref(context); }
};
struct KeymapUnref {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};
struct StateUnref {
    void operator()(xkb_state* state) const { xkb_state_unref(state); }
};

constexpr platform::OSStatus noTranslationErr = -25340;

// A dead key types nothing by itself; the accent it puts on the next letter
// is its name, as a Mac's layouts show it.
char32_t deadKeyAccent(xkb_keysym_t keysym) {
    switch (keysym) {
        case XKB_KEY_dead_grave:
            return U'`';
        case XKB_KEY_dead_acute:
            return U'\u00B4';
        case XKB_KEY_dead_circumflex:
            return U'^';
        case XKB_KEY_dead_tilde:
            return U'~';
        case XKB_KEY_dead_macron:
            return U'\u00AF';
        case XKB_KEY_dead_breve:
            return U'\u02D8';
        case XKB_KEY_dead_abovedot:
            return U'\u02D9';
        case XKB_KEY_dead_diaeresis:
            return U'\u00A8';
        case XKB_KEY_dead_abovering:
            return U'\u02DA';
        case XKB_KEY_dead_doubleacute:
            return U'\u02DD';
        case XKB_KEY_dead_caron:
            return U'\u02C7';
        case XKB_KEY_dead_cedilla:
            return U'\u00B8';
        case XKB_KEY_dead_ogonek:
            return U'\u02DB';
        default:
            return 0;
    }
}

// The text a keysym types, if it types any.
std::u16string keysymText(xkb_keysym_t keysym) {
    std::uint32_t codePoint = xkb_keysym_to_utf32(keysym);
    if (codePoint == 0) codePoint = deadKeyAccent(keysym);
    // Control characters are no name for a key.
    if (codePoint < 0x20 || codePoint == 0x7f) return {};
    const char32_t text[] = {codePoint, 0};
    return QString::fromUcs4(text, 1).toStdU16String();
}

bool isKeypadKey(std::uint16_t keyCode) {
    return keyCode == 65 || keyCode == 67 || keyCode == 69 || keyCode == 75 || keyCode == 78 || keyCode == 81 ||
           (keyCode >= 82 && keyCode <= 92 && keyCode != 90);
}

xkb_keysym_t firstLevelKeysym(xkb_keymap* keymap, xkb_keycode_t keycode, xkb_layout_index_t layout) {
    const xkb_keysym_t* keysyms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, keycode, layout, 0, &keysyms);
    return count > 0 ? keysyms[0] : XKB_KEY_NoSymbol;
}

}  // namespace
}  // namespace dusk::backend

struct platform::KeyboardLayout::Impl {
    std::unique_ptr<xkb_context, dusk::backend::ContextUnref> context;
    std::unique_ptr<xkb_keymap, dusk::backend::KeymapUnref> keymap;
    xkb_layout_index_t layout = 0;
};

namespace platform {

KeyboardLayout::KeyboardLayout(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyboardLayout::~KeyboardLayout() = default;

std::unique_ptr<KeyboardLayout> KeyboardLayout::copyCurrentASCIICapable() {
    using namespace dusk::backend;
    X11* x11 = X11::shared();
    auto impl = std::make_unique<Impl>();
    impl->context.reset(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
    if (!impl->context) return nullptr;
    if (x11 == nullptr || !x11->xkbReady()) {
        // No X server to ask (a Wayland session): the system's keyboard.
        impl->keymap.reset(newSessionKeymap(impl->context.get()).release());
        return impl->keymap ? std::make_unique<KeyboardLayout>(std::move(impl)) : nullptr;
    }
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(x11->connection());
    if (device < 0) return nullptr;
    // Read afresh each time: the user may have switched layouts since.
    impl->keymap.reset(
        xkb_x11_keymap_new_from_device(impl->context.get(), x11->connection(), device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!impl->keymap) return nullptr;
    const std::unique_ptr<xkb_state, StateUnref> state(
        xkb_x11_state_new_from_device(impl->keymap.get(), x11->connection(), device));
    if (!state) return nullptr;
    const auto current = xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE);
    // Shortcuts are named in a Latin layout: the current group when it types
    // ASCII letters, else the first group that does.
    const auto xA = xKeycodeForVirtualKey(0).value_or(38);
    const auto asciiCapable = [&](xkb_layout_index_t layout) {
        const auto keysym = firstLevelKeysym(impl->keymap.get(), xA, layout);
        return keysym >= XKB_KEY_a && keysym <= XKB_KEY_z;
    };
    impl->layout = current;
    if (!asciiCapable(current)) {
        const auto layouts = xkb_keymap_num_layouts(impl->keymap.get());
        for (xkb_layout_index_t layout = 0; layout < layouts; ++layout) {
            if (asciiCapable(layout)) {
                impl->layout = layout;
                break;
            }
        }
    }
    return std::make_unique<KeyboardLayout>(std::move(impl));
}

KeyTranslation KeyboardLayout::translate(std::uint16_t keyCode, std::uint16_t keyAction, std::uint32_t modifierKeyState,
                                         std::size_t maxLength) const {
    using namespace dusk::backend;
    if (keyAction != kUCKeyActionDisplay || modifierKeyState != 0) return {noTranslationErr, {}};
    const auto keycode = xKeycodeForVirtualKey(keyCode);
    if (!keycode) return {noTranslationErr, {}};
    auto text = keysymText(firstLevelKeysym(impl_->keymap.get(), *keycode, impl_->layout));
    // The keypad's first level is its navigation role (KP_Insert) while Num
    // Lock is off; its name is the digit it is printed with.
    const auto levels = xkb_keymap_num_levels_for_key(impl_->keymap.get(), *keycode, impl_->layout);
    if (text.empty() && levels > 1 && isKeypadKey(keyCode)) {
        const xkb_keysym_t* keysyms = nullptr;
        if (xkb_keymap_key_get_syms_by_level(impl_->keymap.get(), *keycode, impl_->layout, 1, &keysyms) > 0) {
            text = keysymText(keysyms[0]);
        }
    }
    if (text.empty()) return {noTranslationErr, {}};
    return {noErr, text.substr(0, maxLength)};
}

// GNOME's and KDE's own words for the keys, joined as their shortcut
// settings join them; Command is the key they call Super.
ModifierNames modifierNames() { return {"Ctrl", "Alt", "Shift", "Super", "+"}; }

std::string uppercaseString(std::u16string_view text) {
    // Qt applies Unicode's special casing: "ß" becomes "SS".
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())).toUpper().toStdString();
}

}  // namespace platform
