// The shortcut as a value, the one stored setting, and the names of keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Shortcut.h"

namespace dusk {

using platform::ModifierFlags;

namespace Modifier {
using namespace platform::Modifier;
// Everything a recorded shortcut may carry.
inline constexpr ModifierFlags recordable = shift | control | option | command;
// What makes an ordinary key a shortcut: Shift alone does not.
inline constexpr ModifierFlags required = control | option | command;
}  // namespace Modifier

// The symbols of the modifiers present, always in the order ⌃⌥⇧⌘.
std::string modifierSymbols(ModifierFlags modifiers);
// The same modifiers in this desktop's own words, in the same order, each
// followed by the desktop's separator ("Ctrl+Shift+" where ⌃⇧ is the symbol).
std::string modifierNames(ModifierFlags modifiers);
// What the recorder asks for when the keys held will not do: a key alone, or
// Option with nothing but Shift on a desktop that refuses that.
std::string missingModifierHint(ModifierFlags held);

struct HotKey : platform::Shortcut {
    constexpr HotKey() = default;
    // From a whole Shortcut: clang's analyzer loses members that braces set
    // in a base initializer, and then reports every copy as uninitialized.
    constexpr HotKey(std::uint32_t code, ModifierFlags flags) : Shortcut(Shortcut{code, flags}) {}
    constexpr explicit HotKey(const Shortcut& shortcut) : Shortcut(shortcut) {}

    // The modifier mask of the Mac's event manager: the form the log keeps.
    std::uint32_t carbonModifiers() const;
    std::string modifierSymbols() const { return dusk::modifierSymbols(modifiers); }
    // Symbols, then the key's name: the form the log keeps on every desktop.
    std::string displayString() const;
    // How the user sees the shortcut in menus, windows and alerts: the
    // desktop's words for the modifiers, then the key's name.
    std::string desktopDisplayString() const;
    // What the recorder accepts on every desktop, and so all Dusk will take
    // from every application: a key with Control, Option or Command, or a
    // function key. A desktop may refuse some of these too
    // (GlobalShortcut::refusesModifiers).
    bool isRecordable() const;

    bool operator==(const HotKey&) const = default;
};

class Settings final {
public:
    Settings() = delete;
    // Control-Option-Command-D, until the user records or clears a shortcut.
    static constexpr HotKey defaultHotKey{2, Modifier::required};

    static std::optional<HotKey> hotKey();
    static void setHotKey(const std::optional<HotKey>& hotKey);
};

class KeyNames final {
public:
    KeyNames() = delete;
    static std::string name(std::uint32_t keyCode);
    static bool isFunctionKey(std::uint32_t keyCode);
};

}  // namespace dusk
