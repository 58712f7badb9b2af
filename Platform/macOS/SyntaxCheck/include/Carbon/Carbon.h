// Stand-in for <Carbon/Carbon.h> for the syntax-only check: the event
// manager's hot-key calls (CarbonEvents.h), the text input sources
// (TextInputSources.h), the key layout translation (UnicodeUtilities.h) and
// LMGetKbdType (Events.h), as Apple documents them.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

CF_EXTERN_C_BEGIN

// MacTypes.h, CarbonEventsCore.h, CarbonEvents.h
enum { noErr = 0 };
enum { eventParameterNotFoundErr = -9870, eventHotKeyExistsErr = -9878 };
enum { kEventClassKeyboard = 'keyb' };
enum { kEventHotKeyPressed = 5 };
enum { kEventParamDirectObject = '----' };
enum { typeEventHotKeyID = 'hkid' };
enum { kEventParamKeyCode = 'kcod', kEventParamKeyModifiers = 'kmod' };
enum { typeUInt32 = 'magn' };

typedef struct OpaqueEventTargetRef* EventTargetRef;
typedef struct OpaqueEventHandlerRef* EventHandlerRef;
typedef struct OpaqueEventHandlerCallRef* EventHandlerCallRef;
typedef struct OpaqueEventRef* EventRef;
typedef struct OpaqueEventHotKeyRef* EventHotKeyRef;
typedef OSType EventParamName;
typedef OSType EventParamType;

struct EventTypeSpec {
    OSType eventClass;
    UInt32 eventKind;
};
typedef struct EventTypeSpec EventTypeSpec;

struct EventHotKeyID {
    OSType signature;
    UInt32 id;
};
typedef struct EventHotKeyID EventHotKeyID;

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);
EventTargetRef GetEventDispatcherTarget(void);
OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef);
UInt32 GetEventKind(EventRef inEvent);
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData);
OSStatus RegisterEventHotKey(UInt32 inHotKeyCode, UInt32 inHotKeyModifiers, EventHotKeyID inHotKeyID,
                             EventTargetRef inTarget, OptionBits inOptions, EventHotKeyRef* outRef);
OSStatus UnregisterEventHotKey(EventHotKeyRef inHotKey);

// TextInputSources.h
typedef struct CF_BRIDGED_TYPE(id) __TISInputSource* TISInputSourceRef;
extern const CFStringRef kTISPropertyUnicodeKeyLayoutData;
TISInputSourceRef TISCopyCurrentASCIICapableKeyboardLayoutInputSource(void);
void* TISGetInputSourceProperty(TISInputSourceRef inputSource, CFStringRef propertyKey);

// UnicodeUtilities.h: the layout is a variable-length structure read only
// through its pointer.
struct UCKeyboardLayout;
enum { kUCKeyActionDisplay = 3 };
typedef struct UCKeyboardLayout UCKeyboardLayout;
OSStatus UCKeyTranslate(const UCKeyboardLayout* keyLayoutPtr, UInt16 virtualKeyCode, UInt16 keyAction,
                        UInt32 modifierKeyState, UInt32 keyboardType, OptionBits keyTranslateOptions,
                        UInt32* deadKeyState, UniCharCount maxStringLength, UniCharCount* actualStringLength,
                        UniChar unicodeString[]);

// Events.h
UInt8 LMGetKbdType(void);

CF_EXTERN_C_END
