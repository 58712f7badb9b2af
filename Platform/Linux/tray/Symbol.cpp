#include "tray/Symbol.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>
#include <utility>

namespace dusk::backend {
namespace {

// A symbolic SVG drawn in one colour, so it reads wherever that colour was
// chosen to read.
class SymbolicIconEngine final : public QIconEngine {
public:
    SymbolicIconEngine(SymbolImage image, std::optional<QColor> colour) : image_(std::move(image)), colour_(colour) {}

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
    SymbolImage image_;
    std::optional<QColor> colour_;
};

}  // namespace

SymbolImage::SymbolImage(platform::Symbol symbol)
    : resource(symbol == platform::Symbol::Sun ? QStringLiteral(":/icons/dusk-sun-symbolic.svg")
                                               : QStringLiteral(":/icons/dusk-moon-symbolic.svg")),
      iconName(symbol == platform::Symbol::Sun ? QStringLiteral("dusk-sun-symbolic")
                                               : QStringLiteral("dusk-moon-symbolic")) {}

QImage SymbolImage::render(QSize size, std::optional<QColor> colour) const {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer renderer(resource);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    // Like a template image: the shape in one colour that suits the bar.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), colour.value_or(QApplication::palette().color(QPalette::WindowText)));
    painter.end();
    return image;
}

QIcon SymbolImage::icon(std::optional<QColor> colour) const {
    // QIcon takes ownership of its engine.
    return QIcon(new SymbolicIconEngine(*this, colour));
}

}  // namespace dusk::backend
