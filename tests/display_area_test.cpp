#include "show/display_area.h"

#include <climits>
#include <map>

#include <gtest/gtest.h>

namespace {

constexpr DisplayRect kPrimary{0, 0, 1920, 1080};

DisplayRect ShowArea(const std::vector<DisplayRect>& displays)
{
    return ChooseShowArea(displays, [] { return kPrimary; });
}

}  // namespace

TEST(DisplayAreaTest, WithoutASpanningGroupThePrimaryDisplayAtTheOriginIsUsed)
{
    EXPECT_EQ(ShowArea({}), kPrimary);
    EXPECT_EQ(ShowArea({{0, 0, 1920, 1080}}), kPrimary);
    // The primary display's size comes from the system, not from the list.
    EXPECT_EQ(ShowArea({{-500, 300, 2560, 1440}}), kPrimary);
    // Each of 3840 and 2400 alone is not enough.
    EXPECT_EQ(ShowArea({{0, 0, 3840, 2160}}), kPrimary);
    EXPECT_EQ(ShowArea({{0, 0, 1920, 2400}}), kPrimary);
}

TEST(DisplayAreaTest, FindsGroupsOfDisplaysFromTheFirstOn)
{
    // Four 1920 x 1200 displays tiled 2 x 2: the whole group, from its top-left corner.
    EXPECT_EQ(ShowArea({{0, 0, 1920, 1200},
                        {1920, 0, 1920, 1200},
                        {0, 1200, 1920, 1200},
                        {1920, 1200, 1920, 1200}}),
              (DisplayRect{0, 0, 3840, 2400}));
    EXPECT_EQ(ShowArea({{1920, 1200, 1920, 1200},
                        {0, 0, 1920, 1200},
                        {1920, 0, 1920, 1200},
                        {0, 1200, 1920, 1200}}),
              (DisplayRect{0, 0, 3840, 2400}));
    // Two 1920 x 2400 side by side, in either order: from the left display's corner.
    EXPECT_EQ(ShowArea({{0, 0, 1920, 2400}, {1920, 0, 1920, 2400}}),
              (DisplayRect{0, 0, 3840, 2400}));
    EXPECT_EQ(ShowArea({{0, 0, 1920, 2400}, {-1920, 0, 1920, 2400}}),
              (DisplayRect{-1920, 0, 3840, 2400}));
    // One display of exactly that size, wherever it lies.
    EXPECT_EQ(ShowArea({{-3840, -2400, 3840, 2400}}), (DisplayRect{-3840, -2400, 3840, 2400}));
}

TEST(DisplayAreaTest, ThePrimaryDisplayIsAskedForOnlyWithoutAGroup)
{
    int asked = 0;
    const auto primary = [&] {
        ++asked;
        return kPrimary;
    };
    EXPECT_EQ(ChooseShowArea({{0, 0, 3840, 2400}}, primary), (DisplayRect{0, 0, 3840, 2400}));
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(ChooseShowArea({{0, 0, 1920, 1080}}, primary), kPrimary);
    EXPECT_EQ(asked, 1);
}

TEST(DisplayAreaTest, LaterDisplaysDoNotSpoilAGroupFound)
{
    // A separate monitor after the group.
    EXPECT_EQ(ShowArea({{0, 0, 1920, 2400}, {1920, 0, 1920, 2400}, {3840, 0, 1280, 1024}}),
              (DisplayRect{0, 0, 3840, 2400}));
    // A display lying inside the group.
    EXPECT_EQ(ShowArea({{0, 0, 3840, 2400}, {100, 100, 800, 600}}),
              (DisplayRect{0, 0, 3840, 2400}));
}

TEST(DisplayAreaTest, OnlyGroupsThatIncludeEveryEarlierDisplayCount)
{
    // Display 1 on its own, displays 2 and 3 forming 3840 x 2400: every group holds display 1.
    EXPECT_EQ(ShowArea({{-1280, 0, 1280, 1024}, {0, 0, 1920, 2400}, {1920, 0, 1920, 2400}}),
              kPrimary);
    // Displays 1 and 3 would form the group, but display 2 lies outside it.
    EXPECT_EQ(ShowArea({{0, 0, 1920, 2400}, {5000, 0, 1024, 768}, {1920, 0, 1920, 2400}}),
              kPrimary);
}

TEST(DisplayAreaTest, FarAwayDisplaysDoNotOverflow)
{
    EXPECT_EQ(ShowArea({{INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX}}), kPrimary);
    EXPECT_EQ(ShowArea({{INT_MIN, INT_MIN, 3840, 2400}}),
              (DisplayRect{INT_MIN, INT_MIN, 3840, 2400}));
}

TEST(DisplayAreaTest, TheFirstMissingDisplayEndsTheList)
{
    // Displays 1 and 3 answer, 2 does not: only display 1 is listed, and 3 is never asked.
    const std::map<int, DisplayRect> present{{1, {0, 0, 1920, 2400}}, {3, {1920, 0, 1920, 2400}}};
    std::vector<int> asked;
    const std::vector<DisplayRect> displays = CollectDisplays([&](int number) {
        asked.push_back(number);
        const auto found = present.find(number);
        return found != present.end() ? std::optional(found->second) : std::nullopt;
    });
    EXPECT_EQ(displays, (std::vector<DisplayRect>{{0, 0, 1920, 2400}}));
    EXPECT_EQ(asked, (std::vector<int>{1, 2}));
    EXPECT_EQ(ShowArea(displays), kPrimary);
}
