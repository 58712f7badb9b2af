// Dusk's one global shortcut: bound with whatever the desktop offers for
// keys typed into any application, pressed, and on desktops that have the
// last word on bindings, moved or dropped by the desktop later.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Shortcut.h"

namespace platform {

// How a bind went, for the log and for an alert.
struct BindOutcome {
    // The platform's name for what was asked of it.
    std::string call;
    // The platform's status for it: 0 when the shortcut is bound.
    std::int32_t status = 0;
    // The keys in effect: usually the ones asked for, but a desktop may
    // choose others; none when nothing is bound.
    std::optional<Shortcut> bound;
    // Why nothing is bound, in the platform's own words, where they tell the
    // user more than that another application may hold the keys.
    std::string reason;
};

class GlobalShortcut final {
public:
    GlobalShortcut() = delete;

    // Replaces whatever is bound by `shortcut`. `done` gets the outcome:
    // before bind returns where the platform answers at once, otherwise
    // later on the main queue, and never for a bind that a later bind or
    // unbind has replaced meanwhile.
    using Done = std::function<void(const BindOutcome& outcome)>;
    static void bind(const Shortcut& shortcut, Done done);
    // Nothing is bound afterwards; an unanswered bind is forgotten.
    static void unbind();

    // Whether this desktop takes, from no application, a shortcut whose only
    // modifiers are these, whatever its key (macOS 15.0 and 15.1 take none
    // with just ⌥ or ⌥⇧). A bind of one is refused all the same; the
    // recorder does not offer it. Bits beyond the four modifiers do not count.
    static bool refusesModifiers(ModifierFlags modifiers);

    // Each press of the bound keys, on the main thread.
    static void onActivated(std::function<void()> activated);
    // The desktop moved the binding to other keys, or dropped it (none).
    static void onRebound(std::function<void(const std::optional<Shortcut>& bound)> rebound);
};

}  // namespace platform
