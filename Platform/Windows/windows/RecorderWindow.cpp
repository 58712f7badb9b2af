// The recorder window in plain Win32: a prompt, the recorder box that takes
// every key while it has the keyboard, the shortcut in effect, and Clear and
// Cancel. Laid out in pixels at 96 DPI and scaled to the monitor's DPI,
// again whenever the window moves to another.
#include "platform/RecorderWindow.h"

#include <array>
#include <utility>

#include "common/Gdi.h"
#include "common/Handles.h"
#include "common/MessageWindow.h"
#include "common/Text.h"
#include "shortcuts/KeyCodes.h"

namespace {

using namespace dusk::backend;

enum : int { clearId = 10, cancelId = IDCANCEL };

// No key code reaches this high.
constexpr std::uint32_t keyWithoutCode = 0xFFFF;
constexpr platform::ModifierFlags capsLock = 0x10000;

constexpr int width = 340;
constexpr int height = 170;

bool isDown(int virtualKey) { return (::GetKeyState(virtualKey) & 0x8000) != 0; }

// The modifiers as the thread's keyboard state has them at this message.
platform::ModifierFlags heldModifiers() {
    platform::ModifierFlags flags = 0;
    if ((::GetKeyState(VK_CAPITAL) & 1) != 0) flags |= capsLock;
    if (isDown(VK_SHIFT)) flags |= platform::Modifier::shift;
    if (isDown(VK_CONTROL)) flags |= platform::Modifier::control;
    if (isDown(VK_MENU)) flags |= platform::Modifier::option;
    // The Windows key is this desktop's Command.
    if (isDown(VK_LWIN) || isDown(VK_RWIN)) flags |= platform::Modifier::command;
    return flags;
}

bool isModifierKey(WPARAM virtualKey) {
    switch (virtualKey) {
        case VK_SHIFT:
        case VK_CONTROL:
        case VK_MENU:
        case VK_LWIN:
        case VK_RWIN:
        case VK_CAPITAL:
        case VK_NUMLOCK:
            return true;
        default:
            return false;
    }
}

UniqueFont messageFont(UINT dpi, double scale, LONG weight) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi);
    metrics.lfMessageFont.lfHeight = static_cast<LONG>(metrics.lfMessageFont.lfHeight * scale);
    if (weight != 0) metrics.lfMessageFont.lfWeight = weight;
    return UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
}

}  // namespace

struct platform::RecorderWindow::Impl {
    platform::RecorderWindow* owner = nullptr;
    UniqueWindow window;
    HWND prompt = nullptr, box = nullptr, current = nullptr, clear = nullptr, cancel = nullptr;
    std::wstring recorderText;
    UniqueFont font, boxFont;
    bool open = false;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK boxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
    static void registerClasses();

    template <typename Handler, typename... Arguments>
    void notify(const Handler& handler, Arguments... arguments) {
        if (handler) handler(arguments...);
    }

    void layOut(UINT dpi) {
        const auto px = [dpi](int value) { return ::MulDiv(value, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI); };
        font = messageFont(dpi, 1.0, 0);
        boxFont = messageFont(dpi, 1.25, FW_SEMIBOLD);
        const auto place = [&](HWND control, int x, int y, int w, int h, HFONT with) {
            ::SetWindowPos(control, nullptr, px(x), px(y), px(w), px(h), SWP_NOZORDER | SWP_NOACTIVATE);
            ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(with), TRUE);
        };
        place(prompt, 20, 12, 300, 36, font.get());
        place(box, 40, 52, 260, 44, boxFont.get());
        place(current, 20, 104, 300, 18, font.get());
        place(clear, 86, 130, 80, 26, font.get());
        place(cancel, 174, 130, 80, 26, font.get());
    }

    void paintBox(HWND control) const {
        const Painting painting(control);
        const HDC dc = painting.get();
        RECT area{};
        ::GetClientRect(control, &area);
        const bool focused = ::GetFocus() == control;
        const Unique<HPEN, &::DeleteObject> pen(
            ::CreatePen(PS_SOLID, focused ? 2 : 1, ::GetSysColor(focused ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT)));
        const Selection penSelected(dc, pen.get());
        const Selection brushSelected(dc, ::GetSysColorBrush(COLOR_WINDOW));
        const Selection fontSelected(dc, boxFont.get());
        const int corner = ::MulDiv(16, static_cast<int>(::GetDpiForWindow(control)), USER_DEFAULT_SCREEN_DPI);
        ::RoundRect(dc, area.left, area.top, area.right, area.bottom, corner, corner);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
        ::DrawTextW(dc, recorderText.c_str(), static_cast<int>(recorderText.size()), &area,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }

    // A key in the box: a modifier going down or up, or a key pressed.
    void key(UINT message, WPARAM virtualKey, LPARAM lParam) {
        if (owner == nullptr) return;
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (isModifierKey(virtualKey)) return notify(owner->onModifiersChanged, heldModifiers());
        if (!down) return;
        auto scanCode = static_cast<std::uint16_t>((lParam >> 16) & 0xFF);
        if ((lParam & (1 << 24)) != 0) scanCode |= 0xE000;
        const KeyPress press{macKeyCodeAt(scanCode).value_or(keyWithoutCode), heldModifiers()};
        notify(owner->onKeyDown, press);
    }
};

void platform::RecorderWindow::Impl::registerClasses() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
        windowClass.hIcon = ::LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(1));
        windowClass.lpfnWndProc = windowProcedure;
        windowClass.lpszClassName = L"DuskRecorder";
        ::RegisterClassExW(&windowClass);
        windowClass.hIcon = nullptr;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = boxProcedure;
        windowClass.lpszClassName = L"DuskRecorderBox";
        ::RegisterClassExW(&windowClass);
        return true;
    }();
    (void)registered;
}

LRESULT CALLBACK platform::RecorderWindow::Impl::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                                 LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (impl == nullptr || impl->owner == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_COMMAND:
            // Cancel, and Escape outside the box, which the dialog keyboard
            // turns into IDCANCEL.
            if (LOWORD(wParam) == cancelId) impl->notify(impl->owner->onCancel);
            if (LOWORD(wParam) == clearId) impl->notify(impl->owner->onClear);
            return 0;
        case WM_CLOSE:
            impl->owner->close();
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            ::SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            impl->layOut(HIWORD(wParam));
            return 0;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) setDialogWindow(window);
            return ::DefWindowProcW(window, message, wParam, lParam);
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK platform::RecorderWindow::Impl::boxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<Impl*>(::GetWindowLongPtrW(::GetParent(box), GWLP_USERDATA));
    if (impl == nullptr) return ::DefWindowProcW(box, message, wParam, lParam);
    switch (message) {
        // Every key, Tab, Escape and Alt's included, is the recorder's.
        case WM_GETDLGCODE:
            return DLGC_WANTALLKEYS | DLGC_WANTCHARS;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            impl->key(message, wParam, lParam);
            return 0;
        case WM_CHAR:
        case WM_SYSCHAR:
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR:
            return 0;
        case WM_LBUTTONDOWN:
            ::SetFocus(box);
            return 0;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(box, nullptr, TRUE);
            if (impl->owner != nullptr) impl->notify(impl->owner->onFocusChanged);
            return 0;
        case WM_PAINT:
            impl->paintBox(box);
            return 0;
        default:
            return ::DefWindowProcW(box, message, wParam, lParam);
    }
}

namespace platform {

RecorderWindow::RecorderWindow(const Content& content) : impl_(std::make_unique<Impl>()) {
    Impl::registerClasses();
    impl_->owner = this;
    impl_->recorderText = wide(content.recorderText);
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    const DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const UINT dpi = ::GetDpiForSystem();
    RECT frame{0, 0, ::MulDiv(width, static_cast<int>(dpi), 96), ::MulDiv(height, static_cast<int>(dpi), 96)};
    ::AdjustWindowRectExForDpi(&frame, style, FALSE, WS_EX_TOPMOST, dpi);
    impl_->window.reset(::CreateWindowExW(WS_EX_TOPMOST, L"DuskRecorder", wide(content.title).c_str(), style,
                                          CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                          frame.bottom - frame.top, nullptr, nullptr, instance, impl_.get()));
    const HWND window = impl_->window.get();
    const auto child = [&](const wchar_t* windowClass, const std::string& text, DWORD childStyle, int id) {
        return ::CreateWindowExW(0, windowClass, wide(text).c_str(), WS_CHILD | WS_VISIBLE | childStyle, 0, 0, 0, 0,
                                 window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    impl_->prompt = child(L"STATIC", content.prompt, SS_CENTER | SS_NOPREFIX, 0);
    impl_->box = child(L"DuskRecorderBox", content.recorderText, WS_TABSTOP, 0);
    impl_->current = child(L"STATIC", content.current, SS_CENTER | SS_NOPREFIX, 0);
    impl_->clear = child(L"BUTTON", content.clearButton, WS_TABSTOP | BS_PUSHBUTTON, clearId);
    impl_->cancel = child(L"BUTTON", content.cancelButton, WS_TABSTOP | BS_PUSHBUTTON, cancelId);
    impl_->layOut(::GetDpiForWindow(window));
    // In the middle of the screen the window opens on.
    RECT placed{};
    ::GetWindowRect(window, &placed);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const int w = placed.right - placed.left;
    const int h = placed.bottom - placed.top;
    ::SetWindowPos(window, nullptr, work.left + (work.right - work.left - w) / 2,
                   work.top + (work.bottom - work.top - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RecorderWindow::~RecorderWindow() {
    impl_->owner = nullptr;
    if (dusk::backend::dialogWindow() == impl_->window.get()) dusk::backend::setDialogWindow(nullptr);
}

void RecorderWindow::show() {
    impl_->open = true;
    ::ShowWindow(impl_->window.get(), SW_SHOW);
    bringToFront();
}

void RecorderWindow::bringToFront() {
    const HWND window = impl_->window.get();
    ::SetForegroundWindow(window);
    ::BringWindowToTop(window);
    ::SetFocus(impl_->box);
}

void RecorderWindow::close() {
    if (!impl_->open) return;
    impl_->open = false;
    ::ShowWindow(impl_->window.get(), SW_HIDE);
    if (onClosed) onClosed();
}

void RecorderWindow::setRecorderText(std::string_view text) {
    impl_->recorderText = wide(text);
    ::SetWindowTextW(impl_->box, impl_->recorderText.c_str());
    ::InvalidateRect(impl_->box, nullptr, TRUE);
}

bool RecorderWindow::recorderIsFocused() const { return ::GetFocus() == impl_->box; }

}  // namespace platform
