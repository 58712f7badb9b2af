// The process on a Mac: NSApplication as an accessory in the menu bar, its
// main queue, and the one copy of Dusk per login.
#include "platform/Session.h"

#import <AppKit/AppKit.h>
#include <dispatch/dispatch.h>

#include <optional>
#include <utility>

@interface DuskApplicationDelegate : NSObject <NSApplicationDelegate>
- (instancetype)initWithLaunched:(std::function<void()>)launched;
@end

@implementation DuskApplicationDelegate {
    std::function<void()> _launched;
}

- (instancetype)initWithLaunched:(std::function<void()>)launched {
    if ((self = [super init])) _launched = std::move(launched);
    return self;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
    if (_launched) _launched();
}

// Dusk restores no windows; what AppKit would restore is decoded securely.
- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app {
    return YES;
}

@end

namespace platform {

int Session::run(std::function<void()> launched) {
    @autoreleasepool {
        NSApplication* application = [NSApplication sharedApplication];
        // NSApp holds its delegate weakly; this one is needed until the loop ends.
        NS_VALID_UNTIL_END_OF_SCOPE DuskApplicationDelegate* delegate =
            [[DuskApplicationDelegate alloc] initWithLaunched:std::move(launched)];
        application.delegate = delegate;
        // No Dock icon, no application menu, no main window.
        [application setActivationPolicy:NSApplicationActivationPolicyAccessory];
        [application run];
    }
    return 0;
}

int Session::runCommand(const std::function<void(Finish finish)>& command) {
    // The whole command line runs in here, with no NSApplication to drain
    // pools for it: one for the command, and one for each turn of the loop.
    @autoreleasepool {
        std::optional<int> status;
        command([&status](int finished) { status = finished; });
        // The main run loop also serves the main queue, where later answers
        // arrive; on the main thread it always has that to wait for.
        while (!status) {
            @autoreleasepool {
                [[NSRunLoop mainRunLoop] runMode:NSDefaultRunLoopMode beforeDate:[NSDate distantFuture]];
            }
        }
        return *status;
    }
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void Session::post(std::function<void()> work) {
    dispatch_async(dispatch_get_main_queue(), ^{
      work();
    });
}

void Session::quit() { [NSApp terminate:nil]; }

// NOLINTNEXTLINE(performance-unnecessary-value-param): the port's signature.
void Session::findAnotherCopy(std::function<void(bool anotherRuns)> answer) {
    // The bare executable, outside Dusk.app, has nothing to compare.
    NSString* identifier = [[NSBundle mainBundle] bundleIdentifier];
    bool anotherRuns = false;
    if (identifier != nil) {
        const pid_t thisProcess = [[NSProcessInfo processInfo] processIdentifier];
        // The list holds this process too.
        for (NSRunningApplication* application in
             [NSRunningApplication runningApplicationsWithBundleIdentifier:identifier]) {
            if ([application processIdentifier] != thisProcess) {
                anotherRuns = true;
                break;
            }
        }
    }
    answer(anotherRuns);
}

}  // namespace platform
