#include "tray/Tray.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIconEngine>
#include <QMenu>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QSvgRenderer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "common/Log.h"
#include "tray/MenuModel.h"
#include "tray/XEmbedTray.h"

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

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

// At login Dusk may well start before the panel; give it time to come. A
// desktop whose own panel carries a tray has one unless the user took it
// away, and its panel may be slow at a busy login: there a tray is waited
// for a minute, and one that comes later still is taken all the same.
int secondsToWaitForATray() {
    static const QStringList panelsWithATray{
        QStringLiteral("KDE"),    QStringLiteral("XFCE"),         QStringLiteral("LXQt"),   QStringLiteral("LXDE"),
        QStringLiteral("MATE"),   QStringLiteral("X-Cinnamon"),   QStringLiteral("Budgie"), QStringLiteral("Unity"),
        QStringLiteral("Deepin"), QStringLiteral("Enlightenment")};
    const auto desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':');
    const bool expectsATray = std::any_of(desktops.begin(), desktops.end(), [](const QString& desktop) {
        return panelsWithATray.contains(desktop, Qt::CaseInsensitive);
    });
    return expectsATray ? 60 : 5;
}
// A panel paints itself a moment after it starts its tray.
constexpr int millisecondsToPaint = 1500;

double relativeLuminance(const QColor& colour) {
    const auto linear = [](double channel) {
        return channel <= 0.03928 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The symbols' own dark grey, or a near white where that would not read.
QColor contrastingColour(const QColor& background) {
    const QColor dark(0x2e, 0x34, 0x36);
    const QColor light(0xf6, 0xf5, 0xf4);
    return contrastRatio(dark, background) >= contrastRatio(light, background) ? dark : light;
}

// Qt's XEmbed icon is a window of its own, embedded in the tray's.
QWidget* xembedWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QSystemTrayIconSys")) return widget;
    }
    return nullptr;
}

// A directory laid out as an icon theme holding Dusk's symbols, for hosts
// that look the icon up by name: the installed copy's share/icons, or the
// build tree's own copy.
QString iconThemePath() {
    static const QString path = [] {
        const QDir binary(QCoreApplication::applicationDirPath());
        for (const auto* candidate : {"../share/icons", "icons"}) {
            QString themePath = QDir::cleanPath(binary.filePath(QString::fromLatin1(candidate)));
            if (QFileInfo::exists(themePath + "/hicolor/symbolic/apps/dusk-sun-symbolic.svg")) return themePath;
        }
        return QString();
    }();
    return path;
}

SniPixmaps sniPixmaps(const SymbolImage& image, std::optional<QColor> colour) {
    SniPixmaps pixmaps;
    for (const int size : {16, 22, 24, 32, 48}) {
        const QImage argb = image.render(QSize(size, size), colour).convertToFormat(QImage::Format_ARGB32);
        SniPixmap pixmap{size, size, QByteArray(static_cast<qsizetype>(argb.sizeInBytes()), Qt::Uninitialized)};
        // The protocol wants each pixel as A, R, G, B bytes in that order.
        auto* out = reinterpret_cast<uchar*>(pixmap.data.data());
        for (int y = 0; y < size; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < size; ++x, out += 4) {
                const QRgb pixel = line[x];
                out[0] = static_cast<uchar>(qAlpha(pixel));
                out[1] = static_cast<uchar>(qRed(pixel));
                out[2] = static_cast<uchar>(qGreen(pixel));
                out[3] = static_cast<uchar>(qBlue(pixel));
            }
        }
        pixmaps << pixmap;
    }
    return pixmaps;
}

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

namespace {
// The one tray a process has, for the bus to reach.
Tray* shown = nullptr;
}  // namespace

void Tray::announceRunning() {
    if (shown == nullptr) return;
    // Said once it is known whether there is a tray: at once where there is
    // one or none came in time, else when either is so.
    shown->announcing_ = true;
    shown->announceOnceTheTrayIsKnown();
}

void Tray::announceOnceTheTrayIsKnown() {
    if (!announcing_) return;
    if (statusNotifierHost() || xembedIcon_) {
        notice_.sayAlreadyRunning();
    } else if (noticeTold_) {
        notice_.tell(TrayNotice::EvenIfTold);
    } else {
        return;
    }
    announcing_ = false;
}

Tray::Tray()
    : watcherWatch_(watcherService, QDBusConnection::sessionBus(), QDBusServiceWatcher::WatchForOwnerChange),
      xembed_(XEmbedTrayWatch::create()) {
    connect(&watcherWatch_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { watcherOwnerChanged(owner); });
    auto bus = QDBusConnection::sessionBus();
    bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(hostRegistered()));
    // The watcher may be there already; a reply that crosses its arrival
    // only registers the item twice, which watchers take in their stride.
    auto ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                                       QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << watcherService;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<QString> reply = *finished;
        finished->deleteLater();
        watcherKnown_ = true;
        if (reply.isValid() && watcherOwner_.isEmpty()) {
            watcherOwnerChanged(reply.value());
        } else {
            update();
        }
    });
    shown = this;
    if (xembed_) connect(xembed_.get(), &XEmbedTrayWatch::presenceChanged, this, &Tray::update);
    if (xembed_) connect(xembed_.get(), &XEmbedTrayWatch::foregroundChanged, this, &Tray::updateXEmbedIcon);
    // Stopped as soon as a tray shows up, so that a Dusk in a tray does not
    // wake up for it.
    noticeTimer_.setSingleShot(true);
    connect(&noticeTimer_, &QTimer::timeout, this, &Tray::checkThereIsATray);
    noticeTimer_.start(secondsToWaitForATray() * 1000);
    // The icon's widget and notifier must go while Qt is still whole; the
    // status item itself may live on until the process's last moments.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        noticeTimer_.stop();
        xembedIcon_.reset();
        xembed_.reset();
        item_.withdraw();
    });
}

Tray::~Tray() {
    if (shown == this) shown = nullptr;
}

void Tray::setMenu(MenuModel* menu) {
    menu_ = menu;
    item_.setMenu(menu);
    if (xembedIcon_) xembedIcon_->setContextMenu(menu != nullptr ? menu->widget() : nullptr);
}

void Tray::setSymbol(const SymbolImage& symbol) {
    const bool first = !symbol_;
    symbol_ = symbol;
    updateStatusNotifierIcon();
    // A panel may change its colours with the appearance, as Dusk's icon does.
    measurePanelNowAndOnceItHasPainted();
    updateXEmbedIcon();
    // Only an item with an image is worth a place in the tray.
    if (first && !watcherOwner_.isEmpty()) item_.registerWithWatcher();
    if (first) update();
}

void Tray::setToolTip(const QString& text) {
    toolTip_ = text;
    item_.setToolTip(text);
    if (xembedIcon_) xembedIcon_->setToolTip(text);
}

void Tray::watcherOwnerChanged(const QString& owner) {
    watcherKnown_ = true;
    watcherOwner_ = owner;
    watcherPid_ = 0;
    drawsNamedIconsAsTheyAre_ = false;
    if (!owner.isEmpty()) {
        hostRegistered_ = true;
        if (symbol_) item_.registerWithWatcher();
        askWhetherHostRegistered();
        askWhoRunsTheWatcher();
    }
    update();
}

void Tray::askWhetherHostRegistered() {
    auto ask = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                              QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    ask << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        finished->deleteLater();
        if (!reply.isValid() || watcherOwner_.isEmpty()) return;
        hostRegistered_ = reply.value().variant().toBool();
        if (hostRegistered_) noticeTimer_.stop();
        update();
    });
}

void Tray::hostRegistered() {
    hostRegistered_ = true;
    noticeTimer_.stop();
    update();
}

bool Tray::statusNotifierHost() const { return !watcherOwner_.isEmpty() && hostRegistered_; }

void Tray::update() {
    // Qt's own tray icon is a StatusNotifierItem of its own, on a bus
    // connection of its own, wherever a host is there: it is made only
    // once the watcher is known to be missing.
    const bool xembedOnly = watcherKnown_ && !statusNotifierHost() && xembed_ && xembed_->present();
    if (xembed_ && xembed_->present()) noticeTimer_.stop();
    if (xembedOnly && symbol_ && !xembedIcon_) {
        xembedIcon_ = std::make_unique<QSystemTrayIcon>();
        xembedIcon_->setContextMenu(menu_ ? menu_->widget() : nullptr);
        xembedIcon_->setToolTip(toolTip_);
        // A menu-bar item opens its menu on a plain click, not only a right one.
        connect(xembedIcon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger && menu_) menu_->widget()->popup(QCursor::pos());
        });
        xembedBackground_.reset();
        updateXEmbedIcon();
        xembedIcon_->show();
        if (QWidget* window = xembedWindow()) window->installEventFilter(this);
        // Nothing may paint the icon again once the tray has drawn itself.
        QTimer::singleShot(millisecondsToPaint, this, &Tray::measureXEmbedBackground);
    } else if (!xembedOnly && xembedIcon_) {
        xembedIcon_.reset();
    }
    if (noticeTold_ && (statusNotifierHost() || xembedIcon_)) notice_.withdraw();
    announceOnceTheTrayIsKnown();
}

void Tray::updateStatusNotifierIcon() {
    if (!symbol_) return;
    item_.setIcon(drawsNamedIconsAsTheyAre_ ? QString() : symbol_->iconName, iconThemePath(),
                  [symbol = *symbol_, colour = pixmapColour()] { return sniPixmaps(symbol, colour); });
}

void Tray::updateXEmbedIcon() {
    if (!xembedIcon_ || !symbol_) return;
    std::optional<QColor> colour = xembed_ ? xembed_->foreground() : std::nullopt;
    if (!colour && xembedBackground_) colour = contrastingColour(*xembedBackground_);
    xembedIcon_->setIcon(symbol_->icon(colour));
}

// Hosts that cannot recolour a symbolic icon draw the pixmap as it comes:
// in a colour that reads on their panel, where Dusk can see the panel.
std::optional<QColor> Tray::pixmapColour() const {
    if (panelBackground_) return contrastingColour(*panelBackground_);
    return std::nullopt;
}

void Tray::askWhoRunsTheWatcher() {
    auto ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    ask << watcherService;
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(ask), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        finished->deleteLater();
        if (!reply.isValid() || watcherOwner_.isEmpty()) return;
        watcherPid_ = reply.value();
        // LXQt's panel prefers a named icon to the pixmap and draws it as it
        // is, dark on a dark panel: there, send only the pixmap.
        QFile command(QStringLiteral("/proc/%1/comm").arg(watcherPid_));
        drawsNamedIconsAsTheyAre_ =
            command.open(QIODevice::ReadOnly) && command.readAll().trimmed() == QByteArrayLiteral("lxqt-panel");
        updateStatusNotifierIcon();
        measurePanelNowAndOnceItHasPainted();
    });
}

void Tray::measurePanelNowAndOnceItHasPainted() {
    measurePanel();
    // Only a panel that is there may still be painting itself.
    if (panelBackground_) QTimer::singleShot(millisecondsToPaint, this, &Tray::measurePanel);
}

void Tray::measurePanel() {
    if (!xembed_ || watcherPid_ == 0) return;
    const auto background = xembed_->panelBackground(watcherPid_);
    if (background == panelBackground_) return;
    panelBackground_ = background;
    updateStatusNotifierIcon();
}

// An XEmbed tray shows through where Dusk's icon is transparent: read it
// there, once the icon has been drawn in the tray.
void Tray::measureXEmbedBackground() {
    QWidget* window = xembedWindow();
    if (window == nullptr || !symbol_ || window->screen() == nullptr) return;
    const QImage shown = window->screen()->grabWindow(window->winId()).toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage mask = symbol_->render(shown.size());
    std::vector<QRgb> behind;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb pixel = shown.pixel(x, y);
            // A tray with a translucent visual shows nothing Dusk can read.
            if (qAlpha(mask.pixel(x, y)) == 0 && qAlpha(pixel) == 255) behind.push_back(pixel);
        }
    }
    if (behind.empty()) return;
    const auto middle = behind.begin() + static_cast<ptrdiff_t>(behind.size() / 2);
    std::nth_element(behind.begin(), middle, behind.end(), [](QRgb a, QRgb b) { return qGray(a) < qGray(b); });
    const QColor background(*middle);
    if (xembedBackground_ && contrastingColour(*xembedBackground_) == contrastingColour(background)) return;
    xembedBackground_ = background;
    updateXEmbedIcon();
}

bool Tray::eventFilter(QObject* watched, QEvent* event) {
    // The tray's pixels may not be on screen yet at the first paint (a busy
    // tray, a loaded machine): every paint reads them again, and a reading
    // that changes nothing draws nothing.
    if (event->type() == QEvent::Paint && watched == xembedWindow()) {
        QTimer::singleShot(0, this, &Tray::measureXEmbedBackground);
    }
    return QObject::eventFilter(watched, event);
}

void Tray::checkThereIsATray() {
    if (statusNotifierHost() || (xembed_ && xembed_->present())) return;
    noticeTold_ = true;
    notice_.tell(std::exchange(announcing_, false) ? TrayNotice::EvenIfTold : TrayNotice::OncePerDesktop);
}

}  // namespace dusk::backend
