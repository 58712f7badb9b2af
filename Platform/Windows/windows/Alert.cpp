// Alerts on Windows are task dialogs: they take the program's own button
// texts, and like a Mac's alerts they answer before showAlert returns. Their
// own loop keeps the tray, the hot key and posted work alive meanwhile.
#include "platform/Alert.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace platform {

// The port hands the callback over by value; a modal dialog answers before
// returning and keeps nothing.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void showAlert(const Alert& alert, std::function<void(std::size_t button)> answered) {
    using dusk::backend::wide;
    constexpr int firstButton = 100;
    const std::wstring message = wide(alert.messageText);
    const std::wstring informative = wide(alert.informativeText);
    std::vector<std::wstring> texts;
    for (const auto& button : alert.buttons) texts.push_back(wide(button));
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (std::size_t index = 0; index < texts.size(); ++index) {
        buttons.push_back({firstButton + static_cast<int>(index), texts[index].c_str()});
    }
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = L"Dusk";
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszMainInstruction = message.c_str();
    config.pszContent = informative.empty() ? nullptr : informative.c_str();
    config.pButtons = buttons.empty() ? nullptr : buttons.data();
    config.cButtons = static_cast<UINT>(buttons.size());
    config.dwCommonButtons = buttons.empty() ? TDCBF_OK_BUTTON : 0;
    config.nDefaultButton = buttons.empty() ? IDOK : firstButton;
    int chosen = 0;
    const HRESULT shown = ::TaskDialogIndirect(&config, &chosen, nullptr, nullptr);
    // Escape, the close button, or no dialog at all: the last button.
    const std::size_t count = std::max<std::size_t>(alert.buttons.size(), 1);
    std::size_t button = count - 1;
    if (SUCCEEDED(shown) && chosen >= firstButton && chosen < firstButton + static_cast<int>(count)) {
        button = static_cast<std::size_t>(chosen - firstButton);
    }
    if (answered) answered(button);
}

void beep() { ::MessageBeep(MB_OK); }

}  // namespace platform
