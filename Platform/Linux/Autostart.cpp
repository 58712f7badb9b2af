#include <sys/stat.h>
#include <unistd.h>
#include <climits>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "DesktopEntry.h"
#include "Internal.h"
#include "SettingsFile.h"
#include "platform/ServiceManagement.h"

namespace dusk::backend {
namespace {

constexpr std::string_view applicationId = "app.dusk.Dusk";

std::optional<std::string> linkTarget(const std::string& link) {
    char buffer[PATH_MAX];
    const auto length = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    if (length <= 0) return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

const std::optional<std::string>& executablePath() {
    static const auto path = linkTarget("/proc/self/exe");
    return path;
}

// Installed means `cmake --install` laid out <prefix>/bin/dusk beside
// <prefix>/share/applications/app.dusk.Dusk.desktop; a build tree has no
// such file, and then Dusk has no identity to register or compare.
bool runsInstalled() {
    static const bool installed = [] {
        const auto& exe = executablePath();
        if (!exe) return false;
        const auto slash = exe->rfind('/');
        if (slash == std::string::npos) return false;
        const std::string entry =
            exe->substr(0, slash) + "/../share/applications/" + std::string(applicationId) + ".desktop";
        struct stat info {};
        return ::stat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode);
    }();
    return installed;
}

std::string autostartDirectory() { return configHome() + "/autostart"; }
std::string autostartPath() { return autostartDirectory() + "/" + std::string(applicationId) + ".desktop"; }

platform::Error loginError(std::int64_t code, std::string description) {
    return {"app.dusk.autostart", code, std::move(description)};
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

Bundle& Bundle::mainBundle() {
    static Bundle bundle;
    return bundle;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    if (!dusk::backend::runsInstalled()) return std::nullopt;
    return std::string(dusk::backend::applicationId);
}

AppService& AppService::mainAppService() {
    static AppService service;
    return service;
}

AppServiceStatus AppService::status() const {
    using namespace dusk::backend;
    if (!runsInstalled()) return AppServiceStatus::NotFound;
    bool unreadable = false;
    const auto contents = readFile(autostartPath(), unreadable);
    if (!contents) return AppServiceStatus::NotRegistered;
    const auto keys = desktopEntryKeys(*contents);
    const auto value = [&keys](const std::string& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    if (value("Hidden") == "true" || value("X-GNOME-Autostart-enabled") == "false") {
        return AppServiceStatus::NotRegistered;
    }
    return AppServiceStatus::Enabled;
}

std::optional<Error> AppService::registerAndReturnError() {
    using namespace dusk::backend;
    const auto& exe = executablePath();
    if (!runsInstalled() || !exe) {
        return loginError(3, "This copy of Dusk is not installed, so it cannot launch at login.");
    }
    const std::string entry =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Dusk\n"
        "Comment=Switch between Light and Dark appearance\n"
        "Exec=" +
        execArgument(*exe) +
        "\n"
        "Icon=dusk-moon-symbolic\n"
        "Terminal=false\n"
        "X-GNOME-Autostart-enabled=true\n";
    if (!makeDirectories(autostartDirectory()) || !writeFileAtomically(autostartPath(), entry)) {
        const std::string reason = std::strerror(errno);
        return loginError(1, "Dusk could not write " + autostartPath() + ": " + reason);
    }
    logNotice("launch at login enabled: " + autostartPath());
    return std::nullopt;
}

// Installed means beside its desktop file (see runsInstalled).
std::string_view AppService::requirement() {
    return "Launch at Login only works for an installed Dusk: install the dusk package, or run cmake --install "
           "build/default --prefix ~/.local and start ~/.local/bin/dusk.";
}

std::optional<Error> AppService::unregisterAndReturnError() {
    using namespace dusk::backend;
    if (::unlink(autostartPath().c_str()) != 0 && errno != ENOENT) {
        const std::string reason = std::strerror(errno);
        return loginError(1, "Dusk could not remove " + autostartPath() + ": " + reason);
    }
    logNotice("launch at login disabled: " + autostartPath());
    return std::nullopt;
}

}  // namespace platform
