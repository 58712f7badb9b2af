// The process's loop: QApplication for Dusk in the tray, QCoreApplication
// for a command, which needs no display.
#include <QApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>
#include <utility>

#include "app/Display.h"
#include "app/LostDisplay.h"
#include "app/QuitSignals.h"
#include "appearance/DesktopAppearance.h"
#include "platform/Session.h"

namespace dusk::backend {
namespace {

struct LoopState {
    bool quitRequested = false;
    // Work posted after this will never run and is dropped at once.
    bool ended = false;
};

LoopState& loop() {
    static LoopState state;
    return state;
}

// Qt keeps argc and argv for the application object's lifetime.
int argc = 1;
char programName[] = "dusk";
char* argv[] = {programName, nullptr};

// At exit, statics go in the reverse order of their making. Qt makes its
// registry of custom types on first use, which QtDBus's first connection
// comes to only after making its own connection manager: the registry went
// first, and an error answer that QtDBus's thread passed on in the moment
// between found QDBusError and QDBusMessage unknown ("Trying to construct an
// instance of an invalid type"). Made here, before any bus, it goes last.
void makeTypeRegistryBeforeTheBus() {
    qRegisterMetaType<QDBusError>();
    qRegisterMetaType<QDBusMessage>();
}

// Work the loop will never run goes while Qt is whole, with whatever it
// holds on to; left queued, it would die inside the application's
// destructor, where Qt's queue is locked.
void endLoop() {
    loop().ended = true;
    QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

using dusk::backend::loop;

int Session::run(std::function<void()> launched) {
    dusk::backend::chooseQtPlatform();
    const QApplication application(dusk::backend::argc, dusk::backend::argv);
    dusk::backend::makeTypeRegistryBeforeTheBus();
    QApplication::setApplicationName(QStringLiteral("dusk"));
    QApplication::setDesktopFileName(QStringLiteral("app.dusk.Dusk"));
    // A tray utility lives on after its recorder window closes.
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt has set Xlib's handlers by now; these replace them.
    const dusk::backend::LostDisplayReport lostDisplay;
    const dusk::backend::QuitSignals quitSignals([] { quit(); });
    dusk::backend::prepareAppearance([&launched] {
        // Launching finishes inside the loop, so that a quit from it ends a
        // loop that is already running.
        post([&launched] {
            if (launched) launched();
        });
    });
    const int status = loop().quitRequested ? 0 : QApplication::exec();
    dusk::backend::endLoop();
    // Dusk's windows and tray item go while the application still stands:
    // Qt's Wayland platform cannot tear down a window the application's own
    // destructor finds still there. Alerts still up own themselves.
    launched = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->testAttribute(Qt::WA_DeleteOnClose)) delete window;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return status;
}

int Session::runCommand(const std::function<void(Finish)>& command) {
    const QCoreApplication application(dusk::backend::argc, dusk::backend::argv);
    dusk::backend::makeTypeRegistryBeforeTheBus();
    std::optional<int> status;
    dusk::backend::prepareAppearance([&command, &status] {
        command([&status](int finished) {
            if (status) return;
            status = finished;
            QCoreApplication::exit(finished);
        });
    });
    if (!status) QCoreApplication::exec();
    dusk::backend::endLoop();
    return status.value_or(1);
}

void Session::post(std::function<void()> work) {
    auto* application = QCoreApplication::instance();
    if (loop().ended || application == nullptr) return;
    QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

void Session::quit() {
    loop().quitRequested = true;
    QCoreApplication::exit(0);
}

}  // namespace platform
