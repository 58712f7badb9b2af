// The recorder window in Qt widgets: a prompt, the recorder box that takes
// the keyboard, the shortcut in effect, and Clear and Cancel.
#include "platform/RecorderWindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <memory>

#include "common/Text.h"
#include "windows/KeyEvents.h"
#include "windows/OpenWindow.h"

namespace dusk::backend {
namespace {

// The prompt and the shortcut in effect are secondary texts: drawn in the
// palette's faded text colour, which follows Light and Dark by itself.
QLabel* secondaryLabel(const QString& text, int pixelSize, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    // A Mac point is a pixel at 1x; sizes given in them keep their metrics.
    font.setPixelSize(pixelSize);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

}  // namespace

// The box the user types the shortcut into: every key while it has the
// keyboard, Tab and Escape included, goes to the recorder, never to Qt.
class RecorderBox final : public QWidget {
public:
    RecorderBox(platform::RecorderWindow*& owner, const QString& text, QWidget* parent)
        : QWidget(parent), owner_(owner), label_(new QLabel(text, this)) {
        setFixedSize(260, 44);
        setFocusPolicy(Qt::ClickFocus);
        QFont font = label_->font();
        font.setPixelSize(15);
        font.setWeight(QFont::Medium);
        label_->setFont(font);
        label_->setAlignment(Qt::AlignCenter);
        (new QVBoxLayout(this))->addWidget(label_);
    }

    void setText(const QString& text) { label_->setText(text); }
    bool focused() const { return window()->focusWidget() == this; }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            keyPressEvent(static_cast<QKeyEvent*>(event));
            return true;
        }
        return QWidget::event(event);
    }

    void keyPressEvent(QKeyEvent* event) override {
        if (owner_ == nullptr) return;
        const KeyEvent key = keyEventFrom(*event);
        if (key.isModifier) return notify(owner_->onModifiersChanged, key.press.modifiers);
        notify(owner_->onKeyDown, key.press);
    }

    void keyReleaseEvent(QKeyEvent* event) override {
        if (owner_ == nullptr) return;
        const KeyEvent key = keyEventFrom(*event);
        if (key.isModifier) notify(owner_->onModifiersChanged, key.press.modifiers);
    }

    void focusInEvent(QFocusEvent* event) override {
        QWidget::focusInEvent(event);
        focusChanged();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QWidget::focusOutEvent(event);
        focusChanged();
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(palette().color(QPalette::Base));
        painter.setPen(QPen(palette().color(focused() ? QPalette::Highlight : QPalette::Mid), 1));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
    }

private:
    template <typename Handler, typename... Arguments>
    static void notify(const Handler& handler, Arguments... arguments) {
        if (handler) handler(arguments...);
    }

    void focusChanged() {
        update();
        if (owner_ != nullptr) notify(owner_->onFocusChanged);
    }

    // The window's owner, or none once it is gone.
    platform::RecorderWindow*& owner_;
    QLabel* label_;
};

class RecorderWidget final : public QWidget {
public:
    RecorderWidget(platform::RecorderWindow& owner, const platform::RecorderWindow::Content& content) : owner_(&owner) {
        setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                       Qt::WindowStaysOnTopHint);
        setWindowTitle(qt(content.title));
        setFixedSize(340, 170);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(20, 16, 20, 16);
        layout->setSpacing(10);
        auto* prompt = secondaryLabel(qt(content.prompt), 12, this);
        prompt->setWordWrap(true);
        // Filled to this width before it wraps, not to a narrow one of Qt's choosing.
        prompt->setFixedWidth(300);
        layout->addWidget(prompt, 0, Qt::AlignHCenter);
        box_ = new RecorderBox(owner_, qt(content.recorderText), this);
        layout->addWidget(box_, 0, Qt::AlignHCenter);
        layout->addWidget(secondaryLabel(qt(content.current), 11, this), 0, Qt::AlignHCenter);
        auto* buttons = new QHBoxLayout;
        buttons->setSpacing(8);
        buttons->addWidget(button(content.clearButton, &platform::RecorderWindow::onClear));
        buttons->addWidget(button(content.cancelButton, &platform::RecorderWindow::onCancel));
        layout->addLayout(buttons);
        layout->setAlignment(buttons, Qt::AlignHCenter);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }

    RecorderBox* box() const { return box_; }
    // Deaf from now on, while Qt finishes with it.
    void detach() { owner_ = nullptr; }
    bool open = false;

protected:
    // The title bar's close button and the window manager close the way
    // Dusk does: once, through onClosed.
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        if (owner_ != nullptr) owner_->close();
    }

    // Escape outside the box is Cancel's key.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() != Qt::Key_Escape) return QWidget::keyPressEvent(event);
        if (owner_ != nullptr && owner_->onCancel) owner_->onCancel();
    }

private:
    using Handler = std::function<void()> platform::RecorderWindow::*;

    QPushButton* button(const std::string& title, Handler action) {
        auto* button = new QPushButton(qt(title), this);
        // The box keeps the keyboard; buttons are for the mouse and the screen reader.
        button->setFocusPolicy(Qt::NoFocus);
        // Read when clicked: the owner sets its handlers after construction.
        connect(button, &QPushButton::clicked, this, [this, action] {
            if (owner_ != nullptr && owner_->*action) (owner_->*action)();
        });
        return button;
    }

    platform::RecorderWindow* owner_;
    RecorderBox* box_ = nullptr;
    const OpenWindow open_;
};

}  // namespace dusk::backend

struct platform::RecorderWindow::Impl {
    // Deleted on a later turn of the loop: it may be handling the very event
    // that destroys its owner.
    struct Later {
        void operator()(dusk::backend::RecorderWidget* widget) const {
            widget->detach();
            widget->hide();
            widget->deleteLater();
        }
    };
    std::unique_ptr<dusk::backend::RecorderWidget, Later> widget;
};

namespace platform {

RecorderWindow::RecorderWindow(const Content& content) : impl_(std::make_unique<Impl>()) {
    impl_->widget.reset(new dusk::backend::RecorderWidget(*this, content));
}

RecorderWindow::~RecorderWindow() = default;

void RecorderWindow::show() {
    auto& widget = *impl_->widget;
    widget.open = true;
    widget.show();
    bringToFront();
    widget.box()->setFocus(Qt::OtherFocusReason);
}

void RecorderWindow::bringToFront() {
    impl_->widget->raise();
    impl_->widget->activateWindow();
}

void RecorderWindow::close() {
    auto& widget = *impl_->widget;
    if (!widget.open) return;
    widget.open = false;
    widget.hide();
    if (onClosed) onClosed();
}

void RecorderWindow::setRecorderText(std::string_view text) { impl_->widget->box()->setText(dusk::backend::qt(text)); }

bool RecorderWindow::recorderIsFocused() const { return impl_->widget->box()->focused(); }

}  // namespace platform
