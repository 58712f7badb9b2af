// The recorder window's box: a focusable view that reports the keyboard to
// the window's owner and draws its focus with the system's colours. What a
// key press means is the core's business.
#pragma once

#import <AppKit/AppKit.h>

#include <utility>

#include "platform/RecorderWindow.h"

namespace platform::mac {

// Calls one of the window's handlers through a copy: what the handler does
// may end the window that holds it. An owner that is gone hears nothing.
template <typename Handler, typename... Arguments>
void report(RecorderWindow* owner, Handler RecorderWindow::*handler, Arguments&&... arguments) {
    if (owner == nullptr) return;
    const Handler copy = owner->*handler;
    if (copy) copy(std::forward<Arguments>(arguments)...);
}

}  // namespace platform::mac

@interface DuskRecorderBox : NSView
// Cleared when the C++ window goes; AppKit may keep the view a little longer.
@property(nonatomic) platform::RecorderWindow* owner;
// Whether the box has the keyboard, also while AppKit is still handing it
// over (inside becomeFirstResponder the window names the previous holder).
@property(nonatomic, readonly) BOOL hasKeyboard;
- (void)setText:(NSString*)text;
@end
