// A tray menu's items apart from any widget. A host that draws the menu itself
// (a StatusNotifierItem host, through dbusmenu) needs only the items; the
// QMenu, which costs a Qt program most of a megabyte to make, is made the
// first time Qt itself has to draw the menu.
#pragma once

#include <QList>
#include <QObject>
#include <memory>

class QAction;
class QMenu;

namespace dusk::backend {

class MenuModel final : public QObject {
    Q_OBJECT

public:
    MenuModel();
    ~MenuModel() override;

    const QList<QAction*>& actions() const { return actions_; }
    void addAction(QAction* action);
    // The menu as a widget, made on first use.
    QMenu* widget();

Q_SIGNALS:
    // Before the menu is shown, whoever shows it: the items are refreshed.
    void aboutToShow();
    void actionAdded(QAction* action);

private:
    QList<QAction*> actions_;
    std::unique_ptr<QMenu> widget_;
};

}  // namespace dusk::backend
