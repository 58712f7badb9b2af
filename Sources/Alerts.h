#pragma once

#include "platform/AppKit.h"

namespace dusk {

// Dusk is an accessory application with no window of its own, so an alert
// would open behind whatever the user is working in unless Dusk comes forward.
inline platform::ModalResponse runAlertInFront(platform::Alert& alert) {
    platform::Application::sharedApplication().activateIgnoringOtherApps(true);
    return alert.runModal();
}

}  // namespace dusk
