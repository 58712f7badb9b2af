#include "common/Notification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <utility>

#include "common/Installation.h"

namespace dusk::backend {
namespace {

const QString notifications = QStringLiteral("org.freedesktop.Notifications");
const QString notificationsPath = QStringLiteral("/org/freedesktop/Notifications");

}  // namespace

void notify(const QString& summary, const QString& body, QObject* context, std::function<void(uint id)> shown,
            uint replaces) {
    auto call =
        QDBusMessage::createMethodCall(notifications, notificationsPath, notifications, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromUtf8(applicationId)}};
    call << QStringLiteral("Dusk") << replaces << QStringLiteral("dusk-moon-symbolic") << summary << body
         << QStringList{} << hints << -1;
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), context);
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, context,
                     [shown = std::move(shown)](QDBusPendingCallWatcher* finished) {
                         const QDBusPendingReply<uint> reply = *finished;
                         finished->deleteLater();
                         if (!reply.isError()) shown(reply.value());
                     });
}

void withdrawNotification(uint id) {
    auto call = QDBusMessage::createMethodCall(notifications, notificationsPath, notifications,
                                               QStringLiteral("CloseNotification"));
    call << id;
    QDBusConnection::sessionBus().asyncCall(call);
}

}  // namespace dusk::backend
