// Foundation-level services: values, user defaults, notifications, the main
// queue, the log, the process and its bundle, URLs and the script runner.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

// A property-list scalar, as found in the global preferences domain and in
// the script runner's error information.
using Value = std::variant<std::int64_t, double, bool, std::string>;
using Dictionary = std::map<std::string, Value, std::less<>>;

// An error that a platform call handed back.
struct Error {
    std::string domain;
    std::int64_t code = 0;
    std::string localizedDescription;
};

// Anything the platform can reach by selector name: menu items, buttons and
// notification observers carry a weak target and a selector. Answers whether
// it knew the selector.
class Responder {
public:
    virtual ~Responder() = default;
    virtual bool perform(std::string_view selector) = 0;
};

class UserDefaults final {
public:
    static inline constexpr std::string_view globalDomain = "NSGlobalDomain";

    static UserDefaults& standardUserDefaults();

    // The presence test: a stored 0 is a value, an absent key is none.
    std::optional<Value> objectForKey(std::string_view key) const;
    // 0 when absent or not an integer.
    std::int64_t integerForKey(std::string_view key) const;
    void setInteger(std::int64_t value, std::string_view key);
    // Read only; none when the domain does not exist.
    std::optional<Dictionary> persistentDomainForName(std::string_view name) const;
};

class DistributedNotificationCenter final {
public:
    static DistributedNotificationCenter& defaultCenter();
    // `sender` none observes the notification from any sender.
    void addObserver(std::weak_ptr<Responder> observer, std::string selector, std::string_view name,
                     std::optional<std::string_view> sender);
};

class MainQueue final {
public:
    // Runs `work` on the main thread in a later turn of the event loop, in
    // the order of submission.
    static void async(std::function<void()> work);
};

enum class LogLevel { Default, Error };

class Logger final {
public:
    Logger(std::string subsystem, std::string category);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // `text` is the finished line; every value in it is public.
    void log(LogLevel level, std::string_view text) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

class Bundle final {
public:
    static Bundle& mainBundle();
    // None when the executable does not run from an application bundle.
    std::optional<std::string> bundleIdentifier() const;
};

class ProcessInfo final {
public:
    static ProcessInfo& processInfo();
    int processIdentifier() const;
};

class RunningApplication final {
public:
    explicit RunningApplication(int processIdentifier) : processIdentifier_(processIdentifier) {}
    // Includes the calling process itself when it matches.
    static std::vector<RunningApplication> runningApplicationsWithBundleIdentifier(std::string_view bundleIdentifier);
    int processIdentifier() const { return processIdentifier_; }

private:
    int processIdentifier_;
};

class URL final {
public:
    // None when `string` is not a valid URL.
    static std::optional<URL> URLWithString(std::string_view string);
    const std::string& absoluteString() const { return string_; }

private:
    explicit URL(std::string string) : string_(std::move(string)) {}
    std::string string_;
};

class Workspace final {
public:
    static Workspace& sharedWorkspace();
    bool openURL(const URL& url);
};

// The script runner. A script object runs once per toggle; nothing keeps it.
class AppleScript final {
public:
    static inline constexpr std::string_view errorNumberKey = "NSAppleScriptErrorNumber";
    static inline constexpr std::string_view errorMessageKey = "NSAppleScriptErrorMessage";

    // None when the platform cannot make a script object from `source`.
    static std::unique_ptr<AppleScript> initWithSource(std::string source);
    ~AppleScript();
    AppleScript(const AppleScript&) = delete;
    AppleScript& operator=(const AppleScript&) = delete;

    // Runs synchronously. The result value is of no interest to Dusk, so only
    // the error information comes back: none on success.
    std::optional<Dictionary> executeAndReturnError();

    struct Impl;
    explicit AppleScript(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
