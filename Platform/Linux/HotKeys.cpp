#include <xcb/xcb.h>
// The XKB header names a field "explicit", which C++ reserves.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GlobalShortcutsPortal.h"
#include "Internal.h"
#include "KeyCodes.h"
#include "SessionKeymap.h"
#include "ShortcutTrigger.h"
#include "X11.h"
#include "platform/HotKeyEvents.h"

struct platform::OpaqueEventRef {
    EventHotKeyID hotKeyID{};
    std::uint32_t kind = kEventHotKeyPressed;
    // For a binding change: the keys now in effect, if any.
    std::optional<dusk::backend::Chord> binding;
};

struct platform::OpaqueEventHandlerRef {
    EventHandlerProcPtr proc;
    std::vector<EventTypeSpec> types;
    void* userData;
};

// One registration, with exactly what it grabbed, so that letting go of it
// releases those grabs whatever the modifier mapping has become since.
struct platform::OpaqueEventHotKeyRef {
    std::uint32_t virtualKey;
    std::uint32_t carbonModifiers;
    EventHotKeyID hotKeyID;
    // The X modifiers of the combination, without Caps Lock or Num Lock.
    std::uint16_t modifiers = 0;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> grabbed;  // keycode, modifiers
    // Pressed and not yet released: key repeat is no new press.
    bool held = false;
};

namespace dusk::backend {
namespace {

using namespace platform;

constexpr OSStatus paramErr = -50;
constexpr OSStatus eventInternalErr = -9868;
constexpr OSStatus eventHotKeyInvalidErr = -9876;

// The event manager's modifier bits.
constexpr std::uint32_t cmdKey = 0x100, shiftKey = 0x200, optionKey = 0x800, controlKey = 0x1000;

// Where Alt, Super and Num Lock sit among the eight X modifiers differs
// between keymaps; the server's modifier mapping says.
struct ModifierMasks {
    std::uint16_t alt = XCB_MOD_MASK_1;
    std::uint16_t super = XCB_MOD_MASK_4;
    std::uint16_t numLock = XCB_MOD_MASK_2;
};

ModifierMasks readModifierMasks(xcb_connection_t* connection) {
    ModifierMasks masks;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const auto first = setup->min_keycode;
    const auto count = static_cast<std::uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    XcbReply<xcb_get_modifier_mapping_reply_t> modifiers(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    XcbReply<xcb_get_keyboard_mapping_reply_t> keyboard(
        xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, first, count), nullptr));
    if (!modifiers || !keyboard) return masks;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(keyboard.get());
    const int perKeycode = keyboard->keysyms_per_keycode;
    const int length = xcb_get_keyboard_mapping_keysyms_length(keyboard.get());
    const auto has = [&](xcb_keycode_t keycode, std::initializer_list<xcb_keysym_t> wanted) {
        if (keycode < first) return false;
        for (int level = 0; level < perKeycode; ++level) {
            const int index = (keycode - first) * perKeycode + level;
            if (index >= length) return false;
            if (std::find(wanted.begin(), wanted.end(), keysyms[index]) != wanted.end()) return true;
        }
        return false;
    };
    bool altFound = false, superFound = false, numLockFound = false;
    // Mod1 to Mod5 only; Shift, Lock and Control are fixed.
    for (int modifier = 3; modifier < 8; ++modifier) {
        const auto mask = static_cast<std::uint16_t>(1u << modifier);
        for (int i = 0; i < modifiers->keycodes_per_modifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * modifiers->keycodes_per_modifier + i];
            if (keycode == 0) continue;
            if (!altFound && has(keycode, {0xffe9, 0xffea})) masks.alt = mask, altFound = true;        // Alt_L/R
            if (!superFound && has(keycode, {0xffeb, 0xffec})) masks.super = mask, superFound = true;  // Super_L/R
            if (!numLockFound && has(keycode, {0xff7f})) masks.numLock = mask, numLockFound = true;    // Num_Lock
        }
    }
    if (!numLockFound) masks.numLock = 0;
    return masks;
}

// Every combination of Caps Lock and Num Lock, so neither stops the
// shortcut.
std::vector<std::uint16_t> lockVariants(std::uint16_t modifiers, const ModifierMasks& masks) {
    std::vector<std::uint16_t> variants{modifiers, static_cast<std::uint16_t>(modifiers | XCB_MOD_MASK_LOCK)};
    if (masks.numLock != 0) {
        variants.push_back(static_cast<std::uint16_t>(modifiers | masks.numLock));
        variants.push_back(static_cast<std::uint16_t>(modifiers | masks.numLock | XCB_MOD_MASK_LOCK));
    }
    return variants;
}

std::uint16_t xModifiers(std::uint32_t carbonModifiers, const ModifierMasks& masks) {
    std::uint16_t modifiers = 0;
    if ((carbonModifiers & controlKey) != 0) modifiers |= XCB_MOD_MASK_CONTROL;
    if ((carbonModifiers & shiftKey) != 0) modifiers |= XCB_MOD_MASK_SHIFT;
    if ((carbonModifiers & optionKey) != 0) modifiers |= masks.alt;
    if ((carbonModifiers & cmdKey) != 0) modifiers |= masks.super;
    return modifiers;
}

// The grabs of one registration: released on destruction unless kept, so a
// refusal half way never leaves part of a shortcut grabbed.
class ScopedGrabs final {
public:
    ScopedGrabs(xcb_connection_t* connection, xcb_window_t root) : connection_(connection), root_(root) {}
    ~ScopedGrabs() {
        for (const auto& [keycode, modifiers] : grabbed_) xcb_ungrab_key(connection_, keycode, root_, modifiers);
        xcb_flush(connection_);
    }
    ScopedGrabs(const ScopedGrabs&) = delete;
    ScopedGrabs& operator=(const ScopedGrabs&) = delete;

    // The server's answer, checked before the next grab: BadAccess means
    // another client holds the combination.
    XcbReply<xcb_generic_error_t> grab(std::uint8_t keycode, std::uint16_t modifiers) {
        const auto cookie =
            xcb_grab_key_checked(connection_, 1, root_, modifiers, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        XcbReply<xcb_generic_error_t> error(xcb_request_check(connection_, cookie));
        if (!error) grabbed_.emplace_back(keycode, modifiers);
        return error;
    }
    // Hands the grabs over to their registration, which releases them.
    std::vector<std::pair<std::uint8_t, std::uint16_t>> keep() { return std::exchange(grabbed_, {}); }

private:
    xcb_connection_t* connection_;
    xcb_window_t root_;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> grabbed_;
};

class HotKeys final {
public:
    static HotKeys& shared() {
        static HotKeys instance;
        return instance;
    }

    EventTargetRef target() { return reinterpret_cast<EventTargetRef>(&targetTag_); }

    EventHandlerRef install(EventHandlerProcPtr proc, std::vector<EventTypeSpec> types, void* userData) {
        handlers_.push_back(
            std::make_unique<OpaqueEventHandlerRef>(OpaqueEventHandlerRef{proc, std::move(types), userData}));
        return handlers_.back().get();
    }

    // Hands an event to every handler installed for its kind.
    void send(EventHotKeyID id, std::uint32_t kind = kEventHotKeyPressed, std::optional<Chord> binding = std::nullopt) {
        OpaqueEventRef event{id, kind, binding};
        const auto handlers = snapshotHandlers(event.kind);
        for (auto* handler : handlers) handler->proc(nullptr, &event, handler->userData);
    }

    OSStatus registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, EventHotKeyID id,
                            EventHotKeyRef* outRef) {
        X11* x11 = X11::shared();
        if (x11 == nullptr) {
            logError(
                "global shortcuts need an X11 display; this session has none (a Wayland session lets no "
                "application grab keys)");
            return eventInternalErr;
        }
        listen(*x11);
        masks_ = readModifierMasks(x11->connection());
        auto hotKey = std::make_unique<OpaqueEventHotKeyRef>(
            OpaqueEventHotKeyRef{keyCode, carbonModifiers, id, xModifiers(carbonModifiers, masks_), {}, false});
        const bool mine = std::any_of(hotKeys_.begin(), hotKeys_.end(), [&](const auto& other) {
            return other->virtualKey == keyCode && other->modifiers == hotKey->modifiers;
        });
        if (mine) return eventHotKeyExistsErr;
        const OSStatus status = grab(*x11, *hotKey);
        drainSoon();
        if (status != noErr) return status;
        hotKeys_.push_back(std::move(hotKey));
        if (outRef != nullptr) *outRef = hotKeys_.back().get();
        return noErr;
    }

    OSStatus unregisterHotKey(EventHotKeyRef hotKey) {
        const auto found = std::find_if(hotKeys_.begin(), hotKeys_.end(),
                                        [hotKey](const auto& owned) { return owned.get() == hotKey; });
        if (found == hotKeys_.end()) return eventHotKeyInvalidErr;
        if (X11* x11 = X11::shared()) release(*x11, *hotKey);
        hotKeys_.erase(found);
        return noErr;
    }

private:
    // Grabs the combination at every X keycode of the key, with every
    // combination of Caps Lock and Num Lock, so neither stops the shortcut.
    OSStatus grab(X11& x11, OpaqueEventHotKeyRef& hotKey) {
        const xcb_setup_t* setup = xcb_get_setup(x11.connection());
        std::vector<std::uint8_t> keycodes = xKeycodesForVirtualKey(hotKey.virtualKey);
        std::erase_if(keycodes, [setup](std::uint8_t keycode) {
            return keycode < setup->min_keycode || keycode > setup->max_keycode;
        });
        if (keycodes.empty()) return paramErr;
        ScopedGrabs grabs(x11.connection(), x11.root());
        for (const auto keycode : keycodes) {
            for (const auto variant : lockVariants(hotKey.modifiers, masks_)) {
                if (const auto error = grabs.grab(keycode, variant)) {
                    return error->error_code == XCB_ACCESS ? eventHotKeyExistsErr : eventInternalErr;
                }
            }
        }
        hotKey.grabbed = grabs.keep();
        return noErr;
    }

    void release(X11& x11, OpaqueEventHotKeyRef& hotKey) {
        for (const auto& [keycode, modifiers] : std::exchange(hotKey.grabbed, {})) {
            xcb_ungrab_key(x11.connection(), keycode, x11.root(), modifiers);
        }
        xcb_flush(x11.connection());
    }

    // After the keymap or the modifier mapping changed, Alt, Super or Num
    // Lock may sit elsewhere: each shortcut is grabbed again as it reads now.
    void regrab(X11& x11) {
        masks_ = readModifierMasks(x11.connection());
        for (const auto& hotKey : hotKeys_) {
            release(x11, *hotKey);
            hotKey->modifiers = xModifiers(hotKey->carbonModifiers, masks_);
            hotKey->held = false;
            if (const OSStatus status = grab(x11, *hotKey); status != noErr) {
                logError("the keyboard mapping changed and the shortcut could not be grabbed again (status " +
                         std::to_string(status) + ")");
            }
        }
    }

    void listen(X11& x11) {
        if (notifier_) return;
        notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x11.connection()), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { drain(); });
        if (!x11.xkbReady()) return;
        // A held key repeats as presses alone, without the releases the core
        // protocol puts between them, so the real release ends a press.
        const XcbReply<xcb_xkb_per_client_flags_reply_t> repeat(xcb_xkb_per_client_flags_reply(
            x11.connection(),
            xcb_xkb_per_client_flags(x11.connection(), XCB_XKB_ID_USE_CORE_KBD,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
        if (!repeat || (repeat->value & XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT) == 0) {
            logError("the X server cannot tell key repeat from presses; holding the shortcut may toggle again");
        }
        // An XKB client hears of a new keymap (setxkbmap) only through XKB.
        constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                           XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                           XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
        xcb_xkb_select_events(x11.connection(), XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts,
                              nullptr);
        xcb_flush(x11.connection());
        if (const auto* xkb = xcb_get_extension_data(x11.connection(), &xcb_xkb_id); xkb != nullptr) {
            xkbEventBase_ = xkb->first_event;
        }
    }

    // A reply read while checking a grab may have queued events behind it,
    // which the socket will not announce again.
    void drainSoon() {
        QTimer::singleShot(0, notifier_.get(), [this] { drain(); });
    }

    void drain() {
        X11* x11 = X11::shared();
        if (x11 == nullptr) return;
        bool mappingChanged = false;
        while (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(x11->connection())}) {
            const auto type = event->response_type & 0x7f;
            if (type == XCB_MAPPING_NOTIFY || (xkbEventBase_ != 0 && type == xkbEventBase_)) {
                mappingChanged = true;
            } else if (type == XCB_KEY_PRESS) {
                const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event.get());
                deliver(press->detail, press->state);
            } else if (type == XCB_KEY_RELEASE) {
                const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event.get());
                for (const auto& hotKey : hotKeys_) {
                    if (grabs(*hotKey, release->detail)) hotKey->held = false;
                }
            }
        }
        if (mappingChanged) {
            regrab(*x11);
            drainSoon();
        }
    }

    static bool grabs(const OpaqueEventHotKeyRef& hotKey, std::uint8_t keycode) {
        return std::any_of(hotKey.grabbed.begin(), hotKey.grabbed.end(),
                           [keycode](const auto& grab) { return grab.first == keycode; });
    }

    void deliver(std::uint8_t keycode, std::uint16_t state) {
        // Lock keys and mouse buttons are no part of the combination.
        const auto lockBits = static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | masks_.numLock);
        const auto modifiers = static_cast<std::uint16_t>(state & 0xff & ~lockBits);
        for (const auto& hotKey : hotKeys_) {
            if (!grabs(*hotKey, keycode) || hotKey->modifiers != modifiers) continue;
            // One press, one event, however long the key is held.
            if (std::exchange(hotKey->held, true)) return;
            send(hotKey->hotKeyID);
            return;
        }
    }

    std::vector<OpaqueEventHandlerRef*> snapshotHandlers(std::uint32_t kind) const {
        std::vector<OpaqueEventHandlerRef*> wanted;
        for (const auto& handler : handlers_) {
            const bool takesKind = std::any_of(handler->types.begin(), handler->types.end(), [kind](const auto& type) {
                return type.eventClass == kEventClassKeyboard && type.eventKind == kind;
            });
            if (takesKind) wanted.push_back(handler.get());
        }
        return wanted;
    }

    char targetTag_ = 0;
    ModifierMasks masks_;
    std::uint8_t xkbEventBase_ = 0;
    std::vector<std::unique_ptr<OpaqueEventHandlerRef>> handlers_;
    std::vector<std::unique_ptr<OpaqueEventHotKeyRef>> hotKeys_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// On Qt's Wayland platform no key typed into another application reaches
// Dusk: the desktop's shortcuts portal stands in for the key grab, and the
// desktop decides which keys the shortcut gets. The portal binds one
// shortcut per session, so there is one registration at a time.
class PortalHotKey final {
public:
    static bool inUse() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

    static PortalHotKey& shared() {
        static PortalHotKey instance;
        return instance;
    }

    bool owns(EventHotKeyRef hotKey) { return hotKey == handle(); }

    OSStatus registerHotKey(const Chord& wanted, EventHotKeyID id, EventHotKeyRef* outRef) {
        if (id_) return eventHotKeyExistsErr;
        const XkbContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
        const XkbKeymapPtr keymap(context ? newCurrentKeymap(context.get()) : nullptr);
        const auto trigger = preferredTrigger(wanted, keymap.get());
        if (!trigger) return paramErr;
        auto& portal = GlobalShortcutsPortal::shared();
        portal.onActivated = [this] {
            if (id_) HotKeys::shared().send(*id_);
        };
        portal.onTriggerChanged = [this](const GlobalShortcutsPortal::Trigger& now) { reportSoon(now); };
        const auto outcome = portal.bind(*trigger);
        ++generation_;
        if (!outcome.trigger) {
            portal.unbind();
            logError("the global shortcut is not bound: " + outcome.problem +
                     (outcome.answered ? "" : "; bind `dusk toggle` to a key in the desktop's own settings instead"));
            return outcome.answered ? eventHotKeyExistsErr : eventInternalErr;
        }
        id_ = id;
        if (outRef != nullptr) *outRef = handle();
        // The desktop may have bound other keys than the ones asked for.
        if (readTrigger(*outcome.trigger, keymap.get()) != wanted) reportSoon(outcome.trigger);
        return noErr;
    }

    OSStatus unregisterHotKey() {
        if (!id_) return eventHotKeyInvalidErr;
        ++generation_;
        id_.reset();
        GlobalShortcutsPortal::shared().unbind();
        return noErr;
    }

private:
    EventHotKeyRef handle() { return reinterpret_cast<EventHotKeyRef>(&tag_); }

    // After the registration that prompted it has returned, and only while
    // that registration lasts.
    void reportSoon(const GlobalShortcutsPortal::Trigger& trigger) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [this, trigger, generation = generation_] {
                if (generation != generation_ || !id_) return;
                std::optional<Chord> keys;
                if (trigger) {
                    const XkbContextPtr context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
                    const XkbKeymapPtr keymap(context ? newCurrentKeymap(context.get()) : nullptr);
                    keys = readTrigger(*trigger, keymap.get());
                    if (!keys)
                        logError("the desktop bound the global shortcut to \"" + *trigger +
                                 "\", keys Dusk cannot name");
                }
                HotKeys::shared().send(*id_, kEventHotKeyBindingChanged, keys);
            },
            Qt::QueuedConnection);
    }

    std::optional<EventHotKeyID> id_;
    unsigned generation_ = 0;
    char tag_ = 0;
};

}  // namespace
}  // namespace dusk::backend

namespace platform {

using dusk::backend::HotKeys;

using dusk::backend::PortalHotKey;

EventTargetRef GetEventDispatcherTarget() { return HotKeys::shared().target(); }

std::uint32_t GetEventKind(EventRef event) { return event->kind; }

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerProcPtr handler, std::uint32_t numTypes,
                             const EventTypeSpec* list, void* userData, EventHandlerRef* outRef) {
    if (target != HotKeys::shared().target() || handler == nullptr) return dusk::backend::paramErr;
    auto ref = HotKeys::shared().install(handler, std::vector<EventTypeSpec>(list, list + numTypes), userData);
    if (outRef != nullptr) *outRef = ref;
    return noErr;
}

OSStatus GetEventParameter(EventRef event, OSType name, OSType desiredType, OSType* outActualType,
                           std::uint32_t bufferSize, std::uint32_t* outActualSize, void* outData) {
    if (event != nullptr && (name == kEventParamKeyCode || name == kEventParamKeyModifiers)) {
        if (desiredType != typeUInt32 || !event->binding) return eventParameterNotFoundErr;
        if (bufferSize < sizeof(std::uint32_t) || outData == nullptr) return dusk::backend::paramErr;
        const std::uint32_t value =
            name == kEventParamKeyCode ? event->binding->keyCode : event->binding->carbonModifiers;
        std::memcpy(outData, &value, sizeof value);
        if (outActualType != nullptr) *outActualType = typeUInt32;
        if (outActualSize != nullptr) *outActualSize = sizeof value;
        return noErr;
    }
    if (event == nullptr || name != kEventParamDirectObject || desiredType != typeEventHotKeyID) {
        return eventParameterNotFoundErr;
    }
    if (bufferSize < sizeof(EventHotKeyID) || outData == nullptr) return dusk::backend::paramErr;
    std::memcpy(outData, &event->hotKeyID, sizeof(EventHotKeyID));
    if (outActualType != nullptr) *outActualType = typeEventHotKeyID;
    if (outActualSize != nullptr) *outActualSize = sizeof(EventHotKeyID);
    return noErr;
}

OSStatus RegisterEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID hotKeyID,
                             EventTargetRef target, std::uint32_t, EventHotKeyRef* outRef) {
    if (target != HotKeys::shared().target()) return dusk::backend::paramErr;
    if (PortalHotKey::inUse()) return PortalHotKey::shared().registerHotKey({keyCode, modifiers}, hotKeyID, outRef);
    return HotKeys::shared().registerHotKey(keyCode, modifiers, hotKeyID, outRef);
}

OSStatus UnregisterEventHotKey(EventHotKeyRef hotKey) {
    if (PortalHotKey::shared().owns(hotKey)) return PortalHotKey::shared().unregisterHotKey();
    return HotKeys::shared().unregisterHotKey(hotKey);
}

}  // namespace platform
