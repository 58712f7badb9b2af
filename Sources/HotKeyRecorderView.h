// What the recorder box in the recorder window does with the keyboard: it
// follows the modifiers held, records a key with Control, Option or Command
// (or a function key) that this desktop does not refuse, refuses anything
// else with a beep and a hint, and takes Escape as cancel. The window only
// shows its text.
#pragma once

#include <functional>

#include "HotKey.h"
#include "platform/RecorderWindow.h"

namespace dusk {

class HotKeyRecorderView final {
public:
    // The box's text before it first has the keyboard.
    static constexpr std::string_view unfocusedText = "Click to record";

    // Drives the recorder box of `window`, which must outlive it.
    explicit HotKeyRecorderView(platform::RecorderWindow& window);

    std::function<void(HotKey)> onRecord;
    std::function<void()> onCancel;

    void flagsChanged(ModifierFlags modifiers);
    void keyDown(const platform::KeyPress& press);
    void focusChanged() { refresh(); }

private:
    void refresh();

    platform::RecorderWindow& window_;
    ModifierFlags liveModifiers_ = 0;
};

}  // namespace dusk
