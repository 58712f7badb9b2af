// Light or Dark on a Mac: read from the global domain, switched by System
// Events through AppleScript, announced by a distributed notification.
#include "platform/Appearance.h"

#import <AppKit/AppKit.h>

#include <utility>

#import "Text.h"
#include "ToggleScript.h"

using platform::mac::toNSString;
using platform::mac::toString;

@interface DuskAppearanceObserver : NSObject
- (void)setChanged:(std::function<void()>)changed;
- (void)appearanceDidChange:(NSNotification*)notification;
@end

@implementation DuskAppearanceObserver {
    std::function<void()> _changed;
}

- (void)setChanged:(std::function<void()>)changed {
    _changed = std::move(changed);
}

- (void)appearanceDidChange:(NSNotification*)notification {
    // A copy: the handler may replace itself.
    if (const auto changed = _changed) changed();
}

@end

namespace platform {
namespace {

mac::ScriptErrorValue toValue(id object) {
    if ([object isKindOfClass:[NSString class]]) return toString(object);
    if ([object isKindOfClass:[NSNumber class]]) {
        NSNumber* number = object;
        const auto cf = (__bridge CFNumberRef)number;
        if (CFGetTypeID(cf) == CFBooleanGetTypeID()) return static_cast<bool>([number boolValue]);
        if (!CFNumberIsFloatType(cf)) return static_cast<std::int64_t>([number longLongValue]);
    }
    return mac::Description{toString([object description])};
}

mac::ScriptErrorInfo toErrorInfo(NSDictionary* dictionary) {
    mac::ScriptErrorInfo info;
    for (id key in dictionary) {
        if ([key isKindOfClass:[NSString class]]) info.emplace(toString(key), toValue(dictionary[key]));
    }
    return info;
}

}  // namespace

bool Appearance::isDark() {
    NSDictionary* global = [[NSUserDefaults standardUserDefaults] persistentDomainForName:NSGlobalDomain];
    id style = global[@"AppleInterfaceStyle"];
    return [style isKindOfClass:[NSString class]] && [style isEqualToString:@"Dark"];
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void Appearance::toggle(Done done) {
    // A fresh script for every toggle; it runs here, and the main thread
    // waits for System Events' answer.
    NSAppleScript* script = [[NSAppleScript alloc] initWithSource:toNSString(mac::toggleScript)];
    if (script == nil) return mac::failToMakeScript(done);
    NSDictionary<NSString*, id>* errorInfo = nil;
    [script executeAndReturnError:&errorInfo];
    mac::finishToggle(errorInfo != nil ? std::optional(toErrorInfo(errorInfo)) : std::nullopt, done);
}

void Appearance::onChange(std::function<void()> changed) {
    // Subscribed once, for the life of the process, from any sender. AppKit
    // holds distributed notifications back while an application is not the
    // active one, which a menu-bar accessory hardly ever is.
    static DuskAppearanceObserver* const observer = [] {
        DuskAppearanceObserver* made = [[DuskAppearanceObserver alloc] init];
        [[NSDistributedNotificationCenter defaultCenter]
                   addObserver:made
                      selector:@selector(appearanceDidChange:)
                          name:@"AppleInterfaceThemeChangedNotification"
                        object:nil
            suspensionBehavior:NSNotificationSuspensionBehaviorDeliverImmediately];
        return made;
    }();
    [observer setChanged:std::move(changed)];
}

void Appearance::openPermissionSettings() {
    // The Automation page of Privacy & Security.
    NSURL* automation =
        [NSURL URLWithString:@"x-apple.systempreferences:com.apple.preference.security?Privacy_Automation"];
    if (automation != nil) [[NSWorkspace sharedWorkspace] openURL:automation];
}

}  // namespace platform
