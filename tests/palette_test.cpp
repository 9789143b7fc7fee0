#include <gtest/gtest.h>

#include <cmath>

#include "engine/palette.h"
#include "render/headless_show.h"

namespace {

struct Entry {
    int index;
    int blue;
    int green;
    int red;
};

// The colours that show the ramp's shape: black, its stops, and the rounding between them.
constexpr Entry kTellingEntries[] = {
    {0, 0, 0, 0},        {1, 6, 0, 0},         {10, 63, 4, 0},      {40, 255, 17, 0},
    {41, 255, 20, 0},    {50, 255, 55, 4},     {80, 255, 170, 17},  {90, 255, 212, 136},
    {99, 255, 250, 243}, {100, 0, 0, 0},
};

TEST(Palette, TellingEntries)
{
    HeadlessShow show(0, 0, 1);
    const CRenderContext& context = show.Context();
    for (const Entry& entry : kTellingEntries) {
        SCOPED_TRACE(entry.index);
        EXPECT_EQ(context.m_palBlue[entry.index], entry.blue);
        EXPECT_EQ(context.m_palGreen[entry.index], entry.green);
        EXPECT_EQ(context.m_palRed[entry.index], entry.red);
    }
}

TEST(Palette, RepeatsEveryHundredIndices)
{
    HeadlessShow show(0, 0, 1);
    const CRenderContext& context = show.Context();
    for (int i = 100; i < kPaletteSize; ++i) {
        ASSERT_EQ(context.m_palBlue[i], context.m_palBlue[i % 100]) << i;
        ASSERT_EQ(context.m_palGreen[i], context.m_palGreen[i % 100]) << i;
        ASSERT_EQ(context.m_palRed[i], context.m_palRed[i % 100]) << i;
    }
}

TEST(PaletteRamp, StopsAndOutsideTheRamp)
{
    EXPECT_EQ(PaletteRamp(0.0), 0x000000u);
    EXPECT_EQ(PaletteRamp(0.4), 0x0011FFu);
    EXPECT_EQ(PaletteRamp(0.8), 0x11AAFFu);
    // Only [0, 1) is on the ramp; the white stop itself is never reached.
    EXPECT_EQ(PaletteRamp(1.0), 0u);
    EXPECT_EQ(PaletteRamp(-0.01), 0u);
    EXPECT_EQ(PaletteRamp(std::nan("")), 0u);
    EXPECT_EQ(PaletteRamp(0.999999), 0xFEFEFFu);
}

}  // namespace
