// Dusk's own windows on the desktop's side: Fusion, which draws the same on
// every desktop and whose palette is Dusk's to set, dark or light.
#pragma once

namespace dusk::backend {

// For a program with windows (a QApplication) only.
void applyPalette(bool dark);

}  // namespace dusk::backend
