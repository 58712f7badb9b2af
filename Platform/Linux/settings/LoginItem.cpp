// Launch at login is an XDG autostart entry that starts this installed copy.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

// A program a launcher can start: a path, or a name found on PATH.
bool programExists(const std::string& program) {
    const auto runnable = [](const std::string& path) {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
    };
    if (program.empty() || program.find('/') != std::string::npos) return runnable(program);
    const char* path = std::getenv("PATH");
    std::string_view folders = path != nullptr ? path : "/usr/bin:/bin";
    while (!folders.empty()) {
        const auto colon = folders.find(':');
        if (runnable(std::string(folders.substr(0, colon)) + "/" + program)) return true;
        folders.remove_prefix(colon == std::string_view::npos ? folders.size() : colon + 1);
    }
    return false;
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

LoginItemStatus LoginItem::status() {
    if (!runsInstalled()) return LoginItemStatus::NotFound;
    // Each opening of the menu reads the entry again; the same problem is
    // worth one line, until the entry changes.
    static std::string loggedProblem;
    std::string problem;
    const auto contents = readRegularFile(autostartPath(), problem);
    if (!problem.empty() && problem != loggedProblem) logError(autostartPath() + " is ignored: " + problem);
    loggedProblem = problem;
    if (!contents) return LoginItemStatus::NotRegistered;
    const auto keys = desktopEntryKeys(*contents);
    const auto value = [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    // What the Autostart rules start: an entry neither hidden nor switched
    // off in GNOME's settings, whose program is there to start.
    const bool starts = value("Hidden") != "true" && value("X-GNOME-Autostart-enabled") != "false" &&
                        (value("TryExec").empty() || programExists(value("TryExec"))) &&
                        programExists(execProgram(value("Exec")));
    return starts ? LoginItemStatus::Enabled : LoginItemStatus::NotRegistered;
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
