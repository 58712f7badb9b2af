// Carbon's event manager behind EventManager.h: the one place that holds
// Carbon's hot-key types.
#include "EventManager.h"

#include <Carbon/Carbon.h>

namespace platform::mac {

static_assert(carbonModifier::command == cmdKey);
static_assert(carbonModifier::shift == shiftKey);
static_assert(carbonModifier::option == optionKey);
static_assert(carbonModifier::control == controlKey);
static_assert(sizeof(HotKeyId) == sizeof(EventHotKeyID));
static_assert(exclusiveHotKey == kEventHotKeyExclusive);

namespace {

// The event manager calls this on the main thread, from the application's
// event loop. Its call reference and user data are of no use to Dusk.
OSStatus hotKeyEvent(EventHandlerCallRef, EventRef event, void*) {
    EventHotKeyID pressed{};
    const OSStatus status = GetEventParameter(event, kEventParamDirectObject, typeEventHotKeyID, nullptr,
                                              sizeof pressed, nullptr, &pressed);
    if (status != noErr) return status;
    hotKeyPressed({pressed.signature, pressed.id});
    return noErr;
}

}  // namespace

// Presses only: a toggle has no use for releases. The handler is never
// removed, so nothing keeps its reference.
std::int32_t eventManager::installPressHandler() {
    const EventTypeSpec pressed{kEventClassKeyboard, kEventHotKeyPressed};
    return InstallEventHandler(GetEventDispatcherTarget(), NewEventHandlerUPP(hotKeyEvent), 1, &pressed, nullptr,
                               nullptr);
}

std::int32_t eventManager::registerHotKey(std::uint32_t keyCode, std::uint32_t carbonModifiers, HotKeyId id,
                                          std::uint32_t options, HotKeyRef& registered) {
    return RegisterEventHotKey(keyCode, carbonModifiers, {id.signature, id.id}, GetEventDispatcherTarget(), options,
                               &registered);
}

void eventManager::unregisterHotKey(HotKeyRef registered) { UnregisterEventHotKey(registered); }

}  // namespace platform::mac
