// Dusk's shortcut as a Carbon hot key: the handler installed once, one
// registration at a time, the keys this macOS refuses to every application,
// and presses sorted from whatever else arrives.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "EventManager.h"
#include "SystemVersion.h"
#include "platform/GlobalShortcut.h"
#include "platform/Log.h"

namespace platform {
namespace {

using mac::eventManager::HotKeyRef;

// Dusk's one hot key: the four characters 'DUSK', packed big-endian, and 1.
constexpr mac::HotKeyId dusksHotKey{0x4455534B, 1};
constexpr std::int32_t noErr = 0;

struct ModifierMask {
    ModifierFlags flag;
    std::uint32_t carbonMask;
};
constexpr std::array<ModifierMask, 4> modifierMasks{{
    {Modifier::command, mac::carbonModifier::command},
    {Modifier::shift, mac::carbonModifier::shift},
    {Modifier::option, mac::carbonModifier::option},
    {Modifier::control, mac::carbonModifier::control},
}};

std::uint32_t carbonModifiers(ModifierFlags modifiers) {
    std::uint32_t mask = 0;
    for (const auto& modifier : modifierMasks) {
        if ((modifiers & modifier.flag) != 0) mask |= modifier.carbonMask;
    }
    return mask;
}

// macOS 15.0 and 15.1 register no hot key whose only modifiers are Option,
// or Option and Shift, for any application: those keys type the accented
// characters of passwords, which a hot key could watch. 15.2 takes them again.
bool refusesOptionAlone(const mac::SystemVersion& version) { return version.major == 15 && version.minor < 2; }

constexpr std::string_view optionAloneRefused =
    "This version of macOS doesn't allow shortcuts that use only ⌥ or ⌥⇧. Try a combination with ⌘ or ⌃.";

// One hot key held by the event manager, for as long as this lives.
class Registration final {
public:
    explicit Registration(HotKeyRef registered) : registered_(registered) {}
    ~Registration() { mac::eventManager::unregisterHotKey(registered_); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

private:
    HotKeyRef registered_;
};

struct HotKeyState {
    bool handlerInstalled = false;
    std::optional<Registration> registration;
    std::function<void()> activated;
};

HotKeyState& state() {
    static HotKeyState hotKeys;
    return hotKeys;
}

// Once, on first use; a failure is only logged, and later registrations go
// ahead all the same.
void installHandlerOnce() {
    if (std::exchange(state().handlerInstalled, true)) return;
    const std::int32_t status = mac::eventManager::installPressHandler();
    writeLog(LogLevel::Default, "InstallEventHandler status=" + std::to_string(status));
}

}  // namespace

// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void GlobalShortcut::bind(const Shortcut& shortcut, Done done) {
    installHandlerOnce();
    auto& hotKeys = state();
    // The previous registration is gone whatever the outcome.
    hotKeys.registration.reset();
    HotKeyRef registered = nullptr;
    // Exclusive, so that keys another application holds are a refusal the
    // user hears of, not a press that reaches both.
    const std::int32_t status = mac::eventManager::registerHotKey(shortcut.keyCode, carbonModifiers(shortcut.modifiers),
                                                                  dusksHotKey, mac::exclusiveHotKey, registered);
    if (status == noErr) hotKeys.registration.emplace(registered);
    if (!done) return;
    // A refusal of keys this macOS refuses everyone is no sign of another
    // application, whatever the status says.
    const bool refusedEverywhere = status != noErr && refusesModifiers(shortcut.modifiers);
    done({"RegisterEventHotKey", status, status == noErr ? std::optional(shortcut) : std::nullopt,
          refusedEverywhere ? std::string(optionAloneRefused) : std::string()});
}

void GlobalShortcut::unbind() { state().registration.reset(); }

bool GlobalShortcut::refusesModifiers(ModifierFlags modifiers) {
    const std::uint32_t mask = carbonModifiers(modifiers);
    const bool optionAlone =
        mask == mac::carbonModifier::option || mask == (mac::carbonModifier::option | mac::carbonModifier::shift);
    return optionAlone && refusesOptionAlone(mac::systemVersion());
}

void GlobalShortcut::onActivated(std::function<void()> activated) {
    installHandlerOnce();
    state().activated = std::move(activated);
}

// A Mac never moves or drops a hot key it has granted.
// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>&)>) {}

void mac::hotKeyPressed(HotKeyId pressed) {
    writeLog(LogLevel::Default,
             "hotkey event received sig=" + std::to_string(pressed.signature) + " id=" + std::to_string(pressed.id));
    if (pressed != dusksHotKey) return;
    // A copy: the handler may replace itself.
    if (const auto activated = state().activated) activated();
}

}  // namespace platform
