// Dusk's shortcut on Windows: RegisterHotKey on the hidden window, once for
// each place the stored key stands for. Windows answers at once; a shortcut
// another program holds fails with ERROR_HOTKEY_ALREADY_REGISTERED, which the
// core reports as a Mac's held shortcut, without words of Windows' own.
#include "platform/GlobalShortcut.h"

#include <utility>

#include "common/MessageWindow.h"
#include "common/Text.h"
#include "platform/Log.h"
#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

struct Registration {
    int registered = 0;  // hot key ids 1 to registered
    std::function<void()> activated;
};

Registration& registration() {
    static Registration state;
    return state;
}

UINT windowsModifiers(platform::ModifierFlags modifiers) {
    UINT mods = MOD_NOREPEAT;
    if ((modifiers & platform::Modifier::control) != 0) mods |= MOD_CONTROL;
    if ((modifiers & platform::Modifier::option) != 0) mods |= MOD_ALT;
    if ((modifiers & platform::Modifier::shift) != 0) mods |= MOD_SHIFT;
    if ((modifiers & platform::Modifier::command) != 0) mods |= MOD_WIN;
    return mods;
}

std::string hexadecimal(unsigned value) {
    constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return "0x" + text;
}

void listen() {
    handleMessage(WM_HOTKEY, [](WPARAM id, LPARAM) {
        if (id >= 1 && static_cast<int>(id) <= registration().registered && registration().activated) {
            platform::writeLog(platform::LogLevel::Default, "hot key pressed");
            registration().activated();
        }
        return LRESULT{0};
    });
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

// NOLINTNEXTLINE(performance-unnecessary-value-param): see onRebound
void GlobalShortcut::bind(const Shortcut& shortcut, Done done) {
    unbind();
    listen();
    const UINT mods = windowsModifiers(shortcut.modifiers);
    BindOutcome outcome;
    outcome.call = "RegisterHotKey";
    const auto places = placesOf(shortcut.keyCode);
    for (const auto& place : places) {
        const UINT virtualKey = virtualKeyAt(place);
        if (virtualKey == 0) continue;
        outcome.call = "RegisterHotKey vk=" + hexadecimal(virtualKey) + " mods=" + hexadecimal(mods);
        if (::RegisterHotKey(messageWindow(), registration().registered + 1, mods, virtualKey)) {
            ++registration().registered;
            continue;
        }
        // The key's own place counts; a second place another program holds
        // is only missed.
        if (registration().registered == 0) {
            outcome.status = static_cast<std::int32_t>(::GetLastError());
            break;
        }
    }
    if (registration().registered > 0) {
        outcome.bound = shortcut;
    } else if (outcome.status == 0) {
        outcome.status = ERROR_INVALID_PARAMETER;
        outcome.reason = "The keyboard layout has no key for this shortcut.";
    } else if (outcome.status != ERROR_HOTKEY_ALREADY_REGISTERED) {
        outcome.reason = errorText(static_cast<DWORD>(outcome.status));
    }
    done(outcome);
}

void GlobalShortcut::unbind() {
    for (int id = 1; id <= registration().registered; ++id) ::UnregisterHotKey(messageWindow(), id);
    registration().registered = 0;
}

// Windows binds any modifiers, or none, from any program.
bool GlobalShortcut::refusesModifiers(ModifierFlags) { return false; }

void GlobalShortcut::onActivated(std::function<void()> activated) { registration().activated = std::move(activated); }

// Nobody moves or drops a hot key once Windows has registered it. The port
// hands callbacks over by value, and Windows answers at once without keeping
// them.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>&)> /*rebound*/) {}

}  // namespace platform
