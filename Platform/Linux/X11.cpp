#include "X11.h"

#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>

namespace dusk::backend {

X11::X11(std::unique_ptr<xcb_connection_t, XcbDisconnect> connection, xcb_window_t root)
    : connection_(std::move(connection)), root_(root) {}

X11* X11::shared() {
    static const std::unique_ptr<X11> instance = []() -> std::unique_ptr<X11> {
        const char* display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') return nullptr;
        int screenNumber = 0;
        std::unique_ptr<xcb_connection_t, XcbDisconnect> connection(xcb_connect(display, &screenNumber));
        if (xcb_connection_has_error(connection.get()) != 0) return nullptr;
        auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection.get()));
        for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
        if (screens.rem == 0) return nullptr;
        return std::make_unique<X11>(std::move(connection), screens.data->root);
    }();
    return instance.get();
}

bool X11::xkbReady() {
    if (xkbState_ == 0) {
        const int ok =
            xkb_x11_setup_xkb_extension(connection_.get(), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                        XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr);
        xkbState_ = ok != 0 ? 1 : -1;
    }
    return xkbState_ == 1;
}

}  // namespace dusk::backend
