// Dusk's item in the menu bar: a template symbol and a menu whose items
// are always enabled.
#include "platform/StatusItem.h"

#import <AppKit/AppKit.h>

#include <utility>
#include <vector>

#import "Text.h"

using platform::mac::toNSString;

// The target of one menu item.
@interface DuskMenuAction : NSObject
- (instancetype)initWithAction:(std::function<void()>)action;
- (void)perform:(id)sender;
@end

@implementation DuskMenuAction {
    std::function<void()> _action;
}

- (instancetype)initWithAction:(std::function<void()>)action {
    if ((self = [super init])) _action = std::move(action);
    return self;
}

- (void)perform:(id)sender {
    // A copy: the action may end the status item that holds this target.
    if (const auto action = _action) action();
}

@end

@interface DuskMenuDelegate : NSObject <NSMenuDelegate>
- (void)setWillOpen:(std::function<void()>)willOpen;
@end

@implementation DuskMenuDelegate {
    std::function<void()> _willOpen;
}

- (void)setWillOpen:(std::function<void()>)willOpen {
    _willOpen = std::move(willOpen);
}

- (void)menuWillOpen:(NSMenu*)menu {
    if (const auto willOpen = _willOpen) willOpen();
}

@end

namespace platform {

struct StatusItem::Impl {
    // The status bar does not keep its items: this keeps it on screen.
    NSStatusItem* item = nil;
    NSMenu* menu = nil;
    // AppKit holds a menu's delegate and its items' targets weakly.
    DuskMenuDelegate* delegate = nil;
    std::vector<DuskMenuAction*> actions;
    // By ItemId.
    std::vector<NSMenuItem*> items;
};

StatusItem::StatusItem() : impl_(std::make_unique<Impl>()) {
    // As wide as the menu bar is high.
    impl_->item = [[NSStatusBar systemStatusBar] statusItemWithLength:NSSquareStatusItemLength];
    impl_->menu = [[NSMenu alloc] init];
    impl_->menu.autoenablesItems = NO;
    impl_->delegate = [[DuskMenuDelegate alloc] init];
    impl_->menu.delegate = impl_->delegate;
    impl_->item.menu = impl_->menu;
}

StatusItem::~StatusItem() { [[NSStatusBar systemStatusBar] removeStatusItem:impl_->item]; }

void StatusItem::setSymbol(Symbol symbol, std::string_view accessibilityDescription) {
    NSStatusBarButton* button = impl_->item.button;
    if (button == nil) return;
    NSImage* image = [NSImage imageWithSystemSymbolName:symbol == Symbol::Moon ? @"moon.fill" : @"sun.max.fill"
                               accessibilityDescription:toNSString(accessibilityDescription)];
    // The bar tints a template image to suit itself.
    [image setTemplate:YES];
    // No such symbol leaves the button without an image.
    button.image = image;
}

void StatusItem::setToolTip(std::string_view toolTip) { impl_->item.button.toolTip = toNSString(toolTip); }

StatusItem::ItemId StatusItem::addItem(std::string_view title, std::function<void()> action,
                                       std::string_view keyEquivalent) {
    DuskMenuAction* target = [[DuskMenuAction alloc] initWithAction:std::move(action)];
    // A key equivalent carries Command, AppKit's default modifier.
    NSMenuItem* item = [[NSMenuItem alloc] initWithTitle:toNSString(title)
                                                  action:@selector(perform:)
                                           keyEquivalent:toNSString(keyEquivalent)];
    item.target = target;
    [impl_->menu addItem:item];
    impl_->actions.push_back(target);
    impl_->items.push_back(item);
    return static_cast<ItemId>(impl_->items.size() - 1);
}

void StatusItem::addSeparator() { [impl_->menu addItem:[NSMenuItem separatorItem]]; }

void StatusItem::setTitle(ItemId item, std::string_view title) {
    impl_->items.at(static_cast<std::size_t>(item)).title = toNSString(title);
}

void StatusItem::setChecked(ItemId item, bool checked) {
    impl_->items.at(static_cast<std::size_t>(item)).state = checked ? NSControlStateValueOn : NSControlStateValueOff;
}

void StatusItem::onMenuWillOpen(std::function<void()> willOpen) { [impl_->delegate setWillOpen:std::move(willOpen)]; }

}  // namespace platform
