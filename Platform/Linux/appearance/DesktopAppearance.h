#pragma once

#include <functional>

namespace dusk::backend {

// Called once, after the application object exists and before its loop
// runs, in the tray and for a command alike. `ready` is called on the main
// thread, from the loop, once the side is known or Dusk has given up asking;
// only then does Dusk put its item in the tray or run the command. With a
// QApplication, Dusk's own windows follow the side from then on.
void prepareAppearance(std::function<void()> ready);

}  // namespace dusk::backend
