#include <gtest/gtest.h>

#include "tour_support.h"

TEST(RecolourDisplay, RotatesChannelsAddsSixtyFourAndLeavesPaddingAndGridAlone)
{
    SmallShow show(3, 2);  // stride 12: three padding bytes per row
    std::uint8_t* display = show.context.m_pDisplay.get();
    for (int i = 0; i < 24; ++i) {
        display[i] = static_cast<std::uint8_t>(200 + i);
    }
    const std::vector<std::uint8_t> before(display, display + 24);
    show.context.RecolourDisplay();
    EXPECT_EQ(display[0], static_cast<std::uint8_t>(202 + 64));  // blue ← red + 64
    EXPECT_EQ(display[1], static_cast<std::uint8_t>(200 + 64));  // green ← blue + 64
    EXPECT_EQ(display[2], static_cast<std::uint8_t>(201 + 64));  // red ← green + 64
    EXPECT_EQ(display[9], 209);                                  // padding
    EXPECT_EQ(show.context.m_pGrid[0], 0);
    for (int turn = 1; turn < 12; ++turn) {
        show.context.RecolourDisplay();
    }
    EXPECT_EQ(std::vector<std::uint8_t>(display, display + 24), before);
}
