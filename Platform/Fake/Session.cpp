// The process: its main queue, its log, its settings and login item, and
// fresh processes that share what outlives one.
#include <sstream>
#include <utility>

#include "State.h"
#include "platform/LoginItem.h"
#include "platform/Session.h"
#include "platform/SettingsStore.h"

namespace fake {

Desktop& desktop() {
    static Desktop state;
    return state;
}

// What a process leaves behind for the next: one value a line.
std::string persistentState() {
    std::ostringstream out;
    out << desktop().dark << ' ' << static_cast<int>(desktop().loginStatus) << '\n';
    for (const auto& [key, value] : desktop().savedSettings) out << key << ' ' << value << '\n';
    return out.str();
}

void restorePersistentState(const std::string& text) {
    std::istringstream in(text);
    int login = 0;
    in >> desktop().dark >> login;
    desktop().loginStatus = static_cast<platform::LoginItemStatus>(login);
    desktop().savedSettings.clear();
    std::string key;
    std::int64_t value = 0;
    while (in >> key >> value) desktop().savedSettings[key] = value;
}

namespace {

bool runOne() {
    auto& queue = desktop().mainQueue;
    if (queue.empty()) return false;
    auto work = std::move(queue.front());
    queue.pop_front();
    work();
    return true;
}

}  // namespace

void setAnotherCopyRunning(bool running) { desktop().anotherCopyRunning = running; }
bool quitRequested() { return desktop().quitRequested; }
std::size_t pendingMainQueueItems() { return desktop().mainQueue.size(); }

std::size_t drainMainQueue() {
    std::size_t ran = 0;
    while (runOne()) ++ran;
    return ran;
}

const std::vector<LogLine>& logLines() { return desktop().logLines; }

std::map<std::string, std::int64_t> storedSettings() { return desktop().savedSettings; }

void storeSetting(const std::string& key, std::int64_t value) {
    desktop().savedSettings[key] = value;
    desktop().settings[key] = value;
}

void failSavesWith(std::optional<std::string> reason) { desktop().saveFailure = std::move(reason); }

void setLoginItemStatus(platform::LoginItemStatus status) { desktop().loginStatus = status; }
platform::LoginItemStatus loginItemStatus() { return desktop().loginStatus; }
void onLoginEnable(LoginOutcome outcome) { desktop().enableOutcome = std::move(outcome); }
void onLoginDisable(LoginOutcome outcome) { desktop().disableOutcome = std::move(outcome); }
int loginEnableCalls() { return desktop().loginEnableCalls; }
int loginDisableCalls() { return desktop().loginDisableCalls; }
int loginApprovalSettingsOpened() { return desktop().loginApprovalSettingsOpened; }

}  // namespace fake

namespace platform {

using fake::desktop;

int Session::run(std::function<void()> launched) {
    launched();
    fake::drainMainQueue();
    return 0;
}

int Session::runCommand(const std::function<void(Finish)>& command) {
    std::optional<int> status;
    command([&status](int finished) { status = finished; });
    while (!status && fake::runOne()) {
    }
    // A command the desktop never answered fails, as it would once a real
    // desktop's deadline passed.
    return status.value_or(1);
}

void Session::post(std::function<void()> work) { desktop().mainQueue.push_back(std::move(work)); }

void Session::quit() { desktop().quitRequested = true; }

void Session::findAnotherCopy(std::function<void(bool)> answer) { answer(desktop().anotherCopyRunning); }

void writeLog(LogLevel level, std::string_view line) { desktop().logLines.push_back({level, std::string(line)}); }

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) {
    const auto found = desktop().settings.find(std::string(key));
    if (found == desktop().settings.end()) return std::nullopt;
    return found->second;
}

void SettingsStore::setInteger(std::string_view key, std::int64_t value) {
    desktop().settings[std::string(key)] = value;
    if (!desktop().saveFailure) {
        desktop().savedSettings[std::string(key)] = value;
        return;
    }
    // As a store that saves in the background: what changed until the save
    // is written, and fails, in one go, and the failure comes later.
    if (std::exchange(desktop().saveFailurePending, true)) return;
    Session::post([reason = *desktop().saveFailure] {
        desktop().saveFailurePending = false;
        if (desktop().saveFailed) desktop().saveFailed("settings.conf", reason);
    });
}

void SettingsStore::onSaveFailed(std::function<void(const std::string&, const std::string&)> failed) {
    desktop().saveFailed = std::move(failed);
}

namespace {
std::optional<std::string> changeLoginItem(const fake::LoginOutcome& outcome, LoginItemStatus asked) {
    if (!outcome.failure || outcome.statusAfter) desktop().loginStatus = outcome.statusAfter.value_or(asked);
    return outcome.failure;
}
}  // namespace

LoginItemStatus LoginItem::status() { return desktop().loginStatus; }

std::optional<std::string> LoginItem::enable() {
    ++desktop().loginEnableCalls;
    return changeLoginItem(desktop().enableOutcome, LoginItemStatus::Enabled);
}

std::optional<std::string> LoginItem::disable() {
    ++desktop().loginDisableCalls;
    return changeLoginItem(desktop().disableOutcome, LoginItemStatus::NotRegistered);
}

std::string_view LoginItem::requirement() {
    return "Launch at Login only works when Dusk is run from the built Dusk.app bundle.";
}

void LoginItem::openApprovalSettings() { ++desktop().loginApprovalSettingsOpened; }

}  // namespace platform
