#include "Display.h"

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace dusk::backend {
namespace {

// Qt aborts with a page of diagnostics when it cannot reach a display; a
// user who started Dusk from a text console deserves one plain line.
// Answers whether the X display answers.
bool requireDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool hasDisplay = display != nullptr && *display != '\0';
    const bool hasWayland = wayland != nullptr && *wayland != '\0';
    if (!hasDisplay && !hasWayland) {
        std::fputs("dusk: no graphical display to run on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
        std::exit(EXIT_FAILURE);
    }
    if (!hasDisplay) return false;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> probe(xcb_connect(nullptr, nullptr),
                                                                             &xcb_disconnect);
    const bool reachable = xcb_connection_has_error(probe.get()) == 0;
    if (!reachable && !hasWayland) {
        std::fprintf(stderr, "dusk: cannot open the X display %s\n", display);
        std::exit(EXIT_FAILURE);
    }
    return reachable;
}

}  // namespace

void chooseQtPlatform() {
    // Dusk speaks X11 for its global shortcut; under Wayland it still
    // draws through XWayland when the compositor offers it.
    if (requireDisplay() && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "xcb", 0);
    }
}

}  // namespace dusk::backend
