// The in-memory desktop's state, shared by its translation units.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fake/Desktop.h"

namespace fake {

struct PendingToggle {
    platform::Appearance::Done done;
};

struct PendingBind {
    platform::Shortcut keys;
    platform::GlobalShortcut::Done done;
};

struct HeldKeys {
    platform::Shortcut keys;
    std::string reason;
};

struct RefusedModifiers {
    platform::ModifierFlags modifiers;
    std::string reason;
};

struct PendingAlert {
    std::size_t index;
    std::function<void(std::size_t)> answered;
};

// The layout a desktop starts with.
std::map<std::uint16_t, std::string> usLayout();

struct RecorderWindowImpl;
struct StatusItemImpl;

struct Desktop {
    // What outlives a process.
    std::map<std::string, std::int64_t> savedSettings;
    bool dark = false;
    platform::LoginItemStatus loginStatus = platform::LoginItemStatus::NotRegistered;

    // The rest of the machine.
    bool anotherCopyRunning = false;
    std::optional<platform::AppearanceFailure> toggleFailure;
    bool togglesLater = false;
    std::vector<HeldKeys> heldByOthers;
    std::vector<RefusedModifiers> refusedModifiers;
    bool bindsLater = false;
    std::optional<platform::Shortcut> otherKeys;
    std::optional<std::map<std::uint16_t, std::string>> layout = usLayout();
    platform::ModifierNames modifierNames{"⌃", "⌥", "⇧", "⌘", ""};
    std::optional<std::string> saveFailure;
    LoginOutcome enableOutcome;
    LoginOutcome disableOutcome;

    // This process.
    bool quitRequested = false;
    std::deque<std::function<void()>> mainQueue;
    std::vector<LogLine> logLines;
    std::map<std::string, std::int64_t> settings;
    std::function<void(const std::string&, const std::string&)> saveFailed;
    bool saveFailurePending = false;
    std::vector<std::function<void()>> appearanceObservers;
    std::deque<PendingToggle> pendingToggles;
    int toggleRequests = 0;
    int permissionSettingsOpened = 0;
    std::function<void()> activated;
    std::function<void(const std::optional<platform::Shortcut>&)> rebound;
    std::optional<PendingBind> pendingBind;
    std::optional<platform::Shortcut> bound;
    int bindRequests = 0;
    int unbindRequests = 0;
    StatusItemImpl* statusItem = nullptr;
    int statusItemsMade = 0;
    std::vector<ShownAlert> alerts;
    std::deque<std::size_t> alertAnswers;
    std::deque<std::function<void()>> whileAlertShown;
    bool holdAlerts = false;
    std::deque<PendingAlert> heldAlerts;
    int beeps = 0;
    RecorderWindowImpl* recorderWindow = nullptr;
    int recorderWindowsMade = 0;
    int loginEnableCalls = 0;
    int loginDisableCalls = 0;
    int loginApprovalSettingsOpened = 0;
};

Desktop& desktop();

// What outlives a process (the stored settings, the appearance, the login
// item) as text a new process reads back.
std::string persistentState();
void restorePersistentState(const std::string& text);

}  // namespace fake
