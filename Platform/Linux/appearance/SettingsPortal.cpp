#include "appearance/SettingsPortal.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>
#include <utility>

namespace dusk::backend {
namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
const QString readOne = QStringLiteral("ReadOne");
// Portals before 1.17.1 have only Read, which nests the value in one more variant.
const QString readOld = QStringLiteral("Read");

// Only the documented answer counts: a uint32, 0 (no preference), 1 (dark)
// or 2 (light). Anything else says nothing about the desktop.
std::optional<bool> darkFromValue(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<uint>()) return std::nullopt;
    const uint scheme = value.toUInt();
    if (scheme > 2) return std::nullopt;
    return scheme == 1;
}

}  // namespace

SettingsPortal::SettingsPortal(Said said, QObject* parent) : QObject(parent), said_(std::move(said)) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // No session bus, no portal either: said as soon as the loop runs.
        auto* none = new QTimer(this);
        none->setSingleShot(true);
        connect(none, &QTimer::timeout, this, [this] { said_(std::nullopt); });
        none->start(0);
        return;
    }
    bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QDBusMessage)));
    // Each time a portal owns the name its answer is read afresh; the first
    // read starts one the bus can activate.
    auto* owners = new QDBusServiceWatcher(portalService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(owners, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) {
                if (!owner.isEmpty()) return read(readOne);
                ++reads_;
                said_(std::nullopt);
            });
    read(readOne);
}

void SettingsPortal::settingChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (message.signature() == QLatin1String("ssv") && arguments.at(0).toString() == appearanceNamespace &&
        arguments.at(1).toString() == colorSchemeKey) {
        said_(darkFromValue(arguments.at(2)));
    }
}

void SettingsPortal::read(const QString& method) {
    const std::uint64_t serial = ++reads_;
    QDBusMessage request = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, method);
    request << appearanceNamespace << colorSchemeKey;
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(request), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this, serial, method](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (serial != reads_) return;
        const QDBusMessage reply = call->reply();
        if (method == readOne && reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")) {
            return read(readOld);
        }
        const bool value = reply.type() == QDBusMessage::ReplyMessage && reply.signature() == QLatin1String("v");
        said_(value ? darkFromValue(reply.arguments().constFirst()) : std::nullopt);
    });
}

}  // namespace dusk::backend
