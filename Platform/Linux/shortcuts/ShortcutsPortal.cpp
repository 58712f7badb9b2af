// The desktop's GlobalShortcuts portal, how Wayland gives an application a
// global shortcut. The desktop has the last word: it may ask the user first,
// bind other keys than asked for, and change or drop the binding later. An
// answer after its deadline, when the bind was reported unanswered, counts.
//
// Version 1 of the interface binds in BindShortcuts, as its documentation and
// GNOME's and Plasma 6's portals have it. Plasma 5.27's portal (version 1 as
// well) binds only what CreateSession's `shortcuts` option lists, answers
// CreateSession with the keys bound, and takes BindShortcuts as a request to
// open System Settings' Shortcuts page, binding nothing. Dusk sends its
// shortcut in that option too, which other portals drop, and where the answer
// to CreateSession carries a list of shortcuts, that is the desktop's answer:
// BindShortcuts is never called there.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "common/BusSignal.h"
#include "common/Log.h"
#include "shortcuts/KeyCodes.h"
#include "shortcuts/Shortcuts.h"

namespace dusk::backend {
namespace {

// The a(sa{sv}) lists in which the portal names shortcuts: id, properties.
using PortalShortcuts = QList<std::pair<QString, QVariantMap>>;

// Binding may wait on the user.
constexpr std::chrono::seconds answerDeadline{10}, bindDeadline{30};

const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("toggle-appearance");
// Without the process id: KDE names its record of the shortcut after the
// session's token, which must be the same at every start.
const QString sessionToken = QStringLiteral("dusk");

QDBusConnection bus() { return QDBusConnection::sessionBus(); }

// `answered` gets the reply, or the error: NoReply once `timeout` has passed.
void call(QObject* context, const QDBusMessage& message, std::chrono::milliseconds timeout,
          std::function<void(const QDBusMessage& reply)> answered) {
    const QDBusPendingCall pending = bus().asyncCall(message, static_cast<int>(timeout.count()));
    // Without a bus the error is there at once, and a watcher never says so.
    if (pending.isFinished()) {
        QTimer::singleShot(0, context, [reply = pending.reply(), answered = std::move(answered)] { answered(reply); });
        return;
    }
    QObject::connect(new QDBusPendingCallWatcher(pending, context), &QDBusPendingCallWatcher::finished, context,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* watcher) {
                         watcher->deleteLater();
                         answered(watcher->reply());
                     });
}  // NOLINT(clang-analyzer-cplusplus.NewDeleteLeaks): the context owns the watcher

bool isError(const QDBusMessage& reply) { return reply.type() == QDBusMessage::ErrorMessage; }

bool unanswered(const QDBusMessage& reply) { return QDBusError(reply).type() == QDBusError::NoReply; }

std::string errorText(const QDBusMessage& reply) {
    return (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString();
}

std::string seconds(std::chrono::seconds duration) { return std::to_string(duration.count()) + " s"; }

// The text the desktop shows for the keys of Dusk's shortcut in a list of
// them: empty for none, and for a list without it, which no longer binds it.
QString triggerIn(const QVariant& list) {
    for (const auto& [id, properties] : qdbus_cast<PortalShortcuts>(list)) {
        if (id == shortcutId) return properties.value(QStringLiteral("trigger_description")).toString();
    }
    return {};
}

// Logs the keys Dusk cannot name.
std::optional<platform::Shortcut> keysOf(const QString& trigger) {
    const auto keymap = currentKeymap();
    auto keys = keymap ? readTrigger(trigger.toStdString(), *keymap) : std::nullopt;
    if (!keys) {
        logError("the desktop bound the global shortcut to \"" + trigger.toStdString() + "\", keys Dusk cannot name");
    }
    return keys;
}

class ShortcutsPortal final : public QObject {
public:
    static ShortcutsPortal& shared() {
        static QPointer<ShortcutsPortal> portal;
        if (!portal) portal = new ShortcutsPortal(QCoreApplication::instance());
        return *portal;
    }

    // Each bind has a session of its own, once the portal says it offers global
    // shortcuts; else `otherwise` gets why not. A portal that said no is asked
    // again: it may have started since. Only the latest bind waits for it.
    void bind(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done, Otherwise otherwise) {
        unbind();
        current_ = std::make_shared<Binding>(Binding{shortcut, std::move(done), std::move(otherwise)});
        if (offered_) {
            start(current_);
        } else if (!std::exchange(askingForOffer_, true)) {
            askForVersion();
        }
    }

    void unbind() {
        // A session still being made is closed once the desktop has made it.
        if (const auto binding = std::exchange(current_, nullptr); binding && !binding->session.isEmpty()) {
            close(binding);
        }
    }

private:
    struct Binding {
        platform::Shortcut shortcut;
        platform::GlobalShortcut::Done done;
        Otherwise otherwise;
        QString trigger{}, token{}, session{};
        // The call whose answer binds the keys, named in the registration line.
        const char* bindCall = "BindShortcuts";
        // The desktop has answered the bind, and its keys are Dusk's shortcut.
        bool answered = false, live = false;
        // Its token may name a session: asked for, not yet refused or closed.
        bool holdsToken = false, sessionMade = false;
    };
    using Answered = std::function<void(std::uint32_t code, const QVariantMap& results)>;

    explicit ShortcutsPortal(QObject* parent) : QObject(parent) {
        qDBusRegisterMetaType<PortalShortcuts::value_type>();
        qDBusRegisterMetaType<PortalShortcuts>();
        // Every session's and request's signals, listened to before anything is
        // asked, or a quick answer is missed; the path they name tells whose.
        new BusSignal(this, service, {}, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                      [this](const QDBusMessage& response) {
                          const auto found = responses_.find(response.path());
                          if (found == responses_.end()) return;
                          const Answered answered = std::move(found->second);
                          responses_.erase(found);
                          // 0 done, 1 cancelled by the user, 2 ended otherwise.
                          answered(response.arguments().value(0, 2U).toUInt(),
                                   qdbus_cast<QVariantMap>(response.arguments().value(1)));
                      });
        // Deactivated (the keys let go) means nothing to a toggle.
        new BusSignal(this, service, portalPath, shortcutsInterface, QStringLiteral("Activated"),
                      [this](const QDBusMessage& signal) {
                          const auto arguments = signal.arguments();
                          if (isCurrent(signal) && current_->live && arguments.value(1).toString() == shortcutId) {
                              shortcutPressed("hotkey event received from the desktop's portal");
                          }
                      });
        new BusSignal(this, service, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"),
                      [this](const QDBusMessage& signal) {
                          if (!isCurrent(signal) || !current_->answered) return;
                          const QString trigger = triggerIn(signal.arguments().value(1));
                          const auto keys = trigger.isEmpty() ? std::nullopt : keysOf(trigger);
                          current_->live = keys.has_value();
                          shortcutRebound(keys);
                      });
        new BusSignal(this, service, {}, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"),
                      [this](const QDBusMessage& signal) {
                          if (!isCurrent(signal)) return;
                          logNotice("the desktop closed Dusk's shortcuts session");
                          current_->session.clear();
                          current_->live = false;
                          releaseToken(*current_);
                          shortcutRebound(std::nullopt);
                      });
    }

    void askForVersion() {
        // The registry ties this connection to Dusk's application id, so that
        // the desktop keeps the binding across restarts. It must come before
        // any other portal call; portals before 1.19 have none.
        if (!std::exchange(registered_, true)) {
            auto registration = QDBusMessage::createMethodCall(service, portalPath,
                                                               QStringLiteral("org.freedesktop.host.portal.Registry"),
                                                               QStringLiteral("Register"));
            registration << QStringLiteral("app.dusk.Dusk") << QVariantMap();
            call(this, registration, answerDeadline, [this](const QDBusMessage& reply) {
                // No registry, or no portal at all, which the version tells.
                const auto error = QDBusError(reply).type();
                const bool noRegistry = error == QDBusError::UnknownMethod || error == QDBusError::UnknownInterface ||
                                        error == QDBusError::UnknownObject || error == QDBusError::ServiceUnknown ||
                                        error == QDBusError::Disconnected;
                if (unanswered(reply)) {
                    logNotice("the portal has not answered Register within " + seconds(answerDeadline) +
                              "; going on without registering Dusk as app.dusk.Dusk");
                } else if (isError(reply) && !noRegistry) {
                    logNotice("the portal did not register Dusk as app.dusk.Dusk: " + errorText(reply));
                }
                askForVersion();
            });
            return;
        }
        auto get = QDBusMessage::createMethodCall(
            service, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << shortcutsInterface << QStringLiteral("version");
        call(this, get, answerDeadline, [this](const QDBusMessage& reply) {
            offered_ = !isError(reply);
            askingForOffer_ = false;
            if (!current_) return;
            if (offered_) {
                start(current_);
                return;
            }
            const auto why =
                unanswered(reply) ? "it did not answer within " + seconds(answerDeadline) : errorText(reply);
            const auto binding = std::exchange(current_, nullptr);
            binding->otherwise("this session's portal offers no global shortcuts (" + why + ")");
        });
    }

    // Calls a method whose answer is a Request's Response.
    void request(const std::shared_ptr<Binding>& binding, const QString& method, QVariantList arguments,
                 QVariantMap options, std::chrono::seconds deadline, Answered answered) {
        const QString token = QStringLiteral("dusk_%1").arg(++requests_);
        const QString sender = bus().baseService().mid(1).replace(u'.', u'_');
        const QString path = QStringLiteral("%1/request/%2/%3").arg(portalPath, sender, token);
        options.insert(QStringLiteral("handle_token"), token);
        responses_[path] = std::move(answered);
        QTimer::singleShot(deadline, this, [this, binding, method, path, deadline] {
            if (!responses_.contains(path) || binding != current_) return;
            logError("the desktop has not answered " + method.toStdString() + " within " + seconds(deadline) +
                     "; the global shortcut is not bound until it does");
            report(binding, {binding->bindCall, bindStatus::noAnswer, std::nullopt,
                             "The desktop has not answered Dusk's request for the shortcut."});
        });
        auto message = QDBusMessage::createMethodCall(service, portalPath, shortcutsInterface, method);
        message.setArguments(arguments << options);
        // The deadline above is Dusk's; the call waits as long as the desktop takes.
        call(this, message, std::chrono::milliseconds(std::numeric_limits<int>::max()),
             [this, binding, method, path](const QDBusMessage& reply) {
                 if (!isError(reply)) return;
                 responses_.erase(path);
                 if (binding != current_) {
                     close(binding);
                 } else {
                     fail(binding, bindStatus::callFailed, method.toStdString() + " failed: " + errorText(reply),
                          "The desktop refused Dusk's request: " + reply.errorMessage().toStdString());
                 }
             });
    }

    void start(const std::shared_ptr<Binding>& binding) {
        const auto keymap = currentKeymap();
        const auto trigger = keymap ? preferredTrigger(binding->shortcut, *keymap) : std::nullopt;
        if (!trigger) {
            fail(binding, bindStatus::noSuchKey,
                 "the keyboard layout has no key of code " + std::to_string(binding->shortcut.keyCode),
                 "The keyboard layout has no such key.");
            return;
        }
        binding->trigger = QString::fromStdString(*trigger);
        // A new session has the token of the one before, which must be gone
        // first; one still there at the deadline keeps it, and the next is taken.
        if (!tokensInUse_.contains(sessionToken)) {
            createSession(binding, sessionToken);
            return;
        }
        QTimer::singleShot(answerDeadline, this, [this, binding] {
            if (binding != current_ || !binding->token.isEmpty()) return;
            QString token = sessionToken;
            for (int next = 2; tokensInUse_.contains(token); ++next) token = sessionToken + QString::number(next);
            createSession(binding, token);
        });
    }

    void createSession(const std::shared_ptr<Binding>& binding, const QString& token) {
        binding->token = token;
        binding->holdsToken = true;
        tokensInUse_.insert(token);
        const QVariantMap options{{QStringLiteral("session_handle_token"), token},
                                  {QStringLiteral("shortcuts"), QVariant::fromValue(requested(*binding))}};
        request(binding, QStringLiteral("CreateSession"), {}, options, answerDeadline,
                [this, binding](std::uint32_t code, const QVariantMap& results) {
                    if (code == 0) binding->session = results.value(QStringLiteral("session_handle")).toString();
                    binding->sessionMade = !binding->session.isEmpty();
                    if (binding != current_) {
                        close(binding);
                    } else if (!binding->sessionMade) {
                        fail(binding, code == 0 ? bindStatus::callFailed : static_cast<std::int32_t>(code),
                             code == 1 ? "the desktop cancelled a shortcuts session"
                                       : "the desktop refused a shortcuts session");
                    } else if (const auto bound = results.find(QStringLiteral("shortcuts")); bound != results.end()) {
                        binding->bindCall = "CreateSession";
                        answered(binding, 0, bound.value());
                    } else {
                        bindShortcuts(binding);
                    }
                });
    }

    // Dusk's shortcut as the portal takes it, with the keys it would like.
    static PortalShortcuts requested(const Binding& binding) {
        return {{shortcutId,
                 {{QStringLiteral("description"), QStringLiteral("Switch between Light and Dark")},
                  {QStringLiteral("preferred_trigger"), binding.trigger}}}};
    }

    void bindShortcuts(const std::shared_ptr<Binding>& binding) {
        // No parent window: the desktop's dialog, if any, stands alone.
        const QVariantList arguments{QVariant::fromValue(QDBusObjectPath(binding->session)),
                                     QVariant::fromValue(requested(*binding)), QString()};
        request(binding, QStringLiteral("BindShortcuts"), arguments, {}, bindDeadline,
                [this, binding](std::uint32_t code, const QVariantMap& results) {
                    if (binding == current_) answered(binding, code, results.value(QStringLiteral("shortcuts")));
                });
    }

    // The desktop's answer to the bind: its response code and the shortcuts it
    // bound, from which Dusk's keys are read.
    void answered(const std::shared_ptr<Binding>& binding, std::uint32_t code, const QVariant& shortcuts) {
        binding->answered = true;
        const QString trigger = triggerIn(shortcuts);
        const auto keys = code != 0 || trigger.isEmpty() ? std::nullopt : keysOf(trigger);
        if (code != 0) {
            fail(binding, static_cast<std::int32_t>(code),
                 code == 1 ? "the desktop cancelled the shortcut" : "the desktop refused the shortcut",
                 code == 1 ? "The shortcut was cancelled in the desktop's dialog." : "");
        } else if (trigger.isEmpty()) {
            fail(binding, bindStatus::noKeysBound, "the desktop bound no keys to the shortcut");
        } else if (!keys) {
            fail(binding, bindStatus::unnamableKeys, {},
                 "The desktop bound the shortcut to " + trigger.toStdString() + ", keys Dusk cannot name.");
        } else {
            binding->live = true;
            report(binding, {binding->bindCall, bindStatus::bound, keys, {}});
        }
    }

    // Nothing stays bound behind a failure. An empty `problem` was logged already.
    void fail(const std::shared_ptr<Binding>& binding, std::int32_t status, const std::string& problem,
              const std::string& reason = {}) {
        if (!problem.empty()) logError("the global shortcut is not bound: " + problem);
        close(binding);
        binding->live = false;
        report(binding, {binding->bindCall, status, std::nullopt, reason});
    }

    void report(const std::shared_ptr<Binding>& binding, const platform::BindOutcome& outcome) {
        if (binding->done) {
            std::exchange(binding->done, {})(outcome);
        } else if (binding == current_ && outcome.status == bindStatus::bound) {
            // The answer came after its deadline: the desktop bound it after all.
            shortcutRebound(outcome.bound);
        }
    }

    // Closes the binding's session; where none was made, its token is free.
    void close(const std::shared_ptr<Binding>& binding) {
        const QString session = std::exchange(binding->session, {});
        if (!binding->sessionMade) releaseToken(*binding);
        if (session.isEmpty()) return;
        const auto close = QDBusMessage::createMethodCall(
            service, session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close"));
        call(this, close, answerDeadline, [this, binding](const QDBusMessage& reply) {
            if (unanswered(reply)) {
                // The session may stand yet, its token with it.
                logNotice("the desktop has not answered Close of Dusk's shortcuts session within " +
                          seconds(answerDeadline));
                return;
            }
            if (isError(reply)) logNotice("the desktop did not close Dusk's shortcuts session: " + errorText(reply));
            releaseToken(*binding);
        });
    }

    void releaseToken(Binding& binding) {
        if (!std::exchange(binding.holdsToken, false)) return;
        tokensInUse_.erase(binding.token);
        // The current bind, started and without a token yet, waits for Dusk's own.
        if (binding.token == sessionToken && current_ && !current_->trigger.isEmpty() && current_->token.isEmpty()) {
            createSession(current_, sessionToken);
        }
    }

    // The portal's own signals name the session first; a session's come from it.
    bool isCurrent(const QDBusMessage& signal) const {
        const QString named = signal.arguments().value(0).value<QDBusObjectPath>().path();
        return current_ && !current_->session.isEmpty() &&
               (current_->session == signal.path() || current_->session == named);
    }

    std::shared_ptr<Binding> current_;
    std::map<QString, Answered> responses_;
    unsigned requests_ = 0;
    // Tokens whose session may stand.
    std::set<QString> tokensInUse_;
    bool offered_ = false, askingForOffer_ = false, registered_ = false;
};

}  // namespace

void bindThroughPortal(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done, Otherwise otherwise) {
    ShortcutsPortal::shared().bind(shortcut, std::move(done), std::move(otherwise));
}

void unbindThroughPortal() { ShortcutsPortal::shared().unbind(); }

}  // namespace dusk::backend
