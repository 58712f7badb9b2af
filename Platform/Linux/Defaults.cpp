#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "Internal.h"
#include "SettingsFile.h"

namespace dusk::backend {

std::string configHome() {
    // By the XDG base directory rules a relative XDG_CONFIG_HOME is ignored.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') return config;
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "") + "/.config";
}

bool makeDirectories(const std::string& path) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string prefix = path.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

namespace {

class SettingsStore {
public:
    SettingsStore() : directory_(configHome() + "/dusk"), path_(directory_ + "/settings.conf") { load(); }

    const SettingsValues& values() const { return values_; }

    void set(std::string_view key, std::int64_t value) {
        values_.insert_or_assign(std::string(key), value);
        if (!writable_) {
            logError("settings not saved: " + path_ + " could not be moved aside and is left as it was");
            return;
        }
        if (!makeDirectories(directory_) || !writeFileAtomically(path_, formatSettings(values_))) {
            logError("settings not saved to " + path_ + ": " + std::strerror(errno));
        }
    }

private:
    void load() {
        bool unreadable = false;
        const auto contents = readFile(path_, unreadable);
        if (contents) {
            if (auto parsed = parseSettings(*contents)) {
                values_ = std::move(*parsed);
                return;
            }
        } else if (!unreadable) {
            return;  // no file yet: every key is absent
        }
        // A damaged file is evidence; the next save must not destroy it.
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", std::localtime(&now));
        const std::string aside = path_ + ".corrupt-" + stamp;
        const char* problem = unreadable ? "could not be read" : "is not a settings file";
        if (::rename(path_.c_str(), aside.c_str()) == 0) {
            logError(path_ + " " + problem + "; kept aside as " + aside + ", starting from defaults");
        } else {
            writable_ = false;
            logError(path_ + " " + problem + " and could not be moved aside (" + std::strerror(errno) +
                     "); starting from defaults without saving");
        }
    }

    std::string directory_;
    std::string path_;
    SettingsValues values_;
    bool writable_ = true;
};

SettingsStore& store() {
    static SettingsStore instance;
    return instance;
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
