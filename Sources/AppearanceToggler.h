// The one place where Dusk touches the system-wide Light/Dark appearance.
#pragma once

#include <optional>
#include <string>
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
    // The same toggle for a caller with nobody to show an alert to, such as
    // the command line: what the alert would say comes back instead, and a
    // script that could not be made counts as a failure too. None when the
    // script ran without error.
    static std::optional<std::string> toggleReportingFailure();

private:
    // What the log says and the script does for every toggle.
    struct Outcome {
        bool scriptMade = false;
        std::optional<platform::Dictionary> errorInfo;
    };
    static Outcome runScript();

    struct FailureTexts {
        bool permissionMissing = false;
        std::string messageText;
        std::string informativeText;
    };
    static FailureTexts failureTexts(const platform::Dictionary& errorInfo);
    static void report(const platform::Dictionary& errorInfo);
};

}  // namespace dusk
