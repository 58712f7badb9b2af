// A D-Bus signal's way into plain C++ code.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <functional>

namespace dusk::backend {

// QtDBus hands a bus signal only to a Qt slot. This one takes the message
// whole, so that a signal of an unexpected shape is looked at, not lost.
class SignalReceiver final : public QObject {
    Q_OBJECT

public:
    SignalReceiver(std::function<void(const QDBusMessage&)> receive, QObject* parent)
        : QObject(parent), receive_(std::move(receive)) {}

public Q_SLOTS:  // NOLINT(readability-redundant-access-specifiers): a bus signal arrives at a slot
    void receive(const QDBusMessage& message) { receive_(message); }

private:
    std::function<void(const QDBusMessage&)> receive_;
};

}  // namespace dusk::backend
