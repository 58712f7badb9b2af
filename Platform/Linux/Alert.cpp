#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <string>
#include <vector>

#include "Internal.h"

namespace platform {

struct Alert::Impl {
    AlertStyle style = AlertStyle::Warning;
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
};

Alert::Alert() : impl_(std::make_unique<Impl>()) {}
Alert::~Alert() = default;

std::unique_ptr<Alert> Alert::alertWithError(const Error& error) {
    auto alert = std::make_unique<Alert>();
    alert->impl_->messageText = error.localizedDescription;
    return alert;
}

void Alert::setAlertStyle(AlertStyle style) { impl_->style = style; }
void Alert::setMessageText(std::string_view text) { impl_->messageText = text; }
void Alert::setInformativeText(std::string_view text) { impl_->informativeText = text; }
void Alert::addButtonWithTitle(std::string_view title) { impl_->buttons.emplace_back(title); }

ModalResponse Alert::runModal() {
    // Made before the box, so it goes after it.
    const dusk::backend::OpenWindow open;
    QMessageBox box;
    box.setIcon(impl_->style == AlertStyle::Informational ? QMessageBox::Information : QMessageBox::Warning);
    box.setWindowTitle(QStringLiteral("Dusk"));
    box.setText(QString::fromStdString(impl_->messageText));
    box.setInformativeText(QString::fromStdString(impl_->informativeText));
    std::vector<std::string> titles = impl_->buttons;
    if (titles.empty()) titles.emplace_back("OK");
    // One role for every button keeps them in the order they were added,
    // whatever this desktop's button-box convention would reorder.
    std::vector<QPushButton*> buttons;
    buttons.reserve(titles.size());
    for (const auto& title : titles)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    box.setDefaultButton(buttons.front());
    QPushButton* escape = buttons.size() == 1 ? buttons.front() : nullptr;
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (titles[i] == "Cancel") escape = buttons[i];
    }
    if (escape != nullptr) box.setEscapeButton(escape);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        if (box.clickedButton() == buttons[i]) return alertFirstButtonReturn + static_cast<ModalResponse>(i);
    }
    // Closed by the window manager without a choice: the same as Escape.
    return escape != nullptr
               ? alertFirstButtonReturn +
                     static_cast<ModalResponse>(std::find(buttons.begin(), buttons.end(), escape) - buttons.begin())
               : alertFirstButtonReturn;
}

}  // namespace platform
