// The desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts):
// how a Wayland session gives an application a global shortcut. The desktop
// has the last word: it may ask the user first, bind other keys than asked
// for, and change or drop the binding later.
//
// The conversation is asynchronous throughout. Each answer has a deadline,
// after which the bind is reported as unanswered; an answer that comes later
// still counts, and a binding it brings is reported as the desktop's change.
#pragma once

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/GlobalShortcut.h"

namespace dusk::backend {

class ShortcutsPortal final : public QObject {
    Q_OBJECT

public:
    // Made on first use, as a child of the application.
    static ShortcutsPortal& shared();
    ~ShortcutsPortal() override;

    // How long a call waits for the desktop before the bind is reported as
    // unanswered; binding may wait on the user.
    static constexpr std::chrono::seconds answerDeadline{10};
    static constexpr std::chrono::seconds bindDeadline{30};

    // Closes the session of any earlier bind, then binds `shortcut` in a
    // session of its own. `done` gets the outcome; never once unbound.
    void bind(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done);
    void unbind();

    std::function<void()> onActivated;
    std::function<void(const std::optional<platform::Shortcut>& bound)> onRebound;

private Q_SLOTS:
    void responded(const QDBusMessage& response);
    void activated(const QDBusMessage& signal);
    void shortcutsChanged(const QDBusMessage& signal);
    void sessionClosed(const QDBusMessage& signal);

private:  // NOLINT(readability-redundant-access-specifiers): slots need their own section
    struct Binding;
    using Answered = std::function<void(std::uint32_t code, const QVariantMap& results)>;
    using Refused = std::function<void(const QDBusMessage& error)>;

    explicit ShortcutsPortal(QObject* parent);
    void request(const std::shared_ptr<Binding>& binding, const QString& method, QVariantList arguments,
                 QVariantMap options, std::chrono::seconds deadline, Answered answered, Refused refused);
    void listenForResponse(const QString& path, Answered answered);
    void stopListening(const QString& path);
    void createSessionWhenFree(const std::shared_ptr<Binding>& binding);
    void createSession(const std::shared_ptr<Binding>& binding, const QString& token);
    void bindShortcuts(const std::shared_ptr<Binding>& binding);
    void bound(const std::shared_ptr<Binding>& binding, const QString& trigger);
    // Logs the problem, where it was not logged already.
    void fail(const std::shared_ptr<Binding>& binding, std::int32_t status, const std::string& problem,
              const std::string& reason = {});
    void report(const std::shared_ptr<Binding>& binding, const platform::BindOutcome& outcome);
    void close(const QString& session, const QString& token);
    void settled(const QString& token);
    // The keys of a trigger the desktop shows; logs those Dusk cannot name.
    std::optional<platform::Shortcut> keysOf(const QString& trigger) const;
    bool isCurrent(const QString& session) const;

    std::shared_ptr<Binding> current_;
    // Requests awaiting their Response, by object path.
    std::map<QString, Answered> responses_;
    unsigned requests_ = 0;
    // Session tokens whose session may stand: asked for, and not yet
    // refused or closed. A bind waits for Dusk's own token to be free.
    std::set<QString> tokensInUse_;
    std::shared_ptr<Binding> waitingForToken_;
};

}  // namespace dusk::backend
