#include <utility>

#include "State.h"

namespace platform {

using fake::desktop;

Application& Application::sharedApplication() {
    static Application application;
    return application;
}

void Application::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
    desktop().appDelegate = std::move(delegate);
}

void Application::setActivationPolicy(ActivationPolicy policy) { desktop().activationPolicy = policy; }

void Application::run() {
    // No user is at this desktop: launching finishes, queued work runs, and
    // the loop ends for want of events.
    fake::finishLaunching();
    fake::drainMainQueue();
}

void Application::terminate() { desktop().terminated = true; }

void Application::activateIgnoringOtherApps(bool) { desktop().active = true; }

Image::Image(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Image::~Image() = default;

std::shared_ptr<Image> Image::imageWithSystemSymbolName(std::string_view name,
                                                        std::string_view accessibilityDescription) {
    if (desktop().missingImages.contains(name)) return nullptr;
    return std::make_shared<Image>(
        std::make_unique<Impl>(Impl{std::string(name), std::string(accessibilityDescription), false}));
}

void Image::setTemplate(bool isTemplate) { impl_->isTemplate = isTemplate; }

StatusBarButton::StatusBarButton(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusBarButton::~StatusBarButton() = default;
void StatusBarButton::setImage(std::shared_ptr<Image> image) { impl_->image = std::move(image); }
void StatusBarButton::setToolTip(std::string_view toolTip) { impl_->toolTip = toolTip; }

StatusItem::StatusItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusItem::~StatusItem() = default;
std::shared_ptr<StatusBarButton> StatusItem::button() const { return impl_->button; }
void StatusItem::setMenu(std::shared_ptr<Menu> menu) { impl_->menu = std::move(menu); }

StatusBar& StatusBar::systemStatusBar() {
    static StatusBar bar;
    return bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItemWithLength(double length) {
    auto impl = std::make_unique<StatusItem::Impl>();
    impl->length = length;
    if (desktop().statusItemsHaveButtons) {
        impl->button = std::make_shared<StatusBarButton>(std::make_unique<StatusBarButton::Impl>());
    }
    auto item = std::make_shared<StatusItem>(std::move(impl));
    desktop().statusItems.push_back(item);
    return item;
}

MenuItem::MenuItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MenuItem::MenuItem(std::string title, std::string action, std::string keyEquivalent) : impl_(std::make_unique<Impl>()) {
    impl_->title = std::move(title);
    impl_->action = std::move(action);
    impl_->keyEquivalent = std::move(keyEquivalent);
}

MenuItem::~MenuItem() = default;

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
    auto impl = std::make_unique<Impl>();
    impl->isSeparator = true;
    return std::make_shared<MenuItem>(std::move(impl));
}

void MenuItem::setTarget(std::weak_ptr<Responder> target) {
    impl_->hasTarget = true;
    impl_->target = std::move(target);
}

void MenuItem::setTitle(std::string_view title) { impl_->title = title; }
void MenuItem::setState(ControlStateValue state) { impl_->state = state; }

Menu::Menu() : impl_(std::make_unique<Impl>()) {}
Menu::~Menu() = default;
void Menu::setAutoenablesItems(bool flag) { impl_->autoenablesItems = flag; }
void Menu::addItem(std::shared_ptr<MenuItem> item) { impl_->items.push_back(std::move(item)); }
void Menu::setDelegate(std::weak_ptr<MenuDelegate> delegate) { impl_->delegate = std::move(delegate); }

Alert::Alert() : impl_(std::make_unique<Impl>()) {}
Alert::~Alert() = default;

std::unique_ptr<Alert> Alert::alertWithError(const Error& error) {
    auto alert = std::make_unique<Alert>();
    alert->impl_->madeFromError = true;
    alert->impl_->messageText = error.localizedDescription;
    return alert;
}

void Alert::setAlertStyle(AlertStyle style) { impl_->style = style; }
void Alert::setMessageText(std::string_view text) { impl_->messageText = text; }
void Alert::setInformativeText(std::string_view text) { impl_->informativeText = text; }
void Alert::addButtonWithTitle(std::string_view title) { impl_->buttons.emplace_back(title); }

ModalResponse Alert::runModal() {
    auto& state = desktop();
    ModalResponse response = alertFirstButtonReturn;
    if (!state.alertAnswers.empty()) {
        response = state.alertAnswers.front();
        state.alertAnswers.pop_front();
    }
    std::vector<std::string> titles;
    for (const auto& window : fake::openWindows()) titles.push_back(window->impl().title);
    state.alerts.push_back({*impl_, state.active, std::move(titles), response});
    if (!state.whileAlertShown.empty()) {
        const auto action = std::move(state.whileAlertShown.front());
        state.whileAlertShown.pop_front();
        action();
    }
    return response;
}

void Sound::beep() { ++desktop().beeps; }

AppService& AppService::mainAppService() {
    static AppService service;
    return service;
}

AppServiceStatus AppService::status() const { return desktop().loginStatus; }

namespace {
std::optional<Error> applyLoginOutcome(const fake::LoginOutcome& outcome, AppServiceStatus natural) {
    if (outcome.error) return outcome.error;
    desktop().loginStatus = outcome.statusAfter.value_or(natural);
    return std::nullopt;
}
}  // namespace

std::optional<Error> AppService::registerAndReturnError() {
    ++desktop().loginRegisterCalls;
    return applyLoginOutcome(desktop().registerOutcome, AppServiceStatus::Enabled);
}

std::optional<Error> AppService::unregisterAndReturnError() {
    ++desktop().loginUnregisterCalls;
    return applyLoginOutcome(desktop().unregisterOutcome, AppServiceStatus::NotRegistered);
}

// The fake plays the Mac, where the login item belongs to the app bundle.
std::string_view AppService::requirement() {
    return "Launch at Login only works when Dusk is run from the built Dusk.app bundle.";
}

}  // namespace platform
