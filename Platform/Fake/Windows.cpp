// What Dusk puts on screen: its status item and menu, alerts and the
// recorder window.
#include <utility>

#include "State.h"
#include "platform/StatusItem.h"

namespace fake {

struct MenuItem {
    MenuEntry entry;
    std::function<void()> action;
};

struct StatusItemImpl {
    StatusItemState state;
    std::vector<MenuItem> items;
    std::function<void()> willOpen;
};

struct RecorderWindowImpl {
    platform::RecorderWindow* window = nullptr;
    RecorderWindowState state;
    bool open = false;
};

namespace {

RecorderWindowImpl& openRecorder() {
    auto* recorder = desktop().recorderWindow;
    if (recorder == nullptr) throw std::logic_error("no recorder window is open");
    return *recorder;
}

void call(const std::function<void()>& handler) {
    if (handler) handler();
}

}  // namespace

int statusItemsMade() { return desktop().statusItemsMade; }

std::optional<StatusItemState> statusItem() {
    if (desktop().statusItem == nullptr) return std::nullopt;
    return desktop().statusItem->state;
}

std::vector<MenuEntry> openMenu() {
    auto* item = desktop().statusItem;
    if (item == nullptr) throw std::logic_error("there is no status item");
    call(item->willOpen);
    std::vector<MenuEntry> entries;
    for (const auto& menuItem : item->items) entries.push_back(menuItem.entry);
    return entries;
}

void chooseMenuItem(const std::string& title) {
    openMenu();
    for (const auto& item : desktop().statusItem->items) {
        if (!item.entry.isSeparator && item.entry.title == title) {
            // The menu closes before the action runs.
            const auto action = item.action;
            action();
            return;
        }
    }
    throw std::logic_error("no menu item titled " + title);
}

const std::vector<ShownAlert>& alerts() { return desktop().alerts; }
void answerNextAlertWith(std::size_t button) { desktop().alertAnswers.push_back(button); }
void holdAlerts(bool hold) { desktop().holdAlerts = hold; }

bool answerAlert(std::size_t button) {
    if (desktop().heldAlerts.empty()) return false;
    auto held = std::move(desktop().heldAlerts.front());
    desktop().heldAlerts.pop_front();
    desktop().alerts[held.index].answer = button;
    if (held.answered) held.answered(button);
    return true;
}

void whileNextAlertIsShown(std::function<void()> action) { desktop().whileAlertShown.push_back(std::move(action)); }
int beeps() { return desktop().beeps; }

int recorderWindowsMade() { return desktop().recorderWindowsMade; }

std::optional<RecorderWindowState> recorderWindow() {
    if (desktop().recorderWindow == nullptr) return std::nullopt;
    return desktop().recorderWindow->state;
}

void typeKey(std::uint32_t keyCode, platform::ModifierFlags modifiers) {
    auto& recorder = openRecorder();
    if (recorder.state.focused) {
        if (recorder.window->onKeyDown) recorder.window->onKeyDown({keyCode, modifiers});
    } else if (keyCode == 53) {
        // Escape is the Cancel button's key equivalent.
        call(recorder.window->onCancel);
    }
}

void changeModifiers(platform::ModifierFlags modifiers) {
    auto& recorder = openRecorder();
    if (recorder.state.focused && recorder.window->onModifiersChanged) recorder.window->onModifiersChanged(modifiers);
}

void focusRecorder(bool focused) {
    auto& recorder = openRecorder();
    if (recorder.state.focused == focused) return;
    recorder.state.focused = focused;
    call(recorder.window->onFocusChanged);
}

void clickButton(const std::string& title) {
    auto& recorder = openRecorder();
    if (title == recorder.state.content.clearButton) return call(recorder.window->onClear);
    if (title == recorder.state.content.cancelButton) return call(recorder.window->onCancel);
    throw std::logic_error("no button titled " + title);
}

void pressCloseButton() { openRecorder().window->close(); }

}  // namespace fake

namespace platform {

using fake::desktop;

struct StatusItem::Impl : fake::StatusItemImpl {};

StatusItem::StatusItem() : impl_(std::make_unique<Impl>()) {
    desktop().statusItem = impl_.get();
    ++desktop().statusItemsMade;
}

StatusItem::~StatusItem() {
    if (desktop().statusItem == impl_.get()) desktop().statusItem = nullptr;
}

void StatusItem::setSymbol(Symbol symbol, std::string_view accessibilityDescription) {
    impl_->state.symbol = symbol;
    impl_->state.accessibilityDescription = accessibilityDescription;
}

void StatusItem::setToolTip(std::string_view toolTip) { impl_->state.toolTip = toolTip; }

StatusItem::ItemId StatusItem::addItem(std::string_view title, std::function<void()> action,
                                       std::string_view keyEquivalent) {
    impl_->items.push_back({{false, std::string(title), std::string(keyEquivalent), false}, std::move(action)});
    return static_cast<ItemId>(impl_->items.size() - 1);
}

void StatusItem::addSeparator() { impl_->items.push_back({{true, {}, {}, false}, {}}); }
void StatusItem::setTitle(ItemId item, std::string_view title) { impl_->items.at(item).entry.title = title; }
void StatusItem::setChecked(ItemId item, bool checked) { impl_->items.at(item).entry.checked = checked; }
void StatusItem::onMenuWillOpen(std::function<void()> willOpen) { impl_->willOpen = std::move(willOpen); }

void showAlert(const Alert& alert, std::function<void(std::size_t)> answered) {
    std::vector<std::string> windows;
    if (desktop().recorderWindow != nullptr) windows.push_back(desktop().recorderWindow->state.content.title);
    desktop().alerts.push_back({alert, windows, std::nullopt});
    const std::size_t index = desktop().alerts.size() - 1;
    if (!desktop().whileAlertShown.empty()) {
        const auto action = std::move(desktop().whileAlertShown.front());
        desktop().whileAlertShown.pop_front();
        action();
    }
    if (desktop().holdAlerts) {
        desktop().heldAlerts.push_back({index, std::move(answered)});
        return;
    }
    std::size_t button = 0;
    if (!desktop().alertAnswers.empty()) {
        button = desktop().alertAnswers.front();
        desktop().alertAnswers.pop_front();
    }
    desktop().alerts[index].answer = button;
    if (answered) answered(button);
}

void beep() { ++desktop().beeps; }

struct RecorderWindow::Impl : fake::RecorderWindowImpl {};

RecorderWindow::RecorderWindow(const Content& content) : impl_(std::make_unique<Impl>()) {
    impl_->window = this;
    impl_->state.content = content;
    ++desktop().recorderWindowsMade;
}

RecorderWindow::~RecorderWindow() {
    if (desktop().recorderWindow == impl_.get()) desktop().recorderWindow = nullptr;
}

void RecorderWindow::show() {
    impl_->open = true;
    desktop().recorderWindow = impl_.get();
    impl_->state.focused = true;
    if (onFocusChanged) onFocusChanged();
}

void RecorderWindow::bringToFront() { ++impl_->state.timesBroughtToFront; }

void RecorderWindow::close() {
    if (!impl_->open) return;
    impl_->open = false;
    if (desktop().recorderWindow == impl_.get()) desktop().recorderWindow = nullptr;
    if (onClosed) onClosed();
}

void RecorderWindow::setRecorderText(std::string_view text) { impl_->state.content.recorderText = text; }
bool RecorderWindow::recorderIsFocused() const { return impl_->state.focused; }

}  // namespace platform
