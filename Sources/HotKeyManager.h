// Dusk's one global hot key, registered with the event manager.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "HotKey.h"
#include "platform/HotKeyEvents.h"

namespace dusk {

class HotKeyManager final : public std::enable_shared_from_this<HotKeyManager> {
    struct PrivateToken {};

public:
    // "DUSK", packed big-endian.
    static constexpr platform::OSType signature = 0x4455534B;
    static constexpr std::uint32_t hotKeyID = 1;

    // Created on first use, which installs the event handler.
    static HotKeyManager& shared();
    explicit HotKeyManager(PrivateToken);

    // Run on the main queue for each accepted press.
    std::function<void()> onTrigger;
    // Where the desktop has the last word on the keys, it may move the
    // registered shortcut or drop it later; called with what is in effect.
    std::function<void(const std::optional<HotKey>&)> onBindingChanged;

    // What is in effect now: none after a refusal, or once the desktop has
    // dropped the keys it had bound.
    const std::optional<HotKey>& registered() const { return registered_; }

    // Drops the current registration first, whatever the outcome. What the
    // recorder would refuse is refused here too, before the platform is asked.
    bool registerHotKey(const HotKey& hotKey);
    void unregister();

private:
    static platform::OSStatus eventCallback(platform::EventHandlerCallRef, platform::EventRef event, void*);
    void handle(platform::EventHotKeyID pressed);
    void bindingChanged(platform::EventHotKeyID changed, const std::optional<HotKey>& inEffect);

    std::optional<HotKey> registered_;
    std::optional<platform::EventHotKeyRef> hotKeyRef_;
    std::optional<platform::EventHandlerRef> handlerRef_;
};

}  // namespace dusk
