#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/render_worker.h"
#include "memory_limit.h"
#include "render/headless_show.h"
#include "tests/support/reference_picture.h"
#include "tour_support.h"

namespace {

// Compares the pixels, not the row padding.
void ExpectSamePixels(const std::uint8_t* actual, const std::vector<std::uint8_t>& expected,
                      int width, int height)
{
    for (int i = 0; i < height; ++i) {
        for (int b = 0; b < 3 * width; ++b) {
            const std::size_t at = static_cast<std::size_t>(i * ImageStride(width) + b);
            ASSERT_EQ(actual[at], expected[at]) << "row " << i << " column " << b / 3;
        }
    }
}

// Everything on the real axis near -0.1 stays bounded: every sample takes all 1000 steps.
constexpr double kInteriorRe = -0.1;
constexpr double kInteriorIm = 0.0;
constexpr double kInteriorSpan = 0.01;

TEST(Render, EveryPixelAsDefined)
{
    struct Case {
        int width;
        int height;
        int processors;
        double centreRe;
        double centreIm;
        double span;
    };
    // Odd widths with row padding, a portrait picture, fewer rows than bands, and views with
    // fast escapes, deep structure and interior.
    const Case cases[] = {
        {37, 23, 3, -0.275, 0.735, 0.045},
        {23, 37, 2, -0.244, 0.705, 0.02},
        {30, 4, 1, -0.27, 0.795, 0.05},
        {9, 9, 4, -0.2520023, 0.7363549, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        HeadlessShow show(c.width, c.height, c.processors);
        CRenderContext& context = show.Context();
        context.m_sizeCaptionBox = {0, 0};  // pixels straight from the kernel
        context.Render(c.centreRe, c.centreIm, c.span);
        const int w = context.m_nWidth;
        const int h = context.m_nHeight;
        const auto expected =
            ReferencePicture(context, c.centreRe, c.centreIm, w > h ? (w * c.span) / h : c.span,
                             w > h ? c.span : (h * c.span) / w);
        ExpectSamePixels(context.m_pWork.get(), expected, c.width, c.height);
        ExpectSamePixels(context.m_pDisplay.get(), expected, c.width, c.height);
    }
}

// A sample on the escape circle whose real part rounds differently when the sample position
// is computed with a fused multiply-add: only plain double arithmetic gives this pixel.
TEST(Render, SamplePositionsInPlainDoubleArithmetic)
{
    HeadlessShow show(3, 3, 1);
    CRenderContext& context = show.Context();
    context.m_sizeCaptionBox = {0, 0};
    context.Render(2.9776400000000001, 1.0670686957974074, 0.25023600000000001);
    const std::uint8_t* pixel = context.m_pDisplay.get() + 3;  // bottom row, column 1
    EXPECT_EQ(pixel[0], 6);  // fused: 5
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[2], 0);
}

TEST(Render, SpansFollowTheShorterSide)
{
    HeadlessShow show(0, 0, 1);
    CRenderContext& context = show.Context();
    context.m_bands.clear();  // nothing to compute: only the view is set
    context.m_bRunning = 0;
    const int sizes[][2] = {{1920, 1080}, {1080, 1920}, {500, 500}};
    // (1920 × 0.045) / 1080 in double is a hair below 0.08.
    const double longer = 0.07999999999999999;
    const double spans[][2] = {{longer, 0.045}, {0.045, longer}, {0.045, 0.045}};
    for (int k = 0; k < 3; ++k) {
        context.m_nWidth = sizes[k][0];
        context.m_nHeight = sizes[k][1];
        context.Render(-0.275, 0.735, 0.045);
        EXPECT_EQ(context.m_dSpanRe, spans[k][0]);
        EXPECT_EQ(context.m_dSpanIm, spans[k][1]);
        EXPECT_EQ(context.m_dCentreRe, -0.275);
        EXPECT_EQ(context.m_dCentreIm, 0.735);
    }
    EXPECT_EQ(context.m_nShown.load(), 3);
    EXPECT_EQ(context.m_nStep, 3);
}

TEST(Render, BandsTileTheRowsFromTheBottomUp)
{
    for (const int processors : {4, 8}) {
        HeadlessShow show(1, 1080, processors);
        CRenderContext& context = show.Context();
        context.m_bRunning = 0;
        context.Render(-0.275, 0.735, 0.045);
        const int bandCount = 10 * processors;
        ASSERT_EQ(context.m_bands.size(), static_cast<std::size_t>(bandCount));
        for (int m = 0; m < bandCount; ++m) {
            const WorkerBand& band = context.m_bands[m];
            EXPECT_EQ(band.nFirstRow, 1080 * m / bandCount);
            EXPECT_EQ(band.nEndRow, 1080 * (m + 1) / bandCount);
            EXPECT_EQ(band.pOwner, &context);
            EXPECT_EQ(band.nState.load(), -1);
            const int rows = band.nEndRow - band.nFirstRow;
            // 27 rows each for 40 bands; 13 and 14 in turn for 80.
            EXPECT_EQ(rows, processors == 4 ? 27 : 13 + m % 2) << m;
        }
    }
}

TEST(Render, KeepsExactlyAsManyWorkersAliveAsProcessors)
{
    for (const int processors : {1, 3}) {
        // Bands of a few milliseconds each: long enough for the machine to start the next
        // thread before an earlier one finishes, however fast the kernel.
        HeadlessShow show(256, 120, processors);
        // Never more workers alive than processors, in any render. All of them at once is
        // only seen if the machine starts a thread before an earlier one finishes, which a
        // busy machine does not always do: some render of a series must show it.
        int most = 0;
        for (int render = 0; render < 50 && most < processors; ++render) {
            show.Context().m_nStep = 0;  // no zoom transition between the renders
            g_workerCensus.nMostAlive = 0;
            show.Context().Render(kInteriorRe, kInteriorIm, kInteriorSpan);
            ASSERT_LE(g_workerCensus.nMostAlive.load(), processors);
            ASSERT_EQ(g_workerCensus.nAlive.load(), 0);
            most = std::max(most, g_workerCensus.nMostAlive.load());
        }
        EXPECT_EQ(most, processors);
    }
}

// Once every band has started, a processor whose worker finished takes over the upper half
// of the rows not begun of a running band: the same picture, never more workers than
// processors.
TEST(Render, IdleProcessorsTakeOverRowsOfTheLastBands)
{
    // Deep structure, bands of 20 rows of up to two million steps each: the last band still
    // has rows not begun when the one beside it finishes.
    constexpr int kWidth = 128;
    constexpr int kHeight = 400;
    const auto renderWith = [](HeadlessShow& show) {
        CRenderContext& context = show.Context();
        context.m_nStep = 0;  // no zoom transition between the renders
        context.m_sizeCaptionBox = {0, 0};
        std::memset(context.m_pWork.get(), 0xA5, ImageSize(kWidth, kHeight));
        context.Render(-0.2520023, 0.7363549, 1e-6);
    };
    HeadlessShow alone(kWidth, kHeight, 1);
    renderWith(alone);
    ASSERT_TRUE(alone.Context().m_pieces.empty());
    const std::uint8_t* pAlone = alone.Context().m_pWork.get();
    const std::vector<std::uint8_t> expected(pAlone, pAlone + ImageSize(kWidth, kHeight));

    // A busy machine may let the last band finish alone: some render of a series must split.
    HeadlessShow show(kWidth, kHeight, 2);
    bool bSplit = false;
    for (int render = 0; render < 50 && !bSplit; ++render) {
        g_workerCensus.nMostAlive = 0;
        renderWith(show);
        ASSERT_LE(g_workerCensus.nMostAlive.load(), 2);
        ExpectSamePixels(show.Context().m_pWork.get(), expected, kWidth, kHeight);
        bSplit = !show.Context().m_pieces.empty();
    }
    EXPECT_TRUE(bSplit);
}

// A stop must leave the published images, and so the screen, as they were.
class StopTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t kBefore = 0x5A;

    void SetUpShow(int width, int height)
    {
        m_show = std::make_unique<HeadlessShow>(width, height, 2);
        CRenderContext& context = m_show->Context();
        const std::size_t size = ImageSize(width, height);
        std::memset(context.m_pWork.get(), kBefore, size);
        std::memset(context.m_pDisplay.get(), kBefore, size);
        std::memset(context.m_pGrid.get(), kBefore, size);
    }

    void ExpectPublishedImagesUntouched()
    {
        const CRenderContext& context = m_show->Context();
        for (std::size_t i = 0; i < ImageSize(context.m_nWidth, context.m_nHeight); ++i) {
            ASSERT_EQ(context.m_pDisplay[i], kBefore) << i;
            ASSERT_EQ(context.m_pGrid[i], kBefore) << i;
        }
        for (const WorkerBand& band : context.m_bands) {
            EXPECT_EQ(band.nState.load(), -1);
        }
        EXPECT_EQ(context.m_dCentreRe, kInteriorRe);  // the new view stays set
    }

    std::unique_ptr<HeadlessShow> m_show;
};

TEST_F(StopTest, StopWhileWorkersRun)
{
    SetUpShow(256, 160);  // long enough that the stop comes first
    CRenderContext& context = m_show->Context();
    std::thread tour([&context] { context.Render(kInteriorRe, kInteriorIm, kInteriorSpan); });
    // Stop once the first band is done, as the stop sequence does.
    while (context.m_bands[0].nState.load() != -1) {
        std::this_thread::yield();
    }
    context.m_bRunning = 0;
    context.StopWorkers();
    tour.join();

    ExpectPublishedImagesUntouched();
    // The workers gave up: the last rows were never computed.
    const std::uint8_t* lastRow = context.m_pWork.get() + 159 * context.GetStride();
    EXPECT_EQ(lastRow[0], kBefore);
}

TEST_F(StopTest, StopBeforeTheRenderComputesNothing)
{
    SetUpShow(16, 10);
    CRenderContext& context = m_show->Context();
    context.m_bRunning = 0;
    context.StopWorkers();
    context.Render(kInteriorRe, kInteriorIm, kInteriorSpan);
    ExpectPublishedImagesUntouched();
    // Raising the go flags did not undo the stop: no worker computed a sample.
    EXPECT_EQ(context.m_pWork[0], kBefore);
}

// Every render publishes the captioned picture to the display and, with the grid drawn over
// it, to the grid image; from the third render after a home view on, a transition plays first.
TEST(Render, PublishesPictureAndGridAndPlaysTransitionsFromTheThirdRender)
{
    HeadlessShow show(24, 16, 1);
    CRenderContext& context = show.Context();
    int films = 0;
    context.m_fnFilmReady = [&films] { ++films; };
    const std::size_t size = ImageSize(24, 16);
    for (int render = 1; render <= 3; ++render) {
        SCOPED_TRACE(render);
        const double span = 0.045 / render;
        context.Render(-0.275, 0.735, span);
        EXPECT_EQ(films, render == 3 ? 1 : 0);
        if (render < 3) {  // the first two draw nothing into the window
            EXPECT_EQ(show.Window().CopyImage(), std::vector<std::uint8_t>(size));
        }
        EXPECT_EQ(std::memcmp(context.m_pDisplay.get(), context.m_pWork.get(), size), 0);

        HeadlessShow gridded(24, 16, 1);
        CRenderContext& expected = gridded.Context();
        std::memcpy(expected.m_pGrid.get(), context.m_pDisplay.get(), size);
        expected.m_dCentreRe = -0.275;
        expected.m_dCentreIm = 0.735;
        expected.m_dSpanRe = (24 * span) / 16;
        expected.m_dSpanIm = span;
        expected.DrawGrid();
        EXPECT_EQ(std::memcmp(context.m_pGrid.get(), expected.m_pGrid.get(), size), 0);
    }
}

// The caption blended into a uniform grey picture.
class CaptionTest : public ::testing::Test {
protected:
    static constexpr std::uint8_t kGrey = 150;
    static constexpr std::uint8_t kDarkened = 100;  // 2 × 150 / 3
    static constexpr std::uint8_t kUnderWhite = 185;  // 100 + 255 / 3
    static constexpr std::uint8_t kGuard = 0x5A;
    static constexpr std::size_t kGuardBytes = 4096;

    // A work image with a guard zone behind it, to see writes outside the picture.
    void SetUpPicture(int width, int height)
    {
        m_show = std::make_unique<HeadlessShow>(width, height, 1);
        CRenderContext& context = m_show->Context();
        const std::size_t size = ImageSize(width, height);
        context.m_pWork = AllocateImage(size + kGuardBytes);
        std::memset(context.m_pWork.get(), kGrey, size);
        std::memset(context.m_pWork.get() + size, kGuard, kGuardBytes);
    }

    std::uint8_t Byte(int x, int y, int channel) const
    {
        const CRenderContext& context = m_show->Context();
        return context.m_pWork[y * context.GetStride() + 3 * x + channel];
    }

    void ExpectGuardUntouched() const
    {
        const CRenderContext& context = m_show->Context();
        const std::size_t size = ImageSize(context.m_nWidth, context.m_nHeight);
        for (std::size_t i = 0; i < kGuardBytes; ++i) {
            ASSERT_EQ(context.m_pWork[size + i], kGuard) << i;
        }
    }

    std::unique_ptr<HeadlessShow> m_show;
};

// Every byte of the box becomes ⌊2·picture / 3⌋ + ⌊box / 3⌋, the box holding the caption
// centred, white on black; the picture varies so that both remainders matter.
TEST_F(CaptionTest, DarkensTheBoxAndBlendsTheCentredTextInTheLowerLeftCorner)
{
    SetUpPicture(640, 100);
    CRenderContext& context = m_show->Context();
    const int stride = context.GetStride();
    for (int y = 0; y < 100; ++y) {
        for (int i = 0; i < 3 * 640; ++i) {
            context.m_pWork[y * stride + i] = static_cast<std::uint8_t>((7 * y + i) % 256);
        }
    }
    const std::vector<std::uint8_t> before(context.m_pWork.get(),
                                           context.m_pWork.get() + ImageSize(640, 100));
    const CSize box = context.m_sizeCaptionBox;
    const CSize text = context.m_sizeCaption;
    ASSERT_LT(box.cx, 640);
    ASSERT_LT(box.cy, 100);
    ASSERT_GT(box.cx - text.cx, 2);  // margins to centre the text in
    ASSERT_GT(box.cy - text.cy, 2);
    const std::vector<std::uint8_t> caption =
        DrawnText(box.cx, box.cy, (box.cx - text.cx) / 2, (box.cy - text.cy) / 2,
                  "ＭＳ Ｐ明朝", context.m_nCaptionPoints, context.m_strCaption);
    context.StampCaption();

    int greys = 0;  // anti-aliased edge bytes
    for (int y = 0; y < 100; ++y) {
        for (int i = 0; i < 3 * 640; ++i) {
            const int at = y * stride + i;
            int expected = before[at];
            if (i < 3 * box.cx && y < box.cy) {
                const int drawn = caption[y * ImageStride(box.cx) + i];
                expected = std::min(255, 2 * before[at] / 3 + drawn / 3);
                greys += drawn % 3 != 0 ? 1 : 0;
            }
            ASSERT_EQ(context.m_pWork[at], expected) << "column " << i / 3 << ", row " << y;
        }
    }
    EXPECT_GT(greys, 20);
    ExpectGuardUntouched();
}

TEST_F(CaptionTest, PictureSmallerThanTheBoxIsStampedWithinItsEdges)
{
    SetUpPicture(37, 5);
    CRenderContext& context = m_show->Context();
    ASSERT_GT(context.m_sizeCaptionBox.cx, 37);
    ASSERT_GT(context.m_sizeCaptionBox.cy, 5);
    context.StampCaption();
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 37; ++x) {
            ASSERT_GE(Byte(x, y, 0), kDarkened);
            ASSERT_LE(Byte(x, y, 0), kUnderWhite);
        }
        EXPECT_EQ(context.m_pWork[y * context.GetStride() + 111], kGrey);  // row padding
    }
    ExpectGuardUntouched();
}

TEST_F(CaptionTest, NoMemoryForTheCaptionLeavesThePicture)
{
    SetUpPicture(640, 100);
    {
        ScopedMemoryLimit limit(0);
        m_show->Context().StampCaption();
    }
    EXPECT_EQ(Byte(0, 0, 0), kGrey);
    EXPECT_EQ(Byte(10, 10, 1), kGrey);
}

}  // namespace
