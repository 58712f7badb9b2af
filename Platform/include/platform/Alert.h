// The modal alerts Dusk shows when something the user asked for fails, and
// the beep that refuses a key.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace platform {

struct Alert {
    std::string messageText;
    std::string informativeText;
    // In order; none gives the platform's one default button.
    std::vector<std::string> buttons;
};

// Shows the alert in front of whatever the user is working in (Dusk has no
// window of its own to be in front). `answered` gets the index of the button
// the user chose once the alert is gone; any other way out of it counts as
// its last button. Where the platform's alerts are modal that is before
// showAlert returns, otherwise later.
void showAlert(const Alert& alert, std::function<void(std::size_t button)> answered = {});

void beep();

}  // namespace platform
