#include "app/Display.h"

#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace dusk::backend {
namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Qt aborts with a page of diagnostics when it cannot reach a display; a
// user who started Dusk from a text console deserves one plain line.
// Answers whether the X display answers.
bool requireDisplay() {
    const bool hasDisplay = isSet("DISPLAY");
    const bool hasWayland = isSet("WAYLAND_DISPLAY");
    if (!hasDisplay && !hasWayland) {
        std::fputs("dusk: no graphical display to run on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
        std::exit(EXIT_FAILURE);
    }
    if (!hasDisplay) return false;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> probe(xcb_connect(nullptr, nullptr),
                                                                             &xcb_disconnect);
    const bool reachable = xcb_connection_has_error(probe.get()) == 0;
    if (!reachable && !hasWayland) {
        std::fprintf(stderr, "dusk: cannot open the X display %s\n", std::getenv("DISPLAY"));
        std::exit(EXIT_FAILURE);
    }
    return reachable;
}

// Qt's own messages while its platform starts: kept back, so that a start
// that fails ends in one line rather than Qt's page and an abort, and
// passed on once the platform is up.
struct HeldMessages {
    QtMessageHandler previous = nullptr;
    std::string lastWarning;
    std::string held;
};
HeldMessages& heldMessages() {
    static HeldMessages messages;
    return messages;
}

void passOnHeld() {
    auto& messages = heldMessages();
    if (messages.held.empty()) return;
    std::fputs(messages.held.c_str(), stderr);
    messages.held.clear();
}

void holdWhileStarting(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    auto& messages = heldMessages();
    const bool started = !QGuiApplication::platformName().isEmpty();
    if (type == QtFatalMsg && !started) {
        const std::string platform = qEnvironmentVariable("QT_QPA_PLATFORM").toStdString();
        std::fprintf(stderr, "dusk: cannot start on this display (Qt platform %s): %s\n",
                     platform.empty() ? "default" : platform.c_str(),
                     messages.lastWarning.empty() ? message.toStdString().c_str() : messages.lastWarning.c_str());
        std::fflush(stderr);
        // Half-made Qt objects must not be torn down by exit handlers.
        std::_Exit(EXIT_FAILURE);
    }
    if (!started) {
        const std::string text = message.toStdString();
        if (type != QtDebugMsg && type != QtInfoMsg) messages.lastWarning = text;
        messages.held += text + "\n";
        return;
    }
    passOnHeld();
    if (messages.previous != nullptr) {
        messages.previous(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

}  // namespace

void chooseQtPlatform() {
    const bool x11 = requireDisplay();
    heldMessages().previous = qInstallMessageHandler(&holdWhileStarting);
    // Run by QApplication's constructor once its platform is up.
    qAddPreRoutine(&passOnHeld);
    if (isSet("QT_QPA_PLATFORM")) return;
    // A Wayland session is drawn natively, with X11 (XWayland) to fall back
    // on; the global shortcut finds its own way, whichever Qt draws through.
    if (isSet("WAYLAND_DISPLAY")) {
        ::setenv("QT_QPA_PLATFORM", x11 ? "wayland;xcb" : "wayland", 1);
    } else {
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
}

}  // namespace dusk::backend
