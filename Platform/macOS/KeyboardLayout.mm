#include "platform/KeyboardLayout.h"

#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>

#include <algorithm>
#include <array>

#include "CFRef.h"

namespace platform {

static_assert(kUCKeyActionDisplay == ::kUCKeyActionDisplay);

struct KeyboardLayout::Impl {
    explicit Impl(TISInputSourceRef copied) : source(copied) {}
    mac::CFRef<TISInputSourceRef> source;
    // Belongs to the source, which keeps it alive.
    const UCKeyboardLayout* layout = nullptr;
};

KeyboardLayout::KeyboardLayout(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
KeyboardLayout::~KeyboardLayout() = default;

std::unique_ptr<KeyboardLayout> KeyboardLayout::copyCurrentASCIICapable() {
    auto impl = std::make_unique<Impl>(TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
    if (!impl->source) return nullptr;
    const auto data =
        static_cast<CFDataRef>(TISGetInputSourceProperty(impl->source.get(), kTISPropertyUnicodeKeyLayoutData));
    if (data == nullptr) return nullptr;
    impl->layout = reinterpret_cast<const UCKeyboardLayout*>(CFDataGetBytePtr(data));
    if (impl->layout == nullptr) return nullptr;
    return std::make_unique<KeyboardLayout>(std::move(impl));
}

KeyTranslation KeyboardLayout::translate(std::uint16_t keyCode, std::uint16_t keyAction, std::uint32_t modifierKeyState,
                                         std::size_t maxLength) const {
    std::array<UniChar, 16> buffer{};
    UInt32 deadKeyState = 0;
    UniCharCount length = 0;
    const OSStatus status =
        UCKeyTranslate(impl_->layout, keyCode, keyAction, modifierKeyState, LMGetKbdType(), 0, &deadKeyState,
                       std::min<UniCharCount>(maxLength, buffer.size()), &length, buffer.data());
    const auto filled = static_cast<std::ptrdiff_t>(std::min<UniCharCount>(length, buffer.size()));
    return {status, std::u16string(buffer.begin(), buffer.begin() + filled)};
}

// The symbols printed on a Mac's modifier keys, as its menus show them.
ModifierNames modifierNames() { return {"⌃", "⌥", "⇧", "⌘", ""}; }

std::string uppercaseString(std::u16string_view text) {
    NSString* string = [NSString stringWithCharacters:reinterpret_cast<const unichar*>(text.data()) length:text.size()];
    const char* utf8 = [[string uppercaseString] UTF8String];
    return utf8 != nullptr ? std::string(utf8) : std::string();
}

}  // namespace platform
