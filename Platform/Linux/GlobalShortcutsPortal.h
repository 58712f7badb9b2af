// The desktop's GlobalShortcuts portal (org.freedesktop.portal.GlobalShortcuts):
// how a Wayland session lets an application have a global shortcut. The
// desktop decides the final binding; this client asks for one shortcut and
// reports what the desktop says is in effect.
#pragma once

#include <systemd/sd-bus.h>

#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dusk::backend {

struct BusUnref {
    void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct SlotUnref {
    void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using BusPtr = std::unique_ptr<sd_bus, BusUnref>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;

// Whether the session's portal offers global shortcuts; asked once, over a
// connection of its own, before Qt starts.
bool shortcutsPortalOffered();

class GlobalShortcutsPortal final {
public:
    // What the desktop reports for Dusk's shortcut: the text it shows for the
    // trigger, or none when no trigger is bound.
    using Trigger = std::optional<std::string>;

    struct Outcome {
        bool answered = false;  // false: no portal, an error, or no answer in time
        Trigger trigger;
        std::string problem;  // why nothing is bound, for the log
    };

    // How long a registration waits for the desktop, which may first ask
    // the user in a dialog of its own; after that the registration fails.
    static constexpr std::chrono::milliseconds answerWait{25000};

    static GlobalShortcutsPortal& shared();

    // A fresh session binding the one shortcut, replacing any earlier one: the
    // portal lets a session bind only once.
    Outcome bind(std::string_view preferredTrigger);
    // Closes the session; the desktop forgets nothing it stores itself.
    void unbind();

    // The shortcut was pressed.
    std::function<void()> onActivated;
    // The desktop changed or dropped the binding later.
    std::function<void(const Trigger&)> onTriggerChanged;

    GlobalShortcutsPortal(const GlobalShortcutsPortal&) = delete;
    GlobalShortcutsPortal& operator=(const GlobalShortcutsPortal&) = delete;
    ~GlobalShortcutsPortal();

private:
    struct Request;
    using Options = std::vector<std::pair<const char*, std::string>>;
    GlobalShortcutsPortal() = default;

    bool connect(std::string& problem);
    // Calls a portal method whose answer comes as a Request's Response;
    // waits for it up to the deadline, handling only this connection.
    // The method's own arguments come from `arguments`; its options
    // dictionary (last) gets a handle token besides `options`.
    std::shared_ptr<Request> request(const char* method, const std::function<int(sd_bus_message*)>& arguments,
                                     Options options, std::chrono::steady_clock::time_point deadline,
                                     std::string& problem);
    std::string newToken();
    void wait(const Request& request, std::chrono::steady_clock::time_point deadline);
    void listen();
    void dispatch();
    void dispatchSoon();
    void closeSession();

    static int onSignal(sd_bus_message* message, void* self, sd_bus_error*);
    static int onResponse(sd_bus_message* message, void* request, sd_bus_error*);
    static int onSessionClosed(sd_bus_message* message, void* self, sd_bus_error*);

    BusPtr bus_;
    std::string senderToken_;
    SlotPtr shortcutSignals_, sessionClosed_;
    std::string session_;
    std::unique_ptr<QSocketNotifier> notifier_;
    unsigned tokens_ = 0;
};

}  // namespace dusk::backend
