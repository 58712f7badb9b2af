// Whether this session's portal offers global shortcuts, asked of the desktop
// without waiting for it: Dusk registers its application id first, where the
// portal keeps a registry of host applications, then reads the
// GlobalShortcuts interface's version.
#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDBusMessage;

namespace dusk::backend {

class PortalOffer final : public QObject {
    Q_OBJECT

public:
    // Made on first use, as a child of the application.
    static PortalOffer& shared();

    // How long each question waits for the desktop.
    static constexpr std::chrono::seconds deadline{10};

    // `answer` gets none once the portal has said it offers global
    // shortcuts, else why not. A portal that said no is asked again next
    // time: it may have started since.
    void whenKnown(std::function<void(const std::optional<std::string>& whyNot)> answer);

private:
    explicit PortalOffer(QObject* parent);
    void askForVersion();

    bool offered_ = false, asking_ = false, registered_ = false;
    std::vector<std::function<void(const std::optional<std::string>&)>> waiting_;
};

// The portal's D-Bus conversation, shared with the shortcuts' own.
namespace portal {
extern const char* const service;
extern const char* const path;
extern const char* const shortcutsInterface;
std::string seconds(std::chrono::seconds duration);
bool unanswered(const QDBusMessage& reply);
std::string errorText(const QDBusMessage& reply);
// Calls a method without waiting; `answered` gets the reply or the error,
// NoReply once the timeout has passed.
void call(QObject* context, const QDBusMessage& message, std::chrono::milliseconds timeout,
          std::function<void(const QDBusMessage& reply)> answered);
}  // namespace portal

}  // namespace dusk::backend
