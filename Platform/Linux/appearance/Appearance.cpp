// The desktop's side, on Qt's side: the port's Appearance over one SideTracker,
// the start-up wait for the portal, and Dusk's own palette.
#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTimer>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>

#include "appearance/DesktopAppearance.h"
#include "appearance/DesktopThemes.h"
#include "appearance/GnomeColorScheme.h"
#include "appearance/PlasmaColorScheme.h"
#include "appearance/SettingsPortal.h"
#include "appearance/SideTracker.h"
#include "common/Log.h"
#include "platform/Appearance.h"

namespace dusk::backend {
namespace {

// How long start-up waits for the portal's first word before the desktop's own
// setting speaks instead. A running portal answers within milliseconds; one the bus
// starts on demand, with its GTK backend, answered in 160 to 280 ms on a busy
// two-core machine. A portal that never answers holds Dusk back by this much,
// and no more: its answer still counts whenever it comes.
constexpr int portalDeadlineMilliseconds = 500;

bool onPlasma() { return desktopFamily() == DesktopFamily::Plasma; }

// Fusion draws a check box in the palette's base colour with a border a shade
// darker than the window: on a dark menu, box and border all but vanish
// (#1E1E20 and #222224 on #202023). In Dark, the box gets a light border, and
// a checked one the highlight colour with a white tick.
class DarkCheckBoxStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        if (element != PE_IndicatorCheckBox || option->palette.color(QPalette::Base).lightness() >= 128)
            return QProxyStyle::drawPrimitive(element, option, painter, widget);
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
    // Secondary text (the recorder's prompt) reads at 4.5:1 as drawn, its
    // thin strokes anti-aliased towards the window.
    palette.setColor(QPalette::PlaceholderText, QColor(0xbc, 0xbc, 0xc0));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabledText);
    return palette;
}

// What speaks for the desktop: Plasma's colour scheme on Plasma; elsewhere
// GNOME's setting, where the portal does not.
SideTracker& tracker() {
    static SideTracker instance(onPlasma() ? SideTracker::Desktop{plasma::prefersDark, plasma::write}
                                           : SideTracker::Desktop{gnome::prefersDark, writeDesktopSide});
    return instance;
}

QPalette lightPalette() {
    QPalette palette = QApplication::style()->standardPalette();
    // Fusion's own faded text is too faint for the recorder's prompt.
    palette.setColor(QPalette::PlaceholderText, QColor(0x50, 0x50, 0x54));
    return palette;
}

// Dusk's own windows on the side Dusk reports.
void showSide() { QApplication::setPalette(tracker().isDark() ? darkPalette() : lightPalette()); }

}  // namespace

void prepareAppearance(std::function<void()> ready) {
    (onPlasma() ? plasma::follow : gnome::follow)([](bool dark) { tracker().settingChanged(dark); });
    // The portal's first word or the deadline, whichever comes first, starts
    // Dusk; the other finds it started.
    auto waiting = std::make_shared<std::function<void()>>([ready = std::move(ready)] {
        // Dusk's windows, where it has any, in Fusion, which draws the same on
        // every desktop and whose palette is Dusk's to set. Setting it restyles
        // every widget: only when the side changes.
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
            // The proxy owns Fusion, and the application the proxy, which the
            // analyzer cannot see through Qt's library.
            // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
            QApplication::setStyle(new DarkCheckBoxStyle(QStringLiteral("Fusion")));
            showSide();
            // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
            tracker().onChange(showSide);
        }
        // The desktop's theme, as it is now, has the last word over the
        // portal's first.
        followDesktopThemes([](bool dark) { tracker().themeChanged(dark); });
        ready();
    });
    const auto start = [waiting](std::optional<bool> dark) {
        tracker().portalSaid(dark);
        if (*waiting) std::exchange(*waiting, nullptr)();
    };
    // Plasma's own settings file is read at once, and Plasma's own signal
    // tells of each change; its portal reads the same file, and can still
    // give the old side just after a change.
    if (onPlasma()) return start(std::nullopt);
    new SettingsPortal(start, QCoreApplication::instance());
    auto* deadline = new QTimer(QCoreApplication::instance());
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, deadline, [deadline, waiting, start] {
        deadline->deleteLater();
        if (!*waiting) return;
        logNotice("the Settings portal has not answered in " + std::to_string(portalDeadlineMilliseconds) +
                  " ms; GNOME's setting speaks until it does");
        start(std::nullopt);
    });
    deadline->start(portalDeadlineMilliseconds);
}

}  // namespace dusk::backend

namespace platform {

bool Appearance::isDark() { return dusk::backend::tracker().isDark(); }

void Appearance::toggle(Done done) {
    dusk::backend::tracker().toggle(
        [done = std::move(done)](bool dark, const dusk::backend::SideTracker::Failure& failure) {
            if (!failure) return done(std::nullopt);
            dusk::backend::logError(std::string("couldn't switch to ") + (dark ? "Dark" : "Light") + ": " + *failure);
            done(AppearanceFailure{false, *failure});
        });
}

void Appearance::onChange(std::function<void()> changed) { dusk::backend::tracker().onChange(std::move(changed)); }

// Linux asks no permission of the user for a change of appearance: no
// failure sends anyone here.
void Appearance::openPermissionSettings() {}

}  // namespace platform
