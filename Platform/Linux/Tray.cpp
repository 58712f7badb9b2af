#include "Tray.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <array>

#include "Internal.h"
#include "XEmbedTray.h"

namespace dusk::backend {
namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");

// At login Dusk may well start before the panel; give it time to come.
constexpr int secondsToWaitForATray = 5;

// A directory laid out as an icon theme holding Dusk's symbols, for hosts
// that look the icon up by name: the installed copy's share/icons, or the
// build tree's own copy.
QString iconThemePath() {
    static const QString path = [] {
        const QDir binary(QCoreApplication::applicationDirPath());
        for (const auto* candidate : {"../share/icons", "icons"}) {
            const QString themePath = QDir::cleanPath(binary.filePath(QString::fromLatin1(candidate)));
            if (QFileInfo::exists(themePath + "/hicolor/symbolic/apps/dusk-sun-symbolic.svg")) return themePath;
        }
        return QString();
    }();
    return path;
}

SniPixmaps sniPixmaps(const platform::Image::Impl& image) {
    SniPixmaps pixmaps;
    for (const int size : {16, 22, 24, 32, 48}) {
        const QImage argb = image.render(QSize(size, size)).convertToFormat(QImage::Format_ARGB32);
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
        if (reply.isValid() && watcherOwner_.isEmpty()) watcherOwnerChanged(reply.value());
    });
    if (xembed_) connect(xembed_.get(), &XEmbedTrayWatch::presenceChanged, this, &Tray::update);
    if (xembed_) connect(xembed_.get(), &XEmbedTrayWatch::foregroundChanged, this, &Tray::updateXEmbedIcon);
    QTimer::singleShot(secondsToWaitForATray * 1000, this, &Tray::checkThereIsATray);
}

Tray::~Tray() = default;

void Tray::setMenu(QMenu* menu) {
    menu_ = menu;
    item_.setMenu(menu);
    if (xembedIcon_) xembedIcon_->setContextMenu(menu);
}

void Tray::setImage(std::shared_ptr<const platform::Image> image) {
    const bool first = image && !image_;
    image_ = std::move(image);
    updateStatusNotifierIcon();
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
    watcherOwner_ = owner;
    if (!owner.isEmpty()) {
        hostRegistered_ = true;
        if (image_) item_.registerWithWatcher();
        askWhetherHostRegistered();
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
        update();
    });
}

void Tray::hostRegistered() {
    hostRegistered_ = true;
    update();
}

bool Tray::statusNotifierHost() const { return !watcherOwner_.isEmpty() && hostRegistered_; }

void Tray::update() {
    const bool xembedOnly = !statusNotifierHost() && xembed_ && xembed_->present();
    if (xembedOnly && image_ && !xembedIcon_) {
        xembedIcon_ = std::make_unique<QSystemTrayIcon>();
        xembedIcon_->setContextMenu(menu_);
        xembedIcon_->setToolTip(toolTip_);
        // A menu-bar item opens its menu on a plain click, not only a right one.
        connect(xembedIcon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger && menu_) menu_->popup(QCursor::pos());
        });
        updateXEmbedIcon();
        xembedIcon_->show();
    } else if (!xembedOnly && xembedIcon_) {
        xembedIcon_.reset();
    }
    if (noticeTold_ && (statusNotifierHost() || xembedIcon_)) notice_.withdraw();
}

void Tray::updateStatusNotifierIcon() {
    if (!image_) {
        item_.setIcon({}, {}, {});
        return;
    }
    item_.setIcon(image_->impl().iconName, iconThemePath(), sniPixmaps(image_->impl()));
}

void Tray::updateXEmbedIcon() {
    if (!xembedIcon_) return;
    if (!image_) {
        xembedIcon_->setIcon(QIcon());
        return;
    }
    xembedIcon_->setIcon(image_->impl().icon(xembed_ ? xembed_->foreground() : std::nullopt));
}

void Tray::checkThereIsATray() {
    if (statusNotifierHost() || (xembed_ && xembed_->present())) return;
    noticeTold_ = true;
    notice_.tell();
}

}  // namespace dusk::backend
