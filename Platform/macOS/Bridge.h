// What the backend's Objective-C++ files share: the platform objects behind
// each pimpl, the small Objective-C classes that carry AppKit's callbacks
// back into C++, and text conversion. Never included by the portable core.
#pragma once

#import <AppKit/AppKit.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AppKit.h"
#include "platform/Foundation.h"
#include "platform/Views.h"

namespace platform::mac {

// Text that is not UTF-8 becomes empty rather than nil, which AppKit setters
// and collection literals would not take.
inline NSString* toNSString(std::string_view text) {
    NSString* string = [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
    return string != nil ? string : @"";
}

inline std::string toString(NSString* text) {
    const char* utf8 = text.UTF8String;
    return utf8 != nullptr ? std::string(utf8) : std::string();
}

NSColor* toNSColor(Color color);

}  // namespace platform::mac

// The one target of every menu item, button and notification observer that
// names a C++ responder: AppKit's targets are weak, so whoever hands out the
// action keeps this object, and it keeps only a weak hold on the responder.
@interface DuskTarget : NSObject
- (instancetype)initWithResponder:(std::weak_ptr<platform::Responder>)responder action:(std::string)action;
- (void)performAction:(id)sender;
@end

// Every C++ platform::View of its own kind (not a label, button or stack)
// is one of these; the C++ view is reached through a pointer it clears when
// it goes away before AppKit lets go of this object.
@interface DuskView : NSView
@property(nonatomic) platform::View* owner;
@end

// Lets a view find the C++ window that holds its NSWindow.
@interface DuskWindow : NSWindow
@property(nonatomic) platform::Window* owner;
// AppKit tells a view it is about to become first responder before the
// window names it; Dusk's views expect to see themselves named when told.
@property(nonatomic, weak) NSResponder* becomingFirstResponder;
@end

namespace platform {

struct Image::Impl {
    NSImage* image;
};

struct StatusBarButton::Impl {
    NSStatusBarButton* button;
};

struct StatusItem::Impl {
    // The status bar does not keep its items: this is what keeps it on screen.
    NSStatusItem* item;
    std::shared_ptr<Menu> menu;
};

struct MenuItem::Impl {
    NSMenuItem* item;
    std::string action;
    DuskTarget* target = nil;
};

struct Menu::Impl {
    NSMenu* menu;
    // Items keep their targets alive; AppKit holds those only weakly.
    std::vector<std::shared_ptr<MenuItem>> items;
    id<NSMenuDelegate> delegate = nil;
};

struct Alert::Impl {
    NSAlert* alert;
};

struct Layer::Impl {
    CALayer* layer;
};

struct View::Impl {
    NSView* view;
    // AppKit keeps the NSView tree; the C++ objects of that tree live here.
    std::vector<std::shared_ptr<View>> subviews;
    DuskTarget* target = nil;
};

struct Window::Impl {
    DuskWindow* window;
    std::shared_ptr<View> contentView;
    id<NSWindowDelegate> delegate = nil;
};

}  // namespace platform
