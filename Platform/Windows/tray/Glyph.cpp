#include "tray/Glyph.h"

#include <algorithm>
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

bool insideMoon(double x, double y) { return std::hypot(x, y) <= 0.40 && std::hypot(x - 0.20, y + 0.16) > 0.33; }

}  // namespace

std::vector<std::uint32_t> drawGlyph(platform::Symbol symbol, int size, bool onDarkTaskbar) {
    const auto inside = symbol == platform::Symbol::Sun ? &insideSun : &insideMoon;
    const auto side = static_cast<std::size_t>(size);
    const auto at = [side](int column, int row) {
        return static_cast<std::size_t>(row) * side + static_cast<std::size_t>(column);
    };
    const std::size_t count = side * side;
    // The share of each pixel the symbol covers, from four by four samples.
    std::vector<double> cover(count);
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
            cover[at(column, row)] = covered / double{samples * samples};
        }
    }
    // A thin edge of the other colour keeps the symbol visible on a taskbar
    // that does not follow the mode: an accent colour, or Wine's.
    const double colour = onDarkTaskbar ? 255 : 31;
    const double edgeColour = onDarkTaskbar ? 0 : 255;
    constexpr double edgeStrength = 0.6;
    std::vector<std::uint32_t> pixels(count);
    for (int row = 0; row < size; ++row) {
        for (int column = 0; column < size; ++column) {
            double edge = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int y = row + dy;
                    const int x = column + dx;
                    if (x >= 0 && y >= 0 && x < size && y < size) {
                        edge = std::max(edge, cover[at(x, y)]);
                    }
                }
            }
            const double symbolAlpha = cover[at(column, row)];
            const double edgeAlpha = edge * edgeStrength * (1 - symbolAlpha);
            const double alpha = symbolAlpha + edgeAlpha;
            const double value = alpha == 0 ? colour : (colour * symbolAlpha + edgeColour * edgeAlpha) / alpha;
            const auto channel = static_cast<std::uint32_t>(std::lround(value));
            pixels[at(column, row)] =
                (static_cast<std::uint32_t>(std::lround(alpha * 255)) << 24) | channel << 16 | channel << 8 | channel;
        }
    }
    return pixels;
}

}  // namespace dusk::backend
