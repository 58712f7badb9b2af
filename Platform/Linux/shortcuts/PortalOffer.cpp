#include "shortcuts/PortalOffer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QTimer>
#include <utility>

#include "common/Log.h"

namespace dusk::backend {

namespace portal {

const char* const service = "org.freedesktop.portal.Desktop";
const char* const path = "/org/freedesktop/portal/desktop";
const char* const shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";

std::string seconds(std::chrono::seconds duration) { return std::to_string(duration.count()) + " s"; }

bool unanswered(const QDBusMessage& reply) { return QDBusError(reply).type() == QDBusError::NoReply; }

std::string errorText(const QDBusMessage& reply) {
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
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

}  // namespace portal

PortalOffer& PortalOffer::shared() {
    static QPointer<PortalOffer> offer;
    if (!offer) offer = new PortalOffer(QCoreApplication::instance());
    return *offer;
}

PortalOffer::PortalOffer(QObject* parent) : QObject(parent) {}

void PortalOffer::whenKnown(std::function<void(const std::optional<std::string>& whyNot)> answer) {
    if (offered_) {
        answer(std::nullopt);
        return;
    }
    waiting_.push_back(std::move(answer));
    if (std::exchange(asking_, true)) return;
    if (std::exchange(registered_, true)) {
        askForVersion();
        return;
    }
    // The registry ties this connection to Dusk's application id, so that
    // the desktop keeps the binding across restarts. It must come before any
    // other portal call; portals before 1.19 have none.
    constexpr const char* applicationId = "app.dusk.Dusk";
    auto registration = QDBusMessage::createMethodCall(portal::service, portal::path,
                                                       QStringLiteral("org.freedesktop.host.portal.Registry"),
                                                       QStringLiteral("Register"));
    registration << QString::fromLatin1(applicationId) << QVariantMap();
    portal::call(this, registration, deadline, [this, applicationId](const QDBusMessage& reply) {
        const auto error = QDBusError(reply).type();
        if (portal::unanswered(reply)) {
            logNotice("the portal has not answered Register within " + portal::seconds(deadline) +
                      "; going on without registering Dusk as " + applicationId);
        } else if (reply.type() == QDBusMessage::ErrorMessage && error != QDBusError::UnknownMethod &&
                   error != QDBusError::UnknownInterface && error != QDBusError::UnknownObject &&
                   error != QDBusError::ServiceUnknown && error != QDBusError::Disconnected) {
            logNotice(std::string("the portal did not register Dusk as ") + applicationId + ": " +
                      portal::errorText(reply));
        }
        askForVersion();
    });
}

void PortalOffer::askForVersion() {
    auto get = QDBusMessage::createMethodCall(portal::service, portal::path,
                                              QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(portal::shortcutsInterface) << QStringLiteral("version");
    portal::call(this, get, deadline, [this](const QDBusMessage& reply) {
        asking_ = false;
        std::optional<std::string> whyNot;
        if (portal::unanswered(reply)) {
            whyNot = "this session's portal offers no global shortcuts (it did not answer within " +
                     portal::seconds(deadline) + ")";
        } else if (reply.type() == QDBusMessage::ErrorMessage) {
            whyNot = "this session's portal offers no global shortcuts (" + portal::errorText(reply) + ")";
        } else {
            offered_ = true;
        }
        for (const auto& answer : std::exchange(waiting_, {})) answer(whyNot);
    });
}

}  // namespace dusk::backend
