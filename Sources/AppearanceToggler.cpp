#include "AppearanceToggler.h"

#include <memory>
#include <set>
#include <utility>

#include "Log.h"
#include "platform/Alert.h"

namespace dusk {
namespace {

// An alert leaves the shortcut working, so a shortcut pressed again and
// again while the setting is locked would stack one alert on another. While
// an alert is up, the same failure is only logged.
class FailureOnScreen final {
public:
    explicit FailureOnScreen(std::string failure)
        : onScreen_(failuresOnScreen()), failure_(std::move(failure)), shown_(onScreen_->insert(failure_).second) {}
    ~FailureOnScreen() {
        if (shown_) onScreen_->erase(failure_);
    }
    FailureOnScreen(const FailureOnScreen&) = delete;
    FailureOnScreen& operator=(const FailureOnScreen&) = delete;

    bool alreadyShown() const { return !shown_; }

private:
    // Each guard shares the set: an alert still up when the process ends may
    // release its guard after every static has gone.
    static const std::shared_ptr<std::set<std::string>>& failuresOnScreen() {
        static const auto failures = std::make_shared<std::set<std::string>>();
        return failures;
    }

    std::shared_ptr<std::set<std::string>> onScreen_;
    std::string failure_;
    bool shown_;
};

}  // namespace

bool AppearanceToggler::isDarkMode() { return platform::Appearance::isDark(); }

void AppearanceToggler::toggleThen(platform::Appearance::Done done) {
    log().notice("toggle requested, currently dark=%{bool,public}d", {isDarkMode()});
    platform::Appearance::toggle([done = std::move(done)](const std::optional<platform::AppearanceFailure>& failure) {
        if (!failure) log().notice("toggle succeeded, now dark=%{bool,public}d", {isDarkMode()});
        done(failure);
    });
}

void AppearanceToggler::toggle() {
    toggleThen([](const std::optional<platform::AppearanceFailure>& failure) {
        if (failure) report(*failure);
    });
}

void AppearanceToggler::toggleReportingFailure(std::function<void(const std::optional<std::string>&)> done) {
    toggleThen([done = std::move(done)](const std::optional<platform::AppearanceFailure>& failure) {
        if (!failure) return done(std::nullopt);
        const auto texts = failureTexts(*failure);
        done(texts.messageText + ": " + texts.informativeText);
    });
}

AppearanceToggler::FailureTexts AppearanceToggler::failureTexts(const platform::AppearanceFailure& failure) {
    if (failure.permissionMissing) {
        return {"Dusk needs permission to control System Events",
                "Open System Settings › Privacy & Security › Automation and allow Dusk to control System Events, "
                "then try again."};
    }
    return {"Couldn't change appearance", failure.reason};
}

void AppearanceToggler::report(const platform::AppearanceFailure& failure) {
    auto texts = failureTexts(failure);
    auto onScreen = std::make_shared<FailureOnScreen>(texts.messageText + '\n' + texts.informativeText);
    if (onScreen->alreadyShown()) return;
    platform::Alert alert{std::move(texts.messageText), std::move(texts.informativeText), {}};
    if (!failure.permissionMissing) {
        platform::showAlert(alert, [onScreen](std::size_t) {});
        return;
    }
    alert.buttons = {"Open System Settings", "Cancel"};
    platform::showAlert(alert, [onScreen](std::size_t button) {
        if (button == 0) platform::Appearance::openPermissionSettings();
    });
}

}  // namespace dusk
