// Dusk's item in a StatusNotifierItem tray (KDE, Xfce, LXQt, GNOME with the
// AppIndicator extension): an object on the session bus that the tray host
// reads, plus the registration with whichever watcher runs now.
#pragma once

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace dusk::backend {

class MenuModel;

class DBusMenu;

// One icon bitmap: width, height, then ARGB32 pixels in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray data;
};
using SniPixmaps = QList<SniPixmap>;

struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& toolTip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& toolTip);

class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(dusk::backend::SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(dusk::backend::SniPixmaps OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(dusk::backend::SniPixmaps AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(dusk::backend::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menuPath)

public:
    // Publishes the item on the session bus; registering with a watcher is
    // a separate step, taken whenever a watcher appears.
    StatusNotifierItem();
    ~StatusNotifierItem() override;

    // False without a session bus.
    bool published() const { return published_; }
    const QString& serviceName() const { return serviceName_; }
    void registerWithWatcher();
    void setMenu(MenuModel* menu);
    // Leaves the bus, so that trays drop the item at once.
    void withdraw();

    // The pixmaps are drawn when a host first asks for them: many never do.
    void setIcon(const QString& name, const QString& themePath, std::function<SniPixmaps()> drawPixmaps);
    void setToolTip(const QString& text);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("dusk"); }
    QString title() const { return QStringLiteral("Dusk"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return iconThemePath_; }
    QString iconName() const { return iconName_; }
    SniPixmaps iconPixmap() const;
    QString noName() const { return {}; }
    SniPixmaps noPixmaps() const { return {}; }
    SniToolTip toolTip() const { return {{}, {}, toolTip_, {}}; }
    // The whole item is the menu, as a menu-bar item is: a plain click opens it.
    bool itemIsMenu() const { return true; }
    QDBusObjectPath menuPath() const;

public slots:  // NOLINT(readability-redundant-access-specifiers): D-Bus methods are slots
    void Activate(int x, int y);
    void ContextMenu(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewIconThemePath(const QString& path);

private:
    void popUpMenu(int x, int y);

    QPointer<MenuModel> menu_;
    std::unique_ptr<DBusMenu> dbusMenu_;
    QString serviceName_;
    bool published_ = false;
    // The well-known name is the bus's to give; until it has, registering
    // with a watcher waits.
    bool named_ = false;
    bool registerWhenNamed_ = false;
    QString iconThemePath_;
    QString iconName_;
    std::function<SniPixmaps()> drawPixmaps_;
    mutable std::optional<SniPixmaps> pixmaps_;
    QString toolTip_;
};

}  // namespace dusk::backend

Q_DECLARE_METATYPE(dusk::backend::SniPixmap)
Q_DECLARE_METATYPE(dusk::backend::SniToolTip)
