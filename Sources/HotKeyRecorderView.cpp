#include "HotKeyRecorderView.h"

#include "platform/Alert.h"
#include "platform/GlobalShortcut.h"

namespace dusk {
namespace {
constexpr std::uint32_t escapeKeyCode = 53;
}

HotKeyRecorderView::HotKeyRecorderView(platform::RecorderWindow& window) : window_(window) {
    window_.onModifiersChanged = [this](ModifierFlags modifiers) { flagsChanged(modifiers); };
    window_.onKeyDown = [this](const platform::KeyPress& press) { keyDown(press); };
    window_.onFocusChanged = [this] { focusChanged(); };
}

void HotKeyRecorderView::refresh() {
    if (liveModifiers_ != 0) {
        window_.setRecorderText(modifierNames(liveModifiers_) + "…");
    } else if (window_.recorderIsFocused()) {
        window_.setRecorderText("Press a shortcut");
    } else {
        window_.setRecorderText(unfocusedText);
    }
}

void HotKeyRecorderView::flagsChanged(ModifierFlags modifiers) {
    // Caps Lock, Fn and device-dependent bits are no part of a shortcut.
    liveModifiers_ = modifiers & Modifier::recordable;
    refresh();
}

void HotKeyRecorderView::keyDown(const platform::KeyPress& press) {
    // Whatever is held with it, Escape cancels and is never recorded.
    if (press.keyCode == escapeKeyCode) {
        if (onCancel) onCancel();
        return;
    }
    const HotKey candidate{press.keyCode, press.modifiers & Modifier::recordable};
    // What this desktop refuses is never offered: it could only end in an
    // alert, or in a shortcut that does nothing.
    if (candidate.isRecordable() && !platform::GlobalShortcut::refusesModifiers(candidate.modifiers)) {
        // The text stays as it is until the next change of keys or focus.
        liveModifiers_ = 0;
        if (onRecord) onRecord(candidate);
        return;
    }
    platform::beep();
    window_.setRecorderText(missingModifierHint(candidate.modifiers));
}

}  // namespace dusk
