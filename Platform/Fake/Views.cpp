#include <utility>

#include "State.h"

namespace platform {

using fake::appearanceIsDark;
using fake::desktop;

namespace {
std::unique_ptr<View::Impl> viewImpl(ViewKind kind) {
    auto impl = std::make_unique<View::Impl>();
    impl->kind = kind;
    return impl;
}
}  // namespace

void LayoutConstraint::setActive(bool active) const { desktop().constraints.push_back({*this, active}); }

void LayoutConstraint::activateConstraints(const std::vector<LayoutConstraint>& constraints) {
    for (const auto& constraint : constraints) constraint.setActive(true);
}

Layer::Layer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Layer::~Layer() = default;
void Layer::setCornerRadius(double radius) { impl_->cornerRadius = radius; }
void Layer::setBorderWidth(double width) { impl_->borderWidth = width; }
void Layer::setBackgroundColor(Color color) {
    impl_->backgroundColor = ResolvedColor{color.name(), appearanceIsDark()};
}
void Layer::setBorderColor(Color color) { impl_->borderColor = ResolvedColor{color.name(), appearanceIsDark()}; }

View::View() : View(Rect{}) {}
View::View(Rect frame) : impl_(viewImpl(ViewKind::Plain)) { impl_->frame = frame; }
View::View(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
View::~View() = default;

void View::setWantsLayer(bool wantsLayer) {
    if (!wantsLayer) {
        impl_->layer.reset();
    } else if (!impl_->layer) {
        impl_->layer = std::make_shared<Layer>(std::make_unique<Layer::Impl>());
    }
}

std::shared_ptr<Layer> View::layer() const { return impl_->layer; }

void View::addSubview(std::shared_ptr<View> view) {
    view->impl_->superview = this;
    impl_->subviews.push_back(std::move(view));
}

void View::setNeedsDisplay(bool flag) { impl_->needsDisplay = flag; }

std::shared_ptr<Window> View::window() const {
    if (auto window = impl_->window.lock()) return window;
    return impl_->superview != nullptr ? impl_->superview->window() : nullptr;
}

void View::setTranslatesAutoresizingMaskIntoConstraints(bool flag) {
    impl_->translatesAutoresizingMaskIntoConstraints = flag;
}

std::shared_ptr<TextField> TextField::labelWithString(std::string_view text) {
    auto impl = viewImpl(ViewKind::Label);
    impl->text = text;
    return std::make_shared<TextField>(std::move(impl));
}

void TextField::setStringValue(std::string_view text) { impl().text = text; }
void TextField::setAlignment(TextAlignment alignment) { impl().alignment = alignment; }
void TextField::setMaximumNumberOfLines(int lines) { impl().maximumNumberOfLines = lines; }
void TextField::setPreferredMaxLayoutWidth(double width) { impl().preferredMaxLayoutWidth = width; }
void TextField::setFont(Font font) { impl().font = font; }
void TextField::setTextColor(Color color) { impl().textColor = color; }

std::shared_ptr<Button> Button::buttonWithTitle(std::string_view title, std::weak_ptr<Responder> target,
                                                std::string action) {
    auto impl = viewImpl(ViewKind::Button);
    impl->text = title;
    impl->target = std::move(target);
    impl->action = std::move(action);
    return std::make_shared<Button>(std::move(impl));
}

void Button::setBezelStyle(BezelStyle style) { impl().bezelStyle = style; }
void Button::setKeyEquivalent(std::string_view key) { impl().keyEquivalent = key; }

std::shared_ptr<StackView> StackView::stackViewWithViews(std::vector<std::shared_ptr<View>> views) {
    auto stack = std::make_shared<StackView>(viewImpl(ViewKind::Stack));
    for (auto& view : views) stack->addSubview(std::move(view));
    return stack;
}

void StackView::setOrientation(UserInterfaceLayoutOrientation orientation) { impl().orientation = orientation; }
void StackView::setAlignment(LayoutAttribute alignment) { impl().stackAlignment = alignment; }
void StackView::setSpacing(double spacing) { impl().spacing = spacing; }
void StackView::setEdgeInsets(EdgeInsets insets) { impl().edgeInsets = insets; }

Window::Window(Rect contentRect, std::uint64_t styleMask, BackingStoreType backing, bool defer)
    : impl_(std::make_unique<Impl>()) {
    impl_->contentRect = contentRect;
    impl_->styleMask = styleMask;
    impl_->backing = backing;
    impl_->defer = defer;
}

Window::~Window() = default;

void Window::setTitle(std::string_view title) { impl_->title = title; }
void Window::setReleasedWhenClosed(bool flag) { impl_->releasedWhenClosed = flag; }
void Window::setLevel(WindowLevel level) { impl_->level = level; }
void Window::center() { impl_->centered = true; }
void Window::setDelegate(std::weak_ptr<WindowDelegate> delegate) { impl_->delegate = std::move(delegate); }

void Window::setContentView(std::shared_ptr<View> view) {
    view->impl().window = weak_from_this();
    impl_->contentView = std::move(view);
}

void Window::makeKeyAndOrderFront() {
    auto& windows = desktop().windows;
    for (const auto& other : fake::openWindows()) other->impl_->key = false;
    impl_->visible = true;
    impl_->key = true;
    std::erase_if(windows, [this](const auto& weak) { return weak.expired() || weak.lock().get() == this; });
    windows.push_back(weak_from_this());
}

bool Window::makeFirstResponder(View* view) {
    View* previous = impl_->firstResponder;
    if (previous == view) return true;
    if (view != nullptr && !view->acceptsFirstResponder()) return false;
    // Both hooks already see the new holder, so each view can tell whether
    // it is the one focused.
    impl_->firstResponder = view;
    if (previous != nullptr && !previous->resignFirstResponder()) {
        impl_->firstResponder = previous;
        return false;
    }
    if (view != nullptr) view->becomeFirstResponder();
    return true;
}

View* Window::firstResponder() const { return impl_->firstResponder; }

void Window::close() {
    // The delegate may release this window while it is being closed.
    const auto keepAlive = shared_from_this();
    if (const auto delegate = impl_->delegate.lock()) delegate->windowWillClose();
    impl_->visible = false;
    impl_->key = false;
    std::erase_if(desktop().windows, [this](const auto& weak) { return weak.expired() || weak.lock().get() == this; });
}

}  // namespace platform
