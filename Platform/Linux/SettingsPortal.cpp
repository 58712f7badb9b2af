#include "SettingsPortal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QPointer>
#include <cstdint>
#include <vector>

#include "SignalReceiver.h"

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
const QString unknownMethod = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");

// How long a command run from a shell may wait for a portal that is slow to
// start or never answers, before it reads GNOME's setting instead.
constexpr int commandWaitMilliseconds = 500;

// Only the documented answer counts: a uint32, 0 (no preference), 1 (dark)
// or 2 (light). Anything else says nothing about the desktop.
std::optional<bool> darkFromValue(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>()) value = value.value<QDBusVariant>().variant();
    if (value.metaType() != QMetaType::fromType<uint>()) return std::nullopt;
    const uint scheme = value.toUInt();
    if (scheme > 2) return std::nullopt;
    return scheme == 1;
}

// A reply of Read or ReadOne: one value, "(v)".
std::optional<bool> darkFromReply(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != QLatin1String("v")) return std::nullopt;
    return darkFromValue(reply.arguments().constFirst());
}

QDBusMessage readCall(const QString& method) {
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalSettings, method);
    call << appearanceNamespace << colorSchemeKey;
    return call;
}

bool isUnknownMethod(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage && reply.errorName() == unknownMethod;
}

}  // namespace

struct SettingsPortal::State {
    bool started = false;
    // A reply to a read that a newer one has replaced says nothing.
    std::uint64_t readSerial = 0;
    std::optional<bool> dark;
    std::vector<std::function<void()>> callbacks;
    // Owned by the application object, so that they go with it, before Qt's
    // D-Bus globals do.
    QPointer<QDBusServiceWatcher> watcher;

    void settle(std::optional<bool> answer) {
        if (answer == dark) return;
        dark = answer;
        for (const auto& callback : callbacks) callback();
    }

    void readBlocking() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;  // no session bus: no portal either
        const QDeadlineTimer deadline(commandWaitMilliseconds);
        for (const QString& method : {readOne, readOld}) {
            const auto remaining = static_cast<int>(deadline.remainingTime());
            if (remaining <= 0) return;
            const QDBusMessage reply = bus.call(readCall(method), QDBus::Block, remaining);
            if (!isUnknownMethod(reply)) {
                dark = darkFromReply(reply);
                return;
            }
        }
    }

    void listen() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;  // no session bus: no portal either
        // Each time a portal owns the name its answer is read afresh; the
        // first read starts one the bus can activate.
        watcher = new QDBusServiceWatcher(portalService, bus, QDBusServiceWatcher::WatchForOwnerChange,
                                          QCoreApplication::instance());
        auto* receiver = new SignalReceiver([this](const QDBusMessage& message) { settingChanged(message); }, watcher);
        bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), receiver,
                    SLOT(receive(QDBusMessage)));
        QObject::connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, watcher,
                         [this](const QString&, const QString&, const QString& owner) {
                             ++readSerial;
                             if (owner.isEmpty()) {
                                 settle(std::nullopt);
                             } else {
                                 readAsync(readOne);
                             }
                         });
        readAsync(readOne);
    }

    void settingChanged(const QDBusMessage& message) {
        const QVariantList arguments = message.arguments();
        if (message.signature() != QLatin1String("ssv") || arguments.at(0).toString() != appearanceNamespace ||
            arguments.at(1).toString() != colorSchemeKey) {
            return;
        }
        settle(darkFromValue(arguments.at(2)));
    }

    void readAsync(const QString& method) {
        const std::uint64_t serial = ++readSerial;
        auto* pending =
            new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(readCall(method), -1), watcher);
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, pending,
                         [this, serial, method](QDBusPendingCallWatcher* call) {
                             call->deleteLater();
                             if (serial != readSerial) return;
                             const QDBusMessage reply = call->reply();
                             if (method == readOne && isUnknownMethod(reply)) {
                                 readAsync(readOld);
                                 return;
                             }
                             settle(darkFromReply(reply));
                         });
    }
};

SettingsPortal& SettingsPortal::shared() {
    static SettingsPortal instance;
    return instance;
}

SettingsPortal::SettingsPortal() : state_(std::make_unique<State>()) {}
SettingsPortal::~SettingsPortal() = default;

std::optional<bool> SettingsPortal::prefersDark(Caller caller) {
    if (!state_->started) {
        state_->started = true;
        if (caller == Caller::Command) {
            state_->readBlocking();
        } else {
            state_->listen();
        }
    }
    return state_->dark;
}

void SettingsPortal::onChange(std::function<void()> callback) {
    prefersDark(Caller::EventLoop);
    state_->callbacks.push_back(std::move(callback));
}

}  // namespace dusk::backend
