// Launch at login as ServiceManagement records it for Dusk.app itself.
#include "platform/LoginItem.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#import "Text.h"

namespace platform {

static_assert(static_cast<NSInteger>(LoginItemStatus::NotRegistered) == SMAppServiceStatusNotRegistered);
static_assert(static_cast<NSInteger>(LoginItemStatus::Enabled) == SMAppServiceStatusEnabled);
static_assert(static_cast<NSInteger>(LoginItemStatus::RequiresApproval) == SMAppServiceStatusRequiresApproval);
static_assert(static_cast<NSInteger>(LoginItemStatus::NotFound) == SMAppServiceStatusNotFound);

namespace {

std::optional<std::string> failure(BOOL succeeded, NSError* error) {
    if (succeeded) return std::nullopt;
    return mac::toString(error.localizedDescription);
}

}  // namespace

LoginItemStatus LoginItem::status() { return static_cast<LoginItemStatus>([[SMAppService mainAppService] status]); }

std::optional<std::string> LoginItem::enable() {
    NSError* error = nil;
    const BOOL succeeded = [[SMAppService mainAppService] registerAndReturnError:&error];
    return failure(succeeded, error);
}

std::optional<std::string> LoginItem::disable() {
    NSError* error = nil;
    const BOOL succeeded = [[SMAppService mainAppService] unregisterAndReturnError:&error];
    return failure(succeeded, error);
}

std::string_view LoginItem::requirement() {
    return "Launch at Login only works when Dusk is run from the built Dusk.app bundle.";
}

// System Settings › General › Login Items.
void LoginItem::openApprovalSettings() { [SMAppService openSystemSettingsLoginItems]; }

}  // namespace platform
