#include "HotKey.h"

#include <array>
#include <bit>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "platform/Keyboard.h"
#include "platform/SettingsStore.h"

namespace dusk {
namespace {

struct ModifierInfo {
    ModifierFlags flag;
    std::string_view symbol;
    std::uint32_t carbonMask;
    std::string platform::ModifierNames::*name;
};

// Display order; the Carbon masks are controlKey, optionKey, shiftKey, cmdKey.
constexpr std::array<ModifierInfo, 4> modifierTable{{
    {Modifier::control, "⌃", 0x1000, &platform::ModifierNames::control},
    {Modifier::option, "⌥", 0x800, &platform::ModifierNames::option},
    {Modifier::shift, "⇧", 0x200, &platform::ModifierNames::shift},
    {Modifier::command, "⌘", 0x100, &platform::ModifierNames::command},
}};

constexpr std::string_view codeKey = "hotKeyCode";
constexpr std::string_view modifiersKey = "hotKeyModifiers";

const std::unordered_map<std::uint32_t, std::string_view>& special() {
    static const std::unordered_map<std::uint32_t, std::string_view> table{
        {36, "↩"},    {48, "⇥"},    {49, "Space"}, {51, "⌫"},    {117, "⌦"},   {53, "⎋"},    {123, "←"},
        {124, "→"},   {125, "↓"},   {126, "↑"},    {115, "↖"},   {119, "↘"},   {116, "⇞"},   {121, "⇟"},
        {122, "F1"},  {120, "F2"},  {99, "F3"},    {118, "F4"},  {96, "F5"},   {97, "F6"},   {98, "F7"},
        {100, "F8"},  {101, "F9"},  {109, "F10"},  {103, "F11"}, {111, "F12"}, {105, "F13"}, {107, "F14"},
        {113, "F15"}, {106, "F16"}, {64, "F17"},   {79, "F18"},  {80, "F19"},  {90, "F20"},
    };
    return table;
}

}  // namespace

std::string modifierSymbols(ModifierFlags modifiers) {
    std::string symbols;
    for (const auto& modifier : modifierTable) {
        if ((modifiers & modifier.flag) != 0) symbols += modifier.symbol;
    }
    return symbols;
}

std::string modifierNames(ModifierFlags modifiers) {
    const auto words = platform::modifierNames();
    std::string names;
    for (const auto& modifier : modifierTable) {
        if ((modifiers & modifier.flag) != 0) names += words.*modifier.name + words.separator;
    }
    return names;
}

std::string missingModifierHint(ModifierFlags held) {
    const auto words = platform::modifierNames();
    if ((held & Modifier::option) != 0) return "Add " + words.command + " or " + words.control;
    return "Add " + words.command + ", " + words.option + ", or " + words.control;
}

std::uint32_t HotKey::carbonModifiers() const {
    std::uint32_t mask = 0;
    for (const auto& modifier : modifierTable) {
        if ((modifiers & modifier.flag) != 0) mask |= modifier.carbonMask;
    }
    return mask;
}

std::string HotKey::displayString() const { return modifierSymbols() + KeyNames::name(keyCode); }

std::string HotKey::desktopDisplayString() const { return modifierNames(modifiers) + KeyNames::name(keyCode); }

bool HotKey::isRecordable() const { return (modifiers & Modifier::required) != 0 || KeyNames::isFunctionKey(keyCode); }

std::optional<HotKey> Settings::hotKey() {
    const auto code = platform::SettingsStore::integer(codeKey);
    if (!code) return defaultHotKey;
    const std::int64_t modifiers = platform::SettingsStore::integer(modifiersKey).value_or(0);
    // Negative codes mean cleared. A code too large for any key can only come
    // from a hand-edited store; truncating it would silently bind some other
    // key, so it reads as no shortcut and the menu invites a new recording.
    if (*code < 0 || *code > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    // Modifiers keep their exact 64 bits: a negative stored value is the same
    // bit pattern a raw value at or above 2^63 would have been written as.
    return HotKey{static_cast<std::uint32_t>(*code), std::bit_cast<ModifierFlags>(modifiers)};
}

void Settings::setHotKey(const std::optional<HotKey>& hotKey) {
    if (!hotKey) {
        platform::SettingsStore::setInteger(codeKey, -1);
        platform::SettingsStore::setInteger(modifiersKey, 0);
        return;
    }
    platform::SettingsStore::setInteger(codeKey, hotKey->keyCode);
    platform::SettingsStore::setInteger(modifiersKey, std::bit_cast<std::int64_t>(hotKey->modifiers));
}

std::string KeyNames::name(std::uint32_t keyCode) {
    if (const auto found = special().find(keyCode); found != special().end()) return std::string(found->second);
    // The layout is asked about 16-bit key codes; no key event carries more.
    if (keyCode <= std::numeric_limits<std::uint16_t>::max()) {
        if (auto caption = platform::keyCaption(static_cast<std::uint16_t>(keyCode)); caption && !caption->empty()) {
            return std::move(*caption);
        }
    }
    return "Key " + std::to_string(keyCode);
}

bool KeyNames::isFunctionKey(std::uint32_t keyCode) {
    const auto found = special().find(keyCode);
    return found != special().end() && found->second.starts_with('F');
}

}  // namespace dusk
