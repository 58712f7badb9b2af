#include "HotKeyRecorderView.h"

#include "platform/AppKit.h"

namespace dusk {
namespace {
constexpr std::uint16_t escapeKeyCode = 53;
}

HotKeyRecorderView::HotKeyRecorderView(platform::Rect frame)
    : platform::View(frame), label_(platform::TextField::labelWithString("")) {
    setWantsLayer(true);
    if (const auto layer = this->layer()) {
        layer->setCornerRadius(8);
        layer->setBorderWidth(1);
    }
    label_->setAlignment(platform::TextAlignment::Center);
    label_->setFont(platform::Font::systemFontOfSize(15, platform::FontWeight::Medium));
    label_->setTranslatesAutoresizingMaskIntoConstraints(false);
    addSubview(label_);
    platform::LayoutConstraint::activateConstraints({
        label_->centerXAnchor().constraintEqualToAnchor(centerXAnchor()),
        label_->centerYAnchor().constraintEqualToAnchor(centerYAnchor()),
    });
    refresh();
}

bool HotKeyRecorderView::isFocused() const {
    const auto window = this->window();
    return window && window->firstResponder() == this;
}

void HotKeyRecorderView::refresh() {
    // The border colour depends on focus; it is taken at the next redraw.
    setNeedsDisplay(true);
    if (liveModifiers_ != 0) {
        label_->setStringValue(modifierNames(liveModifiers_) + "…");
    } else if (isFocused()) {
        label_->setStringValue("Press a shortcut");
    } else {
        label_->setStringValue("Click to record");
    }
}

bool HotKeyRecorderView::becomeFirstResponder() {
    refresh();
    return true;
}

bool HotKeyRecorderView::resignFirstResponder() {
    refresh();
    return true;
}

void HotKeyRecorderView::mouseDown(const platform::Event&) {
    if (const auto window = this->window()) window->makeFirstResponder(this);
}

void HotKeyRecorderView::updateLayer() {
    // Named colours are looked up at every redraw so they follow Light and Dark.
    const auto layer = this->layer();
    if (!layer) return;
    layer->setBackgroundColor(platform::Color::controlBackgroundColor());
    layer->setBorderColor(isFocused() ? platform::Color::controlAccentColor() : platform::Color::separatorColor());
}

void HotKeyRecorderView::flagsChanged(const platform::Event& event) {
    // Caps Lock, Fn and device-dependent bits are no part of a shortcut.
    liveModifiers_ = event.modifierFlags & Modifier::recordable;
    refresh();
}

void HotKeyRecorderView::keyDown(const platform::Event& event) {
    if (event.keyCode == escapeKeyCode) {
        if (onCancel) onCancel();
        return;
    }
    const HotKey candidate{event.keyCode, event.modifierFlags & Modifier::recordable};
    if (candidate.isRecordable()) {
        liveModifiers_ = 0;
        if (onRecord) onRecord(candidate);
        return;
    }
    platform::Sound::beep();
    label_->setStringValue(missingModifierHint());
}

}  // namespace dusk
