// The desktop's Light or Dark appearance: which side it is on, switching it,
// and hearing of changes made anywhere.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace platform {

// Why a switch did not happen.
struct AppearanceFailure {
    // The user has not let Dusk change the appearance; the platform has a
    // settings page where they can (openPermissionSettings).
    bool permissionMissing = false;
    // What went wrong, in the platform's own words, for the alert.
    std::string reason;
};

class Appearance final {
public:
    Appearance() = delete;

    // The side as far as Dusk knows, at once. After Dusk's own switch it is
    // the side Dusk switched to.
    static bool isDark();

    // Switches to the other side. `done` gets none once the change has
    // landed, or the failure; where the platform answers at once it is called
    // before toggle returns, otherwise later on the main queue. The platform
    // logs the failure in its own words.
    using Done = std::function<void(const std::optional<AppearanceFailure>& failure)>;
    static void toggle(Done done);

    // Called on the main thread after the side changed, by Dusk or anyone.
    static void onChange(std::function<void()> changed);

    // Opens the page of the platform's settings that grants the permission
    // a failure said was missing.
    static void openPermissionSettings();
};

}  // namespace platform
