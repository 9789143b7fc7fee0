#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <thread>

#include "engine/tour.h"
#include "tour_support.h"

namespace {

// Owns a tour on a small show without a caption, its target finder on a stepping fake clock.
class TourHarness : public ITourOwner {
public:
    TourHarness()
    {
        m_directory = std::filesystem::temp_directory_path() /
                      ("orvane_tour_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_directory);
        context.m_strFileBase = (m_directory / "tour").string();
        context.m_pTargetClock = &clock;
        context.m_pShowClock = &pacing;
        clock.m_tickStep = 1;
        clock.m_counterStep = 1;
        pacing.m_counterStep = 1;  // outline waits end even when a test lets them run
        g_nPictureSlot = 0;
    }
    ~TourHarness() { std::filesystem::remove_all(m_directory); }

    static constexpr std::size_t kMostRedraws = 1000;

    CRenderContext* GetRenderContext() override { return &context; }
    int GetMaxImages() override { return maxImages; }
    void RequestRedraw() override
    {
        events += 'R';
        shownAtRedraw.push_back(context.m_nShown);
        if (onRedraw) {
            onRedraw();
        }
        if (shownAtRedraw.size() == kMostRedraws) {
            Stop();  // a tour that never reaches the point its test stops at
        }
    }
    void OnPause() override { events += '|'; }
    void OnPictureSaved(int slot) override
    {
        events += 'S';
        slots.push_back(slot);
        spans.push_back(context.m_dSpanIm);
        ++saves;
        if (onSaved) {
            onSaved(static_cast<int>(slots.size()));
        }
    }

    // Runs the tour on its own thread to its end.
    void Run()
    {
        context.m_nTourState = 1;
        std::thread tour(TourThread, static_cast<ITourOwner*>(this));
        tour.join();
        EXPECT_EQ(context.m_nTourState, -1);
    }
    void Stop()
    {
        context.m_bRunning = 0;
        context.StopWorkers();
    }

    SmallShow show{48, 32};
    CRenderContext& context = show.context;
    CHeadlessWnd& window = show.window;
    FakeClock clock;   // the target finder's
    FakeClock pacing;  // the pause's and the transition's
    int maxImages = 10;
    std::string events;
    std::vector<int> shownAtRedraw;
    std::vector<int> slots;
    std::vector<double> spans;
    std::atomic<int> saves{0};
    std::function<void(int saved)> onSaved;
    std::function<void()> onRedraw;

private:
    std::filesystem::path m_directory;
};

const double kSecondSeriesSpan = 0.1 * 0.02;  // the first zoom of home view 1

}  // namespace

TEST(Tour, NumbersAFreshRunsSlotsAcrossSeriesAndFollowsARaisedMaximum)
{
    TourHarness tour;
    tour.onSaved = [&](int saved) {
        if (saved == 10) {
            tour.maxImages = 12;
        } else if (saved == 12) {
            tour.Stop();
        }
    };
    tour.Run();
    EXPECT_EQ(tour.slots, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    double span = 0.045;
    for (int zoom = 0; zoom < 10; ++zoom) {
        span = 0.1 * span;  // every zoom magnifies ten times along the shorter side
    }
    EXPECT_EQ(tour.spans[9], span);
    EXPECT_EQ(tour.spans[10], kSecondSeriesSpan);
}

TEST(Tour, EarlyEndOfASeriesKeepsCountingAndALoweredMaximumWrapsAtOnce)
{
    TourHarness tour;
    tour.onSaved = [&](int saved) {
        if (saved == 4) {
            tour.clock.Expire();  // the next search gives up: the series ends
        } else if (saved == 6) {
            tour.maxImages = 3;
        } else if (saved == 8) {
            tour.Stop();
        }
    };
    tour.Run();
    EXPECT_EQ(tour.slots, (std::vector<int>{1, 2, 3, 4, 5, 6, 1, 2}));
    EXPECT_EQ(tour.spans[4], kSecondSeriesSpan);
}

TEST(Tour, MaximumBelowOneKeepsSlotOneAndRedrawsComeAtTheirPoints)
{
    TourHarness tour;
    g_nPictureSlot = INT_MAX;
    tour.maxImages = INT_MAX;
    tour.onSaved = [&](int saved) {
        tour.maxImages = saved == 1 ? 0 : -5;
        if (saved == 3) {
            tour.Stop();
        }
    };
    tour.Run();
    EXPECT_EQ(tour.slots, (std::vector<int>{1, 1, 1}));
    // After the home view; per zoom: slot, render, save, and once more unless stopped.
    EXPECT_EQ(tour.events, "R" "RRSR" "RRSR" "RRS");
    // The first repaint of each zoom sees its render counted: the second zoom's shows the
    // first zoom picture (count 3) while the second one renders.
    EXPECT_EQ(tour.shownAtRedraw, (std::vector<int>{1, 2, 2, 2, 3, 3, 3, 4, 4}));
}

// Without targets the tour runs the home views 0, 1, 2, 0, … each a fresh series: step 1, no
// transition, nothing saved.
TEST(Tour, RunsTheHomeViewsInTurn)
{
    struct View {
        double centreRe;
        double centreIm;
        double span;
        int step;
        bool operator==(const View&) const = default;
    };
    TourHarness tour;
    tour.clock.m_tickStep = 20000;  // every search gives up at once
    std::vector<View> views;
    tour.onRedraw = [&] {
        const CRenderContext& context = tour.context;
        views.push_back({context.m_dCentreRe, context.m_dCentreIm, context.m_dSpanIm,
                         context.m_nStep});
        if (views.size() == 4) {
            tour.Stop();
        }
    };
    int films = 0;
    tour.context.m_fnFilmReady = [&films] { ++films; };
    tour.Run();
    EXPECT_EQ(views, (std::vector<View>{{-0.275, 0.735, 0.045, 1},
                                        {-0.244, 0.705, 0.02, 1},
                                        {-0.27, 0.795, 0.05, 1},
                                        {-0.275, 0.735, 0.045, 1}}));
    EXPECT_EQ(films, 0);
    EXPECT_EQ(tour.saves, 0);
}

TEST(Tour, StopsBeforeStarting)
{
    TourHarness idle;
    idle.context.m_bRunning = 0;
    idle.Run();
    EXPECT_EQ(idle.events, "");
}

// Every series but a show's first, even one that found no target, is followed by a pause of
// 50 sleeps of 100 ms with the running flag tested before each and after the last, of which
// the owner is told first. The shown count starts at 1 after every home view, so the paint
// handler skips that picture.
TEST(Tour, PausesAfterEverySeriesButTheFirstAndStopsWithinOneStep)
{
    for (const int stopAtSleep : {50, 70}) {
        SCOPED_TRACE(stopAtSleep);
        TourHarness tour;
        tour.context.m_bUnattended = false;
        tour.clock.Expire();  // the first series finds no target
        tour.onSaved = [&](int) { tour.clock.Expire(); };  // the second ends after one zoom
        tour.pacing.onSleep = [&] {
            tour.events += 'P';
            if (static_cast<int>(tour.pacing.m_sleeps.size()) == stopAtSleep) {
                tour.Stop();
            }
        };
        tour.Run();
        const std::string firstPause(50, 'P');
        if (stopAtSleep == 50) {
            EXPECT_EQ(tour.events, "R|" + firstPause);  // nothing after the last sleep's test
        } else {
            EXPECT_EQ(tour.events, "R|" + firstPause + "R" "RRSR" "|" + std::string(20, 'P'));
            // After the home view; per zoom: once the render is counted, after the render,
            // after the save. A repaint asked for before the count would show the waiting
            // screen for the whole render of the second zoom picture.
            EXPECT_EQ(tour.shownAtRedraw, (std::vector<int>{1, 1, 2, 2, 2}));
        }
        EXPECT_EQ(tour.pacing.m_sleeps, std::vector<int>(stopAtSleep, 100));
    }
}

TEST(Tour, StopDuringARenderKeepsPictureAndWindow)
{
    TourHarness tour;
    std::vector<std::uint8_t> display, grid, screen;
    tour.onRedraw = [&] {
        if (tour.events == "R" "RRSR" "RRSR" "R") {  // the third zoom is about to render
            tour.Stop();
            const std::size_t size = ImageSize(48, 32);
            display.assign(tour.context.m_pDisplay.get(), tour.context.m_pDisplay.get() + size);
            grid.assign(tour.context.m_pGrid.get(), tour.context.m_pGrid.get() + size);
            screen = tour.window.CopyImage();
        }
    };
    tour.Run();
    EXPECT_EQ(tour.events, "R" "RRSR" "RRSR" "RR");
    EXPECT_EQ(g_nPictureSlot, 3);  // advanced, but nothing saved for it
    EXPECT_EQ(tour.slots.size(), 2u);
    EXPECT_TRUE(std::equal(display.begin(), display.end(), tour.context.m_pDisplay.get()));
    EXPECT_TRUE(std::equal(grid.begin(), grid.end(), tour.context.m_pGrid.get()));
    EXPECT_EQ(tour.window.CopyImage(), screen);
}

TEST(Tour, StopDuringATransitionPublishesButSavesNothing)
{
    TourHarness tour;
    std::vector<std::uint8_t> screen;
    tour.context.m_fnFilmReady = [&] {
        tour.Stop();
        screen = tour.window.CopyImage();
    };
    tour.Run();
    // The first transition leads to the second zoom picture.
    EXPECT_EQ(tour.events, "R" "RRSR" "RR");
    EXPECT_EQ(tour.window.CopyImage(), screen);
    EXPECT_EQ(tour.context.m_dSpanIm, 0.1 * (0.1 * 0.045));
    EXPECT_TRUE(std::equal(tour.context.m_pWork.get(),
                           tour.context.m_pWork.get() + ImageSize(48, 32),
                           tour.context.m_pDisplay.get()));
}
