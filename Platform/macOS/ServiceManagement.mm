#include "platform/ServiceManagement.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#import "Bridge.h"

namespace platform {

static_assert(static_cast<NSInteger>(AppServiceStatus::NotRegistered) == SMAppServiceStatusNotRegistered);
static_assert(static_cast<NSInteger>(AppServiceStatus::Enabled) == SMAppServiceStatusEnabled);
static_assert(static_cast<NSInteger>(AppServiceStatus::RequiresApproval) == SMAppServiceStatusRequiresApproval);
static_assert(static_cast<NSInteger>(AppServiceStatus::NotFound) == SMAppServiceStatusNotFound);

namespace {

std::optional<Error> failure(BOOL succeeded, NSError* error) {
    if (succeeded) return std::nullopt;
    return Error{mac::toString([error domain]), [error code], mac::toString([error localizedDescription])};
}

}  // namespace

AppService& AppService::mainAppService() {
    static AppService service;
    return service;
}

AppServiceStatus AppService::status() const {
    return static_cast<AppServiceStatus>([[SMAppService mainAppService] status]);
}

std::optional<Error> AppService::registerAndReturnError() {
    NSError* error = nil;
    const BOOL succeeded = [[SMAppService mainAppService] registerAndReturnError:&error];
    return failure(succeeded, error);
}

std::optional<Error> AppService::unregisterAndReturnError() {
    NSError* error = nil;
    const BOOL succeeded = [[SMAppService mainAppService] unregisterAndReturnError:&error];
    return failure(succeeded, error);
}

std::string_view AppService::requirement() {
    return "Launch at Login only works when Dusk is run from the built Dusk.app bundle.";
}

}  // namespace platform
