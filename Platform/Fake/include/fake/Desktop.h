// The in-memory desktop's controls, for tests only: Dusk itself never
// includes this header. A test acts here as the user or as the rest of the
// system, and reads back what a user or a reviewer would check.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/AppKit.h"
#include "platform/Foundation.h"
#include "platform/HotKeyEvents.h"
#include "platform/KeyboardLayout.h"
#include "platform/ServiceManagement.h"
#include "platform/Views.h"

// The backend's object state, open to tests for reading.
namespace platform {

struct Logger::Impl {
    std::string subsystem;
    std::string category;
};

struct AppleScript::Impl {
    std::string source;
};

struct Image::Impl {
    std::string name;
    std::string accessibilityDescription;
    bool isTemplate = false;
};

struct StatusBarButton::Impl {
    std::shared_ptr<Image> image;
    std::string toolTip;
};

struct StatusItem::Impl {
    double length = 0;
    std::shared_ptr<StatusBarButton> button;
    std::shared_ptr<Menu> menu;
};

struct MenuItem::Impl {
    bool isSeparator = false;
    std::string title;
    std::string action;
    std::string keyEquivalent;
    bool hasTarget = false;
    std::weak_ptr<Responder> target;
    ControlStateValue state = ControlStateValue::Off;
};

struct Menu::Impl {
    bool autoenablesItems = true;
    std::vector<std::shared_ptr<MenuItem>> items;
    std::weak_ptr<MenuDelegate> delegate;
};

struct Alert::Impl {
    AlertStyle style = AlertStyle::Warning;
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
    bool madeFromError = false;
};

// A colour as applied: its name and the appearance it was resolved in.
struct ResolvedColor {
    SystemColor name;
    bool dark;
    bool operator==(const ResolvedColor&) const = default;
};

struct Layer::Impl {
    double cornerRadius = 0;
    double borderWidth = 0;
    std::optional<ResolvedColor> backgroundColor;
    std::optional<ResolvedColor> borderColor;
};

enum class ViewKind { Plain, Label, Button, Stack };

struct View::Impl {
    ViewKind kind = ViewKind::Plain;
    Rect frame;
    std::shared_ptr<Layer> layer;
    std::vector<std::shared_ptr<View>> subviews;
    View* superview = nullptr;
    std::weak_ptr<Window> window;  // set on a window's content view only
    bool translatesAutoresizingMaskIntoConstraints = true;
    bool needsDisplay = false;
    // Labels and buttons.
    std::string text;
    TextAlignment alignment = TextAlignment::Natural;
    int maximumNumberOfLines = 0;
    double preferredMaxLayoutWidth = 0;
    std::optional<Font> font;
    std::optional<Color> textColor;
    // Buttons.
    std::weak_ptr<Responder> target;
    std::string action;
    std::optional<BezelStyle> bezelStyle;
    std::string keyEquivalent;
    // Stack views: the arranged views are the subviews.
    std::optional<UserInterfaceLayoutOrientation> orientation;
    std::optional<LayoutAttribute> stackAlignment;
    double spacing = 0;
    EdgeInsets edgeInsets;
};

struct Window::Impl {
    Rect contentRect;
    std::uint64_t styleMask = 0;
    BackingStoreType backing = BackingStoreType::Buffered;
    bool defer = true;
    std::string title;
    bool releasedWhenClosed = true;
    WindowLevel level = WindowLevel::Normal;
    bool centered = false;
    std::weak_ptr<WindowDelegate> delegate;
    std::shared_ptr<View> contentView;
    View* firstResponder = nullptr;
    bool visible = false;
    bool key = false;
};

}  // namespace platform

namespace fake {

struct LogLine {
    std::string subsystem;
    std::string category;
    platform::LogLevel level;
    std::string text;
};

struct ShownAlert {
    platform::Alert::Impl alert;
    bool appActiveWhenShown;
    std::vector<std::string> openWindowTitles;  // windows on screen behind it
    platform::ModalResponse response;
};

struct MenuEntry {
    bool isSeparator;
    std::string title;
    std::string action;
    std::string keyEquivalent;
    bool hasTarget;
    platform::ControlStateValue state;
    bool enabled;
};

// What register or unregister of the login item does when asked.
struct LoginOutcome {
    std::optional<platform::Error> error;                   // fails with this
    std::optional<platform::AppServiceStatus> statusAfter;  // none: the natural status
};

struct HotKeyRegistration {
    std::uint32_t keyCode;
    std::uint32_t carbonModifiers;
    platform::EventHotKeyID hotKeyID;
};

// --- Appearance and System Events --------------------------------------------

// Changes the appearance as System Settings would, posting the notification.
void setDarkMode(bool dark);
// Sets the raw global domain (none removes it); posts nothing.
void setGlobalDomain(std::optional<platform::Dictionary> domain);
const std::optional<platform::Dictionary>& globalDomain();
// Delivers a distributed notification to its observers now.
void postDistributedNotification(const std::string& name);
// The next toggle scripts fail with this error information (none: succeed).
void failScriptsWith(std::optional<platform::Dictionary> errorInfo);
void refuseScriptCreation(bool refuse);
const std::vector<std::string>& scriptsRun();

// --- Application, bundle and processes ---------------------------------------

std::optional<platform::ActivationPolicy> activationPolicy();
bool terminated();
bool appIsActive();
void otherAppComesForward();
// Runs applicationDidFinishLaunching on the delegate, as the event loop would.
void finishLaunching();
void setBundleIdentifier(std::optional<std::string> identifier);
int processIdentifier();
// Copies of Dusk that the running-application list holds, this one included.
void setRunningCopies(std::vector<int> processIdentifiers);

// --- Main queue --------------------------------------------------------------

std::size_t pendingMainQueueItems();
// Runs queued work, including work queued while draining; returns how much.
std::size_t drainMainQueue();

// --- Status item and menu -----------------------------------------------------

void giveStatusItemsNoButton();
void removeSystemImage(const std::string& name);
std::shared_ptr<platform::StatusItem> statusItem();  // the last one made; none yet
// Opens the status item's menu as the user would and lists what it shows.
std::vector<MenuEntry> openMenu();
// Opens the menu and chooses the item with this title.
void chooseMenuItem(const std::string& title);
// Types a key equivalent while the menu is open.
void pressMenuKeyEquivalent(const std::string& key);

// --- Alerts, URLs, log, beeps ----------------------------------------------------

void answerNextAlertWith(platform::ModalResponse response);
// Runs `action` while the next alert is on screen, before it is answered: a
// modal alert keeps delivering the user's menu choices and hot keys.
void whileNextAlertIsShown(std::function<void()> action);
const std::vector<ShownAlert>& alerts();
const std::vector<std::string>& openedURLs();
const std::vector<LogLine>& logLines();
int loggersCreated();
int beeps();

// --- Hot keys ----------------------------------------------------------------------

// Another application holds this combination; registering it is refused.
void holdInOtherApp(std::uint32_t keyCode, std::uint32_t carbonModifiers);
std::vector<HotKeyRegistration> registrations();
int installedHandlers();
int unregisterCalls();
// The user presses a key combination anywhere. Answers the handler's status,
// or none when no registration of Dusk's matched.
std::optional<platform::OSStatus> pressHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers);
// Delivers a hot-key event with any identifier, or one without a readable
// parameter, to the installed handlers. Answers the handler's status.
platform::OSStatus deliverHotKeyEvent(platform::EventHotKeyID hotKeyID);
platform::OSStatus deliverUnreadableHotKeyEvent();
// The desktop moves Dusk's registered hot key to other keys (key code and
// modifier mask), or drops it (none), as a shortcuts portal may. Answers the
// handler's status, or none when nothing of Dusk's is registered.
std::optional<platform::OSStatus> rebindHotKey(std::optional<std::pair<std::uint32_t, std::uint32_t>> keys);
// Delivers a binding change with any identifier to the installed handlers.
platform::OSStatus deliverHotKeyBindingChange(platform::EventHotKeyID hotKeyID,
                                              std::optional<std::pair<std::uint32_t, std::uint32_t>> keys);

// --- Keyboard layouts -----------------------------------------------------------------

enum class Layout { US, German, None };
void useLayout(Layout layout);
// A layout of the test's own: key code to the text it types.
void useLayout(std::map<std::uint16_t, std::u16string> keys);
void failTranslations(bool fail);
// How this desktop names the modifier keys in shortcuts.
void useModifierNames(platform::ModifierNames names);

// --- Windows and keyboard input ------------------------------------------------------

std::vector<std::shared_ptr<platform::Window>> openWindows();
// Every view of a window's tree, depth first.
std::vector<platform::View*> viewsOf(const platform::Window& window);
platform::View* findLabel(const platform::Window& window, const std::string& text);
platform::View* findButton(const platform::Window& window, const std::string& title);
struct RecordedConstraint {
    platform::LayoutConstraint constraint;
    bool active = false;
};
std::vector<RecordedConstraint> constraintsOf(const platform::View* view);
// The user's keyboard, delivered to the key window.
void typeKey(std::uint16_t keyCode, platform::EventModifierFlags modifiers = 0);
void changeModifiers(platform::EventModifierFlags modifiers);
void click(platform::View& view);
void clickButton(const std::string& title);
void pressCloseButton();
// Runs updateLayer on every view that asked to be redrawn.
void redraw();

// --- Login item ------------------------------------------------------------------------

void setLoginItemStatus(platform::AppServiceStatus status);
platform::AppServiceStatus loginItemStatus();
void onLoginRegister(LoginOutcome outcome);
void onLoginUnregister(LoginOutcome outcome);
int loginRegisterCalls();
int loginUnregisterCalls();

// --- Processes ---------------------------------------------------------------------------

// Runs `body` as a fresh process of Dusk on this desktop: a forked child
// whose process-wide singletons start anew. What outlives a process (the
// stored defaults, the global domain, the login item) comes back to this one.
// Answers the child's exit status, or -1 when it did not exit normally.
int runInNewProcess(const std::function<int()>& body);

}  // namespace fake
