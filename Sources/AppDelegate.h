// The application delegate: owns every user-interface object and carries
// every action.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "HotKey.h"
#include "platform/AppKit.h"
#include "platform/Views.h"

namespace dusk {

class AppDelegate final : public platform::Responder,
                          public platform::ApplicationDelegate,
                          public platform::MenuDelegate,
                          public platform::WindowDelegate,
                          public std::enable_shared_from_this<AppDelegate> {
public:
    AppDelegate() = default;

    // Answers exactly the actions menus, buttons and notifications name.
    bool perform(std::string_view selector) override;

    void applicationDidFinishLaunching() override;
    void menuWillOpen(platform::Menu& menu) override;
    void windowWillClose() override;

    // The one way a shortcut is put into effect; none only unregisters.
    void applyHotKey(const std::optional<HotKey>& hotKey, bool showErrors);

private:
    void appearanceDidChange();
    void toggleAppearance();
    void toggleLaunchAtLogin();
    void showRecorder();
    void clearHotKey();
    void cancelRecorder();

    bool anotherInstanceIsRunning() const;
    void startHotKey();
    std::shared_ptr<platform::Menu> buildMenu();
    std::shared_ptr<platform::MenuItem> addActionItem(platform::Menu& menu, std::string title, std::string action);
    void refreshStatusIcon();
    void refreshMenuTitles();
    std::string hotKeyItemTitle() const;
    // The window and the recorder control inside it.
    std::pair<std::shared_ptr<platform::Window>, std::shared_ptr<platform::View>> buildRecorderWindow();

    std::shared_ptr<platform::StatusItem> statusItem;
    std::shared_ptr<platform::MenuItem> toggleItem;
    std::shared_ptr<platform::MenuItem> hotKeyItem;
    std::shared_ptr<platform::MenuItem> loginItem;
    std::shared_ptr<platform::Window> recorderWindow;
};

}  // namespace dusk
