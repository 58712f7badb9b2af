#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "State.h"

namespace platform {

using fake::desktop;

struct KeyboardLayout::Impl {
    std::map<std::uint16_t, std::u16string> keys;
};

KeyboardLayout::KeyboardLayout(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyboardLayout::~KeyboardLayout() = default;

std::unique_ptr<KeyboardLayout> KeyboardLayout::copyCurrentASCIICapable() {
    if (!desktop().hasLayout) return nullptr;
    return std::make_unique<KeyboardLayout>(std::make_unique<Impl>(Impl{desktop().layout}));
}

KeyTranslation KeyboardLayout::translate(std::uint16_t keyCode, std::uint16_t keyAction, std::uint32_t modifierKeyState,
                                         std::size_t maxLength) const {
    if (desktop().failTranslations || keyAction != kUCKeyActionDisplay || modifierKeyState != 0) {
        return {-25340, {}};  // kUCOutputBufferTooSmall stands in for any refusal
    }
    // Keys that type nothing (modifiers, keys of other keyboards) translate
    // successfully to no text at all.
    const auto found = impl_->keys.find(keyCode);
    if (found == impl_->keys.end()) return {noErr, {}};
    return {noErr, found->second.substr(0, maxLength)};
}

ModifierNames modifierNames() { return desktop().modifierNames; }

std::string uppercaseString(std::u16string_view text) {
    icu::UnicodeString string(false, text.data(), static_cast<int32_t>(text.size()));
    std::string out;
    string.toUpper(icu::Locale::getRoot()).toUTF8String(out);
    return out;
}

}  // namespace platform
