#include "tray/Glyph.h"

#include <cmath>
#include <numbers>

namespace dusk::backend {
namespace {

// Is the point (in units of the icon's width, from its centre) inside?
bool insideSun(double x, double y) {
    const double distance = std::hypot(x, y);
    if (distance <= 0.22) return true;
    if (distance < 0.31 || distance > 0.47) return false;
    // Eight rays, each a bar along its angle.
    const double step = std::numbers::pi / 4;
    const double angle = std::atan2(y, x);
    const double offset = std::remainder(angle, step);
    return std::abs(distance * std::sin(offset)) <= 0.045;
}

bool insideMoon(double x, double y) {
    return std::hypot(x, y) <= 0.40 && std::hypot(x - 0.20, y + 0.16) > 0.33;
}

}  // namespace

std::vector<std::uint32_t> drawGlyph(platform::Symbol symbol, int size, bool onDarkTaskbar) {
    const std::uint32_t colour = onDarkTaskbar ? 0xFFFFFF : 0x1F1F1F;
    const auto inside = symbol == platform::Symbol::Sun ? &insideSun : &insideMoon;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    // Four by four samples a pixel smooth the edges.
    constexpr int samples = 4;
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            int covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const double x = (column + (sx + 0.5) / samples) / size - 0.5;
                    const double y = (row + (sy + 0.5) / samples) / size - 0.5;
                    if (inside(x, y)) ++covered;
                }
            }
            const auto alpha = static_cast<std::uint32_t>(covered * 255 / (samples * samples));
            pixels[static_cast<std::size_t>(row * size + column)] = (alpha << 24) | colour;
        }
    }
    return pixels;
}

}  // namespace dusk::backend
