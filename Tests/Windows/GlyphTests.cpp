// The tray icon's sun and moon, read pixel by pixel as a screen shows them.
#include <gtest/gtest.h>

#include "tray/Glyph.h"

using dusk::backend::drawGlyph;
using platform::Symbol;

namespace {

constexpr int size = 32;

std::uint32_t alphaAt(const std::vector<std::uint32_t>& pixels, int x, int y) {
    return pixels.at(static_cast<std::size_t>(y * size + x)) >> 24;
}

}  // namespace

TEST(Glyph, TheSunHasADiscAndEightRaysWithSkyBetweenThem) {
    const auto sun = drawGlyph(Symbol::Sun, size, false);
    ASSERT_EQ(sun.size(), static_cast<std::size_t>(size * size));
    EXPECT_EQ(alphaAt(sun, 16, 16), 255u) << "the disc";
    // The rays straight up, down, left and right, and one on a diagonal.
    EXPECT_EQ(alphaAt(sun, 16, 3), 255u);
    EXPECT_EQ(alphaAt(sun, 16, 28), 255u);
    EXPECT_EQ(alphaAt(sun, 3, 16), 255u);
    EXPECT_EQ(alphaAt(sun, 28, 16), 255u);
    EXPECT_GT(alphaAt(sun, 25, 25), 128u);
    // Between two rays, and between the disc and the rays.
    EXPECT_EQ(alphaAt(sun, 22, 4), 0u);
    EXPECT_EQ(alphaAt(sun, 16, 8), 0u);
    EXPECT_EQ(alphaAt(sun, 0, 0), 0u);
}

TEST(Glyph, TheMoonIsACrescentOpenToTheUpperRight) {
    const auto moon = drawGlyph(Symbol::Moon, size, false);
    EXPECT_EQ(alphaAt(moon, 7, 16), 255u) << "the lit left side";
    EXPECT_EQ(alphaAt(moon, 16, 26), 255u) << "the lit lower side";
    EXPECT_EQ(alphaAt(moon, 21, 11), 0u) << "the shadow inside the disc";
    EXPECT_EQ(alphaAt(moon, 16, 3), 0u) << "where the sun has a ray";
}

TEST(Glyph, WhiteOnADarkTaskbarNearBlackOnALightOneWithEdgesSmoothed) {
    for (const Symbol symbol : {Symbol::Sun, Symbol::Moon}) {
        const auto onDark = drawGlyph(symbol, size, true);
        const auto onLight = drawGlyph(symbol, size, false);
        EXPECT_EQ(onDark[16 * size + 7] & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(onLight[16 * size + 7] & 0xFFFFFF, 0x1F1F1Fu);
        bool partial = false;
        for (const auto pixel : onDark) partial = partial || ((pixel >> 24) > 0 && (pixel >> 24) < 255);
        EXPECT_TRUE(partial) << "no edge pixel is partly covered";
    }
    // Drawn at the size asked: a 20-pixel icon at 125 %.
    EXPECT_EQ(drawGlyph(Symbol::Sun, 20, true).size(), 400u);
}
