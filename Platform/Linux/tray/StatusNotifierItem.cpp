#include "tray/StatusNotifierItem.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMenu>
#include <utility>

#include "common/Bus.h"
#include "common/DBusStructure.h"
#include "common/Log.h"
#include "tray/DBusMenu.h"
#include "tray/MenuModel.h"

namespace dusk::backend {
namespace {

const QString itemPath = QStringLiteral("/StatusNotifierItem");
const QString menuObjectPath = QStringLiteral("/MenuBar");
const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap) {
    return writeStructure(argument, pixmap.width, pixmap.height, pixmap.data);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap) {
    return readStructure(argument, pixmap.width, pixmap.height, pixmap.data);
}

QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip) {
    return writeStructure(argument, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.text);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip) {
    return readStructure(argument, toolTip.iconName, toolTip.pixmaps, toolTip.title, toolTip.text);
}

StatusNotifierItem::StatusNotifierItem() {
    qDBusRegisterMetaType<SniPixmap>();
    qDBusRegisterMetaType<SniPixmaps>();
    qDBusRegisterMetaType<SniToolTip>();
    auto bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    // The name hosts have looked for since the protocol began; one per
    // process, since the menu and item paths are fixed.
    serviceName_ = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(::getpid());
    published_ = bus.registerObject(itemPath, this, QDBusConnection::ExportAllContents);
    if (!published_) return;
    // Asked for, not waited for: the item goes to a watcher once it has it.
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(busDaemonCall("RequestName", {serviceName_, 0U})), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        finished->deleteLater();
        if (reply.isError()) {
            logError("cannot publish the tray item on the session bus: " + reply.error().message().toStdString());
            return;
        }
        named_ = true;
        if (std::exchange(registerWhenNamed_, false)) registerWithWatcher();
    });
}

StatusNotifierItem::~StatusNotifierItem() {
    // Qt's bus connection does not outlive the application object.
    if (QCoreApplication::instance() != nullptr) withdraw();
}

void StatusNotifierItem::withdraw() {
    if (!published_) return;
    published_ = false;
    auto bus = QDBusConnection::sessionBus();
    if (named_) bus.send(busDaemonCall("ReleaseName", {serviceName_}));
    bus.unregisterObject(itemPath);
    bus.unregisterObject(menuObjectPath);
    dbusMenu_.reset();
}

void StatusNotifierItem::setMenu(MenuModel* menu) {
    if (dbusMenu_) QDBusConnection::sessionBus().unregisterObject(menuObjectPath);
    dbusMenu_.reset();
    menu_ = menu;
    if (!published_ || menu_ == nullptr) return;
    dbusMenu_ = std::make_unique<DBusMenu>(menu_);
    QDBusConnection::sessionBus().registerObject(menuObjectPath, dbusMenu_.get(), QDBusConnection::ExportAllContents);
}

QDBusObjectPath StatusNotifierItem::menuPath() const {
    return QDBusObjectPath(dbusMenu_ ? menuObjectPath : QStringLiteral("/NO_DBUSMENU"));
}

void StatusNotifierItem::registerWithWatcher() {
    if (!published_) return;
    if (!named_) {
        registerWhenNamed_ = true;
        return;
    }
    auto call = QDBusMessage::createMethodCall(watcherService, QStringLiteral("/StatusNotifierWatcher"), watcherService,
                                               QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    // Never wait for the panel: it may be busy starting up.
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<> reply = *finished;
        if (reply.isError()) {
            logError("the tray's StatusNotifierWatcher refused Dusk's item: " + reply.error().message().toStdString());
        }
        finished->deleteLater();
    });
}

void StatusNotifierItem::setIcon(const QString& name, const QString& themePath,
                                 std::function<SniPixmaps()> drawPixmaps) {
    const bool pathChanged = themePath != iconThemePath_;
    iconName_ = name;
    iconThemePath_ = themePath;
    drawPixmaps_ = std::move(drawPixmaps);
    pixmaps_.reset();
    if (pathChanged) emit NewIconThemePath(iconThemePath_);
    emit NewIcon();
}

SniPixmaps StatusNotifierItem::iconPixmap() const {
    if (!pixmaps_) pixmaps_ = drawPixmaps_ ? drawPixmaps_() : SniPixmaps();
    return *pixmaps_;
}

void StatusNotifierItem::setToolTip(const QString& text) {
    if (text == toolTip_) return;
    toolTip_ = text;
    emit NewToolTip();
}

void StatusNotifierItem::Activate(int x, int y) { popUpMenu(x, y); }
void StatusNotifierItem::ContextMenu(int x, int y) { popUpMenu(x, y); }
void StatusNotifierItem::SecondaryActivate(int, int) {}
void StatusNotifierItem::Scroll(int, const QString&) {}

// For hosts that ask the item to show its own menu rather than drawing the
// exported one.
void StatusNotifierItem::popUpMenu(int x, int y) {
    if (menu_) menu_->widget()->popup(QPoint(x, y));
}

}  // namespace dusk::backend
