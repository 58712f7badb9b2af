// State the Linux backend's translation units share: each platform object's
// Impl, and a few services of the backend itself.
#pragma once

#include <QAction>
#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "MenuModel.h"
#include "platform/AppKit.h"
#include "platform/Foundation.h"
#include "platform/Views.h"

namespace dusk::backend {

// Lines of the backend's own, in the same journal as the system's.
void logNotice(std::string_view text);
void logError(std::string_view text);

// Qt's D-Bus and processes want an application object; a command run from
// a shell gets a plain one (no display needed) unless the tray's is there.
void ensureCoreApplication();

// The freedesktop portal's answer, or GNOME's setting without a portal.
bool desktopPrefersDark();
// Keeps the widgets' palette on the same side as the desktop.
void applyPalette(bool dark);

}  // namespace dusk::backend

namespace dusk::backend {
class Tray;
}

struct platform::Image::Impl {
    std::string name;
    std::string accessibilityDescription;
    QString resource;
    QString iconName;
    bool isTemplate = false;
    // The symbol in one colour: the given one, else the palette's text.
    QImage render(QSize size, std::optional<QColor> colour = std::nullopt) const;
    QIcon icon(std::optional<QColor> colour = std::nullopt) const;
};

struct platform::StatusBarButton::Impl {
    QPointer<dusk::backend::Tray> tray;
    std::shared_ptr<Image> image;
};

struct platform::StatusItem::Impl {
    std::unique_ptr<dusk::backend::Tray> tray;
    std::shared_ptr<StatusBarButton> button;
    std::shared_ptr<Menu> menu;
    ~Impl();
};

struct platform::MenuItem::Impl {
    std::unique_ptr<QAction> action;
    std::string selector;
    bool hasTarget = false;
    std::weak_ptr<Responder> target;
    void connect();
};

struct platform::Menu::Impl {
    std::unique_ptr<dusk::backend::MenuModel> menu;
    std::vector<std::shared_ptr<MenuItem>> items;
    std::weak_ptr<MenuDelegate> delegate;
};

namespace dusk::backend {
// $XDG_CONFIG_HOME, or ~/.config.
std::string configHome();

// Held for as long as one of Dusk's windows or alerts is open. When the last
// one goes, what drawing them left behind is given back.
class OpenWindow final {
public:
    OpenWindow();
    ~OpenWindow();
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;
};
}  // namespace dusk::backend
