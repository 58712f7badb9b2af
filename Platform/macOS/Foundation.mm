#include "platform/Foundation.h"

#import <Foundation/Foundation.h>
#include <dispatch/dispatch.h>
#include <os/log.h>

#include <utility>

#import "Bridge.h"

using platform::mac::toNSString;
using platform::mac::toString;

namespace platform {
namespace {

// Property-list scalars cross as themselves; anything richer (a range in a
// script error, a date, a nested collection) crosses as its description, so
// the log still shows it.
Value toValue(id object) {
    if ([object isKindOfClass:[NSString class]]) return toString(object);
    if ([object isKindOfClass:[NSNumber class]]) {
        NSNumber* number = object;
        const auto cf = (__bridge CFNumberRef)number;
        if (CFGetTypeID(cf) == CFBooleanGetTypeID()) return static_cast<bool>([number boolValue]);
        if (CFNumberIsFloatType(cf)) return [number doubleValue];
        return static_cast<std::int64_t>([number longLongValue]);
    }
    return toString([object description]);
}

Dictionary toDictionary(NSDictionary* dictionary) {
    Dictionary out;
    for (id key in dictionary) {
        if ([key isKindOfClass:[NSString class]]) out.emplace(toString(key), toValue(dictionary[key]));
    }
    return out;
}

}  // namespace

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults;
    return defaults;
}

std::optional<Value> UserDefaults::objectForKey(std::string_view key) const {
    id object = [[NSUserDefaults standardUserDefaults] objectForKey:toNSString(key)];
    if (object == nil) return std::nullopt;
    return toValue(object);
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
    return [[NSUserDefaults standardUserDefaults] integerForKey:toNSString(key)];
}

void UserDefaults::setInteger(std::int64_t value, std::string_view key) {
    [[NSUserDefaults standardUserDefaults] setInteger:static_cast<NSInteger>(value) forKey:toNSString(key)];
}

std::optional<Dictionary> UserDefaults::persistentDomainForName(std::string_view name) const {
    NSDictionary* domain = [[NSUserDefaults standardUserDefaults] persistentDomainForName:toNSString(name)];
    if (domain == nil) return std::nullopt;
    return toDictionary(domain);
}

DistributedNotificationCenter& DistributedNotificationCenter::defaultCenter() {
    static DistributedNotificationCenter center;
    return center;
}

void DistributedNotificationCenter::addObserver(std::weak_ptr<Responder> observer, std::string selector,
                                                std::string_view name, std::optional<std::string_view> sender) {
    // The center does not keep its observers, and a subscription lasts as
    // long as the process.
    static NSMutableArray<DuskTarget*>* const observers = [NSMutableArray array];
    DuskTarget* target = [[DuskTarget alloc] initWithResponder:std::move(observer) action:std::move(selector)];
    [observers addObject:target];
    [[NSDistributedNotificationCenter defaultCenter] addObserver:target
                                                        selector:@selector(performAction:)
                                                            name:toNSString(name)
                                                          object:sender ? toNSString(*sender) : nil];
}

void MainQueue::async(std::function<void()> work) {
    dispatch_async(dispatch_get_main_queue(), ^{
      work();
    });
}

struct Logger::Impl {
    os_log_t log;
};

Logger::Logger(std::string subsystem, std::string category)
    : impl_(std::make_unique<Impl>(Impl{os_log_create(subsystem.c_str(), category.c_str())})) {}

Logger::~Logger() = default;

void Logger::log(LogLevel level, std::string_view text) const {
    // Dusk has rendered the line already, and every value in it is public.
    os_log_with_type(impl_->log, level == LogLevel::Error ? OS_LOG_TYPE_ERROR : OS_LOG_TYPE_DEFAULT, "%{public}s",
                     std::string(text).c_str());
}

Bundle& Bundle::mainBundle() {
    static Bundle bundle;
    return bundle;
}

std::optional<std::string> Bundle::bundleIdentifier() const {
    NSString* identifier = [[NSBundle mainBundle] bundleIdentifier];
    if (identifier == nil) return std::nullopt;
    return toString(identifier);
}

ProcessInfo& ProcessInfo::processInfo() {
    static ProcessInfo info;
    return info;
}

int ProcessInfo::processIdentifier() const { return [[NSProcessInfo processInfo] processIdentifier]; }

std::vector<RunningApplication> RunningApplication::runningApplicationsWithBundleIdentifier(
    std::string_view bundleIdentifier) {
    std::vector<RunningApplication> running;
    for (NSRunningApplication* application in
         [NSRunningApplication runningApplicationsWithBundleIdentifier:toNSString(bundleIdentifier)]) {
        running.emplace_back([application processIdentifier]);
    }
    return running;
}

std::optional<URL> URL::URLWithString(std::string_view string) {
    NSURL* url = [NSURL URLWithString:toNSString(string)];
    if (url == nil) return std::nullopt;
    return URL(std::string(string));
}

Workspace& Workspace::sharedWorkspace() {
    static Workspace workspace;
    return workspace;
}

bool Workspace::openURL(const URL& url) {
    // NSURL may read the string back as no URL at all, and openURL: takes no nil.
    NSURL* nsURL = [NSURL URLWithString:toNSString(url.absoluteString())];
    return nsURL != nil && [[NSWorkspace sharedWorkspace] openURL:nsURL];
}

struct AppleScript::Impl {
    NSAppleScript* script;
};

AppleScript::AppleScript(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
AppleScript::~AppleScript() = default;

std::unique_ptr<AppleScript> AppleScript::initWithSource(std::string source) {
    NSAppleScript* script = [[NSAppleScript alloc] initWithSource:toNSString(source)];
    if (script == nil) return nullptr;
    return std::make_unique<AppleScript>(std::make_unique<Impl>(Impl{script}));
}

std::optional<Dictionary> AppleScript::executeAndReturnError() {
    NSDictionary<NSString*, id>* errorInfo = nil;
    [impl_->script executeAndReturnError:&errorInfo];
    if (errorInfo == nil) return std::nullopt;
    return toDictionary(errorInfo);
}

}  // namespace platform
