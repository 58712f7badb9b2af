// Stand-ins for what the macOS backend's plain C++ reaches on a Mac: the
// unified log, Carbon's event manager and the macOS version. They record
// every call, and answer as the test tells them to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EventManager.h"
#include "SystemVersion.h"
#include "platform/Log.h"

namespace dusk::macos::test {

struct LoggedLine {
    platform::LogLevel level;
    std::string text;
};
const std::vector<LoggedLine>& loggedLines();

struct Registered {
    std::uint32_t keyCode;
    std::uint32_t carbonModifiers;
    platform::mac::HotKeyId id;
    std::uint32_t options;
    platform::mac::eventManager::HotKeyRef handle;
};

// The event manager's answer for keys that are taken.
inline constexpr std::int32_t eventHotKeyExistsErr = -9878;
// Its answer for keys macOS 15.0 and 15.1 refuse to every application.
inline constexpr std::int32_t eventInternalErr = -9868;

// What the event manager answers from now on.
void answerInstallWith(std::int32_t status);
void answerRegisterWith(std::int32_t status);
// The macOS the process runs on from now on; 14.0 until a test says.
void runOnMacOS(platform::mac::SystemVersion version);

int handlersInstalled();
const std::vector<Registered>& registrations();
// Every registration handed back, in order.
const std::vector<platform::mac::eventManager::HotKeyRef>& unregistered();

}  // namespace dusk::macos::test
