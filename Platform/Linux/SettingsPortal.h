// The freedesktop portal's appearance setting, asked without ever holding up
// the event loop: one asynchronous read over the session bus connection Qt
// already has, then the portal's own change signal.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>

namespace dusk::backend {

class SettingsPortal final {
public:
    static SettingsPortal& shared();

    // Who is asking: a running event loop delivers answers later; a command
    // from a shell has none, and waits briefly for the first one instead.
    enum class Caller { EventLoop, Command };

    // The portal's last answer that is one of its documented values; none
    // while it has given no such answer (not running, an error, a value out
    // of range or of the wrong type, or no answer yet).
    std::optional<bool> prefersDark(Caller caller);
    // True only in the moment after start while the first read is still out.
    // Wherever a portal runs it answers within it; after it, or once the
    // portal has answered anything, the answer above is all there is.
    bool awaitingFirstAnswer() const;
    // Called on the main thread whenever that answer changes, and when the
    // wait for the first answer ends.
    void onChange(std::function<void()> callback);

    struct State;

private:
    SettingsPortal();
    ~SettingsPortal();
    std::unique_ptr<State> state_;
};

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
