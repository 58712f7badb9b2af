#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "Internal.h"
#include "KeyCodes.h"

namespace dusk::backend {
class ViewWidget;
class WindowWidget;

// The widget of one view or window, owned by it. A parent widget may delete
// it first (Qt's ownership), and it may be handling the very event that
// releases its owner, so it is made deaf at once and deleted at the next
// turn of the loop.
template <typename Widget>
class OwnedWidget final {
public:
    OwnedWidget() = default;
    template <typename Owner>
    void create(Owner* owner) {
        widget_ = new Widget(owner);
    }
    ~OwnedWidget() {
        if (!widget_) return;
        widget_->detach();
        widget_->hide();
        widget_->deleteLater();
    }
    OwnedWidget(const OwnedWidget&) = delete;
    OwnedWidget& operator=(const OwnedWidget&) = delete;

    Widget* get() const { return widget_.data(); }
    Widget* operator->() const { return widget_.data(); }
    operator Widget*() const { return widget_.data(); }
    explicit operator bool() const { return !widget_.isNull(); }

private:
    QPointer<Widget> widget_;
};
}  // namespace dusk::backend

namespace platform {

enum class ViewKind { Plain, Label, Button, Stack };

struct Layer::Impl {
    double cornerRadius = 0;
    double borderWidth = 0;
    std::optional<Color> backgroundColor;
    std::optional<Color> borderColor;
};

struct View::Impl {
    ViewKind kind = ViewKind::Plain;
    View* owner = nullptr;
    // Owned by `widget`, which Qt tears down with them.
    QPointer<QLabel> label;
    QPointer<QPushButton> button;
    QPointer<QBoxLayout> box;
    QPointer<QGridLayout> grid;
    std::shared_ptr<Layer> layer;
    std::vector<std::shared_ptr<View>> subviews;
    View* superview = nullptr;
    std::weak_ptr<Window> window;
    std::optional<Color> textColor;
    std::weak_ptr<Responder> target;
    std::string action;
    std::string keyEquivalent;
    Qt::Alignment stackAlignment;
    // Last, so it is the first to go: deaf before the rest is torn down.
    dusk::backend::OwnedWidget<dusk::backend::ViewWidget> widget;
};

struct Window::Impl {
    Window* owner = nullptr;
    std::shared_ptr<View> contentView;
    std::weak_ptr<WindowDelegate> delegate;
    View* firstResponder = nullptr;
    bool centered = false;
    bool closing = false;
    // Last, so it is the first to go: deaf before the rest is torn down.
    dusk::backend::OwnedWidget<dusk::backend::WindowWidget> widget;
};

}  // namespace platform

namespace dusk::backend {
namespace {

using platform::Color;
using platform::SystemColor;

// Named colours come from the palette at the moment they are applied, so a
// change between Light and Dark shows at the next redraw.
QColor resolve(Color color, const QPalette& palette) {
    QColor text = palette.color(QPalette::WindowText);
    switch (color.name()) {
        case SystemColor::ControlBackground:
            return palette.color(QPalette::Base);
        case SystemColor::ControlAccent:
            return palette.color(QPalette::Highlight);
        case SystemColor::Separator:
            return palette.color(QPalette::Mid);
        case SystemColor::SecondaryLabel:
            text.setAlphaF(0.62F);
            return text;
        case SystemColor::TertiaryLabel:
            text.setAlphaF(0.42F);
            return text;
    }
    return text;
}

// The platform's modifier flags, as Dusk stores them, from Qt's.
platform::EventModifierFlags flagsFrom(const QKeyEvent& event) {
    Qt::KeyboardModifiers modifiers = event.modifiers();
    // X reports the state before the event; a modifier's own press or
    // release is the change being announced.
    Qt::KeyboardModifier own = Qt::NoModifier;
    switch (event.key()) {
        case Qt::Key_Shift:
            own = Qt::ShiftModifier;
            break;
        case Qt::Key_Control:
            own = Qt::ControlModifier;
            break;
        case Qt::Key_Alt:
            own = Qt::AltModifier;
            break;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            own = Qt::MetaModifier;
            break;
        default:
            break;
    }
    if (own != Qt::NoModifier) modifiers.setFlag(own, event.type() == QEvent::KeyPress);
    platform::EventModifierFlags flags = 0;
    if ((event.nativeModifiers() & 0x2) != 0) flags |= 0x10000;  // X's Lock bit: Caps Lock
    if (modifiers.testFlag(Qt::ShiftModifier)) flags |= 0x20000;
    if (modifiers.testFlag(Qt::ControlModifier)) flags |= 0x40000;
    if (modifiers.testFlag(Qt::AltModifier)) flags |= 0x80000;
    if (modifiers.testFlag(Qt::MetaModifier)) flags |= 0x100000;  // Super is Command
    return flags;
}

// No virtual key code reaches this high; Control, Option and Command.
constexpr std::uint16_t keyWithoutCode = 0xFFFF;
constexpr platform::EventModifierFlags shortcutModifiers = 0x1C0000;

bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            return true;
        default:
            return false;
    }
}

void collect(platform::View& view, std::vector<platform::View*>& out) {
    out.push_back(&view);
    for (const auto& subview : view.impl().subviews) collect(*subview, out);
}

}  // namespace

// Every view is one of these; labels and buttons sit inside theirs. It
// forwards Qt's events to the view's hooks while the view exists.
class ViewWidget final : public QWidget {
public:
    explicit ViewWidget(platform::View::Impl* view) : view_(view) { setFocusPolicy(Qt::NoFocus); }
    void detach() { view_ = nullptr; }

protected:
    bool event(QEvent* event) override {
        // Tab is a key like any other to a focused recorder, not a move of
        // the focus.
        if (event->type() == QEvent::KeyPress && isFirstResponder()) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
        return QWidget::event(event);
    }

    void paintEvent(QPaintEvent*) override {
        if (view_ == nullptr || !view_->layer) return;
        const auto keepAlive = view_->owner->shared_from_this();
        view_->owner->updateLayer();
        if (view_ == nullptr || !view_->layer) return;
        const auto& layer = view_->layer->impl();
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double inset = layer.borderWidth / 2;
        const QRectF box = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
        painter.setBrush(layer.backgroundColor ? QBrush(resolve(*layer.backgroundColor, palette())) : Qt::NoBrush);
        if (layer.borderColor && layer.borderWidth > 0) {
            painter.setPen(QPen(resolve(*layer.borderColor, palette()), layer.borderWidth));
        } else {
            painter.setPen(Qt::NoPen);
        }
        painter.drawRoundedRect(box, layer.cornerRadius, layer.cornerRadius);
    }

    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() != QEvent::PaletteChange || view_ == nullptr) return;
        if (view_->label && view_->textColor) {
            // Setting the label's own palette announces a change to the
            // label, not to this widget: no loop.
            QPalette palette = view_->label->palette();
            palette.setColor(QPalette::WindowText, resolve(*view_->textColor, this->palette()));
            view_->label->setPalette(palette);
        }
        update();
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (view_ == nullptr) return QWidget::mousePressEvent(event);
        const auto keepAlive = view_->owner->shared_from_this();
        view_->owner->mouseDown({0, 0});
    }

    void keyPressEvent(QKeyEvent* event) override { forwardKey(event); }
    void keyReleaseEvent(QKeyEvent* event) override {
        if (isFirstResponder() && isModifierKey(event->key())) return forwardKey(event);
        event->ignore();
    }

private:
    bool isFirstResponder() const {
        if (view_ == nullptr) return false;
        const auto window = view_->owner->window();
        return window && window->firstResponder() == view_->owner;
    }

    // Keys go to the focused view only; anything else travels up to the
    // window, where a button's key equivalent may take it.
    void forwardKey(QKeyEvent* event) {
        if (!isFirstResponder()) return event->ignore();
        const auto keepAlive = view_->owner->shared_from_this();
        const auto flags = flagsFrom(*event);
        if (isModifierKey(event->key())) {
            view_->owner->flagsChanged({0, flags});
            return;
        }
        // A key from outside the table (Menu, Henkan) has no code a shortcut
        // could store or name. Silence would leave the user guessing, so it
        // reaches the view as a key with a code no keyboard has and without
        // Control, Option or Command: the recorder refuses it as it refuses a
        // letter alone, with the beep and the hint.
        const auto keyCode = virtualKeyForXKeycode(event->nativeScanCode());
        if (!keyCode) {
            view_->owner->keyDown({keyWithoutCode, flags & ~shortcutModifiers});
            return;
        }
        view_->owner->keyDown({*keyCode, flags});
    }

    platform::View::Impl* view_;
};

class WindowWidget final : public QWidget {
public:
    explicit WindowWidget(platform::Window::Impl* window) : window_(window) {}
    void detach() { window_ = nullptr; }

protected:
    void closeEvent(QCloseEvent* event) override {
        if (window_ == nullptr || window_->closing) return QWidget::closeEvent(event);
        // The title bar's close button closes the way Dusk does, through
        // the delegate.
        event->ignore();
        window_->owner->close();
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (window_ == nullptr || !window_->contentView || event->key() != Qt::Key_Escape) {
            return QWidget::keyPressEvent(event);
        }
        std::vector<platform::View*> views;
        collect(*window_->contentView, views);
        for (auto* view : views) {
            if (view->impl().button && view->impl().keyEquivalent == "\x1b") {
                view->impl().button->click();
                return;
            }
        }
    }

private:
    platform::Window::Impl* window_;
    const OpenWindow open_;
};

}  // namespace dusk::backend

namespace platform {
namespace {

std::unique_ptr<View::Impl> viewImpl(ViewKind kind) {
    auto impl = std::make_unique<View::Impl>();
    impl->kind = kind;
    impl->widget.create(impl.get());
    if (kind == ViewKind::Stack) {
        impl->box = new QBoxLayout(QBoxLayout::LeftToRight, impl->widget);
        impl->box->setContentsMargins(0, 0, 0, 0);
    } else {
        impl->grid = new QGridLayout(impl->widget);
        impl->grid->setContentsMargins(0, 0, 0, 0);
    }
    return impl;
}

QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void LayoutConstraint::setActive(bool active) const {
    if (!active || first.view == nullptr) return;
    auto& view = first.view->impl();
    if (!second) {
        // Fixed sizes; no other constant constraint is ever made.
        if (first.attribute == LayoutAttribute::Width) view.widget->setFixedWidth(static_cast<int>(constant));
        if (first.attribute == LayoutAttribute::Height) view.widget->setFixedHeight(static_cast<int>(constant));
        return;
    }
    // A view pinned to its superview's edges fills its grid cell, which is
    // how every view starts; a centred one keeps its own size.
    View* superview = view.superview;
    if (superview == nullptr || second->view != superview || !superview->impl().grid) return;
    QGridLayout& grid = *superview->impl().grid;
    for (int i = 0; i < grid.count(); ++i) {
        QLayoutItem* item = grid.itemAt(i);
        if (item->widget() != view.widget) continue;
        Qt::Alignment alignment = item->alignment();
        if (first.attribute == LayoutAttribute::CenterX) alignment |= Qt::AlignHCenter;
        if (first.attribute == LayoutAttribute::CenterY) alignment |= Qt::AlignVCenter;
        grid.setAlignment(view.widget, alignment);
    }
}

void LayoutConstraint::activateConstraints(const std::vector<LayoutConstraint>& constraints) {
    for (const auto& constraint : constraints) constraint.setActive(true);
}

Layer::Layer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Layer::~Layer() = default;
void Layer::setCornerRadius(double radius) { impl_->cornerRadius = radius; }
void Layer::setBorderWidth(double width) { impl_->borderWidth = width; }
void Layer::setBackgroundColor(Color color) { impl_->backgroundColor = color; }
void Layer::setBorderColor(Color color) { impl_->borderColor = color; }

View::View() : View(Rect{}) {}

View::View(Rect frame) : View(viewImpl(ViewKind::Plain)) {
    if (frame.width > 0 && frame.height > 0) {
        impl_->widget->resize(static_cast<int>(frame.width), static_cast<int>(frame.height));
    }
}

View::View(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) { impl_->owner = this; }

View::~View() = default;

void View::setWantsLayer(bool wantsLayer) {
    if (!wantsLayer) {
        impl_->layer.reset();
    } else if (!impl_->layer) {
        impl_->layer = std::make_shared<Layer>(std::make_unique<Layer::Impl>());
    }
    impl_->widget->update();
}

std::shared_ptr<Layer> View::layer() const { return impl_->layer; }

void View::addSubview(std::shared_ptr<View> view) {
    view->impl_->superview = this;
    QWidget* child = view->impl_->widget;
    if (impl_->box) {
        impl_->box->addWidget(child, 0, impl_->stackAlignment);
    } else {
        impl_->grid->addWidget(child, 0, 0);
    }
    child->show();
    impl_->subviews.push_back(std::move(view));
}

void View::setNeedsDisplay(bool flag) {
    if (flag) impl_->widget->update();
}

std::shared_ptr<Window> View::window() const {
    if (auto window = impl_->window.lock()) return window;
    return impl_->superview != nullptr ? impl_->superview->window() : nullptr;
}

// Qt's layouts are the constraints here; there is no autoresizing mask.
void View::setTranslatesAutoresizingMaskIntoConstraints(bool) {}

std::shared_ptr<TextField> TextField::labelWithString(std::string_view text) {
    auto impl = viewImpl(ViewKind::Label);
    impl->label = new QLabel(qt(text), impl->widget);  // owned by the view's widget
    impl->grid->addWidget(impl->label, 0, 0);
    return std::make_shared<TextField>(std::move(impl));
}

void TextField::setStringValue(std::string_view text) { impl().label->setText(qt(text)); }

void TextField::setAlignment(TextAlignment alignment) {
    Qt::Alignment qtAlignment = Qt::AlignVCenter;
    switch (alignment) {
        case TextAlignment::Natural:
        case TextAlignment::Left:
            qtAlignment |= Qt::AlignLeft;
            break;
        case TextAlignment::Center:
            qtAlignment |= Qt::AlignHCenter;
            break;
        case TextAlignment::Right:
            qtAlignment |= Qt::AlignRight;
            break;
    }
    impl().label->setAlignment(qtAlignment);
}

void TextField::setMaximumNumberOfLines(int lines) { impl().label->setWordWrap(lines != 1); }

// Qt's wrapping label would pick a narrow width of its own; the text is to
// fill the width it is given before it wraps.
void TextField::setPreferredMaxLayoutWidth(double width) { impl().label->setFixedWidth(static_cast<int>(width)); }

void TextField::setFont(Font font) {
    QFont qtFont = impl().label->font();
    // A Mac point is a pixel at 1x; sizes given in them keep their metrics.
    qtFont.setPixelSize(static_cast<int>(std::lround(font.pointSize)));
    qtFont.setWeight(font.weight == FontWeight::Medium ? QFont::Medium : QFont::Normal);
    impl().label->setFont(qtFont);
}

void TextField::setTextColor(Color color) {
    impl().textColor = color;
    QPalette palette = impl().label->palette();
    palette.setColor(QPalette::WindowText, dusk::backend::resolve(color, impl().widget->palette()));
    impl().label->setPalette(palette);
}

std::shared_ptr<Button> Button::buttonWithTitle(std::string_view title, std::weak_ptr<Responder> target,
                                                std::string action) {
    auto impl = viewImpl(ViewKind::Button);
    impl->target = std::move(target);
    impl->action = std::move(action);
    impl->button = new QPushButton(qt(title), impl->widget);  // owned by the view's widget
    // Clicking a button leaves the keyboard with the recorder, as on a Mac.
    impl->button->setFocusPolicy(Qt::NoFocus);
    impl->button->setAutoDefault(false);
    // The height of a rounded bezel button, which the window's size assumes.
    impl->button->setFixedHeight(24);
    impl->grid->addWidget(impl->button, 0, 0);
    auto* raw = impl.get();
    QObject::connect(impl->button, &QPushButton::clicked, impl->widget, [raw] {
        if (const auto responder = raw->target.lock()) responder->perform(raw->action);
    });
    return std::make_shared<Button>(std::move(impl));
}

// Qt's push button is already the rounded bezel.
void Button::setBezelStyle(BezelStyle) {}
void Button::setKeyEquivalent(std::string_view key) { impl().keyEquivalent = key; }

std::shared_ptr<StackView> StackView::stackViewWithViews(std::vector<std::shared_ptr<View>> views) {
    auto stack = std::make_shared<StackView>(viewImpl(ViewKind::Stack));
    for (auto& view : views) stack->addSubview(std::move(view));
    return stack;
}

void StackView::setOrientation(UserInterfaceLayoutOrientation orientation) {
    impl().box->setDirection(orientation == UserInterfaceLayoutOrientation::Vertical ? QBoxLayout::TopToBottom
                                                                                     : QBoxLayout::LeftToRight);
}

void StackView::setAlignment(LayoutAttribute alignment) {
    Qt::Alignment qtAlignment;
    switch (alignment) {
        case LayoutAttribute::CenterX:
            qtAlignment = Qt::AlignHCenter;
            break;
        case LayoutAttribute::CenterY:
            qtAlignment = Qt::AlignVCenter;
            break;
        case LayoutAttribute::Leading:
            qtAlignment = Qt::AlignLeft;
            break;
        case LayoutAttribute::Trailing:
            qtAlignment = Qt::AlignRight;
            break;
        case LayoutAttribute::Top:
            qtAlignment = Qt::AlignTop;
            break;
        case LayoutAttribute::Bottom:
            qtAlignment = Qt::AlignBottom;
            break;
        default:
            break;
    }
    impl().stackAlignment = qtAlignment;
    for (const auto& view : impl().subviews) impl().box->setAlignment(view->impl().widget, qtAlignment);
}

void StackView::setSpacing(double spacing) { impl().box->setSpacing(static_cast<int>(spacing)); }

void StackView::setEdgeInsets(EdgeInsets insets) {
    impl().box->setContentsMargins(static_cast<int>(insets.left), static_cast<int>(insets.top),
                                   static_cast<int>(insets.right), static_cast<int>(insets.bottom));
}

// --- Windows ---------------------------------------------------------------------

Window::Window(Rect contentRect, std::uint64_t styleMask, BackingStoreType, bool) : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    impl_->widget.create(impl_.get());
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if ((styleMask & WindowStyleMask::titled) != 0) flags |= Qt::WindowTitleHint;
    if ((styleMask & WindowStyleMask::closable) != 0) flags |= Qt::WindowCloseButtonHint;
    if ((styleMask & WindowStyleMask::miniaturizable) != 0) flags |= Qt::WindowMinimizeButtonHint;
    impl_->widget->setWindowFlags(flags);
    const QSize size(static_cast<int>(contentRect.width), static_cast<int>(contentRect.height));
    if ((styleMask & WindowStyleMask::resizable) != 0) {
        impl_->widget->resize(size);
    } else {
        impl_->widget->setFixedSize(size);
    }
    auto* layout = new QVBoxLayout(impl_->widget);  // owned by the window's widget
    layout->setContentsMargins(0, 0, 0, 0);
}

Window::~Window() = default;

void Window::setTitle(std::string_view title) { impl_->widget->setWindowTitle(qt(title)); }

// The window belongs to whoever holds it; Qt never frees it on close.
void Window::setReleasedWhenClosed(bool) {}

void Window::setLevel(WindowLevel level) {
    impl_->widget->setWindowFlag(Qt::WindowStaysOnTopHint, level != WindowLevel::Normal);
}

void Window::center() {
    impl_->centered = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), impl_->widget->size());
        frame.moveCenter(screen->availableGeometry().center());
        impl_->widget->move(frame.topLeft());
    }
}

void Window::setDelegate(std::weak_ptr<WindowDelegate> delegate) { impl_->delegate = std::move(delegate); }

void Window::setContentView(std::shared_ptr<View> view) {
    view->impl().window = weak_from_this();
    if (impl_->contentView) impl_->widget->layout()->removeWidget(impl_->contentView->impl().widget);
    impl_->widget->layout()->addWidget(view->impl().widget);
    view->impl().widget->show();
    impl_->contentView = std::move(view);
}

void Window::makeKeyAndOrderFront() {
    impl_->widget->show();
    impl_->widget->raise();
    impl_->widget->activateWindow();
}

bool Window::makeFirstResponder(View* view) {
    View* previous = impl_->firstResponder;
    if (previous == view) return true;
    if (previous != nullptr && !previous->resignFirstResponder()) return false;
    if (view != nullptr && !view->acceptsFirstResponder()) return false;
    // The new holder is named before it is told, so it can see itself focused.
    impl_->firstResponder = view;
    if (view != nullptr) {
        view->impl().widget->setFocus(Qt::OtherFocusReason);
        view->becomeFirstResponder();
    } else {
        impl_->widget->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

View* Window::firstResponder() const { return impl_->firstResponder; }

void Window::close() {
    // The delegate may release this window while it is being closed.
    const auto keepAlive = shared_from_this();
    if (impl_->closing) return;
    impl_->closing = true;
    if (const auto delegate = impl_->delegate.lock()) delegate->windowWillClose();
    if (impl_->widget) impl_->widget->hide();
    impl_->closing = false;
}

}  // namespace platform
