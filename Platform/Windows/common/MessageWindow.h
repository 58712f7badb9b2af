// The hidden window through which Windows reaches Dusk: work posted to the
// main queue, hot keys, the tray icon's clicks and the broadcasts every
// top-level window receives (a message-only window would miss those).
#pragma once

#include <windows.h>

#include <functional>

namespace dusk::backend {

// Made on first use, on the main thread.
HWND messageWindow();

// The window's own messages, below WM_APP's range of Windows' own.
enum : UINT {
    runPostedWorkMessage = WM_APP,
    trayIconMessage,
};

// Handles `message` from now on; one handler a message, the last one set,
// and an empty one gives the message back to Windows. The answer is the
// window procedure's.
using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
void handleMessage(UINT message, MessageHandler handler);

// The window whose keyboard the loop treats as a dialog's (Tab moves
// between its controls, Escape cancels); none when it is null.
void setDialogWindow(HWND window);
HWND dialogWindow();

}  // namespace dusk::backend
