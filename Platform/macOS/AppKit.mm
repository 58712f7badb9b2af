#include "platform/AppKit.h"

#include <utility>

#import "Bridge.h"

using platform::mac::toNSString;

@implementation DuskTarget {
    std::weak_ptr<platform::Responder> _responder;
    std::string _action;
}

- (instancetype)initWithResponder:(std::weak_ptr<platform::Responder>)responder action:(std::string)action {
    if ((self = [super init])) {
        _responder = std::move(responder);
        _action = std::move(action);
    }
    return self;
}

- (void)performAction:(id)sender {
    // The action may close the window that owns this target: nothing of self
    // is read once it has started.
    const std::string action = _action;
    if (const auto responder = _responder.lock()) {
        responder->perform(action);
        return;
    }
    // A responder that is gone leaves the action to the responder chain, as a
    // nil target would.
    [NSApp sendAction:NSSelectorFromString(toNSString(action)) to:nil from:sender];
}

@end

@interface DuskApplicationDelegate : NSObject <NSApplicationDelegate>
@property(nonatomic) std::weak_ptr<platform::ApplicationDelegate> delegate;
@end

@implementation DuskApplicationDelegate
- (void)applicationDidFinishLaunching:(NSNotification*)notification {
    if (const auto delegate = self.delegate.lock()) delegate->applicationDidFinishLaunching();
}
@end

@interface DuskMenuDelegate : NSObject <NSMenuDelegate>
@property(nonatomic) std::weak_ptr<platform::MenuDelegate> delegate;
@property(nonatomic) platform::Menu* menu;
@end

@implementation DuskMenuDelegate
- (void)menuWillOpen:(NSMenu*)menu {
    if (const auto delegate = self.delegate.lock()) delegate->menuWillOpen(*self.menu);
}
@end

namespace platform {

// The interface numbers these as AppKit does, and they are handed over as numbers.
static_assert(static_cast<NSInteger>(ActivationPolicy::Regular) == NSApplicationActivationPolicyRegular);
static_assert(static_cast<NSInteger>(ActivationPolicy::Accessory) == NSApplicationActivationPolicyAccessory);
static_assert(static_cast<NSInteger>(ActivationPolicy::Prohibited) == NSApplicationActivationPolicyProhibited);
static_assert(static_cast<NSUInteger>(AlertStyle::Warning) == NSAlertStyleWarning);
static_assert(static_cast<NSUInteger>(AlertStyle::Informational) == NSAlertStyleInformational);
static_assert(static_cast<NSUInteger>(AlertStyle::Critical) == NSAlertStyleCritical);

Application& Application::sharedApplication() {
    static Application application;
    // Makes NSApp, which every other call here reaches through.
    [NSApplication sharedApplication];
    return application;
}

void Application::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) {
    // NSApp holds its delegate weakly; this one lives as long as the process.
    static DuskApplicationDelegate* const adapter = [[DuskApplicationDelegate alloc] init];
    adapter.delegate = std::move(delegate);
    [NSApp setDelegate:adapter];
}

void Application::setActivationPolicy(ActivationPolicy policy) {
    [NSApp setActivationPolicy:static_cast<NSApplicationActivationPolicy>(policy)];
}

void Application::run() { [NSApp run]; }
void Application::terminate() { [NSApp terminate:nil]; }
void Application::activateIgnoringOtherApps(bool flag) { [NSApp activateIgnoringOtherApps:flag]; }

Image::Image(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Image::~Image() = default;

std::shared_ptr<Image> Image::imageWithSystemSymbolName(std::string_view name,
                                                        std::string_view accessibilityDescription) {
    NSImage* image = [NSImage imageWithSystemSymbolName:toNSString(name)
                               accessibilityDescription:toNSString(accessibilityDescription)];
    if (image == nil) return nullptr;
    return std::make_shared<Image>(std::make_unique<Impl>(Impl{image}));
}

void Image::setTemplate(bool isTemplate) { [impl_->image setTemplate:isTemplate]; }

StatusBarButton::StatusBarButton(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusBarButton::~StatusBarButton() = default;
void StatusBarButton::setImage(std::shared_ptr<Image> image) {
    [impl_->button setImage:image ? image->impl().image : nil];
}
void StatusBarButton::setToolTip(std::string_view toolTip) { [impl_->button setToolTip:toNSString(toolTip)]; }

StatusItem::StatusItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusItem::~StatusItem() = default;

std::shared_ptr<StatusBarButton> StatusItem::button() const {
    NSStatusBarButton* button = [impl_->item button];
    if (button == nil) return nullptr;
    return std::make_shared<StatusBarButton>(std::make_unique<StatusBarButton::Impl>(StatusBarButton::Impl{button}));
}

void StatusItem::setMenu(std::shared_ptr<Menu> menu) {
    [impl_->item setMenu:menu ? menu->impl().menu : nil];
    impl_->menu = std::move(menu);
}

StatusBar& StatusBar::systemStatusBar() {
    static StatusBar bar;
    return bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItemWithLength(double length) {
    NSStatusItem* item = [[NSStatusBar systemStatusBar] statusItemWithLength:length];
    return std::make_shared<StatusItem>(std::make_unique<StatusItem::Impl>(StatusItem::Impl{item, nullptr}));
}

MenuItem::MenuItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MenuItem::MenuItem(std::string title, std::string action, std::string keyEquivalent) : impl_(std::make_unique<Impl>()) {
    impl_->item = [[NSMenuItem alloc] initWithTitle:toNSString(title)
                                             action:NSSelectorFromString(toNSString(action))
                                      keyEquivalent:toNSString(keyEquivalent)];
    impl_->action = std::move(action);
}

MenuItem::~MenuItem() = default;

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
    return std::make_shared<MenuItem>(std::make_unique<Impl>(Impl{[NSMenuItem separatorItem], {}}));
}

void MenuItem::setTarget(std::weak_ptr<Responder> target) {
    // AppKit would send the named selector to an Objective-C object; a C++
    // responder is reached through the one method the target class has.
    impl_->target = [[DuskTarget alloc] initWithResponder:std::move(target) action:impl_->action];
    [impl_->item setTarget:impl_->target];
    [impl_->item setAction:@selector(performAction:)];
}

void MenuItem::setTitle(std::string_view title) { [impl_->item setTitle:toNSString(title)]; }
void MenuItem::setState(ControlStateValue state) {
    [impl_->item setState:state == ControlStateValue::On ? NSControlStateValueOn : NSControlStateValueOff];
}

Menu::Menu() : impl_(std::make_unique<Impl>(Impl{[[NSMenu alloc] init], {}})) {}
Menu::~Menu() = default;
void Menu::setAutoenablesItems(bool flag) { [impl_->menu setAutoenablesItems:flag]; }

void Menu::addItem(std::shared_ptr<MenuItem> item) {
    [impl_->menu addItem:item->impl().item];
    impl_->items.push_back(std::move(item));
}

void Menu::setDelegate(std::weak_ptr<MenuDelegate> delegate) {
    DuskMenuDelegate* adapter = [[DuskMenuDelegate alloc] init];
    adapter.delegate = std::move(delegate);
    adapter.menu = this;
    impl_->delegate = adapter;
    [impl_->menu setDelegate:adapter];
}

Alert::Alert() : impl_(std::make_unique<Impl>(Impl{[[NSAlert alloc] init]})) {}
Alert::~Alert() = default;

std::unique_ptr<Alert> Alert::alertWithError(const Error& error) {
    // The error's own description is what AppKit words the message from.
    NSError* nsError = [NSError errorWithDomain:toNSString(error.domain)
                                           code:static_cast<NSInteger>(error.code)
                                       userInfo:@{NSLocalizedDescriptionKey : toNSString(error.localizedDescription)}];
    auto alert = std::make_unique<Alert>();
    alert->impl_->alert = [NSAlert alertWithError:nsError];
    return alert;
}

void Alert::setAlertStyle(AlertStyle style) { [impl_->alert setAlertStyle:static_cast<NSAlertStyle>(style)]; }
void Alert::setMessageText(std::string_view text) { [impl_->alert setMessageText:toNSString(text)]; }
void Alert::setInformativeText(std::string_view text) { [impl_->alert setInformativeText:toNSString(text)]; }
void Alert::addButtonWithTitle(std::string_view title) { [impl_->alert addButtonWithTitle:toNSString(title)]; }
ModalResponse Alert::runModal() { return [impl_->alert runModal]; }

void Sound::beep() { NSBeep(); }

}  // namespace platform
