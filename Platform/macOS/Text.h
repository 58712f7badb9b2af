// Text across the Objective-C boundary: Dusk's strings are UTF-8.
#pragma once

#import <Foundation/Foundation.h>

#include <string>
#include <string_view>

namespace platform::mac {

// Text that is not UTF-8 becomes empty rather than nil, which AppKit's
// setters would not take.
inline NSString* toNSString(std::string_view text) {
    NSString* string = [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
    return string != nil ? string : @"";
}

inline std::string toString(NSString* text) {
    const char* utf8 = text.UTF8String;
    return utf8 != nullptr ? std::string(utf8) : std::string();
}

}  // namespace platform::mac
