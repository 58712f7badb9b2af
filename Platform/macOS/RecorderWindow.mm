// The recorder window: a small floating window with a prompt, the recorder
// box, the shortcut in effect and two buttons, laid out by a stack view.
#include "platform/RecorderWindow.h"

#import <AppKit/AppKit.h>

#import "Activation.h"
#import "RecorderBox.h"
#import "Text.h"

using platform::RecorderWindow;
using platform::mac::report;
using platform::mac::toNSString;

// Key events carry AppKit's modifier flags, which Dusk keeps as they are.
static_assert(platform::Modifier::shift == NSEventModifierFlagShift);
static_assert(platform::Modifier::control == NSEventModifierFlagControl);
static_assert(platform::Modifier::option == NSEventModifierFlagOption);
static_assert(platform::Modifier::command == NSEventModifierFlagCommand);

// The window's delegate and its buttons' target.
@interface DuskRecorderController : NSObject <NSWindowDelegate>
@property(nonatomic) RecorderWindow* owner;
// Between show and the first windowWillClose: AppKit tells of every close
// request, and the owner hears of one.
@property(nonatomic) BOOL open;
- (void)clear:(id)sender;
- (void)cancel:(id)sender;
@end

@implementation DuskRecorderController

- (void)clear:(id)sender {
    report(self.owner, &RecorderWindow::onClear);
}

- (void)cancel:(id)sender {
    report(self.owner, &RecorderWindow::onCancel);
}

- (void)windowWillClose:(NSNotification*)notification {
    if (!self.open) return;
    self.open = NO;
    report(self.owner, &RecorderWindow::onClosed);
}

@end

namespace {

NSTextField* label(const std::string& text, CGFloat pointSize, NSColor* color) {
    NSTextField* made = [NSTextField labelWithString:toNSString(text)];
    made.font = [NSFont systemFontOfSize:pointSize];
    made.textColor = color;
    return made;
}

NSButton* button(const std::string& title, DuskRecorderController* target, SEL action) {
    NSButton* made = [NSButton buttonWithTitle:toNSString(title) target:target action:action];
    made.bezelStyle = NSBezelStyleRounded;
    return made;
}

}  // namespace

namespace platform {

struct RecorderWindow::Impl {
    NSWindow* window = nil;
    DuskRecorderBox* box = nil;
    // The window holds its delegate, and the buttons their target, weakly.
    DuskRecorderController* controller = nil;
};

RecorderWindow::RecorderWindow(const Content& content) : impl_(std::make_unique<Impl>()) {
    impl_->controller = [[DuskRecorderController alloc] init];
    impl_->controller.owner = this;

    NSWindow* window = [[NSWindow alloc] initWithContentRect:NSMakeRect(0, 0, 340, 170)
                                                   styleMask:NSWindowStyleMaskTitled | NSWindowStyleMaskClosable
                                                     backing:NSBackingStoreBuffered
                                                       defer:NO];
    window.title = toNSString(content.title);
    // This object owns the window; AppKit must not release it as it closes.
    window.releasedWhenClosed = NO;
    window.level = NSFloatingWindowLevel;
    [window center];
    window.delegate = impl_->controller;
    impl_->window = window;

    NSTextField* prompt = label(content.prompt, 12, NSColor.secondaryLabelColor);
    prompt.alignment = NSTextAlignmentCenter;
    prompt.maximumNumberOfLines = 2;
    prompt.preferredMaxLayoutWidth = 300;

    DuskRecorderBox* box = [[DuskRecorderBox alloc] initWithFrame:NSZeroRect];
    box.translatesAutoresizingMaskIntoConstraints = NO;
    [box.heightAnchor constraintEqualToConstant:44].active = YES;
    [box.widthAnchor constraintEqualToConstant:260].active = YES;
    box.owner = this;
    [box setText:toNSString(content.recorderText)];
    impl_->box = box;

    NSTextField* current = label(content.current, 11, NSColor.tertiaryLabelColor);

    NSButton* clear = button(content.clearButton, impl_->controller, @selector(clear:));
    NSButton* cancel = button(content.cancelButton, impl_->controller, @selector(cancel:));
    cancel.keyEquivalent = @"\033";

    NSStackView* buttons = [NSStackView stackViewWithViews:@[ clear, cancel ]];
    buttons.orientation = NSUserInterfaceLayoutOrientationHorizontal;
    buttons.spacing = 8;

    NSStackView* stack = [NSStackView stackViewWithViews:@[ prompt, box, current, buttons ]];
    stack.orientation = NSUserInterfaceLayoutOrientationVertical;
    stack.alignment = NSLayoutAttributeCenterX;
    stack.spacing = 10;
    stack.edgeInsets = NSEdgeInsetsMake(16, 20, 16, 20);
    stack.translatesAutoresizingMaskIntoConstraints = NO;

    NSView* contentView = [[NSView alloc] init];
    [contentView addSubview:stack];
    [NSLayoutConstraint activateConstraints:@[
        [stack.topAnchor constraintEqualToAnchor:contentView.topAnchor],
        [stack.bottomAnchor constraintEqualToAnchor:contentView.bottomAnchor],
        [stack.leadingAnchor constraintEqualToAnchor:contentView.leadingAnchor],
        [stack.trailingAnchor constraintEqualToAnchor:contentView.trailingAnchor],
    ]];
    window.contentView = contentView;
}

RecorderWindow::~RecorderWindow() {
    // Nobody is left to tell: the window only goes from the screen.
    impl_->controller.owner = nullptr;
    impl_->box.owner = nullptr;
    impl_->window.delegate = nil;
    [impl_->window orderOut:nil];
}

void RecorderWindow::show() {
    impl_->controller.open = YES;
    platform::mac::comeToFront();
    [impl_->window makeKeyAndOrderFront:nil];
    // The first key press is the box's at once.
    [impl_->window makeFirstResponder:impl_->box];
}

void RecorderWindow::bringToFront() {
    platform::mac::comeToFront();
    [impl_->window makeKeyAndOrderFront:nil];
}

void RecorderWindow::close() { [impl_->window close]; }

void RecorderWindow::setRecorderText(std::string_view text) { [impl_->box setText:toNSString(text)]; }

bool RecorderWindow::recorderIsFocused() const { return impl_->box.hasKeyboard; }

}  // namespace platform
