// The window in which the user records a new shortcut. It shows the texts it
// is given and reports the keyboard inside its recorder box; what a key
// press means is Dusk's own business.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Shortcut.h"

namespace platform {

struct KeyPress {
    std::uint32_t keyCode = 0;
    // Every bit the platform reports, Caps Lock's included.
    ModifierFlags modifiers = 0;
};

class RecorderWindow final {
public:
    struct Content {
        std::string title;
        std::string prompt;
        // What the box in the middle says.
        std::string recorderText;
        // The shortcut in effect, below the box.
        std::string current;
        std::string clearButton;
        // Escape presses it too.
        std::string cancelButton;
    };

    // Made hidden: handlers are set between construction and show.
    explicit RecorderWindow(const Content& content);
    // Closing is the owner's to do; destruction only takes the window away.
    ~RecorderWindow();
    RecorderWindow(const RecorderWindow&) = delete;
    RecorderWindow& operator=(const RecorderWindow&) = delete;

    // Brings Dusk forward, shows the window in front of others and gives the
    // recorder box the keyboard.
    void show();
    // The window is open already: it only comes to the front again.
    void bringToFront();
    // Closes the window as its close button would; onClosed follows.
    void close();

    void setRecorderText(std::string_view text);
    // Whether the recorder box has the keyboard now.
    bool recorderIsFocused() const;

    // The keyboard, while the recorder box has it.
    std::function<void(KeyPress)> onKeyDown;
    std::function<void(ModifierFlags)> onModifiersChanged;
    // The recorder box gained or lost the keyboard.
    std::function<void()> onFocusChanged;
    std::function<void()> onClear;
    std::function<void()> onCancel;
    // Every way of closing ends here, once: close, the close button, or the
    // window manager.
    std::function<void()> onClosed;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
