#include "appearance/XfconfProperties.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <utility>

#include "common/BusSignal.h"

namespace dusk::backend::xfconf {
namespace {

const QString service = QStringLiteral("org.xfce.Xfconf");
const QString path = QStringLiteral("/org/xfce/Xfconf");

QDBusMessage call(const char* method, const Property& property) {
    auto message = QDBusMessage::createMethodCall(service, path, service, QString::fromLatin1(method));
    message << QString::fromUtf8(property.channel) << QString::fromUtf8(property.name);
    return message;
}

// Calls xfconf without waiting; `answered` gets the reply on the main thread.
void send(const QDBusMessage& message, std::function<void(const QDBusMessage& reply)> answered) {
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answered(finished->reply());
                     });
}

std::string reason(const QDBusMessage& reply) {
    if (reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown")) {
        return "xfconf's service (xfconfd, from xfconf) is not on the session bus: " +
               reply.errorMessage().toStdString();
    }
    return reply.errorMessage().toStdString();
}

}  // namespace

std::string Property::describe() const { return std::string(name) + " in xfconf's channel " + channel; }

void read(const Property& property, Read answered) {
    send(call("GetProperty", property), [property, answered = std::move(answered)](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            const QVariant value = reply.arguments().front().value<QDBusVariant>().variant();
            if (value.userType() == QMetaType::QString) return answered(value.toString().toStdString(), std::nullopt);
            return answered({}, property.describe() + " holds a " + value.typeName() + ", not a theme's name.");
        }
        if (reply.errorName() == QStringLiteral("org.xfce.Xfconf.Error.PropertyNotFound")) {
            return answered(property.unsetMeans, std::nullopt);
        }
        answered({}, "xfconf did not read " + property.describe() + ": " + reason(reply));
    });
}

void write(const Property& property, const std::string& value, SideTracker::Landed landed) {
    auto message = call("SetProperty", property);
    message << QVariant::fromValue(QDBusVariant(QString::fromStdString(value)));
    send(message, [property, landed = std::move(landed)](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ReplyMessage) return landed(std::nullopt);
        landed("xfconf did not save " + property.describe() + ": " + reason(reply));
    });
}

void follow(const Property& property, std::function<void(const std::string& value)> changed) {
    new BusSignal(QCoreApplication::instance(), service, path, service, QStringLiteral("PropertyChanged"),
                  [property, changed = std::move(changed)](const QDBusMessage& signal) {
                      const auto arguments = signal.arguments();
                      if (arguments.size() < 3 || arguments.at(0).toString() != QString::fromUtf8(property.channel) ||
                          arguments.at(1).toString() != QString::fromUtf8(property.name)) {
                          return;
                      }
                      changed(arguments.at(2).value<QDBusVariant>().variant().toString().toStdString());
                  });
}

}  // namespace dusk::backend::xfconf
