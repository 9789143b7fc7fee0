// The displays as the program enumerates them, held against the system's list of monitors, so
// that a broken enumeration cannot hide behind the primary-display fallback.
#include <algorithm>
#include <ostream>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/win32_api.h"
#include "shell/win32/display_query.h"

void PrintTo(const DisplayRect& display, std::ostream* out)
{
    *out << display.width << " x " << display.height << " at (" << display.left << ", "
         << display.top << ")";
}

namespace {

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list)
{
    reinterpret_cast<std::vector<DisplayRect>*>(list)->push_back(
        {rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top});
    return TRUE;
}

std::vector<DisplayRect> ByPosition(std::vector<DisplayRect> displays)
{
    std::sort(displays.begin(), displays.end(), [](const DisplayRect& a, const DisplayRect& b) {
        return std::tie(a.left, a.top) < std::tie(b.left, b.top);
    });
    return displays;
}

}  // namespace

TEST(DisplayQueryTest, FindsEveryMonitorWithItsPositionAndSize)
{
    std::vector<DisplayRect> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    ASSERT_FALSE(monitors.empty());
    EXPECT_EQ(ByPosition(CollectDisplays(QueryDisplay)), ByPosition(monitors));
}

TEST(DisplayQueryTest, ThePrimaryDisplayIsOneOfThemAtTheOrigin)
{
    const DisplayRect primary = PrimaryDisplay();
    EXPECT_EQ(primary.left, 0);
    EXPECT_EQ(primary.top, 0);
    const std::vector<DisplayRect> displays = CollectDisplays(QueryDisplay);
    EXPECT_NE(std::find(displays.begin(), displays.end(), primary), displays.end())
        << ::testing::PrintToString(primary);
}
