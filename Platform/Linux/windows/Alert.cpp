// Alerts as message boxes that leave the loop running: the tray, the
// shortcut and every other window stay alive while one is up.
#include "platform/Alert.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <vector>

#include "common/Text.h"
#include "windows/OpenWindow.h"

namespace dusk::backend {
namespace {

class AlertBox final : public QMessageBox {
public:
    AlertBox(const platform::Alert& alert, std::function<void(std::size_t)> answered) : answered_(std::move(answered)) {
        setAttribute(Qt::WA_DeleteOnClose);
        setIcon(QMessageBox::Warning);
        setWindowTitle(QStringLiteral("Dusk"));
        setText(qt(alert.messageText));
        setInformativeText(qt(alert.informativeText));
        std::vector<std::string> titles = alert.buttons;
        if (titles.empty()) titles.emplace_back("OK");
        // One role for every button keeps them in the order they were given,
        // whatever this desktop's button-box convention would reorder.
        for (const auto& title : titles) buttons_.push_back(addButton(qt(title), QMessageBox::ActionRole));
        setDefaultButton(buttons_.front());
        // Escape, and closing the window, choose the last button: Cancel
        // where there is one, the only button otherwise.
        setEscapeButton(buttons_.back());
        setWindowFlag(Qt::WindowStaysOnTopHint);
        connect(this, &QMessageBox::finished, this, [this] { answer(); });
    }

private:
    void answer() {
        std::size_t chosen = buttons_.size() - 1;
        for (std::size_t i = 0; i < buttons_.size(); ++i) {
            if (clickedButton() == buttons_[i]) chosen = i;
        }
        if (auto answered = std::exchange(answered_, nullptr)) answered(chosen);
    }

    std::function<void(std::size_t)> answered_;
    std::vector<QPushButton*> buttons_;
    const OpenWindow open_;
};

}  // namespace
}  // namespace dusk::backend

namespace platform {

void showAlert(const Alert& alert, std::function<void(std::size_t)> answered) {
    // Deleted on close; until then Qt's widget tree owns it.
    auto* box = new dusk::backend::AlertBox(alert, std::move(answered));
    box->show();
    box->raise();
    box->activateWindow();
}

void beep() { QApplication::beep(); }

}  // namespace platform
