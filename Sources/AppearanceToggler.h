// The one place where Dusk touches the desktop's Light/Dark appearance.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/Appearance.h"

namespace dusk {

class AppearanceToggler final {
public:
    AppearanceToggler() = delete;

    static bool isDarkMode();
    // Switches to the other side; a failure is logged and shown in an alert.
    static void toggle();
    // The same toggle for a caller with nobody to show an alert to, such as
    // the command line: what the alert would say comes back instead, none
    // when the change landed.
    static void toggleReportingFailure(std::function<void(const std::optional<std::string>& failure)> done);

private:
    struct FailureTexts {
        std::string messageText;
        std::string informativeText;
    };
    static FailureTexts failureTexts(const platform::AppearanceFailure& failure);
    static void toggleThen(platform::Appearance::Done done);
    static void report(const platform::AppearanceFailure& failure);
};

}  // namespace dusk
