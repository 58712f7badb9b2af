// Dusk's settings in the settings file, inside Qt's loop: the writes of one
// turn of the loop are saved together on the next, a pending save runs as
// the loop ends, and a save that fails is told to whoever listens.
#include <QCoreApplication>
#include <QPointer>
#include <ctime>
#include <string>
#include <utility>

#include "common/Installation.h"
#include "common/Log.h"
#include "settings/SettingsStore.h"

namespace dusk::backend {
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

class Settings final : StoredSettings::Host {
public:
    Settings() : stored_(settingsDirectory(), *this, localTimeStamp()) {}

    StoredSettings& stored() { return stored_; }

private:
    void later(std::function<void()> work) override {
        QCoreApplication* application = QCoreApplication::instance();
        if (application == nullptr) {
            work();  // no loop to wait for
            return;
        }
        // Every clean way out (Quit, SIGTERM, SIGINT, SIGHUP) ends the loop,
        // maybe before a queued save has run: the save runs as it ends.
        if (connectedTo_ != application) {
            connectedTo_ = application;
            QObject::connect(application, &QCoreApplication::aboutToQuit, application, [this] { stored_.flush(); });
        }
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
    }

    void logError(std::string_view line) override { dusk::backend::logError(line); }

    void saveFailed(const std::string& path, const std::string& reason) override { tellOfFailedSave(path, reason); }

    QPointer<QCoreApplication> connectedTo_;
    StoredSettings stored_;
};

}  // namespace

StoredSettings& storedSettings() {
    static Settings settings;
    return settings.stored();
}

}  // namespace dusk::backend
