// A session bus signal handed to a function: QtDBus calls slots alone.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <functional>
#include <utility>

namespace dusk::backend {

class BusSignal final : public QObject {
    Q_OBJECT

public:
    // Each `name` signal of `interface` that `service` sends from `path`, or
    // from any path where it is empty.
    BusSignal(QObject* parent, const QString& service, const QString& path, const QString& interface,
              const QString& name, std::function<void(const QDBusMessage& signal)> received)
        : QObject(parent), received_(std::move(received)) {
        QDBusConnection::sessionBus().connect(service, path, interface, name, this, SLOT(receive(QDBusMessage)));
    }

private Q_SLOTS:
    void receive(const QDBusMessage& signal) { received_(signal); }

private:  // NOLINT(readability-redundant-access-specifiers): slots need their own section
    std::function<void(const QDBusMessage& signal)> received_;
};

}  // namespace dusk::backend
