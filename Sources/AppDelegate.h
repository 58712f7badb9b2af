// The application delegate: owns every user-interface object and carries
// every action.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "HotKey.h"
#include "HotKeyRecorderView.h"
#include "platform/RecorderWindow.h"
#include "platform/StatusItem.h"

namespace dusk {

class AppDelegate final : public std::enable_shared_from_this<AppDelegate> {
public:
    // The launch sequence, once the desktop is ready for a status item.
    void applicationDidFinishLaunching();

    // The one way a shortcut is put into effect; none only unregisters.
    void applyHotKey(const std::optional<HotKey>& hotKey, bool showErrors);

private:
    void menuWillOpen();
    void windowWillClose();
    void appearanceDidChange();
    void toggleAppearance();
    void toggleLaunchAtLogin();
    void showRecorder();
    void clearHotKey();
    void cancelRecorder();

    void launch();
    void startHotKey();
    void buildMenu();
    // An action that reaches the delegate only while it exists.
    std::function<void()> action(void (AppDelegate::*method)());
    void refreshStatusIcon();
    void refreshMenuTitles();
    std::string hotKeyItemTitle() const;
    void recorded(const HotKey& hotKey);

    std::unique_ptr<platform::StatusItem> statusItem;
    platform::StatusItem::ItemId toggleItem = 0;
    platform::StatusItem::ItemId hotKeyItem = 0;
    platform::StatusItem::ItemId loginItem = 0;
    // Shared with the work that destroys it once it has finished closing.
    std::shared_ptr<platform::RecorderWindow> recorderWindow;
    std::unique_ptr<HotKeyRecorderView> recorderView;
};

}  // namespace dusk
