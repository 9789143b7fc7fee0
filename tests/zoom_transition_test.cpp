#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "engine/byte_darkening.h"
#include "engine/zoom_transition.h"
#include "memory_limit.h"
#include "tour_support.h"

namespace {

bool operator==(const PictureRect& a, const PictureRect& b)
{
    return a.left == b.left && a.bottom == b.bottom && a.right == b.right && a.top == b.top;
}

// A 64 × 48 show whose old view is ten times the new one, around the same centre.
struct TransitionShow : SmallShow {
    TransitionShow() : SmallShow(64, 48)
    {
        context.m_dSpanRe = 0.064;
        context.m_dSpanIm = 0.048;
        Fill(context.m_pDisplay.get(), 90, 90, 90);
    }
    void Play() { context.PlayZoomTransition(0.0, 0.0, 0.64, 0.48); }
    bool WindowIs(ColorRef colour, int x, int y) const { return window.GetPixel(x, y) == colour; }
};

}  // namespace

TEST(ZoomGeometry, TargetRectAndTheWayToIt)
{
    const double oldIm = 0.045, newIm = 0.1 * oldIm;
    const ViewBox oldView{-0.275, 0.735, 1920 * oldIm / 1080, oldIm};
    const ViewBox newView{-0.275, 0.735, 1920 * newIm / 1080, newIm};
    const PictureRect target = ComputeTargetRect(1920, 1080, oldView, newView);
    EXPECT_TRUE(target == (PictureRect{865, 487, 1055, 593}));  // 191 × 107 by truncation
    EXPECT_TRUE(InterpolateRect(target, 1920, 1080, 0.0) == (PictureRect{0, 0, 1920, 1080}));
    EXPECT_TRUE(InterpolateRect(target, 1920, 1080, 1.0) == target);

    // A new view on the old picture's left edge reaches beyond it.
    const ViewBox edgeView{-0.275 - oldView.spanRe / 2, 0.735, newView.spanRe, newIm};
    EXPECT_EQ(ComputeTargetRect(1920, 1080, oldView, edgeView).left, -95);
    // A garbage view saturates instead of overflowing.
    const ViewBox farView{1e300, 0.0, 1e300, 1.0};
    EXPECT_GT(ComputeTargetRect(1920, 1080, oldView, farView).right, 1 << 28);
}

// Every frame of a 31-frame film, pixel by pixel: frame f at t = f / 30 takes the old picture's
// part on the eased way u = 1 − (cos πt + 1) / 2 to the target, enlarged to the whole picture,
// darkened by 1 − √t.
TEST(ZoomTransition, FilmZoomsAlongTheEasedWayWhileFading)
{
    constexpr int kWidth = 24, kHeight = 16;
    SmallShow show(kWidth, kHeight);
    CRenderContext& context = show.context;
    ASSERT_EQ(context.m_frames.size(), 31u);
    std::uint8_t* source = context.m_pDisplay.get();
    for (int row = 0; row < kHeight; ++row) {
        for (int col = 0; col < kWidth; ++col) {
            show.Set(source, col, row, col, row, 255);
        }
    }
    // Half the old view, off centre: target 9 … 21 × 2 … 10.
    context.m_dCentreRe = 0.3;
    context.m_dCentreIm = -0.2;
    context.m_dSpanRe = 1.2;
    context.m_dSpanIm = 0.8;
    context.PlayZoomTransition(0.0, 0.0, 2.4, 1.6);

    const double pi = std::acos(-1.0);
    for (int f = 0; f < 31; ++f) {
        SCOPED_TRACE(f);
        const double t = f / 30.0;
        const double u = 1 - (std::cos(pi * t) + 1) * 0.5;
        const int x0 = static_cast<int>(9 * u), y0 = static_cast<int>(2 * u);
        const int x1 = static_cast<int>(21 * u + kWidth * (1 - u));
        const int y1 = static_cast<int>(10 * u + kHeight * (1 - u));
        const double keep = 1 - std::sqrt(t);
        const std::uint8_t* frame = context.m_frames.Frame(f, 1);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int sx = std::min(
                    static_cast<int>(x0 + ((x + 0.5) * (x1 - x0 + 1)) / kWidth), kWidth - 1);
                const int sy = std::min(
                    static_cast<int>(y0 + ((y + 0.5) * (y1 - y0 + 1)) / kHeight), kHeight - 1);
                const std::uint8_t* pixel = show.Pixel(frame, x, y);
                ASSERT_EQ(pixel[0], static_cast<int>(sx * keep)) << x << "," << y;
                ASSERT_EQ(pixel[1], static_cast<int>(sy * keep)) << x << "," << y;
                ASSERT_EQ(pixel[2], static_cast<int>(255 * keep)) << x << "," << y;
            }
        }
    }
    // A film of one frame is all ending: the black frame every film ends on.
    EXPECT_EQ(FilmFrameAt(0, 1).fade, 1.0);
    EXPECT_EQ(FilmFrameAt(0, 1).ease, 1.0);
}

TEST(FilmFrame, EnlargesTheRectangleAndTakesEdgePixelsOutsideIt)
{
    SmallShow show(8, 4);  // the display's pixels tell where they are: blue 10 × column + row
    std::uint8_t* source = show.context.m_pDisplay.get();
    std::uint8_t* frame = show.context.m_pWork.get();
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 8; ++col) {
            show.Set(source, col, row, 10 * col + row, 255, 0);
        }
    }
    const auto blue = [&](int col, int row) { return show.Pixel(frame, col, row)[0]; };
    // The whole picture: columns 0, 1, 2, 3, 5, 6, 7, 7 and rows 0, 1, 3, 3.
    ComputeFilmFrame(source, frame, 8, 4, {0, 0, 8, 4}, 0.0);
    const int cols[] = {0, 1, 2, 3, 5, 6, 7, 7}, rows[] = {0, 1, 3, 3};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            EXPECT_EQ(blue(x, y), 10 * cols[x] + rows[y]) << x << "," << y;
        }
    }
    // Left of and below the picture: column 0 and row 0.
    ComputeFilmFrame(source, frame, 8, 4, {-6, -3, 2, 1}, 0.0);
    EXPECT_EQ(blue(0, 0), 0);
    EXPECT_EQ(blue(7, 3), 10 * 2 + 1);
    // No width and no height: the one pixel there, darkened by truncation.
    ComputeFilmFrame(source, frame, 8, 4, {5, 2, 5, 2}, 0.5);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(blue(x, y), (10 * 5 + 2) / 2);
        }
    }
}

// Each frame pixel by pixel, the plain way: the nearest source pixel of the rectangle, its
// bytes darkened one by one. The film must match it byte for byte.
std::vector<std::uint8_t> ReferenceFilmFrame(const std::uint8_t* source, int width, int height,
                                             const PictureRect& rect, double fade)
{
    const auto nearest = [](int first, int length, int count, int d) {
        const int index = static_cast<int>(first + ((d + 0.5) * (length + 1)) / count);
        return std::clamp(index, 0, count - 1);
    };
    const int stride = ImageStride(width);
    std::vector<std::uint8_t> frame(ImageSize(width, height), 0);
    for (int y = 0; y < height; ++y) {
        const int row = nearest(rect.bottom, std::max(rect.top - rect.bottom, 0), height, y);
        for (int x = 0; x < width; ++x) {
            const int col = nearest(rect.left, std::max(rect.right - rect.left, 0), width, x);
            for (int c = 0; c < 3; ++c) {
                frame[static_cast<std::size_t>(y * stride + 3 * x + c)] =
                    static_cast<std::uint8_t>(source[row * stride + 3 * col + c] * (1 - fade));
            }
        }
    }
    return frame;
}

TEST(FilmFrame, DarkeningIsTheTruncatedDoubleProductOfEveryByte)
{
    std::uint8_t bytes[256 + 7];  // sixteen at a time and a few left over
    for (int i = 0; i < 263; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i < 256 ? i : 255 - i);
    }
    std::uint8_t darkened[263];
    // Every fade a film of up to 100 frames shows, and factors near simple fractions.
    std::vector<double> keeps = {0.0, 0.5, 1.0 / 3, 2.0 / 3, 0.1, 0.7, 1.0, 255.0 / 256};
    for (int frames = 2; frames <= 100; ++frames) {
        for (int f = 0; f < frames; ++f) {
            keeps.push_back(1 - FilmFrameAt(f, frames).fade);
        }
    }
    for (const double keep : keeps) {
        ByteDarkening(keep).Darken(bytes, darkened, 263);
        for (int i = 0; i < 263; ++i) {
            ASSERT_EQ(darkened[i], static_cast<std::uint8_t>(bytes[i] * keep))
                << "byte " << int(bytes[i]) << " kept " << keep;
        }
    }
}

// The film shows the frames made whole beforehand would be: however many processors make
// them, with the next made while one is shown or, short of memory, each after the one before.
TEST(FilmFrame, PlayedFilmOnAnyNumberOfThreadsShowsThePlainFrames)
{
    constexpr int kWidth = 61;  // rows padded by one byte
    constexpr int kHeight = 37;
    std::vector<std::uint8_t> source(ImageSize(kWidth, kHeight));
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);  // noise
    }
    const PictureRect targets[] = {{20, 10, 26, 14}, {-30, -20, 12, 9}, {55, 30, 70, 50},
                                   {33, 5, 33, 5}};
    const std::atomic<int> running{1};
    for (const int allocationsLeft : {3, 2}) {
        const ScopedMemoryLimit limit(allocationsLeft);
        TransitionFilm film;
        film.Allocate(kWidth, kHeight, 31);
        ASSERT_EQ(film.size(), 31u);
        for (const PictureRect& target : targets) {
            film.Load(source.data(), target);
            std::vector<std::vector<std::uint8_t>> expected;
            for (int f = 0; f < 31; ++f) {
                const FilmFrameTiming timing = FilmFrameAt(f, 31);
                expected.push_back(ReferenceFilmFrame(
                    source.data(), kWidth, kHeight,
                    InterpolateRect(target, kWidth, kHeight, timing.ease), timing.fade));
            }
            for (int processors = 1; processors <= 3; ++processors) {
                SCOPED_TRACE(testing::Message()
                             << target.left << "," << target.bottom << " on " << processors
                             << " threads, " << allocationsLeft << " pictures");
                std::vector<std::vector<std::uint8_t>> shown;
                film.Play([&](const std::uint8_t* pFrame) {
                    shown.emplace_back(pFrame, pFrame + ImageSize(kWidth, kHeight));
                }, running, processors);
                ASSERT_TRUE(shown == expected);
                const std::uint8_t* pLast = film.Frame(30, processors);
                EXPECT_TRUE(std::equal(expected[30].begin(), expected[30].end(), pLast));
            }
        }
    }
    // Without room for the picture and one frame there is no film.
    for (const int allocationsLeft : {0, 1}) {
        const ScopedMemoryLimit limit(allocationsLeft);
        TransitionFilm film;
        film.Allocate(kWidth, kHeight, 31);
        EXPECT_TRUE(film.empty());
    }
}

TEST(ZoomTransition, PlaysTheFilmIntoTheWindowEndingBlack)
{
    TransitionShow show;
    show.window.GetSurface().PaintRect(0, 0, 64, 48, 0x404040, RasterOp::CopyPen);
    int filmsReady = 0;
    show.context.m_fnFilmReady = [&] { ++filmsReady; };
    show.Play();
    EXPECT_EQ(filmsReady, 1);
    for (int y = 0; y < 48; y += 7) {
        for (int x = 0; x < 64; x += 7) {
            ASSERT_TRUE(show.WindowIs(0, x, y)) << x << "," << y;
        }
    }
}

namespace {

// The window as a lone outline of the rectangle (picture coordinates, y upwards) leaves it:
// the orange pen of the width the picture's width asks for, XOR-drawn on black.
std::vector<std::uint8_t> WindowWithOutline(int width, int height, const PictureRect& rect)
{
    CHeadlessWnd window(width, height);
    CWindowDC dc(&window);
    CPen pen;
    pen.CreatePen(width / 960 + 1, MakeColorRef(255, 136, 0));
    dc.SelectObject(&pen);
    dc.SetROP2(RasterOp::XorPen);
    dc.MoveTo(rect.left, height - rect.bottom);
    dc.LineTo(rect.right, height - rect.bottom);
    dc.LineTo(rect.right, height - rect.top);
    dc.LineTo(rect.left, height - rect.top);
    dc.LineTo(rect.left, height - rect.bottom);
    return window.CopyImage();
}

}  // namespace

// The outline closes in from the border at the pace a = √(J / 1000), one step per wait of
// just over a millisecond, then blinks 30 times on the target and ends visible there.
TEST(ZoomTransition, OutlineClosesInAtItsPaceThenBlinks)
{
    struct Case {
        int width;
        int height;
        ViewBox oldView;
        ViewBox newView;
        PictureRect target;
        int everyStep;  // steps between the ones compared
    };
    const Case cases[] = {
        {64, 48, {0.0, 0.0, 0.64, 0.48}, {0.0, 0.0, 0.064, 0.048}, {29, 22, 35, 26}, 1},
        {1920, 40, {0.0, 0.0, 1.92, 0.04}, {0.3, -0.005, 0.192, 0.004}, {1164, 13, 1356, 17}, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        SmallShow show(c.width, c.height);
        CRenderContext& context = show.context;
        context.m_frames.Clear();  // no film over the outline
        context.m_bUnattended = false;
        FakeClock pacing;
        pacing.m_counterStep = 1;  // a millisecond is 1 count: 3 readings per wait
        context.m_pShowClock = &pacing;
        context.m_dCentreRe = c.newView.centreRe;
        context.m_dCentreIm = c.newView.centreIm;
        context.m_dSpanRe = c.newView.spanRe;
        context.m_dSpanIm = c.newView.spanIm;
        const auto outlineAt = [&](double a) {
            const PictureRect& t = c.target;
            return PictureRect{static_cast<int>(t.left * a), static_cast<int>(t.bottom * a),
                               static_cast<int>(t.right * a + c.width * (1 - a)),
                               static_cast<int>(t.top * a + c.height * (1 - a))};
        };
        const std::vector<std::uint8_t> black(ImageSize(c.width, c.height));

        // Each wait starts with the outline of the step before alone on the window.
        int step = 0;
        std::vector<int> wrongSteps;
        pacing.onFrequency = [&] {
            const bool compared = step % c.everyStep == 0 || step == 1 || step == 1000;
            if (compared) {
                const std::vector<std::uint8_t> expected =
                    step == 0 ? black
                              : WindowWithOutline(c.width, c.height,
                                                  outlineAt(std::sqrt((step - 1) * 0.001)));
                if (show.window.CopyImage() != expected) {
                    wrongSteps.push_back(step);
                }
            }
            ++step;
        };
        const std::vector<std::uint8_t> onTarget = WindowWithOutline(c.width, c.height, c.target);
        std::vector<int> wrongBlinks;
        pacing.onSleep = [&] {
            const int blinks = static_cast<int>(pacing.m_sleeps.size());
            if (show.window.CopyImage() != (blinks % 2 == 0 ? onTarget : black)) {
                wrongBlinks.push_back(blinks);
            }
        };
        context.PlayZoomTransition(c.oldView.centreRe, c.oldView.centreIm, c.oldView.spanRe,
                                   c.oldView.spanIm);
        EXPECT_EQ(step, 1001);
        EXPECT_EQ(pacing.m_counterReads, 3 * 1001);
        EXPECT_EQ(wrongSteps, std::vector<int>{});
        EXPECT_EQ(pacing.m_sleeps, std::vector<int>(30, 100));
        EXPECT_EQ(wrongBlinks, std::vector<int>{});
        EXPECT_TRUE(show.window.CopyImage() == onTarget);

        // Drawn over a picture in memory, the outline of a step is what the window shows.
        for (const int s : {0, 1, 500, 1000}) {
            std::vector<std::uint8_t> picture = black;
            DrawOutlineOverPicture(show.window, picture.data(), c.width, c.height,
                                   OutlineAtStep(c.target, c.width, c.height, s));
            EXPECT_TRUE(picture == WindowWithOutline(c.width, c.height,
                                                     outlineAt(std::sqrt(s * 0.001))))
                << s;
        }
    }
}

// A stop ends the film's computing before its next frame, lets the rest of the outline run
// through without waiting or drawing, and ends the blinking and the film before their next
// step: the window keeps only what stood there at the stop.
TEST(ZoomTransition, StopEndsEachPhaseAtItsNextStep)
{
    enum class StopAt { Start, FilmComputed, OutlineStep500, TenthBlink };
    for (const StopAt stopAt :
         {StopAt::Start, StopAt::FilmComputed, StopAt::OutlineStep500, StopAt::TenthBlink}) {
        SCOPED_TRACE(static_cast<int>(stopAt));
        TransitionShow show;
        CRenderContext& context = show.context;
        context.m_bUnattended = false;
        FakeClock pacing;
        pacing.m_counterStep = 1;
        context.m_pShowClock = &pacing;
        int waits = 0;
        pacing.onFrequency = [&] {
            if (++waits == 501 && stopAt == StopAt::OutlineStep500) {
                context.m_bRunning = 0;
            }
        };
        pacing.onSleep = [&] {
            if (pacing.m_sleeps.size() == 10 && stopAt == StopAt::TenthBlink) {
                context.m_bRunning = 0;
            }
        };
        int filmsReady = 0;
        context.m_fnFilmReady = [&] {
            ++filmsReady;
            if (stopAt == StopAt::FilmComputed) {
                context.m_bRunning = 0;
            }
        };
        context.m_bRunning = stopAt == StopAt::Start ? 0 : 1;
        show.Play();
        EXPECT_EQ(filmsReady, stopAt == StopAt::Start ? 0 : 1);
        const int expectedWaits[] = {0, 0, 501, 1001};
        EXPECT_EQ(waits, expectedWaits[static_cast<int>(stopAt)]);
        EXPECT_EQ(pacing.m_sleeps.size(), stopAt == StopAt::TenthBlink ? 10u : 0u);
        // The outline of step 499 was erased and the one of step 500 not drawn; after ten
        // blinks the outline stands on the target, and no film follows.
        EXPECT_TRUE(show.window.CopyImage() ==
                    (stopAt == StopAt::TenthBlink
                         ? WindowWithOutline(64, 48, {29, 22, 35, 26})
                         : std::vector<std::uint8_t>(ImageSize(64, 48))));
    }
}
