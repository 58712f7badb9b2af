// Dusk's settings in its own domain of the user defaults.
#include "platform/SettingsStore.h"

#import <Foundation/Foundation.h>

#import "Text.h"

using platform::mac::toNSString;

namespace platform {

std::optional<std::int64_t> SettingsStore::integer(std::string_view key) {
    NSUserDefaults* defaults = [NSUserDefaults standardUserDefaults];
    NSString* name = toNSString(key);
    // A stored 0 is a value: presence is asked apart from the number.
    if ([defaults objectForKey:name] == nil) return std::nullopt;
    return [defaults integerForKey:name];
}

void SettingsStore::setInteger(std::string_view key, std::int64_t value) {
    [[NSUserDefaults standardUserDefaults] setInteger:static_cast<NSInteger>(value) forKey:toNSString(key)];
}

// The user defaults take every write and keep it themselves: nothing is left
// to fail later.
// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void SettingsStore::onSaveFailed(std::function<void(const std::string&, const std::string&)>) {}

}  // namespace platform
