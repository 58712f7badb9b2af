// The application object, the status bar with its item and menu, alerts and
// the system beep.
#pragma once

#include "platform/Foundation.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform {

class Menu;

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() = 0;
};

class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    // Just before the menu is drawn.
    virtual void menuWillOpen(Menu& menu) = 0;
};

enum class ActivationPolicy : int { Regular = 0, Accessory = 1, Prohibited = 2 };

// The end of every responder chain: an action without a target lands here.
class Application final : public Responder {
public:
    static Application& sharedApplication();

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate);
    void setActivationPolicy(ActivationPolicy policy);
    // The main thread's event loop; returns when the application terminates.
    void run();
    void terminate();
    void activateIgnoringOtherApps(bool flag);
    // The end of the responder chain knows one action on every desktop.
    bool perform(std::string_view selector) override {
        if (selector != "terminate:") return false;
        terminate();
        return true;
    }
};

class Image final {
public:
    // None when the platform has no image of that name.
    static std::shared_ptr<Image> imageWithSystemSymbolName(std::string_view name,
                                                            std::string_view accessibilityDescription);
    ~Image();
    void setTemplate(bool isTemplate);

    struct Impl;
    explicit Image(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class StatusBarButton final {
public:
    ~StatusBarButton();
    // None clears the image.
    void setImage(std::shared_ptr<Image> image);
    void setToolTip(std::string_view toolTip);

    struct Impl;
    explicit StatusBarButton(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class StatusItem final {
public:
    ~StatusItem();
    // May be none.
    std::shared_ptr<StatusBarButton> button() const;
    void setMenu(std::shared_ptr<Menu> menu);

    struct Impl;
    explicit StatusItem(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class StatusBar final {
public:
    // As wide as the menu bar is high.
    static inline constexpr double squareLength = -2.0;

    static StatusBar& systemStatusBar();
    std::shared_ptr<StatusItem> statusItemWithLength(double length);
};

enum class ControlStateValue : int { Off = 0, On = 1 };

class MenuItem final {
public:
    MenuItem(std::string title, std::string action, std::string keyEquivalent);
    ~MenuItem();
    static std::shared_ptr<MenuItem> separatorItem();

    // An item without a target sends its action up the responder chain.
    void setTarget(std::weak_ptr<Responder> target);
    void setTitle(std::string_view title);
    void setState(ControlStateValue state);

    struct Impl;
    explicit MenuItem(std::unique_ptr<Impl> impl);
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class Menu final {
public:
    Menu();
    ~Menu();
    void setAutoenablesItems(bool flag);
    void addItem(std::shared_ptr<MenuItem> item);
    void setDelegate(std::weak_ptr<MenuDelegate> delegate);

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

enum class AlertStyle : int { Warning = 0, Informational = 1, Critical = 2 };

using ModalResponse = long;
inline constexpr ModalResponse alertFirstButtonReturn = 1000;
inline constexpr ModalResponse alertSecondButtonReturn = 1001;

class Alert final {
public:
    Alert();
    ~Alert();
    // The platform words the message text from the error.
    static std::unique_ptr<Alert> alertWithError(const Error& error);

    void setAlertStyle(AlertStyle style);
    void setMessageText(std::string_view text);
    void setInformativeText(std::string_view text);
    void addButtonWithTitle(std::string_view title);
    // Returns once the user has dismissed the alert.
    ModalResponse runModal();

    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    std::unique_ptr<Impl> impl_;
};

class Sound final {
public:
    static void beep();
};

}  // namespace platform
