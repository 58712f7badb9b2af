// Key names from the keyboard layout in effect, and Windows' words for the
// modifiers.
#include "platform/Keyboard.h"

#include <algorithm>
#include <array>

#include "common/Text.h"
#include "shortcuts/KeyCodes.h"

namespace platform {

std::optional<std::string> keyCaption(std::uint16_t keyCode) {
    using namespace dusk::backend;
    const auto places = placesOf(keyCode);
    if (places.empty()) return std::nullopt;
    const HKL layout = ::GetKeyboardLayout(0);
    const UINT virtualKey = virtualKeyAt(places.front(), layout);
    if (virtualKey == 0) return std::nullopt;
    const std::array<BYTE, 256> noModifiers{};
    std::array<wchar_t, 8> typed{};
    // Bit 2: the keyboard's dead-key state stays as it was (Windows 10 1607
    // and later); elsewhere a dead key is typed once more below to clear it.
    const int length = ::ToUnicodeEx(virtualKey, places.front().scanCode & 0xFF, noModifiers.data(), typed.data(),
                                     static_cast<int>(typed.size()), 0x4, layout);
    if (length == 0) return std::nullopt;
    if (length < 0) {
        std::array<wchar_t, 8> again{};
        ::ToUnicodeEx(virtualKey, places.front().scanCode & 0xFF, noModifiers.data(), again.data(),
                      static_cast<int>(again.size()), 0x4, layout);
    }
    // A dead key shows its accent; control characters (Return, Tab) are no name.
    const int count = length < 0 ? 1 : length;
    if (typed[0] < L' ' || typed[0] == 0x7F) return std::nullopt;
    // Windows maps case one character to one; of the characters whose full
    // upper case is longer, a keyboard layout types only "ß".
    std::array<wchar_t, 16> upper{};
    const int upperLength = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, typed.data(), count, upper.data(),
                                            static_cast<int>(upper.size()), nullptr, nullptr, 0);
    std::wstring caption(upper.data(), static_cast<std::size_t>(std::max(upperLength, 0)));
    if (upperLength <= 0) caption.assign(typed.data(), static_cast<std::size_t>(count));
    for (std::size_t at = caption.find(L'\u00DF'); at != std::wstring::npos; at = caption.find(L'\u00DF', at)) {
        caption.replace(at, 1, L"SS");
    }
    return narrow(caption);
}

ModifierNames modifierNames() { return {"Ctrl", "Alt", "Shift", "Win", "+"}; }

}  // namespace platform
