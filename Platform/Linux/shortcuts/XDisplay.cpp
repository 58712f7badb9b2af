#include "shortcuts/XDisplay.h"

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
#include <cstdlib>

#include "common/Log.h"
#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

// The connection in use: cleared when the server drops it, so that the next
// use connects afresh.
QPointer<XDisplay>& current() {
    static QPointer<XDisplay> display;
    return display;
}

}  // namespace

XDisplay* XDisplay::shared() {
    auto& display = current();
    if (display) return display;
    auto* application = QCoreApplication::instance();
    const char* name = std::getenv("DISPLAY");
    if (application == nullptr || name == nullptr || *name == '\0') return nullptr;
    int screenNumber = 0;
    XcbConnection connection(xcb_connect(name, &screenNumber));
    if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) return nullptr;
    // The application owns it: it closes before the loop that serves it goes.
    display = new XDisplay(std::move(connection), screens.data->root, application);
    return display;
}

XDisplay::XDisplay(XcbConnection connection, xcb_window_t root, QObject* parent)
    : QObject(parent),
      connection_(std::move(connection)),
      root_(root),
      notifier_(std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(connection_.get()), QSocketNotifier::Read)) {
    connect(notifier_.get(), &QSocketNotifier::activated, this, &XDisplay::drain);
    setUpXkb();
    drainSoon();
}

XDisplay::~XDisplay() = default;

void XDisplay::setUpXkb() {
    xcb_connection_t* const c = connection();
    std::uint8_t eventBase = 0;
    // Two round trips, once per connection, as much a part of connecting as
    // the connection's own setup.
    if (xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, &eventBase, nullptr) == 0) {
        logError("the X server offers no XKB: keys are named from the system's keyboard configuration");
        return;
    }
    xkbEventBase_ = eventBase;
    // An XKB client hears of a new keymap (setxkbmap) or modifier mapping
    // (xmodmap) through XKB alone.
    constexpr std::uint16_t events = XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
    constexpr std::uint16_t mapParts = XCB_XKB_MAP_PART_KEY_TYPES | XCB_XKB_MAP_PART_KEY_SYMS |
                                       XCB_XKB_MAP_PART_MODIFIER_MAP | XCB_XKB_MAP_PART_VIRTUAL_MODS |
                                       XCB_XKB_MAP_PART_VIRTUAL_MOD_MAP;
    xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, mapParts, mapParts, nullptr);
    // A held key then repeats as presses alone, without the releases the
    // core protocol puts between them: the real release ends a press.
    constexpr auto detectable = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
    const auto cookie = xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD, detectable, detectable, 0, 0, 0);
    whenAnswered(cookie.sequence, [](XcbReply<void> reply, XcbReply<xcb_generic_error_t>) {
        const auto* flags = static_cast<const xcb_xkb_per_client_flags_reply_t*>(reply.get());
        if (flags == nullptr || (flags->value & detectable) == 0) {
            logError("the X server cannot tell key repeat from presses; holding the shortcut may toggle again");
        }
    });
    xcb_flush(c);
}

void XDisplay::whenAnswered(unsigned int sequence, Answer answered) {
    waiting_.emplace_back(sequence, std::move(answered));
}

void XDisplay::fence(std::function<void()> answered) {
    const auto cookie = xcb_get_input_focus(connection());
    whenAnswered(cookie.sequence,
                 [answered = std::move(answered)](XcbReply<void>, XcbReply<xcb_generic_error_t>) { answered(); });
    xcb_flush(connection());
}

void XDisplay::drainSoon() {
    QTimer::singleShot(0, this, [this] { drain(); });
}

void XDisplay::drain() {
    xcb_connection_t* const c = connection();
    // Reading an answer may read events behind it, and the other way round:
    // go on until neither brings anything.
    for (bool progressed = true; progressed;) {
        progressed = false;
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            progressed = true;
            // Type 0 is the error of a request sent unchecked, whose outcome
            // nothing waits for.
            if (event->response_type != 0 && onEvent) onEvent(*event);
        }
        while (!waiting_.empty()) {
            void* reply = nullptr;
            xcb_generic_error_t* error = nullptr;
            if (xcb_poll_for_reply(c, waiting_.front().first, &reply, &error) == 0) break;
            progressed = true;
            const Answer answered = std::move(waiting_.front().second);
            waiting_.pop_front();
            if (answered) answered(XcbReply<void>(reply), XcbReply<xcb_generic_error_t>(error));
        }
    }
    if (xcb_connection_has_error(c) == 0) return;
    notifier_->setEnabled(false);
    current() = nullptr;
    waiting_.clear();
    logError("the X server closed Dusk's connection; the global shortcut went with it");
    if (onLost) onLost();
    deleteLater();
}

std::optional<Keymap> xServerKeymap(xkb_context* context) {
    XDisplay* display = XDisplay::shared();
    if (display == nullptr || !display->hasXkb()) return std::nullopt;
    xcb_connection_t* const connection = display->connection();
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    XkbKeymap keymap(device < 0 ? nullptr
                                : xkb_x11_keymap_new_from_device(context, connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS));
    const XkbState state(keymap ? xkb_x11_state_new_from_device(keymap.get(), connection, device) : nullptr);
    display->drainSoon();
    if (!state) return std::nullopt;
    return Keymap{std::move(keymap), xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE)};
}

}  // namespace dusk::backend
