#include <gtest/gtest.h>

#include <new>

#include <cstring>

#include "engine/render_context.h"
#include "memory_limit.h"
#include "platform/draw_tools.h"
#include "platform/soft/headless_window.h"

namespace {

TEST(RenderContext, ConstructionDefaults)
{
    CHeadlessWnd window(64, 48);
    CRenderContext context(window);
    EXPECT_EQ(context.m_strCaption, "Tesserium https://tesserium.example");
    EXPECT_EQ(context.m_nSubsamples, 4);
    EXPECT_EQ(context.m_nWidth, 0);
    EXPECT_EQ(context.m_nHeight, 0);
    EXPECT_EQ(context.m_nCaptionPoints, 0);
    EXPECT_EQ(context.m_sizeCaptionBox.cx, 0);
    EXPECT_EQ(context.m_sizeCaptionBox.cy, 0);
    EXPECT_EQ(context.m_bShowGrid.load(), 0);
    EXPECT_EQ(context.m_nShown.load(), 0);
    EXPECT_EQ(context.m_nStep, 0);
    EXPECT_FALSE(context.m_pWork || context.m_pDisplay || context.m_pGrid);
    EXPECT_TRUE(context.m_bands.empty());
    EXPECT_TRUE(context.m_frames.empty());
}

TEST(RenderContext, TenZeroedBandsPerProcessor)
{
    CHeadlessWnd window;
    CRenderContext context(window);
    context.CreateBandsAndPalette(4);
    ASSERT_EQ(context.m_bands.size(), 40u);
    for (const WorkerBand& band : context.m_bands) {
        EXPECT_EQ(band.nFirstRow, 0);
        EXPECT_EQ(band.nEndRow, 0);
        EXPECT_EQ(band.pOwner, nullptr);
        EXPECT_EQ(band.nState.load(), 0);
        EXPECT_EQ(band.bGo.load(), 0);
    }
    EXPECT_EQ(context.m_palBlue[40], 255);  // and the palette is built

    context.CreateBandsAndPalette(0);
    EXPECT_TRUE(context.m_bands.empty());
}

TEST(AllocImages, SizesStrideAndFrames)
{
    CHeadlessWnd window(8, 8);
    CRenderContext context(window);
    const int strides[][2] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {1366, 4100}, {1920, 5760}};
    for (const auto [width, stride] : strides) {
        context.AllocImages(width, 3);
        EXPECT_EQ(context.m_nWidth, width);
        EXPECT_EQ(context.m_nHeight, 3);
        EXPECT_EQ(context.GetStride(), stride);
        ASSERT_TRUE(context.m_pWork && context.m_pDisplay && context.m_pGrid);
        EXPECT_EQ(context.m_frames.size(), 31u);
        // Nothing shows or saves heap leftovers before the first picture.
        for (std::size_t i = 0; i < ImageSize(width, 3); ++i) {
            ASSERT_EQ(context.m_pDisplay[i], 0) << i;
        }
    }
}

TEST(AllocImages, ZeroSizesChangeNothing)
{
    CHeadlessWnd window(8, 8);
    CRenderContext context(window);
    context.AllocImages(5, 7);
    const std::uint8_t* pWork = context.m_pWork.get();
    const int captionPoints = context.m_nCaptionPoints;
    for (const auto& [width, height] : {std::pair{0, 9}, {9, 0}, {0, 0}, {-3, 9}}) {
        context.AllocImages(width, height);
        EXPECT_EQ(context.m_nWidth, 5);
        EXPECT_EQ(context.m_nHeight, 7);
        EXPECT_EQ(context.m_pWork.get(), pWork);
        EXPECT_EQ(context.m_nCaptionPoints, captionPoints);
        EXPECT_EQ(context.m_frames.size(), 31u);
    }
}

// The film takes the room of a picture and a frame, or of two frames when it can; short of
// that the show goes on without one.
TEST(AllocImages, NoFilmWhenMemoryRunsShort)
{
    CHeadlessWnd window(8, 8);
    CRenderContext context(window);
    for (const auto& [filmAllocations, frames] : {std::pair{0, 0u}, {1, 0u}, {2, 31u}, {3, 31u}}) {
        ScopedMemoryLimit limit(3 + filmAllocations);
        context.AllocImages(16, 16);
        EXPECT_EQ(context.m_frames.size(), frames);
        EXPECT_TRUE(context.m_pWork && context.m_pDisplay && context.m_pGrid);
    }
}

TEST(AllocImagesDeathTest, NoRoomForTheImagesEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const int allocationsLeft : {0, 2}) {
        EXPECT_EXIT(
            {
                ScopedMemoryLimit limit(allocationsLeft);
                CHeadlessWnd window(8, 8);
                CRenderContext context(window);
                context.AllocImages(16, 16);
            },
            ::testing::ExitedWithCode(0), "メモリが足りません");
    }
}

// The renderer and the Linux show say it themselves, in English.
TEST(AllocImagesDeathTest, NoRoomForTheImagesOfAnUnattendedShowIsThrownToItsCaller)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr int kThrown = 7;
    for (const bool bUnattended : {true, false}) {
        EXPECT_EXIT(
            {
                const ScopedMemoryLimit limit(2);
                CHeadlessWnd window(8, 8);
                CRenderContext context(window);
                context.m_bUnattended = bUnattended;
                context.m_bOwnerReportsNoMemory = !bUnattended;
                try {
                    context.AllocImages(16, 16);
                } catch (const std::bad_alloc&) {
                    std::exit(kThrown);
                }
                std::exit(1);
            },
            ::testing::ExitedWithCode(kThrown), "");
    }
}

TEST(AllocImages, TakesNoMoreFramesThanAsked)
{
    CHeadlessWnd window(8, 8);
    CRenderContext context(window);
    for (const std::size_t frames : {0u, 5u}) {
        context.AllocImages(16, 16, frames);
        EXPECT_EQ(context.m_frames.size(), frames);
    }
}

TEST(AllocImages, CaptionMetrics)
{
    // The caption font grows with the width, from 12 points up.
    const int pointsOfWidth[][2] = {{640, 120}, {1920, 120}, {2420, 121}, {3840, 192}};
    for (const auto [width, points] : pointsOfWidth) {
        CHeadlessWnd window(width, 2);
        CRenderContext context(window);
        context.AllocImages(width, 2);
        EXPECT_EQ(context.m_nCaptionPoints, points);

        // The caption measured in that font, on the window's DC.
        CClientDC dc(&window);
        CFont font;
        font.CreatePointFont(points, "ＭＳ Ｐ明朝", &dc);
        CFont* pOldFont = dc.SelectObject(&font);
        const CSize extent = dc.GetTextExtent(context.m_strCaption);
        dc.SelectObject(pOldFont);
        EXPECT_EQ(context.m_sizeCaption.cx, extent.cx);
        EXPECT_EQ(context.m_sizeCaption.cy, extent.cy);
        EXPECT_GT(extent.cx, 0);
        EXPECT_EQ(context.m_sizeCaptionBox.cx, static_cast<int>(extent.cx * 1.1));
        EXPECT_EQ(context.m_sizeCaptionBox.cy, static_cast<int>(extent.cy * 1.5));
    }
}

}  // namespace
