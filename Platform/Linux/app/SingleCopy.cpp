// One Dusk per login session. The application id is a well-known name on the
// session bus, and the copy that owns it is the running one: the bus gives a
// name to exactly one of two copies that ask at the same moment, another
// login session has a bus of its own, and a name does not care whether the
// executable was replaced on disk since it started.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <functional>
#include <utility>

#include "app/ApplicationObject.h"
#include "common/Bus.h"
#include "common/Installation.h"
#include "common/Log.h"
#include "common/Text.h"
#include "platform/Session.h"
#include "tray/Tray.h"

namespace dusk::backend {
namespace {

// The bus's own numbers: RequestName's flag and answers.
constexpr uint doNotQueue = 4;
constexpr uint primaryOwner = 1;

void releaseOnQuit(const QString& name) {
    // A copy started while this one is still shutting down must not find the
    // name taken by a process that has stopped running. Sent, not awaited:
    // the bus frees the name anyway when the process is gone.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                     [name] { QDBusConnection::sessionBus().send(busDaemonCall("ReleaseName", {name})); });
}

// The running copy is to hear of this one before this one goes: a copy
// started from the application menu must not seem to do nothing.
constexpr int millisecondsToBeHeard = 2000;

void makeTheRunningCopyKnown(const QString& name, std::function<void(bool)> answer) {
    auto call = QDBusMessage::createMethodCall(
        name, ApplicationObject::path(), QStringLiteral("org.freedesktop.Application"), QStringLiteral("Activate"));
    call << QVariantMap{};
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, millisecondsToBeHeard),
                                                QCoreApplication::instance());
    // Whatever the answer: an older copy without the interface, or a busy
    // one, is still running.
    QObject::connect(pending, &QDBusPendingCallWatcher::finished,
                     [answer = std::move(answer)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answer(true);
                     });
}

}  // namespace

QString ApplicationObject::path() { return QStringLiteral("/app/dusk/Dusk"); }

void ApplicationObject::Activate(const QVariantMap&) {
    logNotice("started again from the application menu or a launcher: Dusk makes itself known");
    Tray::announceRunning();
}

}  // namespace dusk::backend

namespace platform {

void Session::findAnotherCopy(std::function<void(bool)> answer) {
    using namespace dusk::backend;
    // A build tree's copy has no application id to own.
    if (!runsInstalled()) return answer(false);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // Without a session bus there is no session to be alone in, and a
        // user who starts Dusk anyway wants it running.
        logNotice("no session bus, so Dusk cannot tell whether it already runs in this session; running anyway");
        return answer(false);
    }
    const QString name = qt(applicationId);
    // In place before the name is: a copy that finds the name taken
    // activates whoever holds it.
    bus.registerObject(ApplicationObject::path(), new ApplicationObject(QCoreApplication::instance()),
                       QDBusConnection::ExportAllSlots);
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(busDaemonCall("RequestName", {name, doNotQueue})),
                                                QCoreApplication::instance());
    QObject::connect(pending, &QDBusPendingCallWatcher::finished,
                     [answer = std::move(answer), name](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<uint> reply = *finished;
                         finished->deleteLater();
                         if (reply.isError()) {
                             logError("could not ask the session bus for the name " + name.toStdString() + " (" +
                                      reply.error().message().toStdString() +
                                      "); Dusk cannot tell whether it already runs");
                             return answer(false);
                         }
                         if (reply.value() != primaryOwner) return makeTheRunningCopyKnown(name, answer);
                         releaseOnQuit(name);
                         answer(false);
                     });
}

}  // namespace platform
