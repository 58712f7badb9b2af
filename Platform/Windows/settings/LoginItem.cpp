// Launch at login on Windows: a value named Dusk under the user's Run key,
// the program's full path in quotes. Task Manager and Settings switch such an
// entry off beside it, under StartupApproved; an entry switched off there is
// not enabled, and Dusk enabling it again clears the mark as they would.
#include "platform/LoginItem.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <array>
#include <vector>

#include "common/Handles.h"
#include "common/Text.h"
#include "platform/Log.h"

namespace dusk::backend {
namespace {

constexpr wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t approvedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
constexpr wchar_t valueName[] = L"Dusk";

std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::optional<std::wstring> runValue() {
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, runKey, valueName, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, runKey, valueName, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.resize(std::wcslen(value.c_str()));
    return value;
}

// The program a Run value starts: the quoted path, or up to the first blank.
std::wstring programOf(const std::wstring& command) {
    if (command.starts_with(L'"')) return command.substr(1, command.find(L'"', 1) - 1);
    return command.substr(0, command.find(L' '));
}

// The first byte of StartupApproved's value is odd when switched off.
bool switchedOff() {
    std::array<BYTE, 12> approval{};
    DWORD size = approval.size();
    return ::RegGetValueW(HKEY_CURRENT_USER, approvedKey, valueName, RRF_RT_REG_BINARY, nullptr, approval.data(),
                          &size) == ERROR_SUCCESS &&
           size > 0 && (approval[0] & 1) != 0;
}

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

LoginItemStatus LoginItem::status() {
    const auto command = runValue();
    if (!command) return LoginItemStatus::NotRegistered;
    const DWORD attributes = ::GetFileAttributesW(programOf(*command).c_str());
    const bool programThere = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    return programThere && !switchedOff() ? LoginItemStatus::Enabled : LoginItemStatus::NotRegistered;
}

std::optional<std::string> LoginItem::enable() {
    HKEY opened = nullptr;
    LSTATUS status =
        ::RegCreateKeyExW(HKEY_CURRENT_USER, runKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        const UniqueKey key(opened);
        const std::wstring command = L"\"" + executablePath() + L"\"";
        status = ::RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS)
        return "Dusk could not add itself to the programs Windows starts: " + errorText(status);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, approvedKey, valueName);
    writeLog(LogLevel::Default, "launch at login enabled: HKCU\\" + narrow(runKey) + "\\Dusk");
    return std::nullopt;
}

std::optional<std::string> LoginItem::disable() {
    const LSTATUS status = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, runKey, valueName);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        return "Dusk could not remove itself from the programs Windows starts: " + errorText(status);
    }
    writeLog(LogLevel::Default, "launch at login disabled: HKCU\\" + narrow(runKey) + "\\Dusk");
    return std::nullopt;
}

std::string_view LoginItem::requirement() {
    return "Launch at Login starts Dusk from where this copy is now: keep Dusk.exe in a folder that stays, such as "
           "where the installer puts it.";
}

// Windows asks nobody's approval for a Run entry: the status is never
// RequiresApproval.
void LoginItem::openApprovalSettings() {
    ::ShellExecuteW(nullptr, L"open", L"ms-settings:startupapps", nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace platform
