#include "shortcuts/PortalCalls.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QObject>
#include <QTimer>
#include <utility>

namespace dusk::backend {

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace portal {

const char* const service = "org.freedesktop.portal.Desktop";
const char* const path = "/org/freedesktop/portal/desktop";
const char* const shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";

void registerTypes() {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<PortalShortcuts>();
}

void call(QObject* context, const QDBusMessage& message, std::chrono::milliseconds timeout,
          std::function<void(const QDBusMessage& reply)> answered) {
    const QDBusPendingCall pending =
        QDBusConnection::sessionBus().asyncCall(message, static_cast<int>(timeout.count()));
    // Without a bus the error is there at once, and a watcher never says so.
    if (pending.isFinished()) {
        QTimer::singleShot(0, context, [reply = pending.reply(), answered = std::move(answered)] { answered(reply); });
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(pending, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, answered = std::move(answered)] {
        watcher->deleteLater();
        answered(watcher->reply());
    });
}

bool isError(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ErrorMessage; }

bool unanswered(const QDBusMessage& reply) { return QDBusError(reply).type() == QDBusError::NoReply; }

std::string errorText(const QDBusMessage& reply) {
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

std::string seconds(std::chrono::seconds duration) { return std::to_string(duration.count()) + " s"; }

}  // namespace portal
}  // namespace dusk::backend
