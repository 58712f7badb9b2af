// Launching Dusk when the user logs in, as the platform records it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class LoginItemStatus { NotRegistered = 0, Enabled = 1, RequiresApproval = 2, NotFound = 3 };

class LoginItem final {
public:
    LoginItem() = delete;

    static LoginItemStatus status();
    // Each answers none when it worked, or the platform's description of
    // what failed.
    static std::optional<std::string> enable();
    static std::optional<std::string> disable();
    // Where a copy of Dusk must run from for its login item to work.
    static std::string_view requirement();
    // Opens the page of the platform's settings where the user approves a
    // login item that waits for it (RequiresApproval).
    static void openApprovalSettings();
};

}  // namespace platform
