#include "shortcuts/KeyGrab.h"

// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <QTimer>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>

#include "common/Log.h"
#include "shortcuts/BindStatus.h"
#include "shortcuts/KeyCodes.h"

namespace dusk::backend {

struct KeyGrab::ModifierMasks {
    std::uint16_t alt = XCB_MOD_MASK_1;
    std::uint16_t super = XCB_MOD_MASK_4;
    std::uint16_t numLock = XCB_MOD_MASK_2;
};

namespace {

constexpr xcb_keysym_t altLeft = 0xffe9, altRight = 0xffea, superLeft = 0xffeb, superRight = 0xffec, numLock = 0xff7f;

// The modifiers (Mod1 to Mod5) that the keys typing these keysyms set.
struct Mapping {
    const xcb_get_modifier_mapping_reply_t& modifiers;
    const xcb_get_keyboard_mapping_reply_t& keyboard;
    xcb_keycode_t firstKeycode;

    std::uint16_t maskOf(std::initializer_list<xcb_keysym_t> wanted) const {
        const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(&modifiers);
        const int width = modifiers.keycodes_per_modifier;
        // Shift, Lock and Control are fixed; the rest may be anywhere.
        for (int modifier = 3; modifier < 8; ++modifier) {
            for (int i = 0; i < width; ++i) {
                const xcb_keycode_t keycode = keycodes[modifier * width + i];
                if (keycode != 0 && types(keycode, wanted)) return static_cast<std::uint16_t>(1U << modifier);
            }
        }
        return 0;
    }

    bool types(xcb_keycode_t keycode, std::initializer_list<xcb_keysym_t> wanted) const {
        if (keycode < firstKeycode) return false;
        const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(&keyboard);
        const int length = xcb_get_keyboard_mapping_keysyms_length(&keyboard);
        const int perKeycode = keyboard.keysyms_per_keycode;
        for (int level = 0; level < perKeycode; ++level) {
            const int index = (keycode - firstKeycode) * perKeycode + level;
            if (index >= length) return false;
            if (std::find(wanted.begin(), wanted.end(), keysyms[index]) != wanted.end()) return true;
        }
        return false;
    }
};

// The X keycodes of the key that this server's keyboard has.
std::vector<std::uint8_t> keycodesOn(const XDisplay& display, std::uint32_t virtualKey) {
    const xcb_setup_t* setup = xcb_get_setup(display.connection());
    auto keycodes = xKeycodesForVirtualKey(virtualKey);
    std::erase_if(keycodes, [setup](auto code) { return code < setup->min_keycode || code > setup->max_keycode; });
    return keycodes;
}

std::uint16_t xModifiers(platform::ModifierFlags flags, std::uint16_t alt, std::uint16_t super) {
    std::uint16_t modifiers = 0;
    if ((flags & platform::Modifier::control) != 0) modifiers |= XCB_MOD_MASK_CONTROL;
    if ((flags & platform::Modifier::shift) != 0) modifiers |= XCB_MOD_MASK_SHIFT;
    if ((flags & platform::Modifier::option) != 0) modifiers |= alt;
    if ((flags & platform::Modifier::command) != 0) modifiers |= super;
    return modifiers;
}

}  // namespace

KeyGrab& KeyGrab::shared() {
    static KeyGrab instance;
    return instance;
}

bool KeyGrab::available() { return XDisplay::shared() != nullptr; }

void KeyGrab::grab(const platform::Shortcut& shortcut, Done done) {
    release();
    XDisplay* const display = XDisplay::shared();
    if (display == nullptr) {
        done(bindStatus::noWayToBind);
        return;
    }
    listen(*display);
    if (keycodesOn(*display, shortcut.keyCode).empty()) {
        done(bindStatus::noSuchKey);
        return;
    }
    wanted_ = shortcut;
    request(std::move(done));
}

void KeyGrab::release() {
    ++generation_;
    wanted_.reset();
    keyDown_ = false;
    ungrab(std::exchange(held_, {}));
}

void KeyGrab::listen(XDisplay& display) {
    if (display_ == &display) return;
    display_ = &display;
    display.onEvent = [this](const xcb_generic_event_t& event) {
        const auto type = event.response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
            pressed(press.detail, press.state);
        } else if (type == XCB_KEY_RELEASE) {
            if (holds(reinterpret_cast<const xcb_key_release_event_t&>(event).detail)) keyDown_ = false;
        } else if (type == XCB_MAPPING_NOTIFY || (display_ && display_->hasXkb() && type == display_->xkbEventBase())) {
            mappingChanged();
        }
    };
    display.onLost = [this] {
        held_.clear();
        keyDown_ = false;
        ++generation_;
        if (std::exchange(wanted_, std::nullopt) && onLost) onLost();
    };
}

// The modifier mapping first, and the keysyms it points at: which modifiers
// Alt, Super and Num Lock are decides what to grab.
void KeyGrab::request(Done done) {
    xcb_connection_t* const c = display_->connection();
    const xcb_setup_t* setup = xcb_get_setup(c);
    const auto first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - first + 1);
    const auto modifierCookie = xcb_get_modifier_mapping(c);
    const auto keyboardCookie = xcb_get_keyboard_mapping(c, first, count);
    auto modifiers = std::make_shared<XcbReply<void>>();
    display_->whenAnswered(modifierCookie.sequence, [modifiers](XcbReply<void> reply, XcbReply<xcb_generic_error_t>) {
        *modifiers = std::move(reply);
    });
    display_->whenAnswered(
        keyboardCookie.sequence, [this, modifiers, first, generation = generation_, done = std::move(done)](
                                     XcbReply<void> keyboard, XcbReply<xcb_generic_error_t>) {
            if (generation != generation_) return;
            ModifierMasks masks;
            if (*modifiers && keyboard) {
                const Mapping mapping{*static_cast<const xcb_get_modifier_mapping_reply_t*>(modifiers->get()),
                                      *static_cast<const xcb_get_keyboard_mapping_reply_t*>(keyboard.get()), first};
                masks = {mapping.maskOf({altLeft, altRight}), mapping.maskOf({superLeft, superRight}),
                         mapping.maskOf({numLock})};
            }
            send(masks, generation, done);
        });
    xcb_flush(c);
}

void KeyGrab::send(const ModifierMasks& masks, unsigned generation, Done done) {
    modifiers_ = xModifiers(wanted_->modifiers, masks.alt, masks.super);
    lockModifiers_ = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | masks.numLock);
    std::vector<std::uint16_t> variants{modifiers_, static_cast<std::uint16_t>(modifiers_ | XCB_MOD_MASK_LOCK)};
    if (masks.numLock != 0) {
        variants.push_back(static_cast<std::uint16_t>(modifiers_ | masks.numLock));
        variants.push_back(static_cast<std::uint16_t>(modifiers_ | masks.numLock | XCB_MOD_MASK_LOCK));
    }
    struct Answers {
        std::vector<Grab> granted;
        std::int32_t refusal = 0;
    };
    auto answers = std::make_shared<Answers>();
    xcb_connection_t* const c = display_->connection();
    for (const auto keycode : keycodesOn(*display_, wanted_->keyCode)) {
        for (const auto variant : variants) {
            const auto cookie = xcb_grab_key_checked(c, 1, display_->root(), variant, keycode, XCB_GRAB_MODE_ASYNC,
                                                     XCB_GRAB_MODE_ASYNC);
            display_->whenAnswered(cookie.sequence, [answers, grab = Grab{keycode, variant}](
                                                        XcbReply<void>, XcbReply<xcb_generic_error_t> error) {
                if (!error) {
                    answers->granted.push_back(grab);
                } else if (answers->refusal == 0) {
                    answers->refusal = error->error_code;
                }
            });
        }
    }
    display_->fence([this, answers, generation, done = std::move(done)] {
        // A refusal half way, or a grab replaced meanwhile, leaves nothing
        // of itself grabbed.
        if (generation != generation_ || answers->refusal != 0) ungrab(answers->granted);
        if (generation != generation_) return;
        if (answers->refusal != 0) {
            wanted_.reset();
        } else {
            held_ = std::move(answers->granted);
        }
        done(answers->refusal);
    });
}

void KeyGrab::ungrab(const std::vector<Grab>& grabs) {
    if (!display_ || grabs.empty()) return;
    for (const auto& grab : grabs)
        xcb_ungrab_key(display_->connection(), grab.keycode, display_->root(), grab.modifiers);
    xcb_flush(display_->connection());
}

// Alt, Super or Num Lock may sit elsewhere now: what is held is let go and
// grabbed again as the mapping reads now, once for a burst of changes.
void KeyGrab::mappingChanged() {
    if (!wanted_ || std::exchange(regrabQueued_, true)) return;
    QTimer::singleShot(0, display_, [this] {
        regrabQueued_ = false;
        if (!wanted_ || !display_) return;
        ++generation_;
        keyDown_ = false;
        ungrab(std::exchange(held_, {}));
        request([this](std::int32_t status) {
            if (status == bindStatus::bound) return;
            logError("the keyboard mapping changed and the X server refused the shortcut's keys (X error " +
                     std::to_string(status) + ")");
            if (onLost) onLost();
        });
    });
}

void KeyGrab::pressed(std::uint8_t keycode, std::uint16_t state) {
    // Lock modifiers and mouse buttons are no part of the combination.
    const auto modifiers = static_cast<std::uint16_t>(state & 0xff & ~lockModifiers_);
    if (!holds(keycode) || modifiers != modifiers_) return;
    if (std::exchange(keyDown_, true)) return;
    if (onPressed) onPressed();
}

bool KeyGrab::holds(std::uint8_t keycode) const {
    return std::any_of(held_.begin(), held_.end(), [keycode](const Grab& grab) { return grab.keycode == keycode; });
}

}  // namespace dusk::backend
