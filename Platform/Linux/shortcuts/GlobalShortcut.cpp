// Dusk's global shortcut on Linux. On Wayland only the desktop's portal
// (ShortcutsPortal.cpp) can give Dusk keys typed into other applications;
// elsewhere, and where the portal offers none, key grabs on an X display's
// root window (XWayland's too): the key at each of its X keycodes, with the
// shortcut's modifiers, once for each combination of Caps Lock and Num Lock.
// Where Alt, Super and Num Lock sit comes from the server's modifier
// mapping, grabbed again when it changes. The X connection is Dusk's own (Qt
// has one only where it draws through X11), and nothing waits for the
// server: answers are handed on from its queue once they have come.
#include "platform/GlobalShortcut.h"

#include <xcb/xcbext.h>
// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <xkbcommon/xkbcommon-x11.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Log.h"
#include "common/Xcb.h"
#include "shortcuts/CompositorKeys.h"
#include "shortcuts/KeyCodes.h"
#include "shortcuts/Shortcuts.h"

namespace dusk::backend {
namespace {

// The X error of a grab that another client holds.
constexpr std::int32_t badAccess = 10;

// The modifier (Mod1 to Mod5) that a key typing one of `wanted` sets; none
// where no such key sets one.
std::uint16_t modifierTyping(const xcb_get_modifier_mapping_reply_t& modifiers,
                             const xcb_get_keyboard_mapping_reply_t& keyboard, xcb_keycode_t firstKeycode,
                             std::initializer_list<xcb_keysym_t> wanted) {
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(&modifiers);
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(&keyboard);
    const int length = xcb_get_keyboard_mapping_keysyms_length(&keyboard);
    const int width = modifiers.keycodes_per_modifier, perKeycode = keyboard.keysyms_per_keycode;
    // Shift, Lock and Control are fixed; the rest may be anywhere.
    for (int modifier = 3; modifier < 8; ++modifier) {
        for (int i = 0; i < width; ++i) {
            const int keycode = keycodes[modifier * width + i];
            if (keycode == 0 || keycode < firstKeycode) continue;
            const int first = (keycode - firstKeycode) * perKeycode;
            for (int index = first; index < std::min(length, first + perKeycode); ++index) {
                if (std::find(wanted.begin(), wanted.end(), keysyms[index]) != wanted.end()) {
                    return static_cast<std::uint16_t>(1U << modifier);
                }
            }
        }
    }
    return 0;
}

class XKeys final : public QObject {
public:
    // The connection to $DISPLAY, made on first use, kept until the application
    // goes or the server drops it; none without an X display or application.
    static XKeys* shared() {
        auto* application = QCoreApplication::instance();
        const char* name = std::getenv("DISPLAY");
        if (current || application == nullptr || name == nullptr || *name == '\0') return current;
        int screenNumber = 0;
        XcbConnection connection(xcb_connect(name, &screenNumber));
        if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
        auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
        if (screens.rem == 0) return nullptr;
        // The application owns it: it closes before the loop that serves it goes.
        return current = new XKeys(std::move(connection), screens.data->root, application);
    }

    // Cleared when the server drops the connection: the next use connects afresh.
    static inline QPointer<XKeys> current;

    void grab(const platform::Shortcut& shortcut, const platform::GlobalShortcut::Done& done) {
        release();
        if (keycodesOf(shortcut.keyCode).empty()) {
            logError("the global shortcut is not bound: no key of this keyboard has code " +
                     std::to_string(shortcut.keyCode));
            done({"XGrabKey", bindStatus::noSuchKey, std::nullopt, "This keyboard has no such key."});
            return;
        }
        wanted_ = shortcut;
        requestGrabs(done);
    }

    void release() {
        ++generation_;
        wanted_.reset();
        keyDown_ = false;
        ungrab(std::exchange(held_, {}));
    }

    std::optional<Keymap> keymap(xkb_context* context) {
        if (xkbEventBase_ == 0) return std::nullopt;
        xcb_connection_t* const c = connection_.get();
        const std::int32_t device = xkb_x11_get_core_keyboard_device_id(c);
        XkbKeymap keymap(device < 0 ? nullptr
                                    : xkb_x11_keymap_new_from_device(context, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
        const XkbState state(keymap ? xkb_x11_state_new_from_device(keymap.get(), c, device) : nullptr);
        drainSoon();
        if (!state) return std::nullopt;
        return Keymap{std::move(keymap), xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE)};
    }

private:
    using Grab = std::pair<std::uint8_t, std::uint16_t>;  // keycode, modifiers
    // A request's reply or error, in request order; a checked request without a
    // reply is answered once a later request's reply arrives.
    using Answer = std::function<void(XcbReply<void> reply, XcbReply<xcb_generic_error_t> error)>;

    XKeys(XcbConnection connection, xcb_window_t root, QObject* parent)
        : QObject(parent),
          connection_(std::move(connection)),
          root_(root),
          notifier_(
              std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()), QSocketNotifier::Read)) {
        connect(notifier_.get(), &QSocketNotifier::activated, this, &XKeys::drain);
        xcb_connection_t* const c = connection_.get();
        std::uint8_t eventBase = 0;
        // Two round trips, once per connection, as much a part of connecting
        // as the connection's own setup.
        if (xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                        XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase,
                                        nullptr) == 0) {
            logError("the X server offers no XKB: keys are named from the system's keyboard configuration");
        } else {
            xkbEventBase_ = eventBase;
            // An XKB client hears of a new keymap (setxkbmap) or modifier
            // mapping (xmodmap) through XKB alone.
            constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
            constexpr std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
            xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts, nullptr);
            // A held key then repeats as presses alone, without the releases
            // the core protocol puts between them: the real release ends a
            // press. Every XKB server grants it.
            constexpr auto detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
            xcb_discard_reply(
                c, xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, detectable, detectable, 0, 0, 0).sequence);
            xcb_flush(c);
        }
        drainSoon();
    }

    void whenAnswered(unsigned int sequence, Answer answered) { waiting_.emplace_back(sequence, std::move(answered)); }

    // A request made synchronously may have read events and answers into
    // xcb's queue, which the socket will not announce again.
    void drainSoon() {
        QTimer::singleShot(0, this, [this] { drain(); });
    }

    void drain() {
        xcb_connection_t* const c = connection_.get();
        // Reading an answer may read events behind it, and the other way
        // round: go on until neither brings anything.
        for (bool progressed = true; progressed;) {
            progressed = false;
            while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
                progressed = true;
                // Type 0 is the error of a request sent unchecked, whose
                // outcome nothing waits for.
                if (event->response_type != 0) handle(*event);
            }
            while (!waiting_.empty()) {
                void* reply = nullptr;
                xcb_generic_error_t* error = nullptr;
                if (xcb_poll_for_reply(c, waiting_.front().first, &reply, &error) == 0) break;
                progressed = true;
                const Answer answered = std::move(waiting_.front().second);
                waiting_.pop_front();
                answered(XcbReply<void>(reply), XcbReply<xcb_generic_error_t>(error));
            }
        }
        if (xcb_connection_has_error(c) == 0) return;
        notifier_->setEnabled(false);
        current = nullptr;
        waiting_.clear();
        logError("the X server closed Dusk's connection; the global shortcut went with it");
        if (wanted_) shortcutRebound(std::nullopt);
        deleteLater();
    }

    void handle(const xcb_generic_event_t& event) {
        const auto type = event.response_type & 0x7f;
        if (type == XCB_KEY_PRESS) {
            const auto& press = reinterpret_cast<const xcb_key_press_event_t&>(event);
            // Lock modifiers and mouse buttons are no part of the combination;
            // a key held down is one press, however long it repeats.
            const auto modifiers = static_cast<std::uint16_t>(press.state & 0xff & ~lockModifiers_);
            if (holds(press.detail) && modifiers == modifiers_ && !std::exchange(keyDown_, true)) {
                shortcutPressed("hotkey event received from the X server");
            }
        } else if (type == XCB_KEY_RELEASE) {
            if (holds(reinterpret_cast<const xcb_key_release_event_t&>(event).detail)) keyDown_ = false;
        } else if (type == XCB_MAPPING_NOTIFY || (xkbEventBase_ != 0 && type == xkbEventBase_)) {
            mappingChanged();
        }
    }

    // The X keycodes of the key that this server's keyboard has.
    std::vector<std::uint8_t> keycodesOf(std::uint32_t virtualKey) const {
        const xcb_setup_t* setup = xcb_get_setup(connection_.get());
        auto keycodes = xKeycodesForVirtualKey(virtualKey);
        std::erase_if(keycodes, [setup](auto code) { return code < setup->min_keycode || code > setup->max_keycode; });
        return keycodes;
    }

    // The modifier mapping first, and the keysyms it points at: which
    // modifiers Alt, Super and Num Lock are decides what to grab.
    void requestGrabs(const platform::GlobalShortcut::Done& done) {
        xcb_connection_t* const c = connection_.get();
        const auto first = xcb_get_setup(c)->min_keycode;
        const auto count = static_cast<std::uint8_t>(xcb_get_setup(c)->max_keycode - first + 1);
        auto modifierMap = std::make_shared<XcbReply<void>>();
        whenAnswered(xcb_get_modifier_mapping(c).sequence,
                     [modifierMap](XcbReply<void> reply, auto) { *modifierMap = std::move(reply); });
        whenAnswered(
            xcb_get_keyboard_mapping(c, first, count).sequence,
            [this, modifierMap, first, generation = generation_, done](XcbReply<void> keyboardMap, auto) {
                if (generation != generation_) return;
                // Without the mappings, the usual places.
                std::uint16_t alt = XCB_MOD_MASK_1, super = XCB_MOD_MASK_4, numLock = XCB_MOD_MASK_2;
                if (*modifierMap && keyboardMap) {
                    const auto& modifiers = *static_cast<const xcb_get_modifier_mapping_reply_t*>(modifierMap->get());
                    const auto& keyboard = *static_cast<const xcb_get_keyboard_mapping_reply_t*>(keyboardMap.get());
                    alt = modifierTyping(modifiers, keyboard, first, {XKB_KEY_Alt_L, XKB_KEY_Alt_R});
                    super = modifierTyping(modifiers, keyboard, first, {XKB_KEY_Super_L, XKB_KEY_Super_R});
                    numLock = modifierTyping(modifiers, keyboard, first, {XKB_KEY_Num_Lock});
                }
                const auto flags = wanted_->modifiers;
                modifiers_ =
                    static_cast<std::uint16_t>(((flags & platform::Modifier::control) != 0 ? XCB_MOD_MASK_CONTROL : 0) |
                                               ((flags & platform::Modifier::shift) != 0 ? XCB_MOD_MASK_SHIFT : 0) |
                                               ((flags & platform::Modifier::option) != 0 ? alt : 0) |
                                               ((flags & platform::Modifier::command) != 0 ? super : 0));
                lockModifiers_ = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock);
                sendGrabs(numLock, done);
            });
        xcb_flush(c);
    }

    void sendGrabs(std::uint16_t numLock, const platform::GlobalShortcut::Done& done) {
        const std::array<std::uint16_t, 4> locks{0, XCB_MOD_MASK_LOCK, numLock, lockModifiers_};
        // Ungrabbing what the server refused does nothing: every grab asked
        // for is let go, whatever the modifier mapping has become since.
        std::vector<Grab> grabs;
        auto refusal = std::make_shared<std::int32_t>(0);
        xcb_connection_t* const c = connection_.get();
        for (const auto keycode : keycodesOf(wanted_->keyCode)) {
            // Without Num Lock, the last two are the first two again.
            for (std::size_t i = 0; i < (numLock != 0 ? 4 : 2); ++i) {
                grabs.emplace_back(keycode, static_cast<std::uint16_t>(modifiers_ | locks.at(i)));
                const auto cookie = xcb_grab_key_checked(c, 1, root_, grabs.back().second, keycode, XCB_GRAB_MODE_ASYNC,
                                                         XCB_GRAB_MODE_ASYNC);
                whenAnswered(cookie.sequence, [refusal](auto, XcbReply<xcb_generic_error_t> error) {
                    if (error && *refusal == 0) *refusal = error->error_code;
                });
            }
        }
        // A request with a reply, answered after every grab before it.
        const auto fence = xcb_get_input_focus(c).sequence;
        whenAnswered(fence, [this, grabs, refusal, generation = generation_, done](auto, auto) {
            // A refusal half way, or a grab replaced meanwhile, leaves
            // nothing of itself grabbed.
            if (generation != generation_ || *refusal != 0) ungrab(grabs);
            if (generation != generation_) return;
            if (*refusal != 0) wanted_.reset();
            held_ = wanted_ ? grabs : std::vector<Grab>{};
            // Another client holding the keys is BadAccess (10), which the
            // core words for the user; the log says who refused.
            if (*refusal == badAccess) {
                logNotice(
                    "another X client (another application, or another copy of Dusk) holds these keys, so "
                    "the X server refused them to Dusk");
            }
            done({"XGrabKey", *refusal, wanted_, {}});
        });
        xcb_flush(c);
    }

    void ungrab(const std::vector<Grab>& grabs) {
        for (const auto& [keycode, modifiers] : grabs) xcb_ungrab_key(connection_.get(), keycode, root_, modifiers);
        xcb_flush(connection_.get());
    }

    // Alt, Super or Num Lock may sit elsewhere now. In a burst of changes,
    // each grab replaces the one before, whose answers are dropped.
    void mappingChanged() {
        if (!wanted_) return;
        const platform::Shortcut wanted = *wanted_;
        grab(wanted, [](const platform::BindOutcome& outcome) {
            if (outcome.status == bindStatus::bound) return;
            logError("the keyboard mapping changed and the X server refused the shortcut's keys (X error " +
                     std::to_string(outcome.status) + ")");
            shortcutRebound(std::nullopt);
        });
    }

    bool holds(std::uint8_t keycode) const {
        return std::any_of(held_.begin(), held_.end(), [keycode](const Grab& grab) { return grab.first == keycode; });
    }

    XcbConnection connection_;
    xcb_window_t root_;
    std::uint8_t xkbEventBase_ = 0;
    std::deque<std::pair<unsigned int, Answer>> waiting_;
    // Declared after the connection: it goes first, while its socket is open.
    std::unique_ptr<QSocketNotifier> notifier_;
    std::optional<platform::Shortcut> wanted_;
    std::vector<Grab> held_;
    // The shortcut's X modifiers, and the lock modifiers a press may carry.
    std::uint16_t modifiers_ = 0, lockModifiers_ = 0;
    bool keyDown_ = false;
    // Answers to requests of an earlier generation are stale.
    unsigned generation_ = 0;
};

std::function<void()> activated;
std::function<void(const std::optional<platform::Shortcut>&)> rebound;
std::optional<platform::Shortcut> noOneCanBind;

bool waylandSession() {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return display != nullptr && *display != '\0';
}

// The X display's key grab where one answers, else no way to bind;
// `whyNotPortal` is why the desktop's portal does not serve, on Wayland.
void grabOrGiveUp(const platform::Shortcut& shortcut, const platform::GlobalShortcut::Done& done,
                  const std::string& whyNotPortal = {}) {
    if (auto* keys = XKeys::shared()) {
        if (!whyNotPortal.empty()) {
            logNotice(whyNotPortal +
                      "; the keys are grabbed on the X display instead, which sees them only while an "
                      "X11 window has the keyboard");
        }
        keys->grab(shortcut, done);
        return;
    }
    noOneCanBind = shortcut;
    logError((whyNotPortal.empty() ? "" : whyNotPortal + ", and ") +
             "global shortcuts need an X11 display, which this session lacks; bind `dusk toggle` to a key in your "
             "desktop's keyboard settings");
    done({whyNotPortal.empty() ? "XGrabKey" : "BindShortcuts", bindStatus::noWayToBind, std::nullopt,
          "This desktop lets no application have a global shortcut. Bind the command `dusk toggle` to a key in your "
          "desktop's keyboard settings instead."});
}

}  // namespace

std::optional<platform::Shortcut> shortcutNoOneCanBind() { return noOneCanBind; }

std::optional<Keymap> xServerKeymap(xkb_context* context) {
    XKeys* keys = XKeys::shared();
    return keys != nullptr ? keys->keymap(context) : std::nullopt;
}

void shortcutPressed(const char* how) {
    logNotice(how);
    if (activated) activated();
}

void shortcutRebound(const std::optional<platform::Shortcut>& keys) {
    if (rebound) rebound(keys);
}

}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

void GlobalShortcut::bind(const Shortcut& shortcut, Done done) {
    unbind();
    noOneCanBind.reset();
    if (waylandSession()) {
        auto fallBack = [shortcut, done](const std::string& whyNot) { grabOrGiveUp(shortcut, done, whyNot); };
        bindThroughPortal(shortcut, std::move(done), std::move(fallBack));
    } else {
        grabOrGiveUp(shortcut, done);
    }
}

void GlobalShortcut::unbind() {
    if (XKeys::current) XKeys::current->release();
    if (waylandSession()) unbindThroughPortal();
}

// The X server refuses no keys for their modifiers; a portal that will not
// have some says so when asked to bind them.
bool GlobalShortcut::refusesModifiers(ModifierFlags) { return false; }

void GlobalShortcut::onActivated(std::function<void()> activated) { dusk::backend::activated = std::move(activated); }

void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>& bound)> rebound) {
    dusk::backend::rebound = std::move(rebound);
}

}  // namespace platform
