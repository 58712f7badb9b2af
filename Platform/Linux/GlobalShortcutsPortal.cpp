#include "GlobalShortcutsPortal.h"

#include <unistd.h>

#include <QTimer>
#include <algorithm>
#include <cstring>

#include "Internal.h"

namespace dusk::backend {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* portalService = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* shortcutId = "toggle-appearance";
constexpr const char* shortcutDescription = "Switch between Light and Dark";
constexpr const char* applicationId = "app.dusk.Dusk";

struct BusError {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    BusError() = default;
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    ~BusError() { sd_bus_error_free(&error); }
    std::string text(int status) const {
        if (sd_bus_error_is_set(&error) != 0)
            return std::string(error.name) + ": " + (error.message ? error.message : "");
        return std::strerror(-status);
    }
    bool named(const char* name) const { return sd_bus_error_has_name(&error, name) != 0; }
};

struct MessageUnref {
    void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

std::uint64_t microsecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<std::uint64_t>(left) : 1;
}

// Appends an a{sv} of string values.
int appendStringEntries(sd_bus_message* message, const std::vector<std::pair<const char*, std::string>>& entries) {
    int r = sd_bus_message_open_container(message, 'a', "{sv}");
    for (const auto& [key, value] : entries) {
        if (r >= 0) r = sd_bus_message_append(message, "{sv}", key, "s", value.c_str());
    }
    return r < 0 ? r : sd_bus_message_close_container(message);
}

// Reads a string or object path held in a variant.
std::optional<std::string> readStringVariant(sd_bus_message* message) {
    char type = 0;
    const char* contents = nullptr;
    if (sd_bus_message_peek_type(message, &type, &contents) <= 0 || type != 'v' || contents == nullptr ||
        (std::strcmp(contents, "s") != 0 && std::strcmp(contents, "o") != 0)) {
        sd_bus_message_skip(message, "v");
        return std::nullopt;
    }
    const char* text = nullptr;
    if (sd_bus_message_enter_container(message, 'v', contents) <= 0) return std::nullopt;
    const int r = sd_bus_message_read_basic(message, contents[0], &text);
    sd_bus_message_exit_container(message);
    return r > 0 && text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

// Dusk's shortcut in an a(sa{sv}) list of bound shortcuts: none when the
// list does not hold it, else its trigger text (none when it has none).
std::optional<GlobalShortcutsPortal::Trigger> readShortcuts(sd_bus_message* message) {
    std::optional<GlobalShortcutsPortal::Trigger> ours;
    if (sd_bus_message_enter_container(message, 'a', "(sa{sv})") <= 0) return ours;
    while (sd_bus_message_enter_container(message, 'r', "sa{sv}") > 0) {
        const char* id = nullptr;
        sd_bus_message_read(message, "s", &id);
        const bool mine = id != nullptr && std::strcmp(id, shortcutId) == 0;
        GlobalShortcutsPortal::Trigger trigger;
        sd_bus_message_enter_container(message, 'a', "{sv}");
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read(message, "s", &key);
            if (key != nullptr && std::strcmp(key, "trigger_description") == 0) {
                trigger = readStringVariant(message);
            } else {
                sd_bus_message_skip(message, "v");
            }
            sd_bus_message_exit_container(message);
        }
        sd_bus_message_exit_container(message);
        sd_bus_message_exit_container(message);
        // A trigger with no text is no trigger the user could press.
        if (mine) ours = trigger && !trigger->empty() ? trigger : std::nullopt;
    }
    sd_bus_message_exit_container(message);
    return ours;
}

}  // namespace

// One portal call whose answer arrives later as a Response signal on the
// Request object the call names.
struct GlobalShortcutsPortal::Request {
    std::string path;
    SlotPtr response;
    bool answered = false;
    std::uint32_t code = 2;  // 0 success, 1 cancelled by the user, 2 otherwise ended
    std::string sessionHandle;
    std::optional<Trigger> shortcut;  // ours, when the results list it
};

bool shortcutsPortalOffered() {
    sd_bus* raw = nullptr;
    if (sd_bus_open_user(&raw) < 0) return false;
    const BusPtr bus(raw);
    // The portal may still have to be started by the bus.
    sd_bus_set_method_call_timeout(bus.get(), 5'000'000);
    std::uint32_t version = 0;
    BusError error;
    return sd_bus_get_property_trivial(bus.get(), portalService, portalPath, shortcutsInterface, "version",
                                       &error.error, 'u', &version) >= 0;
}

GlobalShortcutsPortal& GlobalShortcutsPortal::shared() {
    static GlobalShortcutsPortal portal;
    return portal;
}

GlobalShortcutsPortal::~GlobalShortcutsPortal() = default;

bool GlobalShortcutsPortal::connect(std::string& problem) {
    if (bus_) return true;
    sd_bus* raw = nullptr;
    if (const int r = sd_bus_open_user(&raw); r < 0) {
        problem = std::string("no session bus: ") + std::strerror(-r);
        return false;
    }
    BusPtr bus(raw);
    const char* unique = nullptr;
    if (const int r = sd_bus_get_unique_name(bus.get(), &unique); r < 0) {
        problem = std::string("no session bus: ") + std::strerror(-r);
        return false;
    }
    // Request and session objects are named after the caller: ":1.42" is
    // "1_42" in their paths.
    std::string token = unique + 1;
    std::replace(token.begin(), token.end(), '.', '_');

    // The host registry ties this connection to Dusk's application id, so
    // the desktop remembers the binding across restarts. It must come
    // before any other portal call, and older portals do not offer it.
    {
        BusError error;
        const int r = sd_bus_call_method(bus.get(), portalService, portalPath, "org.freedesktop.host.portal.Registry",
                                         "Register", &error.error, nullptr, "sa{sv}", applicationId, 0);
        if (r < 0 && !error.named(SD_BUS_ERROR_UNKNOWN_METHOD) && !error.named(SD_BUS_ERROR_UNKNOWN_INTERFACE) &&
            !error.named(SD_BUS_ERROR_UNKNOWN_OBJECT)) {
            logNotice(std::string("the portal did not register Dusk as ") + applicationId + ": " + error.text(r));
        }
    }
    std::uint32_t version = 0;
    BusError error;
    if (const int r = sd_bus_get_property_trivial(bus.get(), portalService, portalPath, shortcutsInterface, "version",
                                                  &error.error, 'u', &version);
        r < 0) {
        problem = "this session's portal offers no global shortcuts (org.freedesktop.portal.GlobalShortcuts: " +
                  error.text(r) + ")";
        return false;
    }
    sd_bus_slot* slot = nullptr;
    // Activated, Deactivated and ShortcutsChanged all come this way; the
    // session they name tells whose they are.
    if (const int r =
            sd_bus_match_signal(bus.get(), &slot, nullptr, portalPath, shortcutsInterface, nullptr, &onSignal, this);
        r < 0) {
        problem = std::string("cannot listen to the portal: ") + std::strerror(-r);
        return false;
    }
    shortcutSignals_.reset(slot);
    bus_ = std::move(bus);
    senderToken_ = std::move(token);
    listen();
    return true;
}

void GlobalShortcutsPortal::listen() {
    notifier_ = std::make_unique<QSocketNotifier>(sd_bus_get_fd(bus_.get()), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { dispatch(); });
}

void GlobalShortcutsPortal::dispatch() {
    if (!bus_) return;
    int r = 0;
    while ((r = sd_bus_process(bus_.get(), nullptr)) > 0) {
    }
    if (r >= 0) {
        sd_bus_flush(bus_.get());
        return;
    }
    // The bus has gone (the session is ending): its socket would wake the
    // loop for ever, and the desktop has forgotten the session with it.
    notifier_->setEnabled(false);
    notifier_.release()->deleteLater();
    shortcutSignals_.reset();
    sessionClosed_.reset();
    bus_.reset();
    const bool hadSession = !session_.empty();
    session_.clear();
    if (hadSession && onTriggerChanged) onTriggerChanged(std::nullopt);
}

// A synchronous call may have read signals behind its reply, which the
// socket will not announce again.
void GlobalShortcutsPortal::dispatchSoon() {
    if (notifier_) QTimer::singleShot(0, notifier_.get(), [this] { dispatch(); });
}

std::string GlobalShortcutsPortal::newToken() {
    return "dusk" + std::to_string(::getpid()) + "_" + std::to_string(++tokens_);
}

std::shared_ptr<GlobalShortcutsPortal::Request> GlobalShortcutsPortal::request(
    const char* method, const std::function<int(sd_bus_message*)>& arguments, Options options,
    Clock::time_point deadline, std::string& problem) {
    auto request = std::make_shared<Request>();
    const std::string token = newToken();
    request->path = std::string(portalPath) + "/request/" + senderToken_ + "/" + token;
    // Listen before asking, or a quick answer would be missed.
    const auto subscribe = [&](const std::string& path) {
        sd_bus_slot* slot = nullptr;
        const int r = sd_bus_match_signal(bus_.get(), &slot, nullptr, path.c_str(), "org.freedesktop.portal.Request",
                                          "Response", &onResponse, request.get());
        request->response.reset(r >= 0 ? slot : nullptr);
        return r;
    };
    if (const int r = subscribe(request->path); r < 0) {
        problem = std::string("cannot listen for the portal's answer: ") + std::strerror(-r);
        return nullptr;
    }
    sd_bus_message* raw = nullptr;
    int r = sd_bus_message_new_method_call(bus_.get(), &raw, portalService, portalPath, shortcutsInterface, method);
    const MessagePtr call(raw);
    if (r >= 0 && arguments) r = arguments(call.get());
    options.emplace_back("handle_token", token);
    if (r >= 0) r = appendStringEntries(call.get(), options);
    BusError error;
    sd_bus_message* rawReply = nullptr;
    if (r >= 0) r = sd_bus_call(bus_.get(), call.get(), microsecondsUntil(deadline), &error.error, &rawReply);
    const MessagePtr reply(rawReply);
    if (r < 0) {
        problem = std::string(method) + " failed: " + error.text(r);
        return nullptr;
    }
    const char* handle = nullptr;
    // Portals before the handle_token convention chose the path themselves.
    if (sd_bus_message_read(reply.get(), "o", &handle) > 0 && handle != request->path) {
        request->path = handle;
        subscribe(request->path);
    }
    wait(*request, deadline);
    return request;
}

void GlobalShortcutsPortal::wait(const Request& request, Clock::time_point deadline) {
    // Only this connection is served meanwhile: no menu, window or timer of
    // Dusk's can run in the middle of a registration.
    while (!request.answered && Clock::now() < deadline) {
        const int r = sd_bus_process(bus_.get(), nullptr);
        if (r < 0) break;
        if (r > 0) continue;
        if (sd_bus_wait(bus_.get(), microsecondsUntil(deadline)) < 0) break;
    }
    dispatchSoon();
}

int GlobalShortcutsPortal::onResponse(sd_bus_message* message, void* raw, sd_bus_error*) {
    auto& request = *static_cast<Request*>(raw);
    if (sd_bus_message_read(message, "u", &request.code) < 0) return 0;
    if (sd_bus_message_enter_container(message, 'a', "{sv}") > 0) {
        while (sd_bus_message_enter_container(message, 'e', "sv") > 0) {
            const char* key = nullptr;
            sd_bus_message_read(message, "s", &key);
            if (key != nullptr && std::strcmp(key, "session_handle") == 0) {
                request.sessionHandle = readStringVariant(message).value_or("");
            } else if (key != nullptr && std::strcmp(key, "shortcuts") == 0 &&
                       sd_bus_message_enter_container(message, 'v', "a(sa{sv})") > 0) {
                request.shortcut = readShortcuts(message);
                sd_bus_message_exit_container(message);
            } else {
                sd_bus_message_skip(message, "v");
            }
            sd_bus_message_exit_container(message);
        }
    }
    request.answered = true;
    return 0;
}

int GlobalShortcutsPortal::onSignal(sd_bus_message* message, void* raw, sd_bus_error*) {
    auto& self = *static_cast<GlobalShortcutsPortal*>(raw);
    const char* session = nullptr;
    if (sd_bus_message_read(message, "o", &session) < 0 || session == nullptr || self.session_ != session) return 0;
    if (sd_bus_message_is_signal(message, shortcutsInterface, "Activated") != 0) {
        const char* id = nullptr;
        if (sd_bus_message_read(message, "s", &id) > 0 && std::strcmp(id, shortcutId) == 0 && self.onActivated) {
            self.onActivated();
        }
    } else if (sd_bus_message_is_signal(message, shortcutsInterface, "ShortcutsChanged") != 0) {
        // A list without Dusk's shortcut no longer binds it.
        const auto ours = readShortcuts(message).value_or(std::nullopt);
        if (self.onTriggerChanged) self.onTriggerChanged(ours);
    }
    // Deactivated (the keys let go) means nothing to a toggle.
    return 0;
}

int GlobalShortcutsPortal::onSessionClosed(sd_bus_message*, void* raw, sd_bus_error*) {
    auto& self = *static_cast<GlobalShortcutsPortal*>(raw);
    self.session_.clear();
    self.sessionClosed_.reset();
    if (self.onTriggerChanged) self.onTriggerChanged(std::nullopt);
    return 0;
}

void GlobalShortcutsPortal::closeSession() {
    sessionClosed_.reset();
    if (session_.empty() || !bus_) return;
    BusError error;
    sd_bus_call_method(bus_.get(), portalService, session_.c_str(), "org.freedesktop.portal.Session", "Close",
                       &error.error, nullptr, "");
    session_.clear();
    dispatchSoon();
}

void GlobalShortcutsPortal::unbind() { closeSession(); }

GlobalShortcutsPortal::Outcome GlobalShortcutsPortal::bind(std::string_view preferredTrigger) {
    Outcome outcome;
    if (!connect(outcome.problem)) return outcome;
    closeSession();
    const auto deadline = Clock::now() + answerWait;
    const auto late = [&] {
        outcome.problem = "the desktop did not answer within " + std::to_string(answerWait.count() / 1000) + " s";
        return outcome;
    };
    const auto ended = [&](const char* what, const Request& request) {
        outcome.answered = true;
        outcome.problem = std::string("the desktop ") + (request.code == 1 ? "cancelled " : "refused ") + what;
        return outcome;
    };

    const auto created =
        request("CreateSession", nullptr, {{"session_handle_token", newToken()}}, deadline, outcome.problem);
    if (!created) return outcome;
    if (!created->answered) return late();
    if (created->code != 0 || created->sessionHandle.empty()) return ended("a shortcuts session", *created);
    session_ = created->sessionHandle;
    sd_bus_slot* slot = nullptr;
    if (sd_bus_match_signal(bus_.get(), &slot, nullptr, session_.c_str(), "org.freedesktop.portal.Session", "Closed",
                            &onSessionClosed, this) >= 0) {
        sessionClosed_.reset(slot);
    }

    const std::string trigger(preferredTrigger);
    const auto bound = request(
        "BindShortcuts",
        [&](sd_bus_message* call) {
            int r = sd_bus_message_append(call, "o", session_.c_str());
            if (r >= 0) r = sd_bus_message_open_container(call, 'a', "(sa{sv})");
            if (r >= 0) r = sd_bus_message_open_container(call, 'r', "sa{sv}");
            if (r >= 0) r = sd_bus_message_append(call, "s", shortcutId);
            if (r >= 0) {
                r = appendStringEntries(call, {{"description", shortcutDescription}, {"preferred_trigger", trigger}});
            }
            if (r >= 0) r = sd_bus_message_close_container(call);
            if (r >= 0) r = sd_bus_message_close_container(call);
            // No parent window: the desktop's dialog, if any, stands alone.
            if (r >= 0) r = sd_bus_message_append(call, "s", "");
            return r;
        },
        {}, deadline, outcome.problem);
    if (!bound) return outcome;
    if (!bound->answered) return late();
    if (bound->code != 0) return ended("the shortcut", *bound);
    outcome.answered = true;
    if (bound->shortcut) {
        outcome.trigger = *bound->shortcut;
    } else {
        // An answer that does not list the shortcut says nothing about it;
        // the session's list does.
        const auto listed = request(
            "ListShortcuts", [&](sd_bus_message* call) { return sd_bus_message_append(call, "o", session_.c_str()); },
            {}, deadline, outcome.problem);
        outcome.answered = listed && listed->answered && listed->code == 0;
        if (outcome.answered) outcome.trigger = listed->shortcut.value_or(std::nullopt);
    }
    if (!outcome.trigger && outcome.problem.empty()) outcome.problem = "the desktop bound no keys to the shortcut";
    return outcome;
}

}  // namespace dusk::backend
