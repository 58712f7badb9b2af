// The desktop's appearance, its global shortcuts and its keyboard.
#include <algorithm>
#include <utility>

#include "State.h"

namespace fake {
namespace {

void announceAppearance() {
    const auto observers = desktop().appearanceObservers;
    for (const auto& changed : observers) changed();
}

void settleToggle(const platform::Appearance::Done& done) {
    if (const auto failure = desktop().toggleFailure) {
        writeLog(platform::LogLevel::Error, "the desktop refused to change appearance: " + failure->reason);
        done(failure);
        return;
    }
    desktop().dark = !desktop().dark;
    done(std::nullopt);
    announceAppearance();
}

// Modifiers beyond the four Dusk knows do not change which keys are pressed.
constexpr platform::ModifierFlags knownModifiers = 0x1E0000;

bool sameKeys(const platform::Shortcut& a, const platform::Shortcut& b) {
    return a.keyCode == b.keyCode && (a.modifiers & knownModifiers) == (b.modifiers & knownModifiers);
}

const RefusedModifiers* refusal(platform::ModifierFlags modifiers) {
    const auto& refused = desktop().refusedModifiers;
    const auto found = std::find_if(refused.begin(), refused.end(), [modifiers](const RefusedModifiers& each) {
        return each.modifiers == (modifiers & knownModifiers);
    });
    return found != refused.end() ? &*found : nullptr;
}

void settleBind(const PendingBind& bind) {
    // As a Mac refuses them: with eventInternalErr.
    if (const auto* refused = refusal(bind.keys.modifiers)) {
        bind.done({"RegisterEventHotKey", -9868, std::nullopt, refused->reason});
        return;
    }
    const auto& others = desktop().heldByOthers;
    const auto held = std::find_if(others.begin(), others.end(),
                                   [&](const HeldKeys& other) { return sameKeys(other.keys, bind.keys); });
    // The Mac's words for it: the fake's outcomes read as the event manager's.
    if (held != others.end()) {
        bind.done({"RegisterEventHotKey", -9878, std::nullopt, held->reason});
        return;
    }
    desktop().bound = std::exchange(desktop().otherKeys, std::nullopt).value_or(bind.keys);
    bind.done({"RegisterEventHotKey", 0, desktop().bound, {}});
}

std::map<std::uint16_t, std::string> germanLayout() {
    return {
        {0, "A"},   {1, "S"},  {2, "D"},  {3, "F"},  {6, "Y"},  {16, "Z"}, {18, "1"},
        {27, "SS"}, {37, "L"}, {38, "J"}, {40, "K"}, {41, "Ö"}, {42, "#"}, {50, "^"},
    };
}

}  // namespace

std::map<std::uint16_t, std::string> usLayout() {
    return {
        {0, "A"},  {1, "S"},  {2, "D"},  {3, "F"},  {6, "Z"},  {16, "Y"},  {18, "1"},
        {27, "-"}, {37, "L"}, {38, "J"}, {40, "K"}, {41, ";"}, {42, "\\"}, {50, "`"},
    };
}

void setDark(bool dark) {
    if (desktop().dark == dark) return;
    desktop().dark = dark;
    announceAppearance();
}

void failTogglesWith(std::optional<platform::AppearanceFailure> failure) {
    desktop().toggleFailure = std::move(failure);
}
void answerTogglesLater(bool later) { desktop().togglesLater = later; }

bool answerToggle() {
    if (desktop().pendingToggles.empty()) return false;
    const auto toggle = std::move(desktop().pendingToggles.front());
    desktop().pendingToggles.pop_front();
    settleToggle(toggle.done);
    return true;
}

int toggleRequests() { return desktop().toggleRequests; }
int permissionSettingsOpened() { return desktop().permissionSettingsOpened; }

void holdInOtherApp(platform::Shortcut keys, std::string reason) {
    desktop().heldByOthers.push_back({keys, std::move(reason)});
}
void refuseModifiers(platform::ModifierFlags modifiers, std::string reason) {
    desktop().refusedModifiers.push_back({modifiers, std::move(reason)});
}
void answerBindsLater(bool later) { desktop().bindsLater = later; }

bool answerBind() {
    if (!desktop().pendingBind) return false;
    const auto bind = std::move(*desktop().pendingBind);
    desktop().pendingBind.reset();
    settleBind(bind);
    return true;
}

void bindOtherKeysNextTime(platform::Shortcut keys) { desktop().otherKeys = keys; }
std::optional<platform::Shortcut> boundShortcut() { return desktop().bound; }
int bindRequests() { return desktop().bindRequests; }
int unbindRequests() { return desktop().unbindRequests; }

bool pressKeys(platform::Shortcut keys) {
    if (!desktop().bound || !sameKeys(*desktop().bound, keys)) return false;
    if (desktop().activated) desktop().activated();
    return true;
}

void rebind(std::optional<platform::Shortcut> keys) {
    if (!desktop().bound) return;
    desktop().bound = keys;
    if (desktop().rebound) desktop().rebound(keys);
}

void useLayout(Layout layout) {
    switch (layout) {
        case Layout::US:
            desktop().layout = usLayout();
            break;
        case Layout::German:
            desktop().layout = germanLayout();
            break;
        case Layout::None:
            desktop().layout.reset();
            break;
    }
}

void useLayout(std::map<std::uint16_t, std::string> keys) { desktop().layout = std::move(keys); }
void useModifierNames(platform::ModifierNames names) { desktop().modifierNames = std::move(names); }

}  // namespace fake

namespace platform {

using fake::desktop;

bool Appearance::isDark() { return desktop().dark; }

void Appearance::toggle(Done done) {
    ++desktop().toggleRequests;
    if (desktop().togglesLater) {
        desktop().pendingToggles.push_back({std::move(done)});
        return;
    }
    fake::settleToggle(done);
}

void Appearance::onChange(std::function<void()> changed) {
    desktop().appearanceObservers.push_back(std::move(changed));
}

void Appearance::openPermissionSettings() { ++desktop().permissionSettingsOpened; }

void GlobalShortcut::bind(const Shortcut& shortcut, Done done) {
    unbind();
    ++desktop().bindRequests;
    fake::PendingBind bind{shortcut, std::move(done)};
    if (desktop().bindsLater) {
        desktop().pendingBind = std::move(bind);
        return;
    }
    fake::settleBind(bind);
}

void GlobalShortcut::unbind() {
    if (!desktop().bound && !desktop().pendingBind) return;
    ++desktop().unbindRequests;
    desktop().bound.reset();
    desktop().pendingBind.reset();
}

bool GlobalShortcut::refusesModifiers(ModifierFlags modifiers) { return fake::refusal(modifiers) != nullptr; }

void GlobalShortcut::onActivated(std::function<void()> activated) { desktop().activated = std::move(activated); }

void GlobalShortcut::onRebound(std::function<void(const std::optional<Shortcut>&)> rebound) {
    desktop().rebound = std::move(rebound);
}

std::optional<std::string> keyCaption(std::uint16_t keyCode) {
    if (!desktop().layout) return std::nullopt;
    const auto found = desktop().layout->find(keyCode);
    if (found == desktop().layout->end()) return std::nullopt;
    return found->second;
}

ModifierNames modifierNames() { return desktop().modifierNames; }

}  // namespace platform
