#include "AppearanceToggler.h"

#include <set>
#include <string>
#include <utility>

#include "Alerts.h"
#include "Log.h"
#include "platform/AppKit.h"

namespace dusk {
namespace {

constexpr std::string_view interfaceStyleKey = "AppleInterfaceStyle";
// The platform's refusal to let Dusk send Apple events to System Events.
constexpr std::int64_t automationNotPermitted = -1743;

template <typename T>
const T* entry(const platform::Dictionary& dictionary, std::string_view key) {
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : std::get_if<T>(&found->second);
}

// A modal alert keeps the event loop running, so a shortcut pressed again and
// again while the colour setting is locked would stack one alert on another.
// While an alert is up, the same failure is only logged.
class FailureOnScreen final {
public:
    explicit FailureOnScreen(std::string failure)
        : failure_(std::move(failure)), shown_(onScreen().insert(failure_).second) {}
    ~FailureOnScreen() {
        if (shown_) onScreen().erase(failure_);
    }
    FailureOnScreen(const FailureOnScreen&) = delete;
    FailureOnScreen& operator=(const FailureOnScreen&) = delete;

    bool alreadyShown() const { return !shown_; }

private:
    static std::set<std::string>& onScreen() {
        static std::set<std::string> failures;
        return failures;
    }

    std::string failure_;
    bool shown_;
};

}  // namespace

static_assert(AppearanceToggler::script.size() == 125);

bool AppearanceToggler::isDarkMode() {
    const auto global =
        platform::UserDefaults::standardUserDefaults().persistentDomainForName(platform::UserDefaults::globalDomain);
    if (!global) return false;
    const auto* style = entry<std::string>(*global, interfaceStyleKey);
    return style != nullptr && *style == "Dark";
}

AppearanceToggler::Outcome AppearanceToggler::runScript() {
    log().notice("toggle requested, currently dark=%{bool,public}d", {isDarkMode()});
    const auto appleScript = platform::AppleScript::initWithSource(std::string(script));
    if (!appleScript) return {};
    if (auto errorInfo = appleScript->executeAndReturnError()) {
        log().error("AppleScript failed: %{public}@", {*errorInfo});
        return {true, std::move(errorInfo)};
    }
    log().notice("toggle succeeded, now dark=%{bool,public}d", {isDarkMode()});
    return {true, std::nullopt};
}

void AppearanceToggler::toggle() {
    if (const auto outcome = runScript(); outcome.errorInfo) report(*outcome.errorInfo);
}

std::optional<std::string> AppearanceToggler::toggleReportingFailure() {
    const auto outcome = runScript();
    if (!outcome.scriptMade) return "Couldn't change appearance: the toggle script could not be made";
    if (!outcome.errorInfo) return std::nullopt;
    const auto texts = failureTexts(*outcome.errorInfo);
    return texts.messageText + ": " + texts.informativeText;
}

AppearanceToggler::FailureTexts AppearanceToggler::failureTexts(const platform::Dictionary& errorInfo) {
    const auto* number = entry<std::int64_t>(errorInfo, platform::AppleScript::errorNumberKey);
    const auto* message = entry<std::string>(errorInfo, platform::AppleScript::errorMessageKey);
    const std::int64_t errorNumber = number != nullptr ? *number : 0;
    const std::string errorMessage = message != nullptr ? *message : "Unknown error";
    if (errorNumber == automationNotPermitted) {
        return {true, "Dusk needs permission to control System Events",
                "Open System Settings › Privacy & Security › Automation and allow Dusk to control System Events, "
                "then try again."};
    }
    return {false, "Couldn't change appearance", errorMessage + " (" + std::to_string(errorNumber) + ")"};
}

void AppearanceToggler::report(const platform::Dictionary& errorInfo) {
    const auto texts = failureTexts(errorInfo);
    const FailureOnScreen failure(texts.messageText + '\n' + texts.informativeText);
    if (failure.alreadyShown()) return;
    platform::Alert alert;
    alert.setAlertStyle(platform::AlertStyle::Warning);
    alert.setMessageText(texts.messageText);
    alert.setInformativeText(texts.informativeText);
    if (texts.permissionMissing) {
        alert.addButtonWithTitle("Open System Settings");
        alert.addButtonWithTitle("Cancel");
        if (runAlertInFront(alert) != platform::alertFirstButtonReturn) return;
        if (const auto url = platform::URL::URLWithString(automationSettingsLink)) {
            platform::Workspace::sharedWorkspace().openURL(*url);
        }
        return;
    }
    runAlertInFront(alert);
}

}  // namespace dusk
