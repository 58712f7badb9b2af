// The fake desktop's state, shared by its translation units.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fake/Desktop.h"

struct platform::OpaqueEventRef {
    std::optional<platform::EventHotKeyID> hotKeyID;
    std::uint32_t kind = platform::kEventHotKeyPressed;
    // For a binding change: the keys now in effect, if any.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> binding;
};

struct platform::OpaqueEventHotKeyRef {
    fake::HotKeyRegistration registration;
};

namespace fake {

struct Observer {
    std::weak_ptr<platform::Responder> observer;
    std::string selector;
    std::string name;
};

struct Handler {
    platform::EventHandlerProcPtr proc;
    std::vector<platform::EventTypeSpec> types;
};

struct Desktop {
    // Outlives a process.
    std::map<std::string, platform::Value, std::less<>> userDefaults;
    std::optional<platform::Dictionary> globalDomain;
    platform::AppServiceStatus loginStatus = platform::AppServiceStatus::NotRegistered;

    // The rest of the machine.
    std::optional<std::string> bundleIdentifier = std::string("app.dusk.Dusk");
    int pid = 4242;
    std::vector<int> runningCopies{4242};
    std::optional<platform::Dictionary> scriptFailure;
    bool refuseScriptCreation = false;
    std::vector<std::string> scriptsRun;
    std::set<std::string, std::less<>> missingImages;
    bool statusItemsHaveButtons = true;
    std::set<std::pair<std::uint32_t, std::uint32_t>> heldByOthers;
    std::map<std::uint16_t, std::u16string> layout;
    bool hasLayout = true;
    bool failTranslations = false;
    // A Mac's symbols unless a test speaks for another desktop.
    platform::ModifierNames modifierNames{"⌃", "⌥", "⇧", "⌘", ""};
    LoginOutcome registerOutcome;
    LoginOutcome unregisterOutcome;

    // This process.
    std::weak_ptr<platform::ApplicationDelegate> appDelegate;
    std::optional<platform::ActivationPolicy> activationPolicy;
    bool launched = false;
    bool terminated = false;
    bool active = false;
    std::vector<Observer> observers;
    std::deque<std::function<void()>> mainQueue;
    std::vector<LogLine> logLines;
    std::vector<std::shared_ptr<platform::StatusItem>> statusItems;
    std::deque<platform::ModalResponse> alertAnswers;
    std::deque<std::function<void()>> whileAlertShown;
    std::vector<ShownAlert> alerts;
    std::vector<std::string> openedURLs;
    int beeps = 0;
    std::vector<Handler> handlers;
    std::vector<std::unique_ptr<platform::OpaqueEventHotKeyRef>> registrations;
    int unregisterCalls = 0;
    std::vector<std::weak_ptr<platform::Window>> windows;
    std::vector<RecordedConstraint> constraints;
    int loginRegisterCalls = 0;
    int loginUnregisterCalls = 0;
};

Desktop& desktop();
// What the global domain says now, read as the system reads it.
bool appearanceIsDark();
std::atomic<int>& loggerCount();

}  // namespace fake
