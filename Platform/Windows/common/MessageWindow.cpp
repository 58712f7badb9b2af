#include "common/MessageWindow.h"

#include <map>
#include <utility>

#include "common/Handles.h"

namespace dusk::backend {
namespace {

HWND currentDialog = nullptr;

std::map<UINT, MessageHandler>& handlers() {
    static std::map<UINT, MessageHandler> table;
    return table;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto found = handlers().find(message);
    if (found == handlers().end()) return ::DefWindowProcW(window, message, wParam, lParam);
    // A handler may replace itself while it runs.
    const MessageHandler handler = found->second;
    return handler(wParam, lParam);
}

}  // namespace

HWND messageWindow() {
    static const UniqueWindow window = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"DuskMessages";
        ::RegisterClassExW(&windowClass);
        return UniqueWindow(::CreateWindowExW(WS_EX_TOOLWINDOW, windowClass.lpszClassName, L"Dusk", WS_POPUP, 0, 0, 0,
                                              0, nullptr, nullptr, windowClass.hInstance, nullptr));
    }();
    return window.get();
}

void handleMessage(UINT message, MessageHandler handler) {
    if (handler) {
        handlers()[message] = std::move(handler);
    } else {
        handlers().erase(message);
    }
}

void setDialogWindow(HWND window) { currentDialog = window; }
HWND dialogWindow() { return currentDialog; }

}  // namespace dusk::backend
