#include "HotKeyManager.h"

#include <array>

#include "Log.h"
#include "platform/Foundation.h"

namespace dusk {

HotKeyManager& HotKeyManager::shared() {
    static const auto instance = std::make_shared<HotKeyManager>(PrivateToken{});
    return *instance;
}

HotKeyManager::HotKeyManager(PrivateToken) {
    // Presses, not releases, which are of no use to a toggle; and the
    // desktop's word on which keys are bound, where it has one.
    const std::array<platform::EventTypeSpec, 2> types{{
        {platform::kEventClassKeyboard, platform::kEventHotKeyPressed},
        {platform::kEventClassKeyboard, platform::kEventHotKeyBindingChanged},
    }};
    platform::EventHandlerRef handler = nullptr;
    const auto status = platform::InstallEventHandler(platform::GetEventDispatcherTarget(), &eventCallback,
                                                      types.size(), types.data(), nullptr, &handler);
    if (handler != nullptr) handlerRef_ = handler;
    log().notice("InstallEventHandler status=%{public}d", {status});
}

platform::OSStatus HotKeyManager::eventCallback(platform::EventHandlerCallRef, platform::EventRef event, void*) {
    platform::EventHotKeyID pressed{};
    const auto status =
        platform::GetEventParameter(event, platform::kEventParamDirectObject, platform::typeEventHotKeyID, nullptr,
                                    sizeof(pressed), nullptr, &pressed);
    if (status != platform::noErr) return status;
    if (platform::GetEventKind(event) == platform::kEventHotKeyBindingChanged) {
        std::uint32_t keyCode = 0, carbonModifiers = 0;
        const bool bound =
            platform::GetEventParameter(event, platform::kEventParamKeyCode, platform::typeUInt32, nullptr,
                                        sizeof keyCode, nullptr, &keyCode) == platform::noErr &&
            platform::GetEventParameter(event, platform::kEventParamKeyModifiers, platform::typeUInt32, nullptr,
                                        sizeof carbonModifiers, nullptr, &carbonModifiers) == platform::noErr;
        shared().bindingChanged(
            pressed, bound ? std::optional(HotKey::withCarbonModifiers(keyCode, carbonModifiers)) : std::nullopt);
        return platform::noErr;
    }
    shared().handle(pressed);
    return platform::noErr;
}

void HotKeyManager::bindingChanged(platform::EventHotKeyID changed, const std::optional<HotKey>& inEffect) {
    // Only a registration of this manager's can be moved.
    if (changed.signature != signature || changed.id != hotKeyID || !hotKeyRef_) return;
    log().notice("hot key binding changed by the desktop: %{public}s",
                 {inEffect ? inEffect->displayString() : std::string("no keys")});
    registered_ = inEffect;
    if (onBindingChanged) onBindingChanged(inEffect);
}

void HotKeyManager::handle(platform::EventHotKeyID pressed) {
    log().notice("hotkey event received sig=%{public}u id=%{public}u", {pressed.signature, pressed.id});
    if (pressed.signature != signature || pressed.id != hotKeyID) return;
    // The toggle runs a script and may show an alert: never inside the
    // platform's event callback. The trigger is read when the work runs.
    platform::MainQueue::async([self = shared_from_this()] {
        if (self->onTrigger) self->onTrigger();
    });
}

bool HotKeyManager::registerHotKey(const HotKey& hotKey) {
    unregister();
    // A hand-edited setting may name a bare key: grabbed, it would be taken
    // from every application the user types in.
    if (!hotKey.isRecordable()) {
        log().notice(
            "not registering %{public}s code=%{public}u mods=%{public}u: without Control, Option or Command "
            "only a function key can be a shortcut",
            {hotKey.displayString(), hotKey.keyCode, hotKey.carbonModifiers()});
        return false;
    }
    const std::uint32_t carbonModifiers = hotKey.carbonModifiers();
    platform::EventHotKeyRef ref = nullptr;
    const auto status = platform::RegisterEventHotKey(hotKey.keyCode, carbonModifiers, {signature, hotKeyID},
                                                      platform::GetEventDispatcherTarget(), 0, &ref);
    log().notice("RegisterEventHotKey %{public}s code=%{public}u mods=%{public}u status=%{public}d",
                 {hotKey.displayString(), hotKey.keyCode, carbonModifiers, status});
    if (status != platform::noErr) {
        hotKeyRef_.reset();
        registered_.reset();
        return false;
    }
    hotKeyRef_ = ref;
    registered_ = hotKey;
    return true;
}

void HotKeyManager::unregister() {
    if (hotKeyRef_) {
        platform::UnregisterEventHotKey(*hotKeyRef_);
        hotKeyRef_.reset();
    }
    registered_.reset();
}

}  // namespace dusk
