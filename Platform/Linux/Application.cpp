#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QPixmapCache>
#include <QTimer>
#include <QUrl>
#include <utility>

#include "Display.h"
#include "Internal.h"
#include "LostDisplay.h"
#include "QuitSignals.h"

namespace platform {
namespace {

// argc and argv outlive the application object, as Qt requires.
struct ProgramName {
    int argc = 1;
    char name[5] = "dusk";
    char* argv[2] = {name, nullptr};
};

struct QtApplication : ProgramName {
    std::unique_ptr<QApplication> application;
    // Declared after the application, so they go before it.
    std::unique_ptr<dusk::backend::LostDisplayReport> lostDisplayReport;
    std::unique_ptr<dusk::backend::QuitSignals> quitSignals;

    QtApplication() {
        dusk::backend::chooseQtPlatform();
        application = std::make_unique<QApplication>(argc, argv);
        QApplication::setApplicationName("dusk");
        QApplication::setDesktopFileName("app.dusk.Dusk");
        // A tray utility lives on after its recorder window closes.
        QApplication::setQuitOnLastWindowClosed(false);
        // Qt has set Xlib's handlers by now; Dusk's replace them.
        lostDisplayReport = std::make_unique<dusk::backend::LostDisplayReport>();
        quitSignals =
            std::make_unique<dusk::backend::QuitSignals>([] { Application::sharedApplication().terminate(); });
    }
    QtApplication(const QtApplication&) = delete;
    QtApplication& operator=(const QtApplication&) = delete;
    QtApplication(QtApplication&&) = delete;
    QtApplication& operator=(QtApplication&&) = delete;
};

// A QApplication must die while Qt's own globals still stand, and after the
// widgets the delegate holds. Those go when main returns; the application
// goes in the first exit handler after that (see Application::run). Static
// destruction comes after Qt's globals, too late for it: an application
// still here then, as when Qt itself ends the process from inside the loop,
// is left to the operating system.
struct QtApplicationOwner {
    std::unique_ptr<QtApplication> instance;
    QtApplicationOwner() = default;
    QtApplicationOwner(const QtApplicationOwner&) = delete;
    QtApplicationOwner& operator=(const QtApplicationOwner&) = delete;
    QtApplicationOwner(QtApplicationOwner&&) = delete;
    QtApplicationOwner& operator=(QtApplicationOwner&&) = delete;
    ~QtApplicationOwner() { static_cast<void>(instance.release()); }
};

QtApplicationOwner& qtApplication() {
    static QtApplicationOwner owner;
    return owner;
}

void releaseQtApplication() { qtApplication().instance.reset(); }

std::weak_ptr<ApplicationDelegate>& applicationDelegate() {
    static std::weak_ptr<ApplicationDelegate> delegate;
    return delegate;
}

bool& terminateRequested() {
    static bool requested = false;
    return requested;
}

bool& mainLoopEnded() {
    static bool ended = false;
    return ended;
}

// Work the loop will never run is dropped as the loop ends, while main still
// owns what that work holds on to. Left queued, it would go inside the
// application's destructor, with Qt's queue locked: a widget it held, dying
// there, asks for that lock again and the process never exits.
void dropUnrunWork() {
    mainLoopEnded() = true;
    QCoreApplication::removePostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
}

}  // namespace

Application& Application::sharedApplication() {
    static Application application;
    // Made once: nothing that runs after its release may bring it back.
    [[maybe_unused]] static const bool started = [] {
        qtApplication().instance = std::make_unique<QtApplication>();
        return true;
    }();
    return application;
}

void Application::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
    applicationDelegate() = std::move(delegate);
}

// There is no Dock on this desktop; a tray utility keeps out of the task bar
// by making its windows tool windows, which the window code does.
void Application::setActivationPolicy(ActivationPolicy) {}

void Application::run() {
    dusk::backend::applyPalette(dusk::backend::desktopPrefersDark());
    // Launching finishes inside the loop, so a terminate from the delegate
    // ends a loop that is already running.
    QTimer::singleShot(0, [] {
        if (const auto delegate = applicationDelegate().lock()) delegate->applicationDidFinishLaunching();
    });
    if (!terminateRequested()) QApplication::exec();
    dropUnrunWork();
    // Registered last, this runs first of all exit handlers: after main has
    // released the delegate and its widgets, before Qt's globals go. Should
    // registration fail, the application is left to the operating system.
    static_cast<void>(std::atexit(releaseQtApplication));
}

void Application::terminate() {
    terminateRequested() = true;
    // Ends every loop, a modal alert's included.
    QCoreApplication::exit(0);
}

void Application::activateIgnoringOtherApps(bool) {
    // The alert or window about to be shown raises itself; anything already
    // open comes forward now.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible()) continue;
        widget->raise();
        widget->activateWindow();
    }
}

void MainQueue::async(std::function<void()> work) {
    if (mainLoopEnded()) return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void Sound::beep() { QApplication::beep(); }

std::optional<URL> URL::URLWithString(std::string_view string) {
    const QUrl url(QString::fromUtf8(string.data(), static_cast<qsizetype>(string.size())), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
    return URL(std::string(string));
}

Workspace& Workspace::sharedWorkspace() {
    static Workspace workspace;
    return workspace;
}

bool Workspace::openURL(const URL& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url.absoluteString())));
}

ProcessInfo& ProcessInfo::processInfo() {
    static ProcessInfo info;
    return info;
}

int ProcessInfo::processIdentifier() const { return static_cast<int>(::getpid()); }

}  // namespace platform

namespace dusk::backend {
namespace {

int& openWindows() {
    static int count = 0;
    return count;
}

// A tray utility spends most of its life with no window open. What only
// windows needed goes with the last of them: the pieces the style drew and
// cached, and the heap pages their widgets, layouts and backing stores
// freed, which glibc otherwise keeps for allocations that will not come.
// Qt's font engines and font database stay: Qt has no supported call that
// drops them.
void releaseWindowMemory() {
    if (openWindows() > 0) return;
    QPixmapCache::clear();
    malloc_trim(0);
}

}  // namespace

OpenWindow::OpenWindow() { ++openWindows(); }

// The widget's children and backing store go after its members, so the
// release waits for the next turn of the loop.
OpenWindow::~OpenWindow() {
    if (--openWindows() == 0) platform::MainQueue::async(releaseWindowMemory);
}

}  // namespace dusk::backend
