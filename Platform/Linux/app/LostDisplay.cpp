#include "app/LostDisplay.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

// After Qt: Xlib defines macros (CursorShape, None, Bool) that break its headers.
#include <X11/Xlib.h>

namespace dusk::backend {
namespace {

QtMessageHandler previousMessageHandler = nullptr;
XIOErrorHandler previousIOErrorHandler = nullptr;

// Qt's own check and Xlib's can both fire on the way out, and under Wayland
// Qt's main thread and its event thread each see the broken connection and
// end the process straight after their message. So whoever comes second
// waits here until the line is written: returning early, it would end the
// process in the middle of the first one's write and leave no line at all.
void sayOnce(const char* kind, const char* variable) {
    static std::once_flag said;
    std::call_once(said, [kind, variable] {
        const char* name = std::getenv(variable);
        std::fprintf(stderr, "dusk: lost the connection to the %s display %s\n", kind, name != nullptr ? name : "");
    });
}

void reportInsteadOfQt(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("The X11 connection broke"))) {
        sayOnce("X", "DISPLAY");
    } else if (type == QtWarningMsg && message.startsWith(QLatin1String("The Wayland connection "))) {
        // "broke" when the compositor hung up, "experienced a fatal error"
        // for whatever else ended the connection.
        sayOnce("Wayland", "WAYLAND_DISPLAY");
    } else if (previousMessageHandler != nullptr) {
        previousMessageHandler(type, context, message);
    }
}

// Xlib ends the process itself should a handler return.
[[noreturn]] int reportInsteadOfXlib(Display*) {
    sayOnce("X", "DISPLAY");
    std::exit(EXIT_FAILURE);
}

}  // namespace

LostDisplayReport::LostDisplayReport() {
    previousMessageHandler = qInstallMessageHandler(reportInsteadOfQt);
    previousIOErrorHandler = XSetIOErrorHandler(reportInsteadOfXlib);
}

LostDisplayReport::~LostDisplayReport() {
    XSetIOErrorHandler(previousIOErrorHandler);
    qInstallMessageHandler(previousMessageHandler);
}

}  // namespace dusk::backend
