#include "tray/TrayNotice.h"

#include <QStringList>
#include <functional>
#include <string>
#include <utility>

#include "common/Installation.h"
#include "common/Log.h"
#include "common/Notification.h"
#include "settings/SettingsFile.h"
#include "shortcuts/CompositorKeys.h"

namespace dusk::backend {
namespace {

// What is true here: a shortcut that works, or none at all (a Wayland
// compositor with no shortcuts portal), and then how to bind `dusk toggle`
// in the compositor instead.
struct Words {
    std::string logLine;
    QString summary;
    QString body;
};

Words words() {
    const std::string quit = "To quit Dusk without its menu, run: pkill -x dusk";
    if (const auto keys = shortcutNoOneCanBind()) {
        const std::string bind = howToBindInTheCompositor(*keys);
        return {
            "no system tray and no global shortcuts here (no StatusNotifierWatcher on the session bus, no "
            "GlobalShortcuts portal, no X display): Dusk runs without an icon, and its shortcut cannot work. " +
                bind + " To quit Dusk: pkill -x dusk",
            QStringLiteral("Dusk is running without an icon or a shortcut"),
            QStringLiteral("This desktop has no system tray and lets no application have a global shortcut, so "
                           "Dusk can show no icon and its keyboard shortcut does nothing here.\n") +
                QString::fromStdString(bind + "\n" + quit)};
    }
    return {
        "no system tray here (no StatusNotifierWatcher on the session bus, no XEmbed tray on the X display): Dusk "
        "runs without an icon, and its shortcut still switches between Light and Dark. On GNOME, the AppIndicator "
        "extension (gnome-shell-extension-appindicator) gives Dusk its icon; Dusk shows it as soon as a tray "
        "appears. To quit Dusk without its menu: pkill -x dusk",
        QStringLiteral("Dusk is running without a tray icon"),
        QStringLiteral("This desktop has no system tray, so Dusk cannot show its icon and menu. Its keyboard "
                       "shortcut still switches between Light and Dark.\n"
                       "On GNOME, install the AppIndicator extension (gnome-shell-extension-appindicator); "
                       "Dusk's icon appears as soon as there is a tray.\n") +
            QString::fromStdString(quit)};
}

// The desktops already told, one name a line, beside Dusk's other state.
std::string toldFile() { return stateHome() + "/dusk/no-tray-notified"; }

QString desktopName() {
    const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    return desktop.isEmpty() ? QStringLiteral("unnamed desktop") : desktop;
}

// The desktops told before; none where the file holds no such list (a FIFO,
// a device, a huge file), which is then neither read nor written.
std::optional<std::string> desktopsTold() {
    std::string problem;
    auto told = readRegularFile(toldFile(), problem);
    if (!problem.empty()) {
        logError(toldFile() + " is ignored: " + problem);
        return std::nullopt;
    }
    return told.value_or("");
}

}  // namespace

void TrayNotice::tell(Reminder reminder) {
    const Words said = words();
    logNotice(said.logLine);
    withdrawn_ = false;
    const auto told = desktopsTold();
    const bool toldBefore = told && QString::fromStdString(*told).split('\n').contains(desktopName());
    if (toldBefore && reminder == OncePerDesktop) return;
    notify(
        said.summary, said.body, this,
        [this, told, toldBefore](uint notification) {
            // Told for real: not again at the next login, unless a tray comes.
            if (!toldBefore) {
                marked_ = told && makeDirectories(stateHome() + "/dusk") &&
                          writeFileAtomically(toldFile(), *told + desktopName().toStdString() + "\n");
            }
            notification_ = notification;
            if (withdrawn_) withdraw();
        },
        notification_);
}

void TrayNotice::sayAlreadyRunning() {
    notify(
        QStringLiteral("Dusk is already running"),
        QStringLiteral("Its icon is in the system tray: click it for Dusk's menu."), this,
        [this](uint notification) { alreadyRunning_ = notification; }, alreadyRunning_);
}

void TrayNotice::withdraw() {
    withdrawn_ = true;
    // A tray after all: this desktop has one, late, and a desktop that
    // loses it some day is to be told then.
    const auto told = std::exchange(marked_, false) ? desktopsTold() : std::nullopt;
    if (told) {
        QStringList desktops = QString::fromStdString(*told).split('\n', Qt::SkipEmptyParts);
        desktops.removeAll(desktopName());
        writeFileAtomically(toldFile(), desktops.isEmpty() ? "" : (desktops.join('\n') + '\n').toStdString());
    }
    if (notification_ == 0) return;
    withdrawNotification(notification_);
    notification_ = 0;
}

}  // namespace dusk::backend
