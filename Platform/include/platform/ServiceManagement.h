// The login-item registration the platform holds for the application itself.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Foundation.h"

namespace platform {

enum class AppServiceStatus : int { NotRegistered = 0, Enabled = 1, RequiresApproval = 2, NotFound = 3 };

class AppService final {
public:
    static AppService& mainAppService();
    AppServiceStatus status() const;
    // Each returns the error when it failed, none when it succeeded.
    std::optional<Error> registerAndReturnError();
    std::optional<Error> unregisterAndReturnError();
    // Where a copy must run from for its login item to work: the advice of
    // the alert that follows a failed change.
    static std::string_view requirement();
};

}  // namespace platform
