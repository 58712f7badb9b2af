// Stand-ins for what the macOS backend's plain C++ reaches on a Mac: the
// unified log and Carbon's event manager. They record every call, and the
// event manager answers as the test tells it to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EventManager.h"
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

// What the event manager answers from now on.
void answerInstallWith(std::int32_t status);
void answerRegisterWith(std::int32_t status);

int handlersInstalled();
const std::vector<Registered>& registrations();
// Every registration handed back, in order.
const std::vector<platform::mac::eventManager::HotKeyRef>& unregistered();

}  // namespace dusk::macos::test
