// What the user's keyboard types, and the text services that name it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/HotKeyEvents.h"

namespace platform {

// kUCKeyActionDisplay: the text a key shows, not the one it would insert.
inline constexpr std::uint16_t kUCKeyActionDisplay = 3;

struct KeyTranslation {
    OSStatus status = noErr;
    std::u16string text;  // at most the maximum length asked for
};

class KeyboardLayout final {
public:
    // The current ASCII-capable layout with its key layout data; none when
    // there is no such layout or it carries no data.
    static std::unique_ptr<KeyboardLayout> copyCurrentASCIICapable();
    ~KeyboardLayout();

    // UCKeyTranslate for the current keyboard type, with a fresh dead-key state.
    KeyTranslation translate(std::uint16_t keyCode, std::uint16_t keyAction, std::uint32_t modifierKeyState,
                             std::size_t maxLength) const;

    struct Impl;
    explicit KeyboardLayout(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

// How this desktop writes the modifier keys of a shortcut: each one's name,
// and what follows each name before the next one or the key. A Mac writes
// ⌃⌥⇧⌘ with nothing between ("⌃⌥⌘D"); other desktops spell them out
// ("Ctrl+Alt+Super+D").
struct ModifierNames {
    std::string control;
    std::string option;
    std::string shift;
    std::string command;
    std::string separator;
};
ModifierNames modifierNames();

// Upper case by the full Unicode mapping ("ß" becomes "SS"), as UTF-8.
std::string uppercaseString(std::u16string_view text);

}  // namespace platform
