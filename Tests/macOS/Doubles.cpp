#include "Doubles.h"

#include <algorithm>
#include <deque>

// Carbon keeps this type opaque; here it only has to give each registration
// an address of its own.
struct OpaqueEventHotKeyRef {};

namespace dusk::macos::test {
namespace {

struct Recorded {
    std::vector<LoggedLine> lines;
    std::int32_t installStatus = 0;
    std::int32_t registerStatus = 0;
    platform::mac::SystemVersion version{14, 0, 0};
    int handlersInstalled = 0;
    std::vector<Registered> registrations;
    std::vector<platform::mac::eventManager::HotKeyRef> unregistered;
    std::deque<OpaqueEventHotKeyRef> handles;
};

Recorded& recorded() {
    static Recorded calls;
    return calls;
}

// Made before anything a test calls, so that it outlives the backend's own
// state, which hands its registration back as the process ends.
[[maybe_unused]] const Recorded& madeFirst = recorded();

}  // namespace

const std::vector<LoggedLine>& loggedLines() { return recorded().lines; }
void answerInstallWith(std::int32_t status) { recorded().installStatus = status; }
void answerRegisterWith(std::int32_t status) { recorded().registerStatus = status; }
void runOnMacOS(platform::mac::SystemVersion version) { recorded().version = version; }
int handlersInstalled() { return recorded().handlersInstalled; }
const std::vector<Registered>& registrations() { return recorded().registrations; }
const std::vector<platform::mac::eventManager::HotKeyRef>& unregistered() { return recorded().unregistered; }

}  // namespace dusk::macos::test

using dusk::macos::test::recorded;

void platform::writeLog(LogLevel level, std::string_view line) {
    recorded().lines.push_back({level, std::string(line)});
}

std::int32_t platform::mac::eventManager::installPressHandler() {
    ++recorded().handlersInstalled;
    return recorded().installStatus;
}

// Like the real one, it refuses keys that are registered already, and a
// refusal hands back no registration.
std::int32_t platform::mac::eventManager::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                                         HotKeyId id, std::uint32_t options, HotKeyRef& registered) {
    auto& calls = recorded();
    std::int32_t status = calls.registerStatus;
    for (const auto& earlier : calls.registrations) {
        const bool held = earlier.handle != nullptr && std::find(calls.unregistered.begin(), calls.unregistered.end(),
                                                                 earlier.handle) == calls.unregistered.end();
        if (held && earlier.keyCode == keyCode && earlier.carbonModifiers == carbonModifiers) {
            status = dusk::macos::test::eventHotKeyExistsErr;
        }
    }
    registered = status == 0 ? &calls.handles.emplace_back() : nullptr;
    calls.registrations.push_back({keyCode, carbonModifiers, id, options, registered});
    return status;
}

void platform::mac::eventManager::unregisterHotKey(HotKeyRef registered) {
    recorded().unregistered.push_back(registered);
}

platform::mac::SystemVersion platform::mac::systemVersion() { return recorded().version; }
