#include "tray/TrayNotice.h"

#include <string>

#include "common/Installation.h"
#include "common/Log.h"
#include "common/Notification.h"
#include "settings/SettingsFile.h"

namespace dusk::backend {
namespace {

const char* const logLine =
    "no system tray here (no StatusNotifierWatcher on the session bus, no XEmbed tray on the X display): Dusk runs "
    "without an icon, and its shortcut still switches between Light and Dark. On GNOME, the AppIndicator extension "
    "(gnome-shell-extension-appindicator) gives Dusk its icon; Dusk shows it as soon as a tray appears. To quit "
    "Dusk without its menu: pkill -x dusk";

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

void TrayNotice::tell() {
    logNotice(logLine);
    const auto told = desktopsTold();
    if (told && QString::fromStdString(*told).split('\n').contains(desktopName())) return;
    // No notification server is no error: the log line has said it.
    notify(QStringLiteral("Dusk is running without a tray icon"),
           QStringLiteral("This desktop has no system tray, so Dusk cannot show its icon and menu. Its keyboard "
                          "shortcut still switches between Light and Dark.\n"
                          "On GNOME, install the AppIndicator extension (gnome-shell-extension-appindicator); Dusk's "
                          "icon appears as soon as there is a tray.\n"
                          "To quit Dusk without its menu, run: pkill -x dusk"),
           this, [this, told](uint id) {
               if (told && makeDirectories(stateHome() + "/dusk")) {
                   writeFileAtomically(toldFile(), *told + desktopName().toStdString() + "\n");
               }
               notification_ = id;
               if (withdrawn_) withdraw();
           });
}

void TrayNotice::withdraw() {
    withdrawn_ = true;
    if (notification_ == 0) return;
    withdrawNotification(notification_);
    notification_ = 0;
}

}  // namespace dusk::backend
