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
    // Between two rays, and in a corner.
    EXPECT_EQ(alphaAt(sun, 22, 4), 0u);
    EXPECT_EQ(alphaAt(sun, 0, 0), 0u);
}

TEST(Glyph, TheMoonIsACrescentOpenToTheUpperRight) {
    const auto moon = drawGlyph(Symbol::Moon, size, false);
    EXPECT_EQ(alphaAt(moon, 7, 16), 255u) << "the lit left side";
    EXPECT_EQ(alphaAt(moon, 16, 26), 255u) << "the lit lower side";
    EXPECT_EQ(alphaAt(moon, 21, 11), 0u) << "the shadow inside the disc";
    EXPECT_EQ(alphaAt(moon, 25, 6), 0u) << "where the sun has a ray";
    EXPECT_GT(alphaAt(drawGlyph(Symbol::Sun, size, false), 25, 6), 128u);
}

TEST(Glyph, WhiteOnADarkTaskbarNearBlackOnALightOneEachEdgedWithTheOther) {
    // A pixel each symbol covers whole: the sun's middle, the moon's lit side.
    for (const auto& [symbol, covered] :
         {std::pair{Symbol::Sun, 16 * size + 16}, std::pair{Symbol::Moon, 16 * size + 7}}) {
        const auto onDark = drawGlyph(symbol, size, true);
        const auto onLight = drawGlyph(symbol, size, false);
        EXPECT_EQ(onDark[covered], 0xFFFFFFFFu);
        EXPECT_EQ(onLight[covered], 0xFF1F1F1Fu);
        bool partial = false;
        for (const auto pixel : onDark) partial = partial || ((pixel >> 24) > 0 && (pixel >> 24) < 255);
        EXPECT_TRUE(partial) << "no edge pixel is partly covered";
    }
    // Just outside the sun's disc: the edge, in the other colour, partly clear.
    const auto edge = drawGlyph(Symbol::Sun, size, true)[8 * size + 16];
    EXPECT_EQ(edge & 0xFFFFFF, 0u);
    EXPECT_GT(edge >> 24, 0u);
    EXPECT_LT(edge >> 24, 255u);
    // Drawn at the size asked: a 20-pixel icon at 125 %.
    EXPECT_EQ(drawGlyph(Symbol::Sun, 20, true).size(), 400u);
}
