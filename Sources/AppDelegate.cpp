#include "AppDelegate.h"

#include <array>
#include <utility>

#include "Alerts.h"
#include "AppearanceToggler.h"
#include "HotKeyManager.h"
#include "HotKeyRecorderView.h"
#include "Log.h"
#include "platform/ServiceManagement.h"

namespace dusk {
namespace {

constexpr std::string_view themeChangedNotification = "AppleInterfaceThemeChangedNotification";

platform::ControlStateValue loginItemState() {
    return platform::AppService::mainAppService().status() == platform::AppServiceStatus::Enabled
               ? platform::ControlStateValue::On
               : platform::ControlStateValue::Off;
}

std::shared_ptr<platform::TextField> makeLabel(std::string_view text, double fontSize, platform::Color color) {
    auto label = platform::TextField::labelWithString(text);
    label->setFont(platform::Font::systemFontOfSize(fontSize));
    label->setTextColor(color);
    return label;
}

}  // namespace

bool AppDelegate::perform(std::string_view selector) {
    static constexpr std::array<std::pair<std::string_view, void (AppDelegate::*)()>, 6> actions{{
        {"appearanceDidChange", &AppDelegate::appearanceDidChange},
        {"toggleAppearance", &AppDelegate::toggleAppearance},
        {"toggleLaunchAtLogin", &AppDelegate::toggleLaunchAtLogin},
        {"showRecorder", &AppDelegate::showRecorder},
        {"clearHotKey", &AppDelegate::clearHotKey},
        {"cancelRecorder", &AppDelegate::cancelRecorder},
    }};
    for (const auto& [name, action] : actions) {
        if (name == selector) {
            (this->*action)();
            return true;
        }
    }
    return false;
}

// --- Launch -----------------------------------------------------------------

void AppDelegate::applicationDidFinishLaunching() {
    // The copy that finds another one quits; a running copy is never disturbed.
    if (anotherInstanceIsRunning()) {
        log().notice("another Dusk instance is already running; quitting this one");
        platform::Application::sharedApplication().terminate();
        return;
    }
    statusItem = platform::StatusBar::systemStatusBar().statusItemWithLength(platform::StatusBar::squareLength);
    statusItem->setMenu(buildMenu());
    refreshStatusIcon();
    platform::DistributedNotificationCenter::defaultCenter().addObserver(weak_from_this(), "appearanceDidChange",
                                                                         themeChangedNotification, std::nullopt);
    startHotKey();
}

bool AppDelegate::anotherInstanceIsRunning() const {
    // Run outside an application bundle there is nothing to compare with.
    const auto bundleIdentifier = platform::Bundle::mainBundle().bundleIdentifier();
    if (!bundleIdentifier) return false;
    const int self = platform::ProcessInfo::processInfo().processIdentifier();
    for (const auto& running :
         platform::RunningApplication::runningApplicationsWithBundleIdentifier(*bundleIdentifier)) {
        if (running.processIdentifier() != self) return true;
    }
    return false;
}

void AppDelegate::startHotKey() {
    // First use of the manager: its handler is installed here.
    HotKeyManager::shared().onTrigger = [] { AppearanceToggler::toggle(); };
    // The desktop's choice of keys is the shortcut from then on: the menu,
    // the recorder and the next start all show and ask for it.
    HotKeyManager::shared().onBindingChanged = [](const std::optional<HotKey>& inEffect) {
        if (inEffect) Settings::setHotKey(inEffect);
    };
    applyHotKey(Settings::hotKey(), false);
}

// --- Status item and menu ---------------------------------------------------

std::shared_ptr<platform::MenuItem> AppDelegate::addActionItem(platform::Menu& menu, std::string title,
                                                               std::string action) {
    auto item = std::make_shared<platform::MenuItem>(std::move(title), std::move(action), "");
    item->setTarget(weak_from_this());
    menu.addItem(item);
    return item;
}

std::shared_ptr<platform::Menu> AppDelegate::buildMenu() {
    auto menu = std::make_shared<platform::Menu>();
    menu->setAutoenablesItems(false);
    // The placeholder title never shows: the first opening replaces it.
    toggleItem = addActionItem(*menu, "Toggle Appearance", "toggleAppearance");
    hotKeyItem = addActionItem(*menu, "Set Hotkey…", "showRecorder");
    menu->addItem(platform::MenuItem::separatorItem());
    loginItem = std::make_shared<platform::MenuItem>("Launch at Login", "toggleLaunchAtLogin", "");
    loginItem->setTarget(weak_from_this());
    loginItem->setState(loginItemState());
    menu->addItem(loginItem);
    menu->addItem(platform::MenuItem::separatorItem());
    // No target: the action travels up the responder chain to the application.
    menu->addItem(std::make_shared<platform::MenuItem>("Quit Dusk", "terminate:", "q"));
    menu->setDelegate(weak_from_this());
    return menu;
}

void AppDelegate::refreshStatusIcon() {
    const auto button = statusItem->button();
    if (!button) return;
    const bool dark = AppearanceToggler::isDarkMode();
    const std::string_view change = dark ? "Switch to Light Mode" : "Switch to Dark Mode";
    auto image = platform::Image::imageWithSystemSymbolName(dark ? "moon.fill" : "sun.max.fill", change);
    if (image) image->setTemplate(true);
    button->setImage(std::move(image));
    button->setToolTip(dark ? "Dusk – switch to Light Mode" : "Dusk – switch to Dark Mode");
}

void AppDelegate::refreshMenuTitles() {
    toggleItem->setTitle(AppearanceToggler::isDarkMode() ? "Switch to Light Mode" : "Switch to Dark Mode");
    hotKeyItem->setTitle(hotKeyItemTitle());
    loginItem->setState(loginItemState());
}

void AppDelegate::menuWillOpen(platform::Menu&) { refreshMenuTitles(); }

void AppDelegate::appearanceDidChange() {
    // Never refresh inside the notification handler; the work keeps the
    // delegate alive until it has run.
    platform::MainQueue::async([self = shared_from_this()] { self->refreshStatusIcon(); });
}

void AppDelegate::toggleAppearance() { AppearanceToggler::toggle(); }

// --- Launch at login --------------------------------------------------------

void AppDelegate::toggleLaunchAtLogin() {
    auto& service = platform::AppService::mainAppService();
    const auto error = service.status() == platform::AppServiceStatus::Enabled ? service.unregisterAndReturnError()
                                                                               : service.registerAndReturnError();
    if (error) {
        auto alert = platform::Alert::alertWithError(*error);
        alert->setInformativeText(platform::AppService::requirement());
        runAlertInFront(*alert);
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
    if (manager.registerHotKey(*hotKey) || !showErrors) return;
    platform::Alert alert;
    alert.setAlertStyle(platform::AlertStyle::Warning);
    alert.setMessageText("Couldn't register " + hotKey->desktopDisplayString());
    alert.setInformativeText("Another app may already be using that shortcut. Try a different combination.");
    runAlertInFront(alert);
}

std::string AppDelegate::hotKeyItemTitle() const {
    const auto stored = Settings::hotKey();
    if (!stored) return "Set Hotkey…";
    const bool inEffect = HotKeyManager::shared().registered() == stored;
    return "Hotkey: " + stored->desktopDisplayString() + (inEffect ? "…" : " (not registered)…");
}

// --- Recorder window --------------------------------------------------------

void AppDelegate::showRecorder() {
    auto& app = platform::Application::sharedApplication();
    if (recorderWindow) {
        app.activateIgnoringOtherApps(true);
        recorderWindow->makeKeyAndOrderFront();
        return;
    }
    // Pressing the current shortcut must reach the recorder, not toggle.
    HotKeyManager::shared().unregister();
    auto [window, recorder] = buildRecorderWindow();
    recorderWindow = std::move(window);
    app.activateIgnoringOtherApps(true);
    recorderWindow->makeKeyAndOrderFront();
    // Focus at once, so the first key press is captured.
    recorderWindow->makeFirstResponder(recorder.get());
}

std::pair<std::shared_ptr<platform::Window>, std::shared_ptr<platform::View>> AppDelegate::buildRecorderWindow() {
    using namespace platform;
    auto window = std::make_shared<Window>(Rect{0, 0, 340, 170}, WindowStyleMask::titled | WindowStyleMask::closable,
                                           BackingStoreType::Buffered, false);
    window->setTitle("Dusk Hotkey");
    window->setReleasedWhenClosed(false);
    window->setLevel(WindowLevel::Floating);
    window->center();
    window->setDelegate(weak_from_this());

    auto prompt =
        makeLabel("Press the shortcut you want to use to toggle Light/Dark mode.", 12, Color::secondaryLabelColor());
    prompt->setAlignment(TextAlignment::Center);
    prompt->setMaximumNumberOfLines(2);
    prompt->setPreferredMaxLayoutWidth(300);

    auto recorder = std::make_shared<HotKeyRecorderView>(Rect{});
    recorder->setTranslatesAutoresizingMaskIntoConstraints(false);
    recorder->heightAnchor().constraintEqualToConstant(44).setActive(true);
    recorder->widthAnchor().constraintEqualToConstant(260).setActive(true);
    // Weak: the window's view tree must not keep the delegate alive.
    recorder->onRecord = [weak = weak_from_this()](HotKey hotKey) {
        Settings::setHotKey(hotKey);
        const auto self = weak.lock();
        if (!self) return;
        self->applyHotKey(hotKey, true);
        if (self->recorderWindow) self->recorderWindow->close();
    };
    recorder->onCancel = [weak = weak_from_this()] {
        const auto self = weak.lock();
        if (self && self->recorderWindow) self->recorderWindow->close();
    };

    const auto stored = Settings::hotKey();
    auto current = makeLabel(stored ? "Current: " + stored->desktopDisplayString() : "No hotkey set", 11,
                             Color::tertiaryLabelColor());

    auto clear = Button::buttonWithTitle("Clear Hotkey", weak_from_this(), "clearHotKey");
    clear->setBezelStyle(BezelStyle::Rounded);
    auto cancel = Button::buttonWithTitle("Cancel", weak_from_this(), "cancelRecorder");
    cancel->setBezelStyle(BezelStyle::Rounded);
    cancel->setKeyEquivalent("\x1b");

    auto buttons = StackView::stackViewWithViews({clear, cancel});
    buttons->setOrientation(UserInterfaceLayoutOrientation::Horizontal);
    buttons->setSpacing(8);

    auto stack = StackView::stackViewWithViews({prompt, recorder, current, buttons});
    stack->setOrientation(UserInterfaceLayoutOrientation::Vertical);
    stack->setAlignment(LayoutAttribute::CenterX);
    stack->setSpacing(10);
    stack->setEdgeInsets({16, 20, 16, 20});
    stack->setTranslatesAutoresizingMaskIntoConstraints(false);

    auto content = std::make_shared<View>();
    content->addSubview(stack);
    LayoutConstraint::activateConstraints({
        stack->topAnchor().constraintEqualToAnchor(content->topAnchor()),
        stack->bottomAnchor().constraintEqualToAnchor(content->bottomAnchor()),
        stack->leadingAnchor().constraintEqualToAnchor(content->leadingAnchor()),
        stack->trailingAnchor().constraintEqualToAnchor(content->trailingAnchor()),
    });
    window->setContentView(content);
    return {window, recorder};
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
    recorderWindow.reset();
    applyHotKey(Settings::hotKey(), false);
}

}  // namespace dusk
