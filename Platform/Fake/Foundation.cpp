#include <utility>

#include "State.h"

namespace platform {

using fake::desktop;

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults;
    return defaults;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    const auto& values = desktop().userDefaults;
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    const auto value = objectForKey(key);
    const auto* integer = value ? std::get_if<std::int64_t>(&*value) : nullptr;
    return integer != nullptr ? *integer : 0;
}

void UserDefaults::setInteger(std::int64_t value, std::string_view key) {
    desktop().userDefaults.insert_or_assign(std::string(key), value);
}

std::optional<Dictionary> UserDefaults::persistentDomainForName(std::string_view name) const {
    if (name != globalDomain) return std::nullopt;
    return desktop().globalDomain;
}

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter() {
    static DistributedNotificationCenter center;
    return center;
}

// Every poster on this desktop is the system itself, so the sender filter
// has nothing to tell apart.
void DistributedNotificationCenter::addObserver(std::weak_ptr<Responder> observer, std::string selector,
                                                std::string_view name, std::optional<std::string_view>) {
    desktop().observers.push_back({std::move(observer), std::move(selector), std::string(name)});
}

void MainQueue::async(std::function<void()> work) { desktop().mainQueue.push_back(std::move(work)); }

Logger::Logger(std::string subsystem, std::string category)
    : impl_(std::make_unique<Impl>(Impl{std::move(subsystem), std::move(category)})) {
    ++fake::loggerCount();
}

Logger::~Logger() = default;

void Logger::log(LogLevel level, std::string_view text) const {
    desktop().logLines.push_back({impl_->subsystem, impl_->category, level, std::string(text)});
}

Bundle& Bundle::mainBundle() {
    static Bundle bundle;
    return bundle;
}

std::optional<std::string> Bundle::bundleIdentifier() const { return desktop().bundleIdentifier; }

ProcessInfo& ProcessInfo::processInfo() {
    static ProcessInfo info;
    return info;
}

int ProcessInfo::processIdentifier() const { return desktop().pid; }

std::vector<RunningApplication> RunningApplication::runningApplicationsWithBundleIdentifier(
    std::string_view bundleIdentifier) {
    std::vector<RunningApplication> running;
    if (desktop().bundleIdentifier != bundleIdentifier) return running;
    for (const int pid : desktop().runningCopies) running.emplace_back(pid);
    return running;
}

std::optional<URL> URL::URLWithString(std::string_view string) {
    // A scheme followed by a colon is all the fake asks of a URL.
    const auto colon = string.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    return URL(std::string(string));
}

Workspace& Workspace::sharedWorkspace() {
    static Workspace workspace;
    return workspace;
}

bool Workspace::openURL(const URL& url) {
    desktop().openedURLs.push_back(url.absoluteString());
    return true;
}

AppleScript::AppleScript(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AppleScript::~AppleScript() = default;

std::unique_ptr<AppleScript> AppleScript::initWithSource(std::string source) {
    if (desktop().refuseScriptCreation) return nullptr;
    return std::make_unique<AppleScript>(std::make_unique<Impl>(Impl{std::move(source)}));
}

std::optional<Dictionary> AppleScript::executeAndReturnError() {
    auto& state = desktop();
    state.scriptsRun.push_back(impl_->source);
    if (state.scriptFailure) return state.scriptFailure;
    // System Events understands exactly one thing Dusk says to it.
    constexpr std::string_view flip =
        "tell application \"System Events\"\n    tell appearance preferences\n"
        "        set dark mode to not dark mode\n    end tell\nend tell";
    if (impl_->source != flip) {
        return Dictionary{{std::string(errorNumberKey), std::int64_t{-2741}},
                          {std::string(errorMessageKey), std::string("Expected end of line but found identifier.")}};
    }
    fake::setDarkMode(!fake::appearanceIsDark());
    return std::nullopt;
}

}  // namespace platform
