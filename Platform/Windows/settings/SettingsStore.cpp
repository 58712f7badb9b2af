// Dusk's settings on Windows: the same file as on Linux, in %APPDATA%\Dusk.
// The writes of one turn of the loop are saved together on the next, and
// a save still pending when the process ends runs as it ends.
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <memory>
#include <utility>

#include "common/Text.h"
#include "platform/Log.h"
#include "platform/Session.h"
#include "settings/SettingsStore.h"

namespace dusk::backend {
namespace {

std::string settingsDirectory() {
    wchar_t* folder = nullptr;
    const HRESULT found = ::SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &folder);
    const std::unique_ptr<wchar_t, decltype(&::CoTaskMemFree)> owned(folder, &::CoTaskMemFree);
    std::string directory = SUCCEEDED(found) ? narrow(folder) + "\\Dusk" : "Dusk";
    platform::writeLog(platform::LogLevel::Default, "settings file: " + directory + "\\settings.conf");
    return directory;
}

std::string localTimeStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u%02u%02uT%02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return stamp;
}

class Settings final : StoredSettings::Host {
public:
    Settings() : stored_(settingsDirectory(), *this, localTimeStamp()) {}

    StoredSettings& stored() { return stored_; }

private:
    void later(std::function<void()> work) override { platform::Session::post(std::move(work)); }

    void logError(std::string_view line) override { platform::writeLog(platform::LogLevel::Error, line); }

    void saveFailed(const std::string& path, const std::string& reason) override { tellOfFailedSave(path, reason); }

    StoredSettings stored_;
};

}  // namespace

StoredSettings& storedSettings() {
    static Settings settings;
    return settings.stored();
}

}  // namespace dusk::backend
