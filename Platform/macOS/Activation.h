// Bringing Dusk in front of the application the user is working in, before
// an alert or the recorder window: Dusk has no window of its own that could
// be in front already.
#pragma once

#import <AppKit/AppKit.h>

namespace platform::mac {

inline void comeToFront() {
    // Typed, not NSApp's __kindof: clang then checks each call against
    // NSApplication's own availability rather than that of any class with a
    // method of the same name.
    NSApplication* const application = NSApp;
    // From macOS 14 activateIgnoringOtherApps: no longer pushes past the
    // front application, and an alert after a shortcut could open behind it.
    if (@available(macOS 14.0, *)) {
        [application activate];
    } else {
        [application activateIgnoringOtherApps:YES];
    }
}

}  // namespace platform::mac
