// Alerts as NSAlert runs them: modal, in front of every other application.
#include "platform/Alert.h"

#import <AppKit/AppKit.h>

#import "Activation.h"
#include "ModalResponse.h"
#import "Text.h"

using platform::mac::toNSString;

static_assert(platform::mac::firstButtonResponse == NSAlertFirstButtonReturn);

namespace platform {

// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void showAlert(const Alert& alert, std::function<void(std::size_t button)> answered) {
    NSAlert* panel = [[NSAlert alloc] init];
    panel.alertStyle = NSAlertStyleWarning;
    panel.messageText = toNSString(alert.messageText);
    panel.informativeText = toNSString(alert.informativeText);
    for (const auto& title : alert.buttons) [panel addButtonWithTitle:toNSString(title)];
    mac::comeToFront();
    const NSModalResponse response = [panel runModal];
    if (answered) answered(mac::buttonChosen(response, alert.buttons.size()));
}

void beep() { NSBeep(); }

}  // namespace platform
