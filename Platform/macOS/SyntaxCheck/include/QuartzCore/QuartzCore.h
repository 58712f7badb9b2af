// Stand-in for <QuartzCore/QuartzCore.h> for the syntax-only check: the CALayer
// properties Dusk's macOS backend sets, as documented in CALayer.h.
#pragma once

#import <Foundation/Foundation.h>

#pragma clang assume_nonnull begin

@interface CALayer : NSObject
@property CGFloat cornerRadius;
@property CGFloat borderWidth;
@property(nullable) CGColorRef backgroundColor;
@property(nullable) CGColorRef borderColor;
@end

#pragma clang assume_nonnull end
