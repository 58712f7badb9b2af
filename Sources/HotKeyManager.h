// Dusk's one global shortcut, bound with the desktop.
#pragma once

#include <functional>
#include <optional>

#include "HotKey.h"

namespace dusk {

class HotKeyManager final {
public:
    // Created on first use, which is when the desktop first hears of Dusk's
    // shortcut.
    static HotKeyManager& shared();
    HotKeyManager(const HotKeyManager&) = delete;
    HotKeyManager& operator=(const HotKeyManager&) = delete;

    // Run on the main queue for each press, read when the work runs.
    std::function<void()> onTrigger;
    // Where the desktop has the last word on the keys, it may bind others
    // than asked for, move the binding later, or drop it; called with what is
    // in effect then.
    std::function<void(const std::optional<HotKey>&)> onBindingChanged;

    // What is in effect now: none until the desktop has bound the shortcut,
    // after a refusal, and once the desktop has dropped the keys.
    const std::optional<HotKey>& registered() const { return registered_; }
    // What the desktop has been asked to bind and has not answered yet.
    const std::optional<HotKey>& pending() const { return pending_; }

    // Drops the current registration first, whatever the outcome. `done`
    // hears whether the desktop took the shortcut, once it has answered.
    // What the recorder refuses on every desktop is refused here too,
    // without asking; what only this desktop refuses is asked for, so that
    // the refusal and its reason are the desktop's.
    void registerHotKey(const HotKey& hotKey, std::function<void(bool bound, const std::string& reason)> done = {});
    void unregister();

private:
    HotKeyManager();
    void bindingChanged(const std::optional<HotKey>& inEffect);

    std::optional<HotKey> registered_;
    std::optional<HotKey> pending_;
};

}  // namespace dusk
