#import "RecorderBox.h"

#import <QuartzCore/QuartzCore.h>

#include <cstdio>
#include <cstdlib>

using platform::mac::report;

namespace {

// Where the keyboard is going while AppKit hands it over.
enum class Handover { None, Arriving, Leaving };

}  // namespace

@implementation DuskRecorderBox {
    NSTextField* _label;
    Handover _handover;
}

- (instancetype)initWithFrame:(NSRect)frame {
    if ((self = [super initWithFrame:frame])) {
        self.wantsLayer = YES;
        self.layer.cornerRadius = 8;
        self.layer.borderWidth = 1;
        _label = [NSTextField labelWithString:@""];
        _label.alignment = NSTextAlignmentCenter;
        _label.font = [NSFont systemFontOfSize:15 weight:NSFontWeightMedium];
        _label.translatesAutoresizingMaskIntoConstraints = NO;
        [self addSubview:_label];
        [NSLayoutConstraint activateConstraints:@[
            [_label.centerXAnchor constraintEqualToAnchor:self.centerXAnchor],
            [_label.centerYAnchor constraintEqualToAnchor:self.centerYAnchor],
        ]];
    }
    return self;
}

// Nothing in Dusk archives its views. It never returns, so it calls none of
// NSView's initialisers.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wobjc-designated-initializers"
- (nullable instancetype)initWithCoder:(NSCoder*)coder {
    std::fprintf(stderr, "%s:%d: Fatal error: init(coder:) is not supported\n", __FILE__, __LINE__);
    std::abort();
}
#pragma clang diagnostic pop

- (void)setText:(NSString*)text {
    _label.stringValue = text;
    // The border follows the focus at the next redraw.
    self.needsDisplay = YES;
}

- (BOOL)hasKeyboard {
    switch (_handover) {
        case Handover::Arriving:
            return YES;
        case Handover::Leaving:
            return NO;
        case Handover::None:
            break;
    }
    return self.window.firstResponder == self;
}

- (BOOL)acceptsFirstResponder {
    return YES;
}

- (BOOL)becomeFirstResponder {
    [self focusChangesTo:Handover::Arriving];
    return YES;
}

- (BOOL)resignFirstResponder {
    [self focusChangesTo:Handover::Leaving];
    return YES;
}

- (void)focusChangesTo:(Handover)handover {
    _handover = handover;
    self.needsDisplay = YES;
    report(self.owner, &platform::RecorderWindow::onFocusChanged);
    _handover = Handover::None;
}

- (void)mouseDown:(NSEvent*)event {
    [self.window makeFirstResponder:self];
}

// Keys go to the owner and no further: Tab, Return and the arrows move no
// focus here.
- (void)flagsChanged:(NSEvent*)event {
    report(self.owner, &platform::RecorderWindow::onModifiersChanged, platform::ModifierFlags{event.modifierFlags});
}

- (void)keyDown:(NSEvent*)event {
    report(self.owner, &platform::RecorderWindow::onKeyDown,
           platform::KeyPress{event.keyCode, platform::ModifierFlags{event.modifierFlags}});
}

// The box draws nothing itself: it only colours its layer, with named
// colours looked up at each redraw so that they follow Light and Dark.
- (BOOL)wantsUpdateLayer {
    return YES;
}

- (void)updateLayer {
    self.layer.backgroundColor = NSColor.controlBackgroundColor.CGColor;
    self.layer.borderColor = (self.hasKeyboard ? NSColor.controlAccentColor : NSColor.separatorColor).CGColor;
}

@end
