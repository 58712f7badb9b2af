// One Dusk per login session. The application id is a well-known name on the
// session bus, and the copy that owns it is the running application. The bus
// hands a name to exactly one of two copies that ask at the same moment,
// another login session has a bus of its own, and a name does not care
// whether the executable was replaced on disk since it started.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QString>

#include "Internal.h"

namespace dusk::backend {
namespace {

enum class Claim { Ours, Taken, Unknown };

// Asking for the name and asking for its owner are two calls; the owner may
// quit between them, and then the name is free to ask for again.
constexpr int claimAttempts = 3;

void releaseOnQuit(const QString& name) {
    // A copy started while this one is still shutting down must not find the
    // name taken by a process that has already stopped running.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                     [name] { QDBusConnection::sessionBus().interface()->unregisterService(name); });
}

Claim claim(QDBusConnectionInterface& bus, const QString& name) {
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        logError("could not ask the session bus for the name " + name.toStdString() + " (" +
                 reply.error().message().toStdString() + "); Dusk cannot tell whether it already runs");
        return Claim::Unknown;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) return Claim::Taken;
    releaseOnQuit(name);
    return Claim::Ours;
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

std::vector<RunningApplication> RunningApplication::runningApplicationsWithBundleIdentifier(
    std::string_view bundleIdentifier) {
    using namespace dusk::backend;
    std::vector<RunningApplication> running;
    if (Bundle::mainBundle().bundleIdentifier() != bundleIdentifier) return running;
    running.emplace_back(ProcessInfo::processInfo().processIdentifier());
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (!session.isConnected()) {
        // Without a session bus there is no session to be alone in, and a
        // user who starts Dusk anyway wants it running.
        logNotice("no session bus, so Dusk cannot tell whether it already runs in this session; running anyway");
        return running;
    }
    const QString name = QString::fromUtf8(bundleIdentifier.data(), static_cast<qsizetype>(bundleIdentifier.size()));
    for (int attempt = 0; attempt < claimAttempts; ++attempt) {
        const auto claimed = claim(*session.interface(), name);
        if (claimed != Claim::Taken) return running;
        const QDBusReply<uint> owner = session.interface()->servicePid(name);
        if (owner.isValid()) {
            running.emplace_back(static_cast<int>(owner.value()));
            return running;
        }
    }
    return running;
}

}  // namespace platform
