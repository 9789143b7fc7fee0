#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/byte_darkening.h"
#include "engine/zoom_transition.h"
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

TEST(ZoomGeometry, FilmTimingRunsFromTheWholePictureToBlack)
{
    const FilmFrameTiming first = FilmFrameAt(0, 31), middle = FilmFrameAt(15, 31),
                          last = FilmFrameAt(30, 31), only = FilmFrameAt(0, 1);
    EXPECT_EQ(first.fade, 0.0);
    EXPECT_EQ(first.ease, 0.0);
    EXPECT_DOUBLE_EQ(middle.t, 0.5);
    EXPECT_DOUBLE_EQ(middle.ease, 0.5);
    EXPECT_EQ(last.fade, 1.0);
    EXPECT_EQ(last.ease, 1.0);
    EXPECT_EQ(only.fade, 1.0);  // a one-frame film is its black end
    EXPECT_EQ(only.ease, 1.0);
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
    ComputeFilmFrame(source, frame, 8, 4, {0, 0, 8, 4}, FilmFrameAt(1, 31).fade);
    EXPECT_EQ(show.Pixel(frame, 0, 0)[1], 208);  // 255 × (1 − √(1/30))
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

TEST(FilmFrame, WholeFilmOnAnyNumberOfThreadsMatchesThePlainFrames)
{
    constexpr int kWidth = 61;  // rows padded by one byte
    constexpr int kHeight = 37;
    SmallShow show(kWidth, kHeight);
    CRenderContext& context = show.context;
    std::uint8_t* source = context.m_pDisplay.get();
    for (std::size_t i = 0; i < ImageSize(kWidth, kHeight); ++i) {
        source[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);  // noise
    }
    const PictureRect targets[] = {{20, 10, 26, 14}, {-30, -20, 12, 9}, {55, 30, 70, 50},
                                   {33, 5, 33, 5}};
    for (const PictureRect& target : targets) {
        for (int processors = 1; processors <= 3; ++processors) {
            SCOPED_TRACE(testing::Message() << target.left << "," << target.bottom << " on "
                                            << processors << " threads");
            for (ImageBuffer& frame : context.m_frames) {
                std::memset(frame.get(), 0, ImageSize(kWidth, kHeight));
            }
            ComputeFilm(source, context.m_frames, kWidth, kHeight, target, context.m_bRunning,
                        processors);
            const int frameCount = static_cast<int>(context.m_frames.size());
            for (int f = 0; f < frameCount; ++f) {
                const FilmFrameTiming timing = FilmFrameAt(f, frameCount);
                const std::vector<std::uint8_t> expected = ReferenceFilmFrame(
                    source, kWidth, kHeight,
                    InterpolateRect(target, kWidth, kHeight, timing.ease), timing.fade);
                ASSERT_EQ(std::memcmp(context.m_frames[static_cast<std::size_t>(f)].get(),
                                      expected.data(), expected.size()),
                          0)
                    << "frame " << f;
            }
        }
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
    EXPECT_EQ(show.context.m_frames.front()[0], 90);  // frame 0: the old picture as it was
    EXPECT_EQ(show.context.m_frames.back()[0], 0);
    for (int y = 0; y < 48; y += 7) {
        for (int x = 0; x < 64; x += 7) {
            ASSERT_TRUE(show.WindowIs(0, x, y)) << x << "," << y;
        }
    }
}

TEST(ZoomTransition, WithoutFramesLeavesOnlyTheOutlineOnTheTarget)
{
    TransitionShow show;
    show.context.m_frames.clear();
    show.Play();
    // Target 29 … 35 × 22 … 26 in picture rows, so window rows 22 … 26; XOR on black.
    EXPECT_TRUE(show.WindowIs(0x0088FF, 32, 48 - 22));
    EXPECT_TRUE(show.WindowIs(0x0088FF, 29, 24));
    EXPECT_TRUE(show.WindowIs(0, 32, 24));  // inside
    EXPECT_TRUE(show.WindowIs(0, 0, 20));   // the first outline, on the border, is erased
    EXPECT_TRUE(show.WindowIs(0, 20, 16));  // and so is every one on the way
}

TEST(ZoomTransition, StopsBetweenPhasesWithoutTouchingTheWindow)
{
    for (const bool stopBefore : {true, false}) {
        TransitionShow show;
        for (ImageBuffer& frame : show.context.m_frames) {
            std::memset(frame.get(), 7, ImageSize(64, 48));
        }
        int filmsReady = 0;
        show.context.m_fnFilmReady = [&] {
            ++filmsReady;
            show.context.m_bRunning = 0;
        };
        show.context.m_bRunning = stopBefore ? 0 : 1;
        show.Play();
        EXPECT_EQ(filmsReady, stopBefore ? 0 : 1);
        EXPECT_EQ(show.context.m_frames.front()[0], stopBefore ? 7 : 90);
        EXPECT_EQ(show.window.CopyImage(), std::vector<std::uint8_t>(ImageSize(64, 48)));
    }
}
