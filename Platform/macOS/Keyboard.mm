// Key captions from the current keyboard layout, and the Mac's modifier
// symbols.
#include "platform/Keyboard.h"

#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>

#include <algorithm>
#include <array>

#include "CFRef.h"
#import "Text.h"

namespace platform {

std::optional<std::string> keyCaption(std::uint16_t keyCode) {
    // The layout is asked afresh each time: the user may have switched it.
    const mac::CFRef<TISInputSourceRef> source(TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
    if (!source) return std::nullopt;
    // Both belong to the source, which keeps them alive.
    const auto data = static_cast<CFDataRef>(TISGetInputSourceProperty(source.get(), kTISPropertyUnicodeKeyLayoutData));
    if (data == nullptr) return std::nullopt;
    const auto* layout = reinterpret_cast<const UCKeyboardLayout*>(CFDataGetBytePtr(data));
    if (layout == nullptr) return std::nullopt;

    std::array<UniChar, 4> typed{};
    UInt32 deadKeyState = 0;
    UniCharCount length = 0;
    // What the key shows pressed without modifiers, dead keys left out.
    const OSStatus status = UCKeyTranslate(layout, keyCode, kUCKeyActionDisplay, 0, LMGetKbdType(), 0, &deadKeyState,
                                           typed.size(), &length, typed.data());
    if (status != noErr || length == 0) return std::nullopt;
    NSString* text = [NSString stringWithCharacters:typed.data() length:std::min<UniCharCount>(length, typed.size())];
    // The full mapping: one character may become several ("ß" gives "SS").
    return mac::toString([text uppercaseString]);
}

// The symbols printed on a Mac's modifier keys, as its menus show them.
ModifierNames modifierNames() { return {"⌃", "⌥", "⇧", "⌘", ""}; }

}  // namespace platform
