#include "AppDelegate.h"

#include <utility>

#include "AppearanceToggler.h"
#include "HotKeyManager.h"
#include "Log.h"
#include "platform/Alert.h"
#include "platform/Appearance.h"
#include "platform/LoginItem.h"
#include "platform/Session.h"
#include "platform/SettingsStore.h"

namespace dusk {
namespace {

bool loginItemEnabled() { return platform::LoginItem::status() == platform::LoginItemStatus::Enabled; }

// The keys the desktop has bound, as it reports them; else the stored shortcut.
std::optional<HotKey> shownHotKey() {
    const auto& inEffect = HotKeyManager::shared().registered();
    return inEffect ? inEffect : Settings::hotKey();
}

void askForLoginItemApproval() {
    platform::showAlert(
        {"Dusk needs your approval to launch at login",
         "Open System Settings › General › Login Items and allow Dusk, and it will launch when you log in.",
         {"Open System Settings", "Cancel"}},
        [](std::size_t button) {
            if (button == 0) platform::LoginItem::openApprovalSettings();
        });
}

}  // namespace

std::function<void()> AppDelegate::action(void (AppDelegate::*method)()) {
    return [weak = weak_from_this(), method] {
        if (const auto self = weak.lock()) (self.get()->*method)();
    };
}

// --- Launch -----------------------------------------------------------------

void AppDelegate::applicationDidFinishLaunching() {
    // The copy that finds another one quits; a running copy is never disturbed.
    platform::Session::findAnotherCopy([weak = weak_from_this()](bool anotherRuns) {
        const auto self = weak.lock();
        if (!self) return;
        if (anotherRuns) {
            log().notice("another Dusk instance is already running; quitting this one");
            platform::Session::quit();
            return;
        }
        self->launch();
    });
}

void AppDelegate::launch() {
    statusItem = std::make_unique<platform::StatusItem>();
    buildMenu();
    refreshStatusIcon();
    platform::Appearance::onChange(action(&AppDelegate::appearanceDidChange));
    platform::SettingsStore::onSaveFailed([](const std::string& where, const std::string& reason) {
        platform::showAlert(
            {"Couldn't save the shortcut",
             "Dusk couldn't write " + where + ": " + reason + ". The shortcut lasts only until Dusk quits.",
             {}});
    });
    startHotKey();
}

void AppDelegate::startHotKey() {
    auto& manager = HotKeyManager::shared();
    manager.onTrigger = [] { AppearanceToggler::toggle(); };
    // The desktop's choice of keys is the shortcut from then on: the menu,
    // the recorder and the next start all show and ask for it. Keys the
    // recorder would refuse (a bare Q) are shown while bound but never
    // stored, since the next start would refuse them too.
    manager.onBindingChanged = [](const std::optional<HotKey>& inEffect) {
        if (inEffect && inEffect->isRecordable()) Settings::setHotKey(inEffect);
    };
    applyHotKey(Settings::hotKey(), false);
}

// --- Status item and menu ---------------------------------------------------

void AppDelegate::buildMenu() {
    // The placeholder title never shows: the first opening replaces it.
    toggleItem = statusItem->addItem("Toggle Appearance", action(&AppDelegate::toggleAppearance));
    hotKeyItem = statusItem->addItem("Set Hotkey…", action(&AppDelegate::showRecorder));
    statusItem->addSeparator();
    loginItem = statusItem->addItem("Launch at Login", action(&AppDelegate::toggleLaunchAtLogin));
    statusItem->setChecked(loginItem, loginItemEnabled());
    statusItem->addSeparator();
    statusItem->addItem(
        "Quit Dusk", [] { platform::Session::quit(); }, "q");
    statusItem->onMenuWillOpen(action(&AppDelegate::menuWillOpen));
}

void AppDelegate::refreshStatusIcon() {
    const bool dark = AppearanceToggler::isDarkMode();
    statusItem->setSymbol(dark ? platform::Symbol::Moon : platform::Symbol::Sun,
                          dark ? "Switch to Light Mode" : "Switch to Dark Mode");
    statusItem->setToolTip(dark ? "Dusk – switch to Light Mode" : "Dusk – switch to Dark Mode");
}

void AppDelegate::refreshMenuTitles() {
    statusItem->setTitle(toggleItem, AppearanceToggler::isDarkMode() ? "Switch to Light Mode" : "Switch to Dark Mode");
    statusItem->setTitle(hotKeyItem, hotKeyItemTitle());
    statusItem->setChecked(loginItem, loginItemEnabled());
}

void AppDelegate::menuWillOpen() { refreshMenuTitles(); }

void AppDelegate::appearanceDidChange() {
    // Never redraw inside the platform's notification.
    platform::Session::post(action(&AppDelegate::refreshStatusIcon));
}

void AppDelegate::toggleAppearance() { AppearanceToggler::toggle(); }

// --- Launch at login --------------------------------------------------------

void AppDelegate::toggleLaunchAtLogin() {
    const bool enabling = !loginItemEnabled();
    const auto failure = enabling ? platform::LoginItem::enable() : platform::LoginItem::disable();
    // An item that waits for the user's approval, whether the call failed or
    // not, needs the settings page; advice about where Dusk runs from would
    // not fit.
    if (enabling && platform::LoginItem::status() == platform::LoginItemStatus::RequiresApproval) {
        askForLoginItemApproval();
    } else if (failure) {
        platform::showAlert({*failure, std::string(platform::LoginItem::requirement()), {}});
    }
    // The check mark shows what the platform reports now, not what was asked.
    refreshMenuTitles();
}

// --- Hot key ----------------------------------------------------------------

void AppDelegate::applyHotKey(const std::optional<HotKey>& hotKey, bool showErrors) {
    auto& manager = HotKeyManager::shared();
    if (!hotKey) {
        manager.unregister();
        return;
    }
    manager.registerHotKey(*hotKey, [hotKey = *hotKey, showErrors](bool bound, const std::string& reason) {
        if (bound || !showErrors) return;
        platform::showAlert({"Couldn't register " + hotKey.desktopDisplayString(),
                             reason.empty() ? "Another app may already be using that shortcut. Try a different "
                                              "combination."
                                            : reason,
                             {}});
    });
}

std::string AppDelegate::hotKeyItemTitle() const {
    const auto shown = shownHotKey();
    if (!shown) return "Set Hotkey…";
    const bool inEffect = HotKeyManager::shared().registered().has_value();
    return "Hotkey: " + shown->desktopDisplayString() + (inEffect ? "…" : " (not registered)…");
}

// --- Recorder window --------------------------------------------------------

void AppDelegate::showRecorder() {
    if (recorderWindow) {
        recorderWindow->bringToFront();
        return;
    }
    const auto shown = shownHotKey();
    // Pressing the current shortcut must reach the recorder, not toggle.
    HotKeyManager::shared().unregister();
    recorderWindow = std::make_shared<platform::RecorderWindow>(platform::RecorderWindow::Content{
        "Dusk Hotkey",
        "Press the shortcut you want to use to toggle Light/Dark mode.",
        std::string(HotKeyRecorderView::unfocusedText),
        shown ? "Current: " + shown->desktopDisplayString() : "No hotkey set",
        "Clear Hotkey",
        "Cancel",
    });
    recorderView = std::make_unique<HotKeyRecorderView>(*recorderWindow);
    // Weak: the window must not keep the delegate alive.
    recorderView->onRecord = [weak = weak_from_this()](const HotKey& hotKey) {
        Settings::setHotKey(hotKey);
        if (const auto self = weak.lock()) self->recorded(hotKey);
    };
    recorderView->onCancel = action(&AppDelegate::cancelRecorder);
    recorderWindow->onClear = action(&AppDelegate::clearHotKey);
    recorderWindow->onCancel = action(&AppDelegate::cancelRecorder);
    recorderWindow->onClosed = action(&AppDelegate::windowWillClose);
    recorderWindow->show();
}

void AppDelegate::recorded(const HotKey& hotKey) {
    applyHotKey(hotKey, true);
    if (recorderWindow) recorderWindow->close();
}

void AppDelegate::clearHotKey() {
    Settings::setHotKey(std::nullopt);
    HotKeyManager::shared().unregister();
    if (recorderWindow) recorderWindow->close();
}

void AppDelegate::cancelRecorder() {
    if (recorderWindow) recorderWindow->close();
}

void AppDelegate::windowWillClose() {
    // The window is still closing: it and its recorder go once it is done.
    platform::Session::post(
        [window = std::move(recorderWindow), view = std::shared_ptr<HotKeyRecorderView>(std::move(recorderView))] {});
    // A recording whose bind the desktop has yet to answer keeps it: binding
    // again would drop the answer, and with it the alert a refusal deserves.
    const auto stored = Settings::hotKey();
    if (stored && HotKeyManager::shared().pending() == stored) return;
    applyHotKey(stored, false);
}

}  // namespace dusk
