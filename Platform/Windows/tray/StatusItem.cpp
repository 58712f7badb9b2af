// Dusk's tray icon on Windows: a notification-area icon of version 4 on the
// hidden window, and a popup menu built once. A left click (NIN_SELECT, not
// the WM_LBUTTONUP that comes with it), the keyboard and the context menu
// key all open the menu.
#include "platform/StatusItem.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "appearance/Personalize.h"
#include "common/Gdi.h"
#include "common/Handles.h"
#include "common/MessageWindow.h"
#include "common/Text.h"
#include "platform/Session.h"
#include "tray/Glyph.h"

namespace {

using namespace dusk::backend;

constexpr UINT iconId = 1;

struct MenuEntry {
    std::function<void()> action;
    char keyEquivalent = 0;  // upper case; 0 for none
};

// Windows keeps "&" for mnemonics; Dusk's titles mean it literally. The key
// equivalent is shown after a tab, as Windows menus show accelerators.
std::wstring menuText(std::string_view title, char keyEquivalent) {
    std::wstring text;
    for (const wchar_t c : wide(title)) {
        if (c == L'&') text += L'&';
        text += c;
    }
    if (keyEquivalent != 0) text += std::wstring(L"\tCtrl+") + static_cast<wchar_t>(keyEquivalent);
    return text;
}

UniqueIcon makeIcon(platform::Symbol symbol, int size, bool onDarkTaskbar) {
    const auto pixels = drawGlyph(symbol, size, onDarkTaskbar);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = size;
    header.bmiHeader.biHeight = -size;  // rows from the top
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const ScreenContext screen;
    UniqueBitmap colour(::CreateDIBSection(screen.get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr) return {};
    std::copy(pixels.begin(), pixels.end(), static_cast<std::uint32_t*>(bits));
    // The alpha channel draws the icon; the mask only has to be there.
    const std::vector<BYTE> clear(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
    UniqueBitmap mask(::CreateBitmap(size, size, 1, 1, clear.data()));
    ICONINFO info{TRUE, 0, 0, mask.get(), colour.get()};
    return UniqueIcon(::CreateIconIndirect(&info));
}

}  // namespace

struct platform::StatusItem::Impl {
    Impl() {
        data.cbSize = sizeof data;
        data.hWnd = messageWindow();
        data.uID = iconId;
        data.uFlags = NIF_MESSAGE | NIF_TIP | NIF_SHOWTIP;
        data.uCallbackMessage = trayIconMessage;
        add();
        handleMessage(trayIconMessage, [this](WPARAM, LPARAM lParam) {
            const UINT event = LOWORD(lParam);
            if (event == NIN_SELECT || event == NIN_KEYSELECT || event == WM_CONTEXTMENU) showMenu();
            return LRESULT{0};
        });
        // Explorer started again: its new taskbar has no icons yet.
        handleMessage(taskbarCreated, [this](WPARAM, LPARAM) {
            add();
            return LRESULT{0};
        });
        // Ctrl and a key equivalent, while the menu is open.
        handleMessage(WM_MENUCHAR, [this](WPARAM wParam, LPARAM) { return keyEquivalent(LOWORD(wParam)); });
    }

    ~Impl() {
        for (const UINT message : {UINT{trayIconMessage}, taskbarCreated, UINT{WM_MENUCHAR}})
            handleMessage(message, {});
        ::Shell_NotifyIconW(NIM_DELETE, &data);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    void add() {
        ::Shell_NotifyIconW(NIM_ADD, &data);
        data.uVersion = NOTIFYICON_VERSION_4;
        ::Shell_NotifyIconW(NIM_SETVERSION, &data);
    }

    // In the taskbar's own mode, read each time: Dusk changes it with the
    // apps' mode, and the core sets the symbol again when that changes.
    void drawSymbol() {
        if (!symbol) return;
        const UINT dpi = ::GetDpiForWindow(data.hWnd);
        const int size = ::GetSystemMetricsForDpi(SM_CXSMICON, dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi);
        icon = makeIcon(*symbol, size, taskbarIsDark());
        data.hIcon = icon.get();
        data.uFlags |= NIF_ICON;
        ::Shell_NotifyIconW(NIM_MODIFY, &data);
    }

    void showMenu() {
        if (willOpen) willOpen();
        POINT at{};
        ::GetCursorPos(&at);
        // The menu closes when the user clicks elsewhere only if Dusk's
        // window is in front; the empty message after it lets it close.
        ::SetForegroundWindow(data.hWnd);
        const auto chosen = static_cast<UINT>(
            ::TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y,
                               data.hWnd, nullptr));
        ::PostMessageW(data.hWnd, WM_NULL, 0, 0);
        // The action runs once the menu has closed, as on a menu bar.
        if (chosen >= 1 && chosen <= entries.size() && entries[chosen - 1].action) {
            platform::Session::post(entries[chosen - 1].action);
        }
    }

    LRESULT keyEquivalent(WORD typed) {
        for (std::size_t index = 0; index < entries.size(); ++index) {
            const char key = entries[index].keyEquivalent;
            // Ctrl with a letter types its control character.
            if (key >= 'A' && key <= 'Z' && typed == static_cast<WORD>(key - 'A' + 1)) {
                return MAKELRESULT(index, MNC_EXECUTE);
            }
        }
        return MAKELRESULT(0, MNC_IGNORE);
    }

    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    NOTIFYICONDATAW data{};
    UniqueMenu menu{::CreatePopupMenu()};
    // One entry a position in the menu, separators included; the command
    // of an item is its position + 1.
    std::vector<MenuEntry> entries;
    std::optional<platform::Symbol> symbol;
    UniqueIcon icon;
    std::function<void()> willOpen;
};

namespace platform {

StatusItem::StatusItem() : impl_(std::make_unique<Impl>()) {}

StatusItem::~StatusItem() = default;

// A screen reader reads a notification icon's tooltip; it has no other name.
void StatusItem::setSymbol(Symbol symbol, std::string_view /*accessibilityDescription*/) {
    impl_->symbol = symbol;
    impl_->drawSymbol();
}

void StatusItem::setToolTip(std::string_view toolTip) {
    const std::wstring text = wide(toolTip);
    const std::size_t length = std::min(text.size(), std::size(impl_->data.szTip) - 1);
    std::copy_n(text.begin(), length, impl_->data.szTip);
    impl_->data.szTip[length] = L'\0';
    ::Shell_NotifyIconW(NIM_MODIFY, &impl_->data);
}

StatusItem::ItemId StatusItem::addItem(std::string_view title, std::function<void()> action,
                                       std::string_view keyEquivalent) {
    const char key = keyEquivalent.size() == 1 ? static_cast<char>(std::toupper(keyEquivalent.front())) : '\0';
    impl_->entries.push_back({std::move(action), key});
    const auto id = static_cast<ItemId>(impl_->entries.size() - 1);
    ::AppendMenuW(impl_->menu.get(), MF_STRING, static_cast<UINT_PTR>(id) + 1, menuText(title, key).c_str());
    return id;
}

void StatusItem::addSeparator() {
    impl_->entries.push_back({});
    ::AppendMenuW(impl_->menu.get(), MF_SEPARATOR, 0, nullptr);
}

void StatusItem::setTitle(ItemId item, std::string_view title) {
    const std::wstring text = menuText(title, impl_->entries.at(static_cast<std::size_t>(item)).keyEquivalent);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(text.c_str());
    ::SetMenuItemInfoW(impl_->menu.get(), static_cast<UINT>(item), TRUE, &info);
}

void StatusItem::setChecked(ItemId item, bool checked) {
    ::CheckMenuItem(impl_->menu.get(), static_cast<UINT>(item), MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void StatusItem::onMenuWillOpen(std::function<void()> willOpen) { impl_->willOpen = std::move(willOpen); }

}  // namespace platform
