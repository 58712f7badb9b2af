// The process on Windows: a message loop, the main queue on the hidden
// window, one copy per session through a named mutex, and a command's
// output on the console it was typed in.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>

#include "common/Handles.h"
#include "common/MessageWindow.h"
#include "platform/Session.h"

namespace dusk::backend {
namespace {

struct MainQueue {
    std::mutex lock;
    std::deque<std::function<void()>> work;
    DWORD thread = 0;
};

MainQueue& mainQueue() {
    static MainQueue queue;
    return queue;
}

// One posted message runs one piece of work, so the messages of the desktop
// keep their turns between them.
void runOnePostedWork() {
    std::function<void()> work;
    {
        const std::scoped_lock hold(mainQueue().lock);
        if (mainQueue().work.empty()) return;
        work = std::move(mainQueue().work.front());
        mainQueue().work.pop_front();
    }
    work();
}

int runLoop() {
    MSG message{};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == runPostedWorkMessage) {
            runOnePostedWork();
            continue;
        }
        if (const HWND dialog = dialogWindow(); dialog != nullptr && ::IsDialogMessageW(dialog, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

void prepareLoop() {
    mainQueue().thread = ::GetCurrentThreadId();
    handleMessage(runPostedWorkMessage, [](WPARAM, LPARAM) {
        runOnePostedWork();
        return LRESULT{0};
    });
    // Windows ends the process once the user's session ends and this has
    // returned: Dusk ends as Quit would, a pending save made on the way out.
    handleMessage(WM_ENDSESSION, [](WPARAM ending, LPARAM) {
        if (ending != FALSE) std::exit(0);
        return LRESULT{0};
    });
}

// A program of the GUI subsystem starts with no console; a command typed
// in one answers there, unless its output already goes somewhere else.
void useParentConsole() {
    const auto unset = [](DWORD which) {
        const HANDLE handle = ::GetStdHandle(which);
        return handle == nullptr || handle == INVALID_HANDLE_VALUE;
    };
    if (!unset(STD_OUTPUT_HANDLE) && !unset(STD_ERROR_HANDLE)) return;
    if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
    if (unset(STD_OUTPUT_HANDLE)) std::freopen("CONOUT$", "w", stdout);
    if (unset(STD_ERROR_HANDLE)) std::freopen("CONOUT$", "w", stderr);
}

// Before main: a command prints its usage or version without a loop.
const bool consoleReady = [] {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(::CommandLineToArgvW(::GetCommandLineW(), &count),
                                                                    &::LocalFree);
    if (arguments && count > 1) useParentConsole();
    return true;
}();

}  // namespace
}  // namespace dusk::backend

namespace platform {

using namespace dusk::backend;

int Session::run(std::function<void()> launched) {
    prepareLoop();
    // The launch action owns Dusk's parts: it lives as long as the loop, and
    // they go, windows and all, when the loop has ended.
    post([&launched] { launched(); });
    const int status = runLoop();
    launched = nullptr;
    return status;
}

int Session::runCommand(const std::function<void(Finish finish)>& command) {
    prepareLoop();
    int status = 0;
    post([&command, &status] {
        command([&status](int finished) {
            status = finished;
            ::PostQuitMessage(finished);
        });
    });
    runLoop();
    return status;
}

void Session::post(std::function<void()> work) {
    {
        const std::scoped_lock hold(mainQueue().lock);
        mainQueue().work.push_back(std::move(work));
    }
    // Without a window station (Wine with no display) there is no window:
    // the work goes to the main thread's queue itself, which a modal loop
    // would drop, but there is no window for one either.
    if (const HWND window = messageWindow()) {
        ::PostMessageW(window, runPostedWorkMessage, 0, 0);
    } else {
        ::PostThreadMessageW(mainQueue().thread, runPostedWorkMessage, 0, 0);
    }
}

void Session::quit() { ::PostQuitMessage(0); }

void Session::findAnotherCopy(std::function<void(bool anotherRuns)> answer) {
    // Held until the process ends; the Local namespace is this login
    // session's, so another user's Dusk on the same machine does not count.
    static const auto guard = [] {
        UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, L"Local\\app.dusk.Dusk"));
        const bool existed = mutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
        return std::pair{std::move(mutex), existed};
    }();
    post([answer = std::move(answer)] { answer(guard.second); });
}

}  // namespace platform
