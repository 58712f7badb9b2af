#include "windows/KeyEvents.h"

#include "shortcuts/KeyCodes.h"

namespace dusk::backend {
namespace {

// No key code reaches this high.
constexpr std::uint32_t keyWithoutCode = 0xFFFF;

constexpr platform::ModifierFlags capsLock = 0x10000;

// The modifier a key is, if it is one.
Qt::KeyboardModifier modifierOf(int key) {
    switch (key) {
        case Qt::Key_Shift:
            return Qt::ShiftModifier;
        case Qt::Key_Control:
            return Qt::ControlModifier;
        case Qt::Key_Alt:
            return Qt::AltModifier;
        case Qt::Key_Meta:
        case Qt::Key_Super_L:
        case Qt::Key_Super_R:
            return Qt::MetaModifier;
        default:
            return Qt::NoModifier;
    }
}

bool isModifierKey(int key) {
    switch (key) {
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Hyper_L:
        case Qt::Key_Hyper_R:
            return true;
        default:
            return modifierOf(key) != Qt::NoModifier;
    }
}

}  // namespace

KeyEvent keyEventFrom(const QKeyEvent& event) {
    Qt::KeyboardModifiers modifiers = event.modifiers();
    // X reports the state before the event: a modifier's own press or
    // release is the change being announced.
    if (const auto own = modifierOf(event.key()); own != Qt::NoModifier) {
        modifiers.setFlag(own, event.type() == QEvent::KeyPress);
    }
    platform::ModifierFlags flags = 0;
    if ((event.nativeModifiers() & 0x2) != 0) flags |= capsLock;  // X's Lock bit
    if (modifiers.testFlag(Qt::ShiftModifier)) flags |= platform::Modifier::shift;
    if (modifiers.testFlag(Qt::ControlModifier)) flags |= platform::Modifier::control;
    if (modifiers.testFlag(Qt::AltModifier)) flags |= platform::Modifier::option;
    // Super is this desktop's Command.
    if (modifiers.testFlag(Qt::MetaModifier)) flags |= platform::Modifier::command;
    if (isModifierKey(event.key())) return {{0, flags}, true};
    // A key from outside the table (Menu, Henkan) has no code a shortcut
    // could store or name. Silence would leave the user guessing, so it
    // arrives as a key no keyboard has, without Control, Option or Command:
    // refused like a letter alone, with the beep and the hint.
    const auto keyCode = virtualKeyForXKeycode(event.nativeScanCode());
    if (!keyCode) {
        constexpr platform::ModifierFlags shortcutModifiers =
            platform::Modifier::control | platform::Modifier::option | platform::Modifier::command;
        return {{keyWithoutCode, flags & ~shortcutModifiers}, false};
    }
    return {{*keyCode, flags}, false};
}

}  // namespace dusk::backend
