#include "tray/DBusMenu.h"

#include <QAction>
#include <QDBusMetaType>
#include <QGuiApplication>

#include "common/DBusStructure.h"
#include "tray/MenuModel.h"

namespace dusk::backend {
namespace {

// Qt marks a mnemonic with "&" and doubles a literal one; dbusmenu marks it
// with "_" and doubles a literal underscore.
QString dbusMenuLabel(const QString& qtText) {
    QString label;
    label.reserve(qtText.size());
    for (qsizetype i = 0; i < qtText.size(); ++i) {
        const QChar character = qtText.at(i);
        if (character == '_') {
            label += QStringLiteral("__");
        } else if (character == '&' && i + 1 < qtText.size()) {
            ++i;
            if (qtText.at(i) != '&') label += '_';
            label += qtText.at(i);
        } else {
            label += character;
        }
    }
    return label;
}

}  // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuLayout& layout) {
    argument.beginStructure();
    argument << layout.id << layout.properties;
    argument.beginArray(qMetaTypeId<QDBusVariant>());
    for (const auto& child : layout.children) argument << QDBusVariant(QVariant::fromValue(child));
    argument.endArray();
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuLayout& layout) {
    argument.beginStructure();
    argument >> layout.id >> layout.properties;
    argument.beginArray();
    layout.children.clear();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        layout.children << qdbus_cast<DBusMenuLayout>(child.variant());
    }
    argument.endArray();
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item) {
    return writeStructure(argument, item.id, item.properties);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item) {
    return readStructure(argument, item.id, item.properties);
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuRemovedProperties& item) {
    return writeStructure(argument, item.id, item.names);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuRemovedProperties& item) {
    return readStructure(argument, item.id, item.names);
}

QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event) {
    return writeStructure(argument, event.id, event.eventId, event.data, event.timestamp);
}

const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event) {
    return readStructure(argument, event.id, event.eventId, event.data, event.timestamp);
}

namespace {
// Qt's D-Bus marshals the dbusmenu types once it knows them.
void registerDBusMenuTypes() {
    qDBusRegisterMetaType<DBusMenuLayout>();
    qDBusRegisterMetaType<DBusMenuItemProperties>();
    qDBusRegisterMetaType<DBusMenuItemPropertiesList>();
    qDBusRegisterMetaType<DBusMenuRemovedProperties>();
    qDBusRegisterMetaType<DBusMenuRemovedPropertiesList>();
    qDBusRegisterMetaType<DBusMenuEvent>();
    qDBusRegisterMetaType<DBusMenuEventList>();
}
}  // namespace

DBusMenu::DBusMenu(MenuModel* menu) : menu_(menu) {
    registerDBusMenuTypes();
    // Titles and check marks change on the QActions; the host hears of each.
    for (QAction* action : menu_->actions()) watch(action);
    connect(menu_, &MenuModel::actionAdded, this, [this](QAction* action) {
        watch(action);
        // Items are numbered by position, so any change renumbers them.
        emit LayoutUpdated(++revision_, 0);
    });
}

DBusMenu::~DBusMenu() = default;

QString DBusMenu::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

QAction* DBusMenu::action(int id) const {
    if (!menu_ || id < 1) return nullptr;
    const auto actions = menu_->actions();
    return id <= actions.size() ? actions.at(id - 1) : nullptr;
}

QVariantMap DBusMenu::properties(const QAction& action, const QStringList& names) const {
    QVariantMap all;
    if (action.isSeparator()) {
        all.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        all.insert(QStringLiteral("label"), dbusMenuLabel(action.text()));
        if (action.isCheckable()) {
            all.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
            all.insert(QStringLiteral("toggle-state"), action.isChecked() ? 1 : 0);
        }
    }
    // Defaults go unsaid, as the protocol asks.
    if (!action.isEnabled()) all.insert(QStringLiteral("enabled"), false);
    if (!action.isVisible()) all.insert(QStringLiteral("visible"), false);
    if (names.isEmpty()) return all;
    QVariantMap wanted;
    for (const auto& name : names) {
        if (all.contains(name)) wanted.insert(name, all.value(name));
    }
    return wanted;
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayout& layout) {
    // A host lays out and sizes the menu from what it reads here, often long
    // before it shows it, and Xfce's does not widen it for a longer title
    // later: the titles it reads are brought up to date first.
    if (parentId == 0) aboutToShow();
    layout = DBusMenuLayout{parentId, {}, {}};
    // Dusk's menu is one level deep: only the root has children.
    if (parentId == 0 && menu_) {
        layout.properties.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        if (recursionDepth != 0) {
            const auto actions = menu_->actions();
            for (int id = 1; id <= actions.size(); ++id) {
                layout.children << DBusMenuLayout{id, properties(*actions.at(id - 1), propertyNames), {}};
            }
        }
    } else if (const QAction* item = action(parentId)) {
        layout.properties = properties(*item, propertyNames);
    }
    return revision_;
}

DBusMenuItemPropertiesList DBusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    DBusMenuItemPropertiesList items;
    for (const int id : ids) {
        if (const QAction* item = action(id)) items << DBusMenuItemProperties{id, properties(*item, propertyNames)};
    }
    return items;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name) {
    const QAction* item = action(id);
    return QDBusVariant(item ? properties(*item, {name}).value(name) : QVariant());
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (eventId == QLatin1String("clicked")) {
        activate(id);
    } else if (eventId == QLatin1String("opened") && id == 0) {
        // Some hosts say only that the menu opened, without asking first.
        aboutToShow();
    }
}

QList<int> DBusMenu::EventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const auto& event : events) {
        if (event.id != 0 && action(event.id) == nullptr) {
            idErrors << event.id;
            continue;
        }
        Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return idErrors;
}

// A host sizes the menu from what it has before it shows it: one that
// changed while refreshing is to be read again first, or a longer title is
// cut to the old one's width.
bool DBusMenu::AboutToShow(int id) {
    const uint before = revision_;
    if (id == 0) aboutToShow();
    return revision_ != before;
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    const uint before = revision_;
    for (const int id : ids) {
        if (id == 0) {
            aboutToShow();
        } else if (action(id) == nullptr) {
            idErrors << id;
        }
    }
    return revision_ != before ? QList<int>{0} : QList<int>{};
}

void DBusMenu::aboutToShow() {
    // The same signal the QMenu sends before it is drawn, so the menu's
    // delegate refreshes it whichever way it is shown.
    if (menu_) emit menu_->aboutToShow();
}

void DBusMenu::activate(int id) {
    QAction* item = action(id);
    if (item == nullptr || item->isSeparator() || !item->isEnabled()) return;
    item->trigger();
}

void DBusMenu::watch(QAction* action) {
    connect(action, &QAction::changed, this, [this, action] { announceChange(action); });
}

void DBusMenu::announceChange(QAction* action) {
    if (!menu_) return;
    const auto id = static_cast<int>(menu_->actions().indexOf(action)) + 1;
    if (id < 1) return;
    // The item's properties for hosts that patch them in; a new revision
    // for those that lay the menu out afresh, which is what fits a longer
    // title into a menu already sized.
    const QVariantMap now = properties(*action, {});
    // A property back at its default goes unsaid, so is said to be gone.
    QStringList gone;
    for (const auto* name : {"enabled", "visible", "toggle-type", "toggle-state"}) {
        if (!now.contains(QLatin1String(name))) gone << QLatin1String(name);
    }
    emit ItemsPropertiesUpdated({DBusMenuItemProperties{id, now}}, {DBusMenuRemovedProperties{id, gone}});
    emit LayoutUpdated(++revision_, 0);
}

}  // namespace dusk::backend
