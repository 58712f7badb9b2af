// A tray menu published on the session bus as com.canonical.dbusmenu, the menu
// half of a StatusNotifierItem: the tray host draws it in its own style and
// sends the clicks back.
#pragma once

#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

class QAction;

namespace dusk::backend {

class MenuModel;

// One item with its children: (ia{sv}av) on the wire.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

struct DBusMenuRemovedProperties {
    int id = 0;
    QStringList names;
};
using DBusMenuRemovedPropertiesList = QList<DBusMenuRemovedProperties>;

struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuRemovedProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuRemovedProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

class DBusMenu final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    // Item ids are the actions' positions counted from 1; 0 is the root.
    explicit DBusMenu(MenuModel* menu);
    ~DBusMenu() override;

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // Qt's D-Bus finds the wire types by the names written here: spelled out in full.
public slots:  // NOLINT(readability-redundant-access-specifiers): D-Bus methods are slots
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   dusk::backend::DBusMenuLayout& layout);
    QList<dusk::backend::DBusMenuItemProperties> GetGroupProperties(const QList<int>& ids,
                                                                    const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const QList<dusk::backend::DBusMenuEvent>& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

signals:
    void ItemsPropertiesUpdated(const QList<dusk::backend::DBusMenuItemProperties>& updatedProps,
                                const QList<dusk::backend::DBusMenuRemovedProperties>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    QAction* action(int id) const;
    QVariantMap properties(const QAction& action, const QStringList& names) const;
    void watch(QAction* action);
    void announceChange(QAction* action);
    void activate(int id);
    void aboutToShow();

    QPointer<MenuModel> menu_;
    uint revision_ = 1;
};

}  // namespace dusk::backend

Q_DECLARE_METATYPE(dusk::backend::DBusMenuLayout)
Q_DECLARE_METATYPE(dusk::backend::DBusMenuItemProperties)
Q_DECLARE_METATYPE(dusk::backend::DBusMenuRemovedProperties)
Q_DECLARE_METATYPE(dusk::backend::DBusMenuEvent)
