#include "HotKeyManager.h"

#include <utility>

#include "Log.h"
#include "platform/GlobalShortcut.h"
#include "platform/Session.h"

namespace dusk {

HotKeyManager& HotKeyManager::shared() {
    static HotKeyManager instance;
    return instance;
}

HotKeyManager::HotKeyManager() {
    platform::GlobalShortcut::onActivated([] {
        // The toggle may show an alert: never inside the platform's own
        // delivery of the press. The trigger is read when the work runs.
        platform::Session::post([] {
            if (auto& trigger = shared().onTrigger) trigger();
        });
    });
    platform::GlobalShortcut::onRebound([](const std::optional<platform::Shortcut>& bound) {
        shared().bindingChanged(bound ? std::optional(HotKey(*bound)) : std::nullopt);
    });
}

void HotKeyManager::bindingChanged(const std::optional<HotKey>& inEffect) {
    log().notice("hot key binding changed by the desktop: %{public}s",
                 {inEffect ? inEffect->displayString() : std::string("no keys")});
    registered_ = inEffect;
    if (onBindingChanged) onBindingChanged(inEffect);
}

void HotKeyManager::registerHotKey(const HotKey& hotKey, std::function<void(bool, const std::string&)> done) {
    unregister();
    // A hand-edited setting may name a bare key: bound, it would be taken
    // from every application the user types in.
    if (!hotKey.isRecordable()) {
        log().notice(
            "not registering %{public}s code=%{public}u mods=%{public}u: without Control, Option or Command "
            "only a function key can be a shortcut",
            {hotKey.displayString(), hotKey.keyCode, hotKey.carbonModifiers()});
        if (done) done(false, {});
        return;
    }
    pending_ = hotKey;
    platform::GlobalShortcut::bind(hotKey, [hotKey, done = std::move(done)](const platform::BindOutcome& outcome) {
        auto& manager = shared();
        manager.pending_.reset();
        log().notice("%{public}s %{public}s code=%{public}u mods=%{public}u status=%{public}d",
                     {outcome.call, hotKey.displayString(), hotKey.keyCode, hotKey.carbonModifiers(), outcome.status});
        const bool bound = outcome.status == 0 && outcome.bound;
        if (bound && *outcome.bound != hotKey) {
            manager.bindingChanged(HotKey(*outcome.bound));
        } else {
            manager.registered_ = bound ? std::optional(hotKey) : std::nullopt;
        }
        if (done) done(bound, outcome.reason);
    });
}

void HotKeyManager::unregister() {
    platform::GlobalShortcut::unbind();
    registered_.reset();
    pending_.reset();
}

}  // namespace dusk
