// The freedesktop portal's appearance setting, asked without ever holding up
// the event loop: one asynchronous read over the session bus connection Qt
// already has, then the portal's own change signal.
#pragma once

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
    // Called on the main thread whenever that answer changes.
    void onChange(std::function<void()> callback);

    struct State;

private:
    SettingsPortal();
    ~SettingsPortal();
    std::unique_ptr<State> state_;
};

}  // namespace dusk::backend
