// Which side the desktop is on is known before Dusk launches or runs a
// command: the first answer may have to come from another process.
#pragma once

#include <functional>

namespace dusk::backend {

// Starts learning the desktop's side; `ready` runs on the main thread once it
// is known, or once asking has given up.
void prepareAppearance(std::function<void()> ready);

}  // namespace dusk::backend
