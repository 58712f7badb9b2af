// A new process of Dusk on Windows, which cannot fork: the test's own
// command line runs again as a child. The child replays the test up to the
// call that made it, taking the results of the earlier calls from the
// states their children left, runs the body of its own call and leaves its
// state in a file. The tests are deterministic, so the child reaches that
// call in the state the parent was in.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "State.h"

namespace fake {
namespace {

constexpr wchar_t folderVariable[] = L"DUSK_FAKE_PROCESS_FOLDER";
constexpr wchar_t callVariable[] = L"DUSK_FAKE_PROCESS_CALL";

std::optional<std::wstring> variable(const wchar_t* name) {
    wchar_t value[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::nullopt;
    return std::wstring(value, length);
}

// Where the children of this test leave their states: made once by the
// test's own process, which removes it as it ends.
class StateFolder {
public:
    StateFolder() {
        if (auto inherited = variable(folderVariable)) {
            path_ = *inherited;
            return;
        }
        wchar_t temporary[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temporary);
        path_ = std::wstring(temporary) + L"dusk-fake-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount64());
        made_ = ::CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
    }
    ~StateFolder() {
        if (!made_) return;
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(path_), ignored);
    }
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;
    const std::wstring& path() const { return path_; }

private:
    std::wstring path_;
    bool made_ = false;
};

const std::wstring& stateFolder() {
    static const StateFolder folder;
    return folder.path();
}

std::wstring stateFile(int call) { return stateFolder() + L"\\state-" + std::to_wstring(call); }

// The child's status on the first line, the state after it.
void leaveState(int call, int status) {
    std::ofstream out(std::filesystem::path(stateFile(call)), std::ios::binary);
    out << status << '\n' << persistentState();
}

std::optional<int> takeState(int call) {
    std::ifstream in(std::filesystem::path(stateFile(call)), std::ios::binary);
    int status = 0;
    if (!(in >> status)) return std::nullopt;
    in.ignore(1);
    std::ostringstream rest;
    rest << in.rdbuf();
    restorePersistentState(rest.str());
    return status;
}

int runChild(int call) {
    const std::wstring number = std::to_wstring(call);
    ::SetEnvironmentVariableW(folderVariable, stateFolder().c_str());
    ::SetEnvironmentVariableW(callVariable, number.c_str());
    std::wstring commandLine = ::GetCommandLineW();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::fflush(nullptr);
    const bool started =
        ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    ::SetEnvironmentVariableW(callVariable, nullptr);
    if (!started) return -1;
    const auto close = [](HANDLE handle) { ::CloseHandle(handle); };
    const std::unique_ptr<void, decltype(close)> child(process.hProcess, close);
    const std::unique_ptr<void, decltype(close)> childThread(process.hThread, close);
    ::WaitForSingleObject(child.get(), INFINITE);
    DWORD exitCode = 0;
    const bool exited = ::GetExitCodeProcess(child.get(), &exitCode);
    const auto status = takeState(call);
    return exited && status ? static_cast<int>(exitCode) : -1;
}

}  // namespace

int runInNewProcess(const std::function<int()>& body) {
    // Read before this process sets it for a child of its own.
    static const int madeByCall = [] {
        const auto call = variable(callVariable);
        return call ? std::stoi(*call) : 0;
    }();
    static int calls = 0;
    const int call = ++calls;
    if (madeByCall == 0 || call > madeByCall) return runChild(call);
    // This process is a child: earlier calls are taken from their states.
    if (call < madeByCall) return takeState(call).value_or(-1);
    desktop().settings = desktop().savedSettings;
    const int status = body();
    leaveState(call, status);
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace fake
