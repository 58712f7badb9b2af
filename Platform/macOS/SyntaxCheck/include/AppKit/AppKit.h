// Stand-in for <AppKit/AppKit.h> for the syntax-only check: exactly the
// classes, methods, constants and functions Dusk's macOS backend uses, with
// Apple's documented signatures. Never linked; the real SDK replaces it on a Mac.
#pragma once

#import <Foundation/Foundation.h>

#define APPKIT_EXTERN extern "C"

#pragma clang assume_nonnull begin

@class CALayer, NSWindow, NSMenu, NSImage;

// NSEvent.h
typedef NS_OPTIONS(NSUInteger, NSEventModifierFlags){};

@interface NSEvent : NSObject
@property(readonly) unsigned short keyCode;
@property(readonly) NSEventModifierFlags modifierFlags;
@end

// NSResponder.h
@interface NSResponder : NSObject
@property(readonly) BOOL acceptsFirstResponder;
- (BOOL)becomeFirstResponder;
- (BOOL)resignFirstResponder;
- (void)mouseDown:(NSEvent*)event;
- (void)keyDown:(NSEvent*)event;
- (void)flagsChanged:(NSEvent*)event;
@end

// NSLayoutAnchor.h, NSLayoutConstraint.h
typedef NS_ENUM(NSInteger, NSLayoutAttribute){
    NSLayoutAttributeTop = 3,      NSLayoutAttributeBottom = 4, NSLayoutAttributeLeading = 5,
    NSLayoutAttributeTrailing = 6, NSLayoutAttributeWidth = 7,  NSLayoutAttributeHeight = 8,
    NSLayoutAttributeCenterX = 9,  NSLayoutAttributeCenterY = 10,
};

@interface NSLayoutConstraint : NSObject
+ (void)activateConstraints:(NSArray<NSLayoutConstraint*>*)constraints;
@property CGFloat constant;
@property(getter=isActive) BOOL active;
@end

@interface NSLayoutAnchor<AnchorType> : NSObject
- (NSLayoutConstraint*)constraintEqualToAnchor:(NSLayoutAnchor<AnchorType>*)anchor;
@end

@class NSLayoutXAxisAnchor, NSLayoutYAxisAnchor, NSLayoutDimension;

@interface NSLayoutXAxisAnchor : NSLayoutAnchor<NSLayoutXAxisAnchor*>
@end

@interface NSLayoutYAxisAnchor : NSLayoutAnchor<NSLayoutYAxisAnchor*>
@end

@interface NSLayoutDimension : NSLayoutAnchor<NSLayoutDimension*>
- (NSLayoutConstraint*)constraintEqualToConstant:(CGFloat)c;
@end

// NSView.h
@interface NSView : NSResponder
- (instancetype)initWithFrame:(NSRect)frameRect NS_DESIGNATED_INITIALIZER;
@property(nullable, readonly, unsafe_unretained) NSWindow* window;
- (void)addSubview:(NSView*)view;
@property BOOL needsDisplay;
@property BOOL wantsLayer;
@property(nullable, strong) CALayer* layer;
@property(readonly) BOOL wantsUpdateLayer;
- (void)updateLayer;
@property(nullable, copy) NSString* toolTip;
@property BOOL translatesAutoresizingMaskIntoConstraints;
@property(readonly, strong) NSLayoutXAxisAnchor* leadingAnchor;
@property(readonly, strong) NSLayoutXAxisAnchor* trailingAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* topAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* bottomAnchor;
@property(readonly, strong) NSLayoutDimension* widthAnchor;
@property(readonly, strong) NSLayoutDimension* heightAnchor;
@property(readonly, strong) NSLayoutXAxisAnchor* centerXAnchor;
@property(readonly, strong) NSLayoutYAxisAnchor* centerYAnchor;
@end

// NSColor.h
@interface NSColor : NSObject
@property(class, strong, readonly) NSColor* controlBackgroundColor;
@property(class, strong, readonly) NSColor* controlAccentColor;
@property(class, strong, readonly) NSColor* separatorColor;
@property(class, strong, readonly) NSColor* secondaryLabelColor;
@property(class, strong, readonly) NSColor* tertiaryLabelColor;
@property(readonly) CGColorRef CGColor;
@end

// NSFont.h, NSFontDescriptor.h
typedef CGFloat NSFontWeight;
APPKIT_EXTERN const NSFontWeight NSFontWeightMedium;

@interface NSFont : NSObject
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize;
+ (NSFont*)systemFontOfSize:(CGFloat)fontSize weight:(NSFontWeight)weight;
@end

// NSText.h: the left, centre and right values differ between Intel and
// Apple silicon; these are Apple silicon's.
typedef NS_ENUM(NSInteger, NSTextAlignment){
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
    NSTextAlignmentNatural = 4,
};

// NSCell.h
typedef NSInteger NSControlStateValue;
static const NSControlStateValue NSControlStateValueOff = 0;
static const NSControlStateValue NSControlStateValueOn = 1;

// NSControl.h
@interface NSControl : NSView
@property(copy) NSString* stringValue;
@property NSTextAlignment alignment;
@property(nullable, strong) NSFont* font;
@end

// NSTextField.h
@interface NSTextField : NSControl
+ (instancetype)labelWithString:(NSString*)stringValue;
@property(nullable, copy) NSColor* textColor;
@property NSInteger maximumNumberOfLines;
@property CGFloat preferredMaxLayoutWidth;
@end

// NSButton.h, NSButtonCell.h
typedef NS_ENUM(NSUInteger, NSBezelStyle){
    NSBezelStyleRounded = 1,
};

@interface NSButton : NSControl
+ (instancetype)buttonWithTitle:(NSString*)title target:(nullable id)target action:(nullable SEL)action;
@property NSBezelStyle bezelStyle;
@property(copy) NSString* keyEquivalent;
@property(nullable, strong) NSImage* image;
@end

// NSStackView.h, NSUserInterfaceLayout.h
typedef NS_ENUM(NSInteger, NSUserInterfaceLayoutOrientation){
    NSUserInterfaceLayoutOrientationHorizontal = 0,
    NSUserInterfaceLayoutOrientationVertical = 1,
};

@interface NSStackView : NSView
+ (instancetype)stackViewWithViews:(NSArray<NSView*>*)views;
@property NSUserInterfaceLayoutOrientation orientation;
@property NSLayoutAttribute alignment;
@property NSEdgeInsets edgeInsets;
@property CGFloat spacing;
@end

// NSImage.h
@interface NSImage : NSObject
+ (nullable instancetype)imageWithSystemSymbolName:(NSString*)name
                          accessibilityDescription:(nullable NSString*)description;
// A property named "template" elsewhere; C++ reserves the word, so the SDK
// declares the accessors for C++.
- (BOOL)isTemplate;
- (void)setTemplate:(BOOL)isTemplate;
@end

// NSMenuItem.h, NSMenu.h
@interface NSMenuItem : NSObject
- (instancetype)initWithTitle:(NSString*)string
                       action:(nullable SEL)selector
                keyEquivalent:(NSString*)charCode NS_DESIGNATED_INITIALIZER;
+ (NSMenuItem*)separatorItem;
@property(copy) NSString* title;
@property(nullable, weak) id target;
@property(nullable) SEL action;
@property NSControlStateValue state;
@end

@protocol NSMenuDelegate <NSObject>
@optional
- (void)menuWillOpen:(NSMenu*)menu;
@end

@interface NSMenu : NSObject
- (void)addItem:(NSMenuItem*)newItem;
@property BOOL autoenablesItems;
@property(nullable, weak) id<NSMenuDelegate> delegate;
@end

// NSStatusBar.h, NSStatusItem.h, NSStatusBarButton.h
@interface NSStatusBarButton : NSButton
@end

@interface NSStatusItem : NSObject
@property(nullable, strong) NSMenu* menu;
@property(readonly, strong, nullable) NSStatusBarButton* button;
@end

@interface NSStatusBar : NSObject
@property(class, readonly, strong) NSStatusBar* systemStatusBar;
- (NSStatusItem*)statusItemWithLength:(CGFloat)length;
@end

// NSWindow.h, NSGraphics.h
typedef NS_OPTIONS(NSUInteger, NSWindowStyleMask){
    NSWindowStyleMaskTitled = 1 << 0,
    NSWindowStyleMaskClosable = 1 << 1,
    NSWindowStyleMaskMiniaturizable = 1 << 2,
    NSWindowStyleMaskResizable = 1 << 3,
};

typedef NS_ENUM(NSUInteger, NSBackingStoreType){
    NSBackingStoreBuffered = 2,
};

typedef NSInteger NSWindowLevel;
// The SDK computes these from Core Graphics' window levels; these are the values.
static const NSWindowLevel NSNormalWindowLevel = 0;
static const NSWindowLevel NSFloatingWindowLevel = 3;

@protocol NSWindowDelegate <NSObject>
@optional
- (void)windowWillClose:(NSNotification*)notification;
@end

@interface NSWindow : NSResponder
- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag;
@property(copy) NSString* title;
@property(getter=isReleasedWhenClosed) BOOL releasedWhenClosed;
@property NSWindowLevel level;
- (void)center;
@property(nullable, weak) id<NSWindowDelegate> delegate;
@property(nullable, strong) __kindof NSView* contentView;
- (void)makeKeyAndOrderFront:(nullable id)sender;
- (BOOL)makeFirstResponder:(nullable NSResponder*)responder;
@property(nullable, readonly, weak) NSResponder* firstResponder;
- (void)close;
@end

// NSAlert.h
typedef NS_ENUM(NSUInteger, NSAlertStyle){
    NSAlertStyleWarning = 0,
    NSAlertStyleInformational = 1,
    NSAlertStyleCritical = 2,
};
typedef NSInteger NSModalResponse;

@interface NSAlert : NSObject
+ (NSAlert*)alertWithError:(NSError*)error;
@property(copy) NSString* messageText;
@property(copy) NSString* informativeText;
- (NSButton*)addButtonWithTitle:(NSString*)title;
@property NSAlertStyle alertStyle;
- (NSModalResponse)runModal;
@end

// NSGraphics.h
APPKIT_EXTERN void NSBeep(void);

// NSApplication.h
typedef NS_ENUM(NSInteger, NSApplicationActivationPolicy){
    NSApplicationActivationPolicyRegular,
    NSApplicationActivationPolicyAccessory,
    NSApplicationActivationPolicyProhibited,
};

@protocol NSApplicationDelegate <NSObject>
@optional
- (void)applicationDidFinishLaunching:(NSNotification*)notification;
@end

@interface NSApplication : NSResponder
@property(class, readonly, strong) __kindof NSApplication* sharedApplication;
@property(nullable, weak) id<NSApplicationDelegate> delegate;
- (BOOL)setActivationPolicy:(NSApplicationActivationPolicy)activationPolicy;
- (void)activateIgnoringOtherApps:(BOOL)flag;
- (void)run;
- (void)terminate:(nullable id)sender;
- (BOOL)sendAction:(SEL)action to:(nullable id)target from:(nullable id)sender;
@end

APPKIT_EXTERN __kindof NSApplication* _Null_unspecified NSApp;

// NSWorkspace.h, NSRunningApplication.h
@interface NSWorkspace : NSObject
@property(class, readonly, strong) NSWorkspace* sharedWorkspace;
- (BOOL)openURL:(NSURL*)url;
@end

@interface NSRunningApplication : NSObject
@property(readonly) pid_t processIdentifier;
+ (NSArray<NSRunningApplication*>*)runningApplicationsWithBundleIdentifier:(NSString*)bundleIdentifier;
@end

#pragma clang assume_nonnull end
