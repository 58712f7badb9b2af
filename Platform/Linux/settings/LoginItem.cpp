// Launch at login is an XDG autostart entry that starts this installed copy.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "common/Installation.h"
#include "common/Log.h"
#include "platform/LoginItem.h"
#include "settings/DesktopEntry.h"
#include "settings/SettingsFile.h"

namespace dusk::backend {
namespace {

std::string autostartDirectory() { return configHome() + "/autostart"; }
std::string autostartPath() { return autostartDirectory() + "/" + std::string(applicationId) + ".desktop"; }

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

LoginItemStatus LoginItem::status() {
    if (!runsInstalled()) return LoginItemStatus::NotFound;
    bool unreadable = false;
    const auto contents = readFile(autostartPath(), unreadable);
    if (!contents) return LoginItemStatus::NotRegistered;
    const auto keys = desktopEntryKeys(*contents);
    const auto value = [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    // The two ways a desktop's own settings switch an entry off.
    if (value("Hidden") == "true" || value("X-GNOME-Autostart-enabled") == "false") {
        return LoginItemStatus::NotRegistered;
    }
    return LoginItemStatus::Enabled;
}

std::optional<std::string> LoginItem::enable() {
    const auto& exe = executablePath();
    if (!runsInstalled() || !exe) return "This copy of Dusk is not installed, so it cannot launch at login.";
    if (!makeDirectories(autostartDirectory()) || !writeFileAtomically(autostartPath(), autostartEntry(*exe))) {
        const std::string reason = std::strerror(errno);
        return "Dusk could not write " + autostartPath() + ": " + reason;
    }
    logNotice("launch at login enabled: " + autostartPath());
    return std::nullopt;
}

std::optional<std::string> LoginItem::disable() {
    if (::unlink(autostartPath().c_str()) != 0 && errno != ENOENT) {
        const std::string reason = std::strerror(errno);
        return "Dusk could not remove " + autostartPath() + ": " + reason;
    }
    logNotice("launch at login disabled: " + autostartPath());
    return std::nullopt;
}

// Installed means beside its desktop file (see runsInstalled).
std::string_view LoginItem::requirement() {
    return "Launch at Login only works for an installed Dusk: install the dusk package, or run cmake --install "
           "build/default --prefix ~/.local and start ~/.local/bin/dusk.";
}

// An autostart entry needs nobody's approval: the status is never
// RequiresApproval, and there is no page to open.
void LoginItem::openApprovalSettings() {}

}  // namespace platform
