#include "platform/Views.h"

#import <AppKit/AppKit.h>
#import <QuartzCore/QuartzCore.h>

#include <utility>

#import "Bridge.h"

using platform::mac::toNSString;

namespace {

platform::Event toEvent(NSEvent* event, bool isKeyEvent) {
    // AppKit raises when a mouse event is asked for its key code.
    return {isKeyEvent ? [event keyCode] : std::uint16_t{0}, [event modifierFlags]};
}

}  // namespace

@implementation DuskView

// Each hook runs on a strong hold of the C++ view: what it does may close the
// window whose view tree owns it.
- (std::shared_ptr<platform::View>)heldOwner {
    return self.owner != nullptr ? self.owner->weak_from_this().lock() : nullptr;
}

- (BOOL)acceptsFirstResponder {
    return self.owner != nullptr && self.owner->acceptsFirstResponder();
}

- (BOOL)becomeFirstResponder {
    const auto owner = [self heldOwner];
    if (!owner) return [super becomeFirstResponder];
    DuskWindow* window =
        [[self window] isKindOfClass:[DuskWindow class]] ? static_cast<DuskWindow*>([self window]) : nil;
    [window setBecomingFirstResponder:self];
    const bool became = owner->becomeFirstResponder();
    [window setBecomingFirstResponder:nil];
    return became;
}

- (BOOL)resignFirstResponder {
    const auto owner = [self heldOwner];
    return owner ? owner->resignFirstResponder() : [super resignFirstResponder];
}

- (void)mouseDown:(NSEvent*)event {
    if (const auto owner = [self heldOwner]) owner->mouseDown(toEvent(event, false));
}

- (void)flagsChanged:(NSEvent*)event {
    if (const auto owner = [self heldOwner]) owner->flagsChanged(toEvent(event, true));
}

- (void)keyDown:(NSEvent*)event {
    if (const auto owner = [self heldOwner]) owner->keyDown(toEvent(event, true));
}

// The C++ view draws only through its layer's properties.
- (BOOL)wantsUpdateLayer {
    return YES;
}

- (void)updateLayer {
    if (const auto owner = [self heldOwner]) owner->updateLayer();
}

@end

@implementation DuskWindow
@end

@interface DuskWindowDelegate : NSObject <NSWindowDelegate>
@property(nonatomic) std::weak_ptr<platform::WindowDelegate> delegate;
@end

@implementation DuskWindowDelegate
- (void)windowWillClose:(NSNotification*)notification {
    if (const auto delegate = self.delegate.lock()) delegate->windowWillClose();
}
@end

namespace platform {

// The interface numbers these as AppKit does, and they are handed over as numbers.
static_assert(static_cast<NSInteger>(LayoutAttribute::Top) == NSLayoutAttributeTop);
static_assert(static_cast<NSInteger>(LayoutAttribute::Bottom) == NSLayoutAttributeBottom);
static_assert(static_cast<NSInteger>(LayoutAttribute::Leading) == NSLayoutAttributeLeading);
static_assert(static_cast<NSInteger>(LayoutAttribute::Trailing) == NSLayoutAttributeTrailing);
static_assert(static_cast<NSInteger>(LayoutAttribute::Width) == NSLayoutAttributeWidth);
static_assert(static_cast<NSInteger>(LayoutAttribute::Height) == NSLayoutAttributeHeight);
static_assert(static_cast<NSInteger>(LayoutAttribute::CenterX) == NSLayoutAttributeCenterX);
static_assert(static_cast<NSInteger>(LayoutAttribute::CenterY) == NSLayoutAttributeCenterY);
static_assert(static_cast<NSUInteger>(BezelStyle::Rounded) == NSBezelStyleRounded);
static_assert(static_cast<NSInteger>(UserInterfaceLayoutOrientation::Horizontal) ==
              NSUserInterfaceLayoutOrientationHorizontal);
static_assert(static_cast<NSInteger>(UserInterfaceLayoutOrientation::Vertical) ==
              NSUserInterfaceLayoutOrientationVertical);
static_assert(WindowStyleMask::titled == NSWindowStyleMaskTitled);
static_assert(WindowStyleMask::closable == NSWindowStyleMaskClosable);
static_assert(WindowStyleMask::miniaturizable == NSWindowStyleMaskMiniaturizable);
static_assert(WindowStyleMask::resizable == NSWindowStyleMaskResizable);
static_assert(static_cast<NSUInteger>(BackingStoreType::Buffered) == NSBackingStoreBuffered);

NSColor* mac::toNSColor(Color color) {
    switch (color.name()) {
        case SystemColor::ControlBackground:
            return [NSColor controlBackgroundColor];
        case SystemColor::ControlAccent:
            return [NSColor controlAccentColor];
        case SystemColor::Separator:
            return [NSColor separatorColor];
        case SystemColor::SecondaryLabel:
            return [NSColor secondaryLabelColor];
        case SystemColor::TertiaryLabel:
            return [NSColor tertiaryLabelColor];
    }
    return [NSColor controlBackgroundColor];
}

namespace {

NSLayoutAnchor* toAnchor(const LayoutAnchor& anchor) {
    NSView* view = anchor.view->impl().view;
    switch (anchor.attribute) {
        case LayoutAttribute::Top:
            return [view topAnchor];
        case LayoutAttribute::Bottom:
            return [view bottomAnchor];
        case LayoutAttribute::Leading:
            return [view leadingAnchor];
        case LayoutAttribute::Trailing:
            return [view trailingAnchor];
        case LayoutAttribute::Width:
            return [view widthAnchor];
        case LayoutAttribute::Height:
            return [view heightAnchor];
        case LayoutAttribute::CenterX:
            return [view centerXAnchor];
        case LayoutAttribute::CenterY:
            return [view centerYAnchor];
    }
    return nil;
}

// None for a constant on an anchor that has no size: AppKit cannot say that.
NSLayoutConstraint* toNSLayoutConstraint(const LayoutConstraint& constraint) {
    NSLayoutAnchor* first = toAnchor(constraint.first);
    if (constraint.second) {
        NSLayoutConstraint* made = [first constraintEqualToAnchor:toAnchor(*constraint.second)];
        [made setConstant:constraint.constant];
        return made;
    }
    if (![first isKindOfClass:[NSLayoutDimension class]]) return nil;
    return [static_cast<NSLayoutDimension*>(first) constraintEqualToConstant:constraint.constant];
}

std::unique_ptr<View::Impl> viewImpl(NSView* view, DuskTarget* target = nil) {
    return std::make_unique<View::Impl>(View::Impl{view, {}, target});
}

NSTextAlignment toNSTextAlignment(TextAlignment alignment) {
    // The numbers differ between Intel and Apple silicon: only the names are safe.
    switch (alignment) {
        case TextAlignment::Natural:
            return NSTextAlignmentNatural;
        case TextAlignment::Left:
            return NSTextAlignmentLeft;
        case TextAlignment::Center:
            return NSTextAlignmentCenter;
        case TextAlignment::Right:
            return NSTextAlignmentRight;
    }
    return NSTextAlignmentNatural;
}

}  // namespace

void LayoutConstraint::setActive(bool active) const { [toNSLayoutConstraint(*this) setActive:active]; }

void LayoutConstraint::activateConstraints(const std::vector<LayoutConstraint>& constraints) {
    NSMutableArray<NSLayoutConstraint*>* made = [NSMutableArray array];
    for (const auto& constraint : constraints) {
        if (NSLayoutConstraint* one = toNSLayoutConstraint(constraint)) [made addObject:one];
    }
    [NSLayoutConstraint activateConstraints:made];
}

Layer::Layer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Layer::~Layer() = default;
void Layer::setCornerRadius(double radius) { [impl_->layer setCornerRadius:radius]; }
void Layer::setBorderWidth(double width) { [impl_->layer setBorderWidth:width]; }
// CGColor resolves the named colour in the appearance being drawn now.
void Layer::setBackgroundColor(Color color) { [impl_->layer setBackgroundColor:[mac::toNSColor(color) CGColor]]; }
void Layer::setBorderColor(Color color) { [impl_->layer setBorderColor:[mac::toNSColor(color) CGColor]]; }

View::View() : impl_(viewImpl([[DuskView alloc] init])) { [static_cast<DuskView*>(impl_->view) setOwner:this]; }

View::View(Rect frame)
    : impl_(viewImpl([[DuskView alloc] initWithFrame:NSMakeRect(frame.x, frame.y, frame.width, frame.height)])) {
    [static_cast<DuskView*>(impl_->view) setOwner:this];
}

View::View(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

View::~View() {
    // AppKit may keep the NSView a little longer than this object lives.
    if ([impl_->view isKindOfClass:[DuskView class]]) [static_cast<DuskView*>(impl_->view) setOwner:nullptr];
}

void View::setWantsLayer(bool wantsLayer) { [impl_->view setWantsLayer:wantsLayer]; }

std::shared_ptr<Layer> View::layer() const {
    CALayer* layer = [impl_->view layer];
    if (layer == nil) return nullptr;
    return std::make_shared<Layer>(std::make_unique<Layer::Impl>(Layer::Impl{layer}));
}

void View::addSubview(std::shared_ptr<View> view) {
    [impl_->view addSubview:view->impl().view];
    impl_->subviews.push_back(std::move(view));
}

void View::setNeedsDisplay(bool flag) { [impl_->view setNeedsDisplay:flag]; }

std::shared_ptr<Window> View::window() const {
    NSWindow* window = [impl_->view window];
    if (![window isKindOfClass:[DuskWindow class]]) return nullptr;
    Window* owner = [static_cast<DuskWindow*>(window) owner];
    return owner != nullptr ? owner->weak_from_this().lock() : nullptr;
}

void View::setTranslatesAutoresizingMaskIntoConstraints(bool flag) {
    [impl_->view setTranslatesAutoresizingMaskIntoConstraints:flag];
}

std::shared_ptr<TextField> TextField::labelWithString(std::string_view text) {
    return std::make_shared<TextField>(viewImpl([NSTextField labelWithString:toNSString(text)]));
}

namespace {
NSTextField* textField(const View& view) { return static_cast<NSTextField*>(view.impl().view); }
NSButton* button(const View& view) { return static_cast<NSButton*>(view.impl().view); }
NSStackView* stackView(const View& view) { return static_cast<NSStackView*>(view.impl().view); }
}  // namespace

void TextField::setStringValue(std::string_view text) { [textField(*this) setStringValue:toNSString(text)]; }
void TextField::setAlignment(TextAlignment alignment) { [textField(*this) setAlignment:toNSTextAlignment(alignment)]; }
void TextField::setMaximumNumberOfLines(int lines) { [textField(*this) setMaximumNumberOfLines:lines]; }
void TextField::setPreferredMaxLayoutWidth(double width) { [textField(*this) setPreferredMaxLayoutWidth:width]; }

void TextField::setFont(Font font) {
    [textField(*this) setFont:font.weight == FontWeight::Medium ? [NSFont systemFontOfSize:font.pointSize
                                                                                    weight:NSFontWeightMedium]
                                                                : [NSFont systemFontOfSize:font.pointSize]];
}

void TextField::setTextColor(Color color) { [textField(*this) setTextColor:mac::toNSColor(color)]; }

std::shared_ptr<Button> Button::buttonWithTitle(std::string_view title, std::weak_ptr<Responder> target,
                                                std::string action) {
    // The button holds its target weakly: the view keeps it.
    DuskTarget* dusk = [[DuskTarget alloc] initWithResponder:std::move(target) action:std::move(action)];
    return std::make_shared<Button>(
        viewImpl([NSButton buttonWithTitle:toNSString(title) target:dusk action:@selector(performAction:)], dusk));
}

void Button::setBezelStyle(BezelStyle style) { [button(*this) setBezelStyle:static_cast<NSBezelStyle>(style)]; }
void Button::setKeyEquivalent(std::string_view key) { [button(*this) setKeyEquivalent:toNSString(key)]; }

std::shared_ptr<StackView> StackView::stackViewWithViews(std::vector<std::shared_ptr<View>> views) {
    NSMutableArray<NSView*>* arranged = [NSMutableArray array];
    for (const auto& view : views) [arranged addObject:view->impl().view];
    auto stack = std::make_shared<StackView>(viewImpl([NSStackView stackViewWithViews:arranged]));
    stack->impl().subviews = std::move(views);
    return stack;
}

void StackView::setOrientation(UserInterfaceLayoutOrientation orientation) {
    [stackView(*this) setOrientation:static_cast<NSUserInterfaceLayoutOrientation>(orientation)];
}
void StackView::setAlignment(LayoutAttribute alignment) {
    [stackView(*this) setAlignment:static_cast<NSLayoutAttribute>(alignment)];
}
void StackView::setSpacing(double spacing) { [stackView(*this) setSpacing:spacing]; }
void StackView::setEdgeInsets(EdgeInsets insets) {
    [stackView(*this) setEdgeInsets:NSEdgeInsetsMake(insets.top, insets.left, insets.bottom, insets.right)];
}

Window::Window(Rect contentRect, std::uint64_t styleMask, BackingStoreType backing, bool defer)
    : impl_(std::make_unique<Impl>(
          Impl{[[DuskWindow alloc]
                   initWithContentRect:NSMakeRect(contentRect.x, contentRect.y, contentRect.width, contentRect.height)
                             styleMask:static_cast<NSWindowStyleMask>(styleMask)
                               backing:static_cast<NSBackingStoreType>(backing)
                                 defer:defer],
               nullptr})) {
    [impl_->window setOwner:this];
}

Window::~Window() {
    [impl_->window setOwner:nullptr];
    // AppKit may still be dispatching the event that closed this window: it
    // goes when that event's autorelease pool drains, as a window released
    // when closed would.
    __autoreleasing NSWindow* releasedAfterThisEvent = impl_->window;
    (void)releasedAfterThisEvent;
}

void Window::setTitle(std::string_view title) { [impl_->window setTitle:toNSString(title)]; }
void Window::setReleasedWhenClosed(bool flag) { [impl_->window setReleasedWhenClosed:flag]; }

void Window::setLevel(WindowLevel level) {
    [impl_->window setLevel:level == WindowLevel::Floating ? NSFloatingWindowLevel : NSNormalWindowLevel];
}

void Window::center() { [impl_->window center]; }

void Window::setDelegate(std::weak_ptr<WindowDelegate> delegate) {
    // The window holds its delegate weakly: this object keeps the adapter.
    DuskWindowDelegate* adapter = [[DuskWindowDelegate alloc] init];
    adapter.delegate = std::move(delegate);
    impl_->delegate = adapter;
    [impl_->window setDelegate:adapter];
}

void Window::setContentView(std::shared_ptr<View> view) {
    [impl_->window setContentView:view->impl().view];
    impl_->contentView = std::move(view);
}

void Window::makeKeyAndOrderFront() { [impl_->window makeKeyAndOrderFront:nil]; }

bool Window::makeFirstResponder(View* view) {
    return [impl_->window makeFirstResponder:view != nullptr ? view->impl().view : nil];
}

View* Window::firstResponder() const {
    NSResponder* becoming = [impl_->window becomingFirstResponder];
    NSResponder* responder = becoming != nil ? becoming : [impl_->window firstResponder];
    return [responder isKindOfClass:[DuskView class]] ? [static_cast<DuskView*>(responder) owner] : nullptr;
}

void Window::close() {
    // The delegate may let go of this window while it is being closed.
    const auto keepAlive = weak_from_this().lock();
    [impl_->window close];
}

}  // namespace platform
