#include "shortcuts/PortalOffer.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QPointer>
#include <utility>

#include "common/Log.h"
#include "shortcuts/PortalCalls.h"

namespace dusk::backend {

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
        } else if (portal::isError(reply) && error != QDBusError::UnknownMethod &&
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
        } else if (portal::isError(reply)) {
            whyNot = "this session's portal offers no global shortcuts (" + portal::errorText(reply) + ")";
        } else {
            offered_ = true;
        }
        for (const auto& answer : std::exchange(waiting_, {})) answer(whyNot);
    });
}

}  // namespace dusk::backend
