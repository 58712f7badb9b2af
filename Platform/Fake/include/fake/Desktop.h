// The in-memory desktop's controls, for tests only: Dusk itself never
// includes this header. A test acts here as the user or as the rest of the
// system, and reads back what a user or a reviewer would check. What the
// desktop does later waits in the main queue until the test drains it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Alert.h"
#include "platform/Appearance.h"
#include "platform/GlobalShortcut.h"
#include "platform/Keyboard.h"
#include "platform/Log.h"
#include "platform/LoginItem.h"
#include "platform/RecorderWindow.h"
#include "platform/Shortcut.h"
#include "platform/StatusItem.h"

namespace fake {

// --- Session and main queue --------------------------------------------------

// Another copy of Dusk runs in this login session.
void setAnotherCopyRunning(bool running);
bool quitRequested();
std::size_t pendingMainQueueItems();
// Runs queued work, including work queued while draining; answers how much.
std::size_t drainMainQueue();

// Runs `body` as a fresh process of Dusk on this desktop: a forked child
// whose process-wide singletons start anew. What outlives a process (the
// stored settings, the appearance, the login item) comes back to this one.
// Answers the child's exit status, or -1 when it did not exit normally.
int runInNewProcess(const std::function<int()>& body);

// --- Log ----------------------------------------------------------------------

struct LogLine {
    platform::LogLevel level;
    std::string text;
};
const std::vector<LogLine>& logLines();

// --- Appearance -----------------------------------------------------------------

// The user switches elsewhere, as in the desktop's own settings.
void setDark(bool dark);
// How the next toggles end: none lands them, a failure refuses them.
void failTogglesWith(std::optional<platform::AppearanceFailure> failure);
// Toggles wait in the desktop until answerToggle, as a slow settings
// service keeps them.
void answerTogglesLater(bool later);
// Lands (or fails) the oldest waiting toggle; false when none waits.
bool answerToggle();
int toggleRequests();
int permissionSettingsOpened();

// --- Status item and menu ----------------------------------------------------------

struct MenuEntry {
    bool isSeparator = false;
    std::string title;
    std::string keyEquivalent;
    bool checked = false;
};

struct StatusItemState {
    std::optional<platform::Symbol> symbol;
    std::string accessibilityDescription;
    std::string toolTip;
};

int statusItemsMade();
// The status item on screen, if any.
std::optional<StatusItemState> statusItem();
// Opens the menu as the user would (its titles refresh) and lists it.
std::vector<MenuEntry> openMenu();
// Opens the menu and chooses the item with this title.
void chooseMenuItem(const std::string& title);

// --- Alerts and beeps -------------------------------------------------------------------

struct ShownAlert {
    platform::Alert alert;
    // Windows of Dusk's on screen when it came.
    std::vector<std::string> openWindowTitles;
    // The button chosen; none while the alert is still up.
    std::optional<std::size_t> answer;
};
const std::vector<ShownAlert>& alerts();
// Alerts are answered as they come, with the default button unless a test
// queues answers; held alerts wait for answerAlert instead, as alerts that
// do not stop the loop do.
void answerNextAlertWith(std::size_t button);
void holdAlerts(bool hold);
// Answers the oldest alert still up; false when none is.
bool answerAlert(std::size_t button);
// Runs `action` while the next alert is up, before it is answered: an alert
// leaves the menu and the shortcut working.
void whileNextAlertIsShown(std::function<void()> action);
int beeps();

// --- Recorder window -------------------------------------------------------------------------

struct RecorderWindowState {
    platform::RecorderWindow::Content content;
    bool focused = false;
    int timesBroughtToFront = 0;
};
int recorderWindowsMade();
// The recorder window on screen, if any.
std::optional<RecorderWindowState> recorderWindow();
// The user's keyboard in the recorder box, which must have it.
void typeKey(std::uint32_t keyCode, platform::ModifierFlags modifiers = 0);
void changeModifiers(platform::ModifierFlags modifiers);
// The user clicks into the recorder box, or elsewhere in the window.
void focusRecorder(bool focused);
void clickButton(const std::string& title);
void pressCloseButton();

// --- Global shortcut ------------------------------------------------------------------------------

// Another application holds these keys: binding them is refused, with
// `reason` as the desktop's words for why where it gives any.
void holdInOtherApp(platform::Shortcut keys, std::string reason = {});
// This desktop takes no shortcut whose only modifiers are these, as macOS
// 15.0 and 15.1 take none with just ⌥ or ⌥⇧: binding one is refused with
// `reason`.
void refuseModifiers(platform::ModifierFlags modifiers, std::string reason = {});
// Binds wait in the desktop until answerBind, as a portal keeps them.
void answerBindsLater(bool later);
bool answerBind();
// The desktop binds these keys instead of the ones asked for.
void bindOtherKeysNextTime(platform::Shortcut keys);
// What is bound now, if anything.
std::optional<platform::Shortcut> boundShortcut();
int bindRequests();
int unbindRequests();
// The user presses keys anywhere; answers whether Dusk's binding took them.
bool pressKeys(platform::Shortcut keys);
// The desktop moves Dusk's binding to other keys, or drops it (none).
void rebind(std::optional<platform::Shortcut> keys);

// --- Keyboard ---------------------------------------------------------------------------------------

enum class Layout { US, German, None };
void useLayout(Layout layout);
// A layout of the test's own: key code to what its key shows.
void useLayout(std::map<std::uint16_t, std::string> keys);
// How this desktop names the modifier keys in shortcuts; a Mac's by default.
void useModifierNames(platform::ModifierNames names);

// --- Settings ------------------------------------------------------------------------------------

std::map<std::string, std::int64_t> storedSettings();
void storeSetting(const std::string& key, std::int64_t value);
// Saves fail with this reason until cleared (none).
void failSavesWith(std::optional<std::string> reason);

// --- Login item ------------------------------------------------------------------------------------

void setLoginItemStatus(platform::LoginItemStatus status);
platform::LoginItemStatus loginItemStatus();
// What enabling or disabling does: fail with this description (or not), and
// leave this status (none: the one asked for).
struct LoginOutcome {
    std::optional<std::string> failure;
    std::optional<platform::LoginItemStatus> statusAfter;
};
void onLoginEnable(LoginOutcome outcome);
void onLoginDisable(LoginOutcome outcome);
int loginEnableCalls();
int loginDisableCalls();
int loginApprovalSettingsOpened();

}  // namespace fake
