#include "appearance/Palette.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <algorithm>
#include <array>
#include <optional>

namespace dusk::backend {
namespace {

// Fusion draws a check box in the palette's base colour with a border a shade
// darker than the window: on a dark menu, box and border all but vanish
// (#1E1E20 and #222224 on #202023). In Dark, the box gets a light border, and
// a checked one the highlight colour with a white tick.
class DarkCheckBoxStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox || option->palette.color(QPalette::Base).lightness() >= 128) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        const bool checked = (option->state & State_On) != 0;
        const QColor highlight = option->palette.color(QPalette::Highlight);
        const QRectF box = QRectF(option->rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(checked ? highlight.lighter(140) : QColor(0x8e, 0x8e, 0x93), 1));
        painter->setBrush(checked ? highlight : QColor(0x2c, 0x2c, 0x2f));
        painter->drawRoundedRect(box, 2, 2);
        if (checked) {
            QPen tick(Qt::white, std::max(1.5, box.width() / 8));
            tick.setCapStyle(Qt::RoundCap);
            tick.setJoinStyle(Qt::RoundJoin);
            painter->setPen(tick);
            const auto at = [&box](double x, double y) {
                return QPointF(box.left() + box.width() * x, box.top() + box.height() * y);
            };
            const std::array points{at(0.22, 0.52), at(0.42, 0.72), at(0.78, 0.30)};
            painter->drawPolyline(points.data(), static_cast<int>(points.size()));
        }
        painter->restore();
    }
};

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1e, 0x1e, 0x20), text(0xf2, 0xf2, 0xf2);
    const QColor disabledText(0x80, 0x80, 0x84);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Mid, QColor(0x55, 0x55, 0x5a));
    palette.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9e));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    return palette;
}

}  // namespace

void applyPalette(bool dark) {
    // The proxy owns Fusion, and the application the proxy, which the
    // analyzer cannot see through Qt's library.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    static const bool styled = [] {
        if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
            QApplication::setStyle(new DarkCheckBoxStyle(fusion));
        }
        return true;
    }();
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
    (void)styled;
    // Setting the palette restyles every widget: only when it changes sides.
    static std::optional<bool> applied;
    if (applied == dark) return;
    applied = dark;
    QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
}

}  // namespace dusk::backend
