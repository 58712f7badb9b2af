#include <QApplication>
#include <QTimer>
#include <memory>
#include <utility>

#include "appearance/DesktopAppearance.h"
#include "appearance/GnomeColorScheme.h"
#include "appearance/Palette.h"
#include "appearance/PlasmaColorScheme.h"
#include "appearance/SettingsPortal.h"
#include "appearance/SideTracker.h"
#include "common/Log.h"
#include "platform/Appearance.h"

namespace dusk::backend {
namespace {

// How long start-up waits for the portal's first word before GNOME's setting
// speaks instead. A running portal answers within milliseconds; one the bus
// starts on demand, with its GTK backend, answered in 160 to 280 ms on a busy
// two-core machine. A portal that never answers holds Dusk back by this much,
// and no more: its answer still counts whenever it comes.
constexpr int portalDeadlineMilliseconds = 500;

// Where the side is read when no portal answers, and how it is written, for
// this session's desktop.
SideTracker::Desktop desktopHere() {
    // On Plasma, Plasma's own colour scheme would be the truer reading; until
    // Dusk reads it, GNOME's setting is the one there is.
    return {gnome::prefersDark, onPlasma() ? applyPlasmaScheme : gnome::write};
}

SideTracker& tracker() {
    static SideTracker instance(desktopHere());
    return instance;
}

}  // namespace

void prepareAppearance(std::function<void()> ready) {
    gnome::follow([](bool dark) { tracker().settingChanged(dark); });
    const bool windows = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    if (windows) tracker().onChange([] { applyPalette(tracker().isDark()); });
    // The portal's first word or the deadline, whichever comes first, starts
    // Dusk; the other finds it started.
    auto waiting = std::make_shared<std::function<void()>>([ready = std::move(ready), windows] {
        if (windows) applyPalette(tracker().isDark());
        ready();
    });
    const auto start = [waiting] {
        if (*waiting) std::exchange(*waiting, nullptr)();
    };
    new SettingsPortal(
        [start](std::optional<bool> dark) {
            tracker().portalSaid(dark);
            start();
        },
        QCoreApplication::instance());
    auto* deadline = new QTimer(QCoreApplication::instance());
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, deadline, [deadline, waiting, start] {
        deadline->deleteLater();
        if (!*waiting) return;
        logNotice("the Settings portal has not answered in " + std::to_string(portalDeadlineMilliseconds) +
                  " ms; GNOME's setting speaks until it does");
        tracker().portalSaid(std::nullopt);
        start();
    });
    deadline->start(portalDeadlineMilliseconds);
}

}  // namespace dusk::backend

namespace platform {

bool Appearance::isDark() { return dusk::backend::tracker().isDark(); }

void Appearance::toggle(Done done) {
    dusk::backend::tracker().toggle(
        [done = std::move(done)](bool dark, const dusk::backend::SideTracker::Failure& failure) {
            if (!failure) return done(std::nullopt);
            dusk::backend::logError(std::string("couldn't switch to ") + (dark ? "Dark" : "Light") + ": " + *failure);
            done(AppearanceFailure{false, *failure});
        });
}

void Appearance::onChange(std::function<void()> changed) { dusk::backend::tracker().onChange(std::move(changed)); }

// Linux asks no permission of the user for a change of appearance: no
// failure sends anyone here.
void Appearance::openPermissionSettings() {}

}  // namespace platform
