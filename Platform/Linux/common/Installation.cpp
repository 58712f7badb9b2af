#include "common/Installation.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

namespace dusk::backend {
namespace {

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    // Without HOME, the password database knows, as GLib asks it.
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 4096);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE) {
        buffer.resize(buffer.size() * 2);
    }
    if (found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') return found->pw_dir;
    return "/";  // GLib's last resort too
}

std::string xdgDirectory(const char* variable, std::string_view fallback) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') return value;
    const std::string home = homeDirectory();
    return (home == "/" ? "" : home) + std::string(fallback);
}

}  // namespace

const std::optional<std::string>& executablePath() {
    static const auto path = []() -> std::optional<std::string> {
        char buffer[PATH_MAX];
        const auto length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
        if (length <= 0) return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(length));
    }();
    return path;
}

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

std::string configHome() { return xdgDirectory("XDG_CONFIG_HOME", "/.config"); }
std::string stateHome() { return xdgDirectory("XDG_STATE_HOME", "/.local/state"); }

}  // namespace dusk::backend
