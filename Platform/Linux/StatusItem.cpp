#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <array>
#include <utility>

#include "Internal.h"
#include "Tray.h"

namespace platform {
namespace {

// The two symbols Dusk asks for are drawn for it and shipped inside it; the
// theme names let a desktop shell pick the installed copies by name.
struct Symbol {
    std::string_view name;
    const char* resource;
    const char* iconName;
};
constexpr std::array<Symbol, 2> symbols{{
    {"sun.max.fill", ":/icons/dusk-sun-symbolic.svg", "dusk-sun-symbolic"},
    {"moon.fill", ":/icons/dusk-moon-symbolic.svg", "dusk-moon-symbolic"},
}};

// A symbolic SVG drawn in one colour, so it reads wherever that colour was
// chosen to read.
class SymbolicIconEngine final : public QIconEngine {
public:
    SymbolicIconEngine(Image::Impl image, std::optional<QColor> colour) : image_(std::move(image)), colour_(colour) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        auto colour = colour_;
        if (!colour && mode == QIcon::Disabled)
            colour = QApplication::palette().color(QPalette::Disabled, QPalette::WindowText);
        return QPixmap::fromImage(image_.render(size, colour));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48)};
    }

    QString iconName() override { return image_.iconName; }
    QString key() const override { return QStringLiteral("dusk-symbolic"); }
    QIconEngine* clone() const override { return new SymbolicIconEngine(image_, colour_); }

private:
    Image::Impl image_;
    std::optional<QColor> colour_;
};

// Qt keeps "&" for mnemonics; Dusk's titles mean it literally.
QString menuText(std::string_view title) {
    return QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())).replace('&', "&&");
}

}  // namespace

QImage Image::Impl::render(QSize size, std::optional<QColor> colour) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer renderer(resource);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    if (isTemplate) {
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour.value_or(QApplication::palette().color(QPalette::WindowText)));
    }
    painter.end();
    return image;
}

QIcon Image::Impl::icon(std::optional<QColor> colour) const {
    // QIcon takes ownership of its engine.
    return QIcon(new SymbolicIconEngine(*this, colour));
}

Image::Image(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Image::~Image() = default;

std::shared_ptr<Image> Image::imageWithSystemSymbolName(std::string_view name,
                                                        std::string_view accessibilityDescription) {
    for (const auto& symbol : symbols) {
        if (symbol.name != name) continue;
        auto impl = std::make_unique<Impl>();
        impl->name = name;
        impl->accessibilityDescription = accessibilityDescription;
        impl->resource = QString::fromLatin1(symbol.resource);
        impl->iconName = QString::fromLatin1(symbol.iconName);
        return std::make_shared<Image>(std::move(impl));
    }
    return nullptr;
}

void Image::setTemplate(bool isTemplate) { impl_->isTemplate = isTemplate; }

StatusBarButton::StatusBarButton(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusBarButton::~StatusBarButton() = default;

void StatusBarButton::setImage(std::shared_ptr<Image> image) {
    impl_->image = std::move(image);
    if (impl_->tray) impl_->tray->setImage(impl_->image);
}

void StatusBarButton::setToolTip(std::string_view toolTip) {
    if (impl_->tray) impl_->tray->setToolTip(QString::fromUtf8(toolTip.data(), static_cast<qsizetype>(toolTip.size())));
}

StatusItem::Impl::~Impl() = default;

StatusItem::StatusItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
StatusItem::~StatusItem() = default;

std::shared_ptr<StatusBarButton> StatusItem::button() const { return impl_->button; }

void StatusItem::setMenu(std::shared_ptr<Menu> menu) {
    impl_->menu = std::move(menu);
    impl_->tray->setMenu(impl_->menu ? impl_->menu->impl().menu.get() : nullptr);
}

StatusBar& StatusBar::systemStatusBar() {
    static StatusBar bar;
    return bar;
}

std::shared_ptr<StatusItem> StatusBar::statusItemWithLength(double) {
    auto impl = std::make_unique<StatusItem::Impl>();
    impl->tray = std::make_unique<dusk::backend::Tray>();
    auto buttonImpl = std::make_unique<StatusBarButton::Impl>();
    buttonImpl->tray = impl->tray.get();
    impl->button = std::make_shared<StatusBarButton>(std::move(buttonImpl));
    return std::make_shared<StatusItem>(std::move(impl));
}

// --- Menus ----------------------------------------------------------------------

void MenuItem::Impl::connect() {
    QObject::connect(action.get(), &QAction::triggered, action.get(), [this] {
        // The action runs once the menu has closed, as on a menu bar; a
        // modal alert must not nest inside the menu's own event handling.
        MainQueue::async([selector = selector, hasTarget = hasTarget, target = target] {
            if (hasTarget) {
                if (const auto responder = target.lock()) {
                    responder->perform(selector);
                    return;
                }
            }
            Application::sharedApplication().perform(selector);
        });
    });
}

MenuItem::MenuItem(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

MenuItem::MenuItem(std::string title, std::string action, std::string keyEquivalent) : impl_(std::make_unique<Impl>()) {
    impl_->action = std::make_unique<QAction>(menuText(title));
    impl_->selector = std::move(action);
    // Control is this desktop's Command.
    if (!keyEquivalent.empty()) {
        impl_->action->setShortcut(QKeySequence(QStringLiteral("Ctrl+") + QString::fromStdString(keyEquivalent)));
    }
    impl_->connect();
}

MenuItem::~MenuItem() = default;

std::shared_ptr<MenuItem> MenuItem::separatorItem() {
    auto impl = std::make_unique<Impl>();
    impl->action = std::make_unique<QAction>();
    impl->action->setSeparator(true);
    return std::make_shared<MenuItem>(std::move(impl));
}

void MenuItem::setTarget(std::weak_ptr<Responder> target) {
    impl_->hasTarget = true;
    impl_->target = std::move(target);
}

void MenuItem::setTitle(std::string_view title) { impl_->action->setText(menuText(title)); }

void MenuItem::setState(ControlStateValue state) {
    impl_->action->setCheckable(true);
    impl_->action->setChecked(state == ControlStateValue::On);
}

Menu::Menu() : impl_(std::make_unique<Impl>()) {
    impl_->menu = std::make_unique<dusk::backend::MenuModel>();
    QObject::connect(impl_->menu.get(), &dusk::backend::MenuModel::aboutToShow, impl_->menu.get(), [this] {
        if (const auto delegate = impl_->delegate.lock()) delegate->menuWillOpen(*this);
    });
}

Menu::~Menu() = default;

// Every item stays enabled: Dusk's actions are always available.
void Menu::setAutoenablesItems(bool) {}

void Menu::addItem(std::shared_ptr<MenuItem> item) {
    impl_->menu->addAction(item->impl().action.get());
    impl_->items.push_back(std::move(item));
}

void Menu::setDelegate(std::weak_ptr<MenuDelegate> delegate) { impl_->delegate = std::move(delegate); }

}  // namespace platform
