// Which of an alert's buttons the answer of a modal run names. Plain C++, so
// that it is tested off a Mac.
#pragma once

#include <cstddef>

namespace platform::mac {

// AppKit's NSAlertFirstButtonReturn: the first added button, or the one
// default button of an alert with none added.
inline constexpr long firstButtonResponse = 1000;

// Any other way out (the modal session stopped or aborted) counts as the
// last button.
constexpr std::size_t buttonChosen(long response, std::size_t buttonCount) {
    const std::size_t buttons = buttonCount == 0 ? 1 : buttonCount;
    if (response >= firstButtonResponse && static_cast<std::size_t>(response - firstButtonResponse) < buttons) {
        return static_cast<std::size_t>(response - firstButtonResponse);
    }
    return buttons - 1;
}

}  // namespace platform::mac
