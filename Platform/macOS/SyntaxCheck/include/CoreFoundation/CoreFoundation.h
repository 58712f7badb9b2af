// Stand-in for the macOS SDK header of the same name, for the syntax-only
// check on machines without the SDK. It declares exactly what Dusk's macOS
// backend uses, each as Apple documents it (MacTypes.h, CFBase.h, CFNumber.h,
// CFData.h, CGBase.h, CGGeometry.h, CGColor.h); nothing here is ever linked.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
#define CF_EXTERN_C_BEGIN extern "C" {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

#define CF_BRIDGED_TYPE(T) __attribute__((objc_bridge(T)))

// MacTypes.h (LP64)
typedef unsigned char UInt8;
typedef unsigned short UInt16;
typedef unsigned int UInt32;
typedef signed int SInt32;
typedef SInt32 OSStatus;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef UInt32 OptionBits;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef UInt16 UniChar;
typedef unsigned long UniCharCount;
typedef unsigned char Boolean;

// CFBase.h, CFNumber.h, CFData.h
typedef const void* CFTypeRef;
typedef unsigned long CFTypeID;
typedef const struct CF_BRIDGED_TYPE(NSString) __CFString* CFStringRef;
typedef const struct CF_BRIDGED_TYPE(NSNumber) __CFBoolean* CFBooleanRef;
typedef const struct CF_BRIDGED_TYPE(NSNumber) __CFNumber* CFNumberRef;
typedef const struct CF_BRIDGED_TYPE(NSData) __CFData* CFDataRef;

// CGBase.h, CGGeometry.h, CGColor.h
typedef double CGFloat;
struct CGPoint {
    CGFloat x;
    CGFloat y;
};
typedef struct CGPoint CGPoint;
struct CGSize {
    CGFloat width;
    CGFloat height;
};
typedef struct CGSize CGSize;
struct CGRect {
    CGPoint origin;
    CGSize size;
};
typedef struct CGRect CGRect;
typedef struct CF_BRIDGED_TYPE(id) CGColor* CGColorRef;

CF_EXTERN_C_BEGIN
void CFRelease(CFTypeRef cf);
CFTypeID CFGetTypeID(CFTypeRef cf);
CFTypeID CFBooleanGetTypeID(void);
Boolean CFNumberIsFloatType(CFNumberRef number);
const UInt8* CFDataGetBytePtr(CFDataRef theData);
CF_EXTERN_C_END
