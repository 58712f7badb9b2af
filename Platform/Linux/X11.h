// Dusk's own connection to the X server, for key grabs and the keyboard
// layout; Qt keeps its own for drawing.
#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace dusk::backend {

struct FreeWithFree {
    void operator()(void* memory) const { std::free(memory); }
};
// Every reply and error XCB hands over is the caller's to free.
template <typename T>
using XcbReply = std::unique_ptr<T, FreeWithFree>;

struct XcbDisconnect {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};

class X11 final {
public:
    // None where there is no X display, as in a Wayland session without
    // XWayland.
    static X11* shared();

    xcb_connection_t* connection() const { return connection_.get(); }
    xcb_window_t root() const { return root_; }
    // Sets up the XKB extension once; false when the server lacks it.
    bool xkbReady();

    X11(std::unique_ptr<xcb_connection_t, XcbDisconnect> connection, xcb_window_t root);

private:
    std::unique_ptr<xcb_connection_t, XcbDisconnect> connection_;
    xcb_window_t root_;
    int xkbState_ = 0;  // 0 untried, 1 ready, -1 unavailable
};

}  // namespace dusk::backend
