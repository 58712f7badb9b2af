// Dusk's status item on Linux: a tray item (see Tray) with a menu of
// QActions that a tray host draws itself over dbusmenu, or Qt draws where
// only an XEmbed tray is there.
#include "platform/StatusItem.h"

#include <QAction>
#include <memory>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "platform/Session.h"
#include "tray/MenuModel.h"
#include "tray/Tray.h"

namespace {

// Qt keeps "&" for mnemonics; Dusk's titles mean it literally.
QString menuText(std::string_view title) { return dusk::backend::qt(title).replace('&', "&&"); }

}  // namespace

struct platform::StatusItem::Impl {
    // The menu outlives the tray, which points at it.
    dusk::backend::MenuModel menu;
    std::vector<std::unique_ptr<QAction>> actions;
    dusk::backend::Tray tray;
};

namespace platform {

StatusItem::StatusItem() : impl_(std::make_unique<Impl>()) { impl_->tray.setMenu(&impl_->menu); }

StatusItem::~StatusItem() = default;

void StatusItem::setSymbol(Symbol symbol, std::string_view) {
    impl_->tray.setSymbol(dusk::backend::SymbolImage(symbol));
}

void StatusItem::setToolTip(std::string_view toolTip) { impl_->tray.setToolTip(dusk::backend::qt(toolTip)); }

// A tray menu takes no keys: the host that draws it over dbusmenu shows a
// key beside an item but never sends it, so none is shown.
StatusItem::ItemId StatusItem::addItem(std::string_view title, std::function<void()> action, std::string_view) {
    auto item = std::make_unique<QAction>(menuText(title));
    // The action runs once the menu has closed, as on a menu bar.
    QObject::connect(item.get(), &QAction::triggered, item.get(),
                     [action = std::move(action)] { Session::post(action); });
    impl_->menu.addAction(item.get());
    impl_->actions.push_back(std::move(item));
    return static_cast<ItemId>(impl_->actions.size() - 1);
}

void StatusItem::addSeparator() {
    auto separator = std::make_unique<QAction>();
    separator->setSeparator(true);
    impl_->menu.addAction(separator.get());
    impl_->actions.push_back(std::move(separator));
}

void StatusItem::setTitle(ItemId item, std::string_view title) { impl_->actions.at(item)->setText(menuText(title)); }

void StatusItem::setChecked(ItemId item, bool checked) {
    QAction& action = *impl_->actions.at(item);
    action.setCheckable(true);
    action.setChecked(checked);
}

void StatusItem::onMenuWillOpen(std::function<void()> willOpen) {
    QObject::connect(&impl_->menu, &dusk::backend::MenuModel::aboutToShow, &impl_->menu, std::move(willOpen));
}

}  // namespace platform
