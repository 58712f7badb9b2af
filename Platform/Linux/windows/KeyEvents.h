// Qt's key events in the terms Dusk records shortcuts in: the Mac key code
// of the key's position and the Mac modifier bits.
#pragma once

#include <QKeyEvent>

#include "platform/RecorderWindow.h"

namespace dusk::backend {

struct KeyEvent {
    platform::KeyPress press;
    // A modifier went down or up: `press` carries only the modifiers then.
    bool isModifier = false;
};

KeyEvent keyEventFrom(const QKeyEvent& event);

}  // namespace dusk::backend
