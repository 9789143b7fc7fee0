#include <gtest/gtest.h>

#include <thread>

#include "engine/target_finder.h"
#include "tour_support.h"

namespace {

struct Target {
    int found;
    double re, im, span;
};

Target Find(CRenderContext& context)
{
    Target target{};
    target.found = context.FindTarget(&target.re, &target.im, &target.span);
    return target;
}

// A picture whose every horizontal pair differs by `step` in blue, and its view.
struct StripedShow : SmallShow {
    StripedShow(int width, int height, int step) : SmallShow(width, height)
    {
        for (int row = 0; row < height; ++row) {
            for (int col = 0; col < width; ++col) {
                Set(context.m_pWork.get(), col, row, col % 2 ? step : 0, 0, 0);
            }
        }
        context.m_pTargetClock = &clock;
        context.m_dCentreRe = -0.5;
        context.m_dCentreIm = 0.25;
        context.m_dSpanRe = 0.4;
        context.m_dSpanIm = 0.3;
    }
    FakeClock clock;
};

}  // namespace

TEST(TargetRandom, FollowsTheClassicSequencePerThread)
{
    SeedTargetRandom(1);
    EXPECT_EQ(DrawTargetRandom(), 41);
    std::thread([] {
        SeedTargetRandom(0);
        EXPECT_EQ(DrawTargetRandom(), 38);
        EXPECT_EQ(DrawTargetRandom(), 7719);
    }).join();
    EXPECT_EQ(DrawTargetRandom(), 18467);
    EXPECT_EQ(DrawTargetRandom(), 6334);
}

TEST(TargetWindow, TestsAllEightBounds)
{
    const int width = 100, height = 80, caption = 10;
    EXPECT_TRUE(IsWindowValid({0, 99, 10, 79}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({-1, 50, 20, 30}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({10, 100, 20, 30}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({10, 50, 9, 30}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({10, 50, 20, 80}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({100, 101, 20, 30}, width, height, caption));
    EXPECT_FALSE(IsWindowValid({10, 50, 20, 5}, width, height, caption));
}

TEST(TargetWindow, RefinementHalfSizesFollowTheSpans)
{
    const double spanIm = 0.045, spanRe = 1920 * spanIm / 1080;
    const HalfSizes half = RefinementHalfSizes(1920, 1080, spanRe, spanIm, 0.1 * spanIm);
    EXPECT_EQ(half.width, 96);
    EXPECT_EQ(half.height, 53);
}

TEST(TargetMeasures, RoughnessIsHorizontalAndReliefCapsSteepRises)
{
    SmallShow show(7, 7);
    std::uint8_t* image = show.context.m_pWork.get();
    const PictureBytes picture{image, show.context.GetStride()};
    const PixelWindow window{1, 6, 1, 6};  // inner pixels 2 … 4 for the relief
    for (int col = 0; col < 7; ++col) {
        show.Set(image, col, 3, 255, 255, 255);  // one white row: no horizontal change
    }
    EXPECT_EQ(MeasureRoughness(picture, window).sum, 0.0);
    EXPECT_EQ(MeasureRoughness(picture, window).count, 5 * 4);

    show.Fill(image, 0, 0, 0);
    show.Set(image, 3, 3, 255, 255, 255);  // a white peak: four falls of 1, flat rises onto it
    EXPECT_DOUBLE_EQ(MeasureRelief(picture, window).sum, 4.0);
    EXPECT_EQ(MeasureRelief(picture, window).count, 9);

    show.Fill(image, 255, 255, 255);
    show.Set(image, 3, 3, 0, 0, 0);  // a black pit: its rises are flat, the falls into it count
    EXPECT_DOUBLE_EQ(MeasureRelief(picture, window).sum, 4.0);

    show.Fill(image, 0, 0, 0);
    show.Set(image, 3, 3, 0, 170, 17);  // a peak of brightness 0.4: every step counts
    EXPECT_DOUBLE_EQ(MeasureRelief(picture, window).sum, 4 * 0.4 + 4 * 0.4);
}

TEST(FindTarget, GivesUpAfterTenSecondsAcrossTheTickWrap)
{
    for (const std::uint32_t start : {0u, 0xFFFFF000u}) {
        SmallShow show(64, 48);
        FakeClock clock;
        clock.m_ticks = start;
        clock.m_tickStep = 1000;
        show.context.m_pTargetClock = &clock;
        const Target target = Find(show.context);
        EXPECT_EQ(target.found, 0);
        EXPECT_EQ(target.re, 0.0);
        EXPECT_EQ(target.im, 0.0);
        EXPECT_EQ(target.span, -1.0);
        EXPECT_EQ(clock.m_counterReads, 1 + 10);  // the seed, then ten attempts
    }
}

TEST(FindTarget, GivesUpAtOnceWhenTheShowIsStopped)
{
    SmallShow show(64, 48);
    FakeClock clock;
    clock.m_tickStep = 1;  // ten thousand attempts before the time runs out
    show.context.m_pTargetClock = &clock;
    show.context.m_bRunning = 0;
    EXPECT_EQ(Find(show.context).found, 0);
    EXPECT_EQ(clock.m_counterReads, 1);  // the seed only
}

TEST(FindTarget, NeverReadsCaptionRowsLastColumnOrTopRow)
{
    SmallShow show(64, 48);
    std::uint8_t* image = show.context.m_pWork.get();
    show.context.m_sizeCaptionBox = {30, 12};
    for (int row = 0; row < 48; ++row) {
        for (int col = 0; col < 64; ++col) {
            const bool unused = row < 12 || row == 47 || col == 63;
            const int value = unused && (row + col) % 2 ? 255 : 0;
            show.Set(image, col, row, value, value, value);
        }
    }
    FakeClock clock;
    clock.m_tickStep = 10;
    clock.m_counterStep = 7919;
    show.context.m_pTargetClock = &clock;
    EXPECT_EQ(Find(show.context).found, 0);
}

TEST(FindTarget, ThresholdSinksWithEveryMeasuredWindow)
{
    // Roughness 17/1785 passes once 0.01 × 0.9999^k is below it: at the 488th window.
    StripedShow show(30, 24, 17);
    EXPECT_EQ(Find(show.context).found, 1);
    EXPECT_EQ(show.clock.m_counterReads, 1 + 488);
}

TEST(FindTarget, MixesTheLowCounterBitsAsSignedNumber)
{
    // 30 × 24: every draw gives a valid window, and no refinement window has inner pixels,
    // so the result is the first position tried. Draws of seed 0: 38, 7719; of seed
    // 0xFFFFFFFF (counter -1): 35, 29739.
    struct Case {
        std::int64_t counter;
        int dx, dy;
    };
    for (const Case& c : {Case{0, 38, 7719}, Case{std::int64_t{1} << 32, 38, 7719},
                          Case{0xFFFFFFFF, 34, 29738}}) {
        StripedShow show(30, 24, 18);
        show.clock.m_counter = c.counter;
        const Target target = Find(show.context);
        ASSERT_EQ(target.found, 1);
        EXPECT_EQ(target.re, (-0.5 - 0.4 * 0.5) + (c.dx * 0.00003 + 0.05) * 0.4);
        EXPECT_EQ(target.im, (0.25 - 0.3 * 0.5) + (c.dy * 0.00003 + 0.05) * 0.3);
        EXPECT_EQ(target.span, 0.1 * 0.3);
    }
}

TEST(FindTarget, SpanIsATenthOfTheShorterSide)
{
    for (const auto& [width, height] : {std::pair{30, 30}, std::pair{24, 30}}) {
        StripedShow show(width, height, 40);
        EXPECT_EQ(Find(show.context).span, 0.1 * 0.4);
    }
}

TEST(FindTarget, RefinementPicksTheStrongestReliefAndKeepsTheFirstOfEquals)
{
    // The first attempt lands at draws 15000, 22681 (seed 0, counter mix 14962).
    const double phaseOneRe = (-0.5 - 0.4 * 0.5) + (15000 * 0.00003 + 0.05) * 0.4;
    const double phaseOneIm = (0.25 - 0.3 * 0.5) + (22681 * 0.00003 + 0.05) * 0.3;
    const double span = 0.1 * 0.3;

    StripedShow even(400, 300, 40);  // the same relief everywhere
    even.clock.m_counterStep = 14962;
    Target target = Find(even.context);
    EXPECT_EQ(target.re, phaseOneRe + -10 * span * 0.1);
    EXPECT_EQ(target.im, phaseOneIm + -10 * span * 0.1);

    StripedShow rising(400, 300, 40);  // dots that brighten to the upper right
    rising.clock.m_counterStep = 14962;
    for (int row = 0; row < 300; ++row) {
        for (int col = 0; col < 400; ++col) {
            const int dot = (row + col) % 2 ? 0 : 20 + (row + col) / 4;
            rising.Set(rising.context.m_pWork.get(), col, row, dot, 0, 0);
        }
    }
    target = Find(rising.context);
    EXPECT_EQ(target.re, phaseOneRe + 10 * span * 0.1);
    EXPECT_EQ(target.im, phaseOneIm + 10 * span * 0.1);
    EXPECT_EQ(target.span, span);
}

TEST(FindTarget, StopsAtOnceWhenTheShowStops)
{
    // A flat picture, whose search never succeeds, on a clock that stands still until the
    // show stops and then runs: the search must end on the stop, not on its ten seconds.
    class StoppingClock : public FakeClock {
    public:
        explicit StoppingClock(CRenderContext& context) : m_context(context) {}
        std::int64_t QueryPerformanceCounter() override
        {
            if (m_counterReads == 50) {
                m_context.m_bRunning = 0;
                m_tickStep = 1;
            }
            return FakeClock::QueryPerformanceCounter();
        }

    private:
        CRenderContext& m_context;
    };
    SmallShow show(64, 48);
    StoppingClock clock(show.context);
    show.context.m_pTargetClock = &clock;
    EXPECT_EQ(Find(show.context).found, 0);
    EXPECT_LE(clock.m_counterReads, 52);
}

TEST(SearchWindows, NoneFitsWhereTheCaptionLeavesTooFewRows)
{
    EXPECT_TRUE(HasSearchWindow(20, 20, 0));
    EXPECT_FALSE(HasSearchWindow(19, 100, 0));  // a window needs two columns inside
    EXPECT_FALSE(HasSearchWindow(100, 19, 0));
    // Just enough: the highest window, rows 89 … 99, ends below the top row.
    EXPECT_TRUE(HasSearchWindow(640, 100, 89));
    EXPECT_FALSE(HasSearchWindow(640, 100, 90));
}
