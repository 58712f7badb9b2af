// Dusk's own connection to the X server, for the shortcut's key grab and the
// names of keys. Qt keeps a connection of its own where it draws through
// X11; on Wayland it has none, and an X display that answers (XWayland)
// still serves Dusk here.
//
// Requests that want an answer do not wait for it: the answer is handed on
// from the connection's queue once the server has sent it, so the main loop
// never stands still for the server.
#pragma once

#include <QObject>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>

#include "common/Xcb.h"

class QSocketNotifier;

namespace dusk::backend {

class XDisplay final : public QObject {
    Q_OBJECT

public:
    // The connection to $DISPLAY, made on first use and kept until the
    // application goes or the server drops it; none where no X display
    // answers, or before there is an application whose loop can serve it.
    static XDisplay* shared();
    ~XDisplay() override;

    xcb_connection_t* connection() const { return connection_.get(); }
    xcb_window_t root() const { return root_; }
    // Whether the server speaks XKB with Dusk: keymaps to name keys by, key
    // repeat told apart from presses, notice of a new keymap.
    bool hasXkb() const { return xkbEventBase_ != 0; }
    std::uint8_t xkbEventBase() const { return xkbEventBase_; }

    // `answered` gets the reply to the request with this sequence number, or
    // its error, once the server has sent it; answers come in request order.
    // A checked request without a reply is answered once a later request's
    // reply arrives: follow such requests with a fence.
    using Answer = std::function<void(XcbReply<void> reply, XcbReply<xcb_generic_error_t> error)>;
    void whenAnswered(unsigned int sequence, Answer answered);
    // A request whose reply comes after the answers to every request before
    // it; `answered` runs then. Flushes what is queued.
    void fence(std::function<void()> answered);
    // A request made synchronously may have read events and answers into
    // xcb's queue, which the socket will not announce again.
    void drainSoon();

    // Each event the server sends, in order, on the main thread.
    std::function<void(const xcb_generic_event_t& event)> onEvent;
    // The server dropped the connection: every grab went with it.
    std::function<void()> onLost;

private:
    XDisplay(XcbConnection connection, xcb_window_t root, QObject* parent);
    void setUpXkb();
    void drain();

    XcbConnection connection_;
    xcb_window_t root_;
    std::uint8_t xkbEventBase_ = 0;
    std::deque<std::pair<unsigned int, Answer>> waiting_;
    // Declared after the connection: it goes first, while its socket is open.
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace dusk::backend
