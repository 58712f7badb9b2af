#include "shortcuts/ShortcutsPortal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QPointer>
#include <QTimer>
#include <limits>
#include <utility>

#include "common/Log.h"
#include "shortcuts/KeyCodes.h"
#include "shortcuts/PortalCalls.h"
#include "shortcuts/Shortcuts.h"

namespace dusk::backend {
namespace {

const QString service = QString::fromLatin1(portal::service);
const QString portalPath = QString::fromLatin1(portal::path);
const QString shortcutsInterface = QString::fromLatin1(portal::shortcutsInterface);
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString shortcutId = QStringLiteral("toggle-appearance");
const QString shortcutDescription = QStringLiteral("Switch between Light and Dark");
// Without the process id: KDE names its record of the shortcut after the
// session's token, which must be the same at every start.
const QString sessionToken = QStringLiteral("dusk");

QDBusConnection bus() { return QDBusConnection::sessionBus(); }

// Dusk's shortcut in a list of them: none when the list does not hold it,
// else the text the desktop shows for its keys (empty for none).
std::optional<QString> triggerIn(const QVariant& list) {
    for (const auto& shortcut : qdbus_cast<PortalShortcuts>(list)) {
        if (shortcut.id == shortcutId) {
            return shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        }
    }
    return std::nullopt;
}

// Sent as a string by the interface's word, as an object path by some
// portals.
QString sessionHandleIn(const QVariantMap& results) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    return handle.metaType() == QMetaType::fromType<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                       : handle.toString();
}

}  // namespace

struct ShortcutsPortal::Binding {
    QString trigger;
    platform::GlobalShortcut::Done done;
    QString token, session;
    // Unbound, or replaced by a later bind.
    bool abandoned = false;
    // The desktop has answered the bind, and its keys are Dusk's shortcut.
    bool answered = false, live = false;
    // Counts calls and answers, so that a deadline knows its call was
    // answered.
    unsigned step = 0;
};

ShortcutsPortal& ShortcutsPortal::shared() {
    static QPointer<ShortcutsPortal> portal;
    if (!portal) portal = new ShortcutsPortal(QCoreApplication::instance());
    return *portal;
}

ShortcutsPortal::ShortcutsPortal(QObject* parent) : QObject(parent) {
    portal::registerTypes();
    // Every session's signals come this way; the session they name tells
    // whose they are. Deactivated (the keys let go) means nothing to a toggle.
    bus().connect(service, portalPath, shortcutsInterface, QStringLiteral("Activated"), this,
                  SLOT(activated(QDBusMessage)));
    bus().connect(service, portalPath, shortcutsInterface, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(shortcutsChanged(QDBusMessage)));
}

ShortcutsPortal::~ShortcutsPortal() = default;

// --- Binding ------------------------------------------------------------------

void ShortcutsPortal::bind(const platform::Shortcut& shortcut, platform::GlobalShortcut::Done done) {
    unbind();
    const auto keymap = currentKeymap();
    const auto trigger = keymap ? preferredTrigger(shortcut, *keymap) : std::nullopt;
    if (!trigger) {
        logError("the global shortcut is not bound: the keyboard layout has no key of code " +
                 std::to_string(shortcut.keyCode));
        done({"BindShortcuts", bindStatus::noSuchKey, std::nullopt, "The keyboard layout has no such key."});
        return;
    }
    current_ = std::make_shared<Binding>();
    current_->trigger = QString::fromStdString(*trigger);
    current_->done = std::move(done);
    createSessionWhenFree(current_);
}

void ShortcutsPortal::unbind() {
    if (!current_) return;
    const auto binding = std::exchange(current_, nullptr);
    binding->abandoned = true;
    // A session still being made is closed once the desktop has made it.
    if (!binding->session.isEmpty()) close(binding->session, binding->token);
}

// A new session has the token of the one before, which must be gone first;
// one that is not gone by the deadline is left to stand under its token.
void ShortcutsPortal::createSessionWhenFree(const std::shared_ptr<Binding>& binding) {
    if (!tokensInUse_.contains(sessionToken)) {
        createSession(binding, sessionToken);
        return;
    }
    waitingForToken_ = binding;
    QTimer::singleShot(answerDeadline, this, [this, binding] {
        if (waitingForToken_ != binding) return;
        waitingForToken_.reset();
        QString token;
        for (int next = 2; token.isEmpty() || tokensInUse_.contains(token); ++next) {
            token = sessionToken + QString::number(next);
        }
        if (!binding->abandoned) createSession(binding, token);
    });
}

void ShortcutsPortal::settled(const QString& token) {
    tokensInUse_.erase(token);
    if (token != sessionToken || !waitingForToken_) return;
    const auto binding = std::exchange(waitingForToken_, nullptr);
    if (!binding->abandoned) createSession(binding, token);
}

void ShortcutsPortal::request(const std::shared_ptr<Binding>& binding, const QString& method, QVariantList arguments,
                              QVariantMap options, std::chrono::seconds deadline, Answered answered, Refused refused) {
    const QString token = QStringLiteral("dusk_%1").arg(++requests_);
    const QString sender = bus().baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = portalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    // The token names the Request, which is listened to before asking, or a
    // quick answer would be missed.
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    const unsigned step = ++binding->step;
    listenForResponse(path, [binding, answered = std::move(answered)](std::uint32_t code, const QVariantMap& results) {
        ++binding->step;
        answered(code, results);
    });
    QTimer::singleShot(deadline, this, [this, binding, step, method, deadline] {
        if (binding->step != step || binding->abandoned) return;
        logError("the desktop has not answered " + method.toStdString() + " within " + portal::seconds(deadline) +
                 "; the global shortcut is not bound until it does");
        report(binding, {"BindShortcuts", bindStatus::noAnswer, std::nullopt,
                         "The desktop has not answered Dusk's request for the shortcut."});
    });
    auto message = QDBusMessage::createMethodCall(service, portalPath, shortcutsInterface, method);
    message.setArguments(arguments);
    // The deadline above is Dusk's; the call itself waits as long as the
    // desktop takes.
    portal::call(this, message, std::chrono::milliseconds(std::numeric_limits<int>::max()),
                 [this, binding, path, refused = std::move(refused)](const QDBusMessage& reply) {
                     if (portal::isError(reply)) {
                         ++binding->step;
                         stopListening(path);
                         refused(reply);
                         return;
                     }
                     // Portals older than the handle token chose the path
                     // themselves.
                     const QString handle = reply.arguments().value(0).value<QDBusObjectPath>().path();
                     if (handle.isEmpty() || handle == path || !responses_.contains(path)) return;
                     auto moved = std::move(responses_.at(path));
                     stopListening(path);
                     listenForResponse(handle, std::move(moved));
                 });
}

void ShortcutsPortal::listenForResponse(const QString& path, Answered answered) {
    responses_[path] = std::move(answered);
    bus().connect(service, path, requestInterface, QStringLiteral("Response"), this, SLOT(responded(QDBusMessage)));
}

void ShortcutsPortal::stopListening(const QString& path) {
    responses_.erase(path);
    bus().disconnect(service, path, requestInterface, QStringLiteral("Response"), this, SLOT(responded(QDBusMessage)));
}

void ShortcutsPortal::responded(const QDBusMessage& response) {
    const auto found = responses_.find(response.path());
    if (found == responses_.end()) return;
    const Answered answered = std::move(found->second);
    stopListening(response.path());
    const auto arguments = response.arguments();
    // 0 done, 1 cancelled by the user, 2 ended otherwise.
    const std::uint32_t code = arguments.value(0, 2U).toUInt();
    answered(code, qdbus_cast<QVariantMap>(arguments.value(1)));
}

void ShortcutsPortal::createSession(const std::shared_ptr<Binding>& binding, const QString& token) {
    binding->token = token;
    tokensInUse_.insert(token);
    const auto refused = [this, binding](const QDBusMessage& error) {
        settled(binding->token);
        if (!binding->abandoned) {
            fail(binding, bindStatus::callFailed, "CreateSession failed: " + portal::errorText(error),
                 "The desktop refused Dusk's request: " + error.errorMessage().toStdString());
        }
    };
    request(
        binding, QStringLiteral("CreateSession"), {}, {{QStringLiteral("session_handle_token"), token}}, answerDeadline,
        [this, binding](std::uint32_t code, const QVariantMap& results) {
            const QString session = sessionHandleIn(results);
            if (code != 0 || session.isEmpty()) {
                settled(binding->token);
                if (binding->abandoned) return;
                fail(binding, code == 0 ? bindStatus::callFailed : static_cast<std::int32_t>(code),
                     code == 1 ? "the desktop cancelled a shortcuts session"
                               : "the desktop refused a shortcuts session");
                return;
            }
            if (binding->abandoned) {
                close(session, binding->token);
                return;
            }
            binding->session = session;
            bus().connect(service, session, sessionInterface, QStringLiteral("Closed"), this,
                          SLOT(sessionClosed(QDBusMessage)));
            bindShortcuts(binding);
        },
        refused);
}

void ShortcutsPortal::bindShortcuts(const std::shared_ptr<Binding>& binding) {
    const PortalShortcuts shortcuts{{shortcutId,
                                     {{QStringLiteral("description"), shortcutDescription},
                                      {QStringLiteral("preferred_trigger"), binding->trigger}}}};
    // No parent window: the desktop's dialog, if any, stands alone.
    request(
        binding, QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(binding->session)), QVariant::fromValue(shortcuts), QString()}, {},
        bindDeadline,
        [this, binding](std::uint32_t code, const QVariantMap& results) {
            if (binding->abandoned) return;
            binding->answered = true;
            if (code != 0) {
                fail(binding, static_cast<std::int32_t>(code),
                     code == 1 ? "the desktop cancelled the shortcut" : "the desktop refused the shortcut",
                     code == 1 ? "The shortcut was cancelled in the desktop's dialog." : "");
                return;
            }
            bound(binding, triggerIn(results.value(QStringLiteral("shortcuts"))).value_or(QString()));
        },
        [this, binding](const QDBusMessage& error) {
            if (binding->abandoned) return;
            fail(binding, bindStatus::callFailed, "BindShortcuts failed: " + portal::errorText(error),
                 "The desktop refused Dusk's request: " + error.errorMessage().toStdString());
        });
}

void ShortcutsPortal::bound(const std::shared_ptr<Binding>& binding, const QString& trigger) {
    if (trigger.isEmpty()) {
        fail(binding, bindStatus::noKeysBound, "the desktop bound no keys to the shortcut");
        return;
    }
    const auto keys = keysOf(trigger);
    if (!keys) {
        fail(binding, bindStatus::unnamableKeys, {},
             "The desktop bound the shortcut to " + trigger.toStdString() + ", keys Dusk cannot name.");
        return;
    }
    binding->live = true;
    report(binding, {"BindShortcuts", bindStatus::bound, keys, {}});
}

void ShortcutsPortal::fail(const std::shared_ptr<Binding>& binding, std::int32_t status, const std::string& problem,
                           const std::string& reason) {
    if (!problem.empty()) logError("the global shortcut is not bound: " + problem);
    // Nothing stays bound behind a failure.
    if (!binding->session.isEmpty()) close(std::exchange(binding->session, {}), binding->token);
    binding->live = false;
    report(binding, {"BindShortcuts", status, std::nullopt, reason});
}

void ShortcutsPortal::report(const std::shared_ptr<Binding>& binding, const platform::BindOutcome& outcome) {
    if (binding->done) {
        std::exchange(binding->done, {})(outcome);
    } else if (binding == current_ && outcome.status == bindStatus::bound && onRebound) {
        // The answer came after its deadline: the desktop bound it after all.
        onRebound(outcome.bound);
    }
}

void ShortcutsPortal::close(const QString& session, const QString& token) {
    bus().disconnect(service, session, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(sessionClosed(QDBusMessage)));
    portal::call(this, QDBusMessage::createMethodCall(service, session, sessionInterface, QStringLiteral("Close")),
                 answerDeadline, [this, token](const QDBusMessage& reply) {
                     if (portal::unanswered(reply)) {
                         // The session may stand yet, its token with it.
                         logNotice("the desktop has not answered Close of Dusk's shortcuts session within " +
                                   portal::seconds(answerDeadline));
                         return;
                     }
                     if (portal::isError(reply)) {
                         logNotice("the desktop did not close Dusk's shortcuts session: " + portal::errorText(reply));
                     }
                     settled(token);
                 });
}

// --- What the desktop says later ------------------------------------------------

bool ShortcutsPortal::isCurrent(const QString& session) const {
    return current_ && !current_->session.isEmpty() && current_->session == session;
}

std::optional<platform::Shortcut> ShortcutsPortal::keysOf(const QString& trigger) const {
    const auto keymap = currentKeymap();
    auto keys = keymap ? readTrigger(trigger.toStdString(), *keymap) : std::nullopt;
    if (!keys) {
        logError("the desktop bound the global shortcut to \"" + trigger.toStdString() + "\", keys Dusk cannot name");
    }
    return keys;
}

void ShortcutsPortal::activated(const QDBusMessage& signal) {
    const auto arguments = signal.arguments();
    if (!isCurrent(arguments.value(0).value<QDBusObjectPath>().path()) || !current_->live) return;
    if (arguments.value(1).toString() == shortcutId && onActivated) onActivated();
}

void ShortcutsPortal::shortcutsChanged(const QDBusMessage& signal) {
    const auto arguments = signal.arguments();
    if (!isCurrent(arguments.value(0).value<QDBusObjectPath>().path()) || !current_->answered) return;
    // A list without Dusk's shortcut no longer binds it.
    const QString trigger = triggerIn(arguments.value(1)).value_or(QString());
    const auto keys = trigger.isEmpty() ? std::nullopt : keysOf(trigger);
    current_->live = keys.has_value();
    if (onRebound) onRebound(keys);
}

void ShortcutsPortal::sessionClosed(const QDBusMessage& signal) {
    if (!isCurrent(signal.path())) return;
    logNotice("the desktop closed Dusk's shortcuts session");
    bus().disconnect(service, signal.path(), sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(sessionClosed(QDBusMessage)));
    current_->session.clear();
    current_->live = false;
    settled(current_->token);
    if (onRebound) onRebound(std::nullopt);
}

}  // namespace dusk::backend
