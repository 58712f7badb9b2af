// The sun and the moon of the tray icon, drawn at run time at the size and
// in the colour the taskbar asks for.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/StatusItem.h"

namespace dusk::backend {

// `size` × `size` pixels, rows from the top, each 0xAARRGGBB with straight
// alpha: white on a Dark taskbar, near black on a Light one, each with a
// thin edge of the other.
std::vector<std::uint32_t> drawGlyph(platform::Symbol symbol, int size, bool onDarkTaskbar);

}  // namespace dusk::backend
