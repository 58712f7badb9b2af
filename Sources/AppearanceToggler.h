// The one place where Dusk touches the system-wide Light/Dark appearance.
#pragma once

#include <string_view>

#include "platform/Foundation.h"

namespace dusk {

class AppearanceToggler final {
public:
    AppearanceToggler() = delete;

    // System Events flips its own setting: the script decides nothing.
    static constexpr std::string_view script =
        "tell application \"System Events\"\n"
        "    tell appearance preferences\n"
        "        set dark mode to not dark mode\n"
        "    end tell\n"
        "end tell";

    // The Automation page of Privacy & Security.
    static constexpr std::string_view automationSettingsLink =
        "x-apple.systempreferences:com.apple.preference.security?Privacy_Automation";

    // Read afresh from the global domain each time.
    static bool isDarkMode();
    // Runs the script synchronously; failures are logged and shown here.
    static void toggle();

private:
    static void report(const platform::Dictionary& errorInfo);
};

}  // namespace dusk
