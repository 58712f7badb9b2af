#include "tray/MenuModel.h"

#include <QMenu>

namespace dusk::backend {

MenuModel::MenuModel() = default;
MenuModel::~MenuModel() = default;

void MenuModel::addAction(QAction* action) {
    actions_.append(action);
    if (widget_) widget_->addAction(action);
    emit actionAdded(action);
}

QMenu* MenuModel::widget() {
    if (!widget_) {
        widget_ = std::make_unique<QMenu>();
        widget_->addActions(actions_);
        connect(widget_.get(), &QMenu::aboutToShow, this, &MenuModel::aboutToShow);
    }
    return widget_.get();
}

}  // namespace dusk::backend
