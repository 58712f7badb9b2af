// Dusk's item in the menu bar or tray: a symbol with a tooltip, and the menu
// it opens. The menu is built once; only titles and check marks change.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

namespace platform {

enum class Symbol { Sun, Moon };

class StatusItem final {
public:
    // Puts the item in the menu bar, with no symbol and an empty menu.
    StatusItem();
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // The symbol is drawn to suit the bar it sits in; the description is
    // what a screen reader says for it.
    void setSymbol(Symbol symbol, std::string_view accessibilityDescription);
    void setToolTip(std::string_view toolTip);

    using ItemId = int;
    // Items are always enabled. A key equivalent ("q") works with the
    // platform's usual modifier while the menu is open.
    ItemId addItem(std::string_view title, std::function<void()> action, std::string_view keyEquivalent = {});
    void addSeparator();
    void setTitle(ItemId item, std::string_view title);
    void setChecked(ItemId item, bool checked);

    // Called just before the menu is shown, in time for its titles to change.
    void onMenuWillOpen(std::function<void()> willOpen);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
