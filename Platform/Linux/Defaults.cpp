#include <pwd.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "Internal.h"
#include "SettingsStore.h"

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

}  // namespace

std::string configHome() {
    // By the XDG base directory rules a relative XDG_CONFIG_HOME is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') return config;
    const std::string home = homeDirectory();
    return (home == "/" ? "" : home) + "/.config";
}

namespace {

// Logged before the store exists, which makes the backend's log first and so
// last to go: the store's destructor may still write to it.
std::string settingsDirectory() {
    std::string directory = configHome() + "/dusk";
    logNotice("settings file: " + directory + "/settings.conf");
    return directory;
}

std::string localTimeStamp() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &local);
    return stamp;
}

// The settings store inside Qt's event loop: saves on a later turn of the
// loop, a last one when the loop ends, and tells the user when one fails.
class Defaults final : SettingsStore::Host {
public:
    Defaults() : store_(settingsDirectory(), *this, localTimeStamp()) {}

    SettingsStore& store() { return store_; }

private:
    void later(std::function<void()> work) override {
        QCoreApplication* application = QCoreApplication::instance();
        if (application == nullptr) {
            work();  // no event loop to wait for, as in a command
            return;
        }
        // Every clean way out (Quit, SIGTERM, SIGINT, SIGHUP) ends the loop,
        // maybe before a queued save has run: the save runs as it ends.
        if (connectedTo_ != application) {
            connectedTo_ = application;
            QObject::connect(application, &QCoreApplication::aboutToQuit, application, [this] { store_.flush(); });
        }
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    }

    void logError(std::string_view line) override { dusk::backend::logError(line); }

    void saveFailed(const std::string& path, const std::string& reason) override {
        // Alerts need the widgets; without them the log line is all there is.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
        platform::Alert alert;
        alert.setAlertStyle(platform::AlertStyle::Warning);
        alert.setMessageText("Couldn't save the shortcut");
        alert.setInformativeText("Dusk couldn't write " + path + ": " + reason +
                                 ". The shortcut lasts only until Dusk quits.");
        platform::Application::sharedApplication().activateIgnoringOtherApps(true);
        alert.runModal();
    }

    QPointer<QCoreApplication> connectedTo_;
    SettingsStore store_;
};

SettingsStore& store() {
    static Defaults defaults;
    return defaults.store();
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults;
    return defaults;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    const auto& values = dusk::backend::store().values();
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return Value(found->second);
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto& values = dusk::backend::store().values();
    const auto found = values.find(key);
    return found == values.end() ? 0 : found->second;
}

void UserDefaults::setInteger(std::int64_t value, std::string_view key) { dusk::backend::store().set(key, value); }

std::optional<Dictionary> UserDefaults::persistentDomainForName(std::string_view name) const {
    if (name != globalDomain) return std::nullopt;
    Dictionary domain;
    // The one global key Dusk reads: present, and "Dark", exactly when the
    // desktop prefers dark.
    if (dusk::backend::desktopPrefersDark()) domain.emplace("AppleInterfaceStyle", std::string("Dark"));
    return domain;
}

}  // namespace platform
