#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "engine/render_worker.h"
#include "tools/headless_show.h"

namespace {

// The index of each point when it sits in any lane, whatever the other lanes hold.
int IndexOf(double cRe, double cIm)
{
    int lastIndex = -1;
    for (int lane = 0; lane < kKernelLanes; ++lane) {
        // Neighbours that never escape and neighbours that escape at once.
        double cRes[kKernelLanes] = {0.0, 4.0, -0.1, 3.0, 0.0, 5.0, -0.2, -9.0};
        double cIms[kKernelLanes] = {0.0, 0.0, 0.0, 4.0, 0.1, -1.0, 0.0, 0.5};
        cRes[lane] = cRe;
        cIms[lane] = cIm;
        int index[kKernelLanes];
        IterateSamples(cRes, cIms, index);
        EXPECT_TRUE(lastIndex == -1 || index[lane] == lastIndex) << "lane " << lane;
        lastIndex = index[lane];
    }
    return lastIndex;
}

TEST(Kernel, EscapeRule)
{
    EXPECT_EQ(IndexOf(0.0, 0.0), 0);  // never escapes
    EXPECT_EQ(IndexOf(3.0, 0.0), 1);  // 9 is not above 10; 12 escapes at step 2
    EXPECT_EQ(IndexOf(4.0, 0.0), 0);  // escapes at once: as black as the interior
    EXPECT_EQ(IndexOf(3.0, 1.0), 1);  // exactly 10 at step 1 does not escape
}

TEST(Kernel, FoldingBreaksTheMirrorSymmetry)
{
    EXPECT_EQ(IndexOf(-0.275, 0.735), 11);
    EXPECT_EQ(IndexOf(-0.275, -0.735), 3);
    EXPECT_EQ(IndexOf(-0.5, 0.5), 0);
    EXPECT_EQ(IndexOf(-0.5, -0.5), 3);
}

// Points whose index changes when the iteration is computed with fused multiply-adds (in
// x², y² or the escape test) or with x87 extended precision: only plain IEEE double
// arithmetic in the given order yields these.
TEST(Kernel, PlainDoubleArithmeticOnly)
{
    // Chaotic orbit: fma in x·x − y·y gives 176 or 181, in 2·(y·x) + cIm 151, x87 166.
    EXPECT_EQ(IndexOf(-0.25200230513224681, 0.73635486095951586), 170);
    // |c|² rounds to exactly 10 at step 1 (no escape); fused or extended, it lies above.
    EXPECT_EQ(IndexOf(2.9628043498624455, 1.1053462735433512), 1);
}

// A context of width × height with the palette built and the view set, but no workers.
class WorkerTest : public ::testing::Test {
protected:
    void SetUpPicture(int width, int height, double centreRe, double centreIm, double span)
    {
        m_show = std::make_unique<HeadlessShow>(width, height, 1);
        CRenderContext& context = m_show->Context();
        context.m_dCentreRe = centreRe;
        context.m_dCentreIm = centreIm;
        context.m_dSpanRe = span * width;
        context.m_dSpanIm = span * height;
        std::memset(context.m_pWork.get(), 0xA5, ImageSize(width, height));
    }

    void RunBand(int firstRow, int endRow, int go = 1)
    {
        m_band.nFirstRow = firstRow;
        m_band.nEndRow = endRow;
        m_band.pOwner = &m_show->Context();
        m_band.nState = 1;
        m_band.bGo = go;
        EXPECT_EQ(RenderWorker(&m_band), 0u);
        EXPECT_EQ(m_band.nState.load(), -1);
    }

    std::unique_ptr<HeadlessShow> m_show;
    WorkerBand m_band;
};

TEST_F(WorkerTest, AveragesSixteenSamplesWithTruncation)
{
    // One pixel over [3, 7] × [0.5, 4.5]: its samples sit at 3, 4, 5, 6 and 0.5 … 3.5, not
    // centred, so (3, 0.5) is the only one that survives step 1 (index 1).
    SetUpPicture(1, 1, 5.0, 2.5, 4.0);
    CRenderContext& context = m_show->Context();
    context.m_palBlue[1] = 255;
    context.m_palGreen[1] = 17;
    context.m_palRed[1] = 0;
    RunBand(0, 1);
    const std::uint8_t* pixel = context.m_pWork.get();
    EXPECT_EQ(pixel[0], 15);  // 255 / 16
    EXPECT_EQ(pixel[1], 1);   // 17 / 16
    EXPECT_EQ(pixel[2], 0);
    EXPECT_EQ(pixel[3], 0xA5);  // row padding untouched
}

TEST_F(WorkerTest, WritesOnlyItsOwnRows)
{
    SetUpPicture(5, 4, -0.275, 0.735, 0.01);
    CRenderContext& context = m_show->Context();
    const std::size_t size = ImageSize(5, 4);
    RunBand(0, 4);
    const std::vector<std::uint8_t> whole(context.m_pWork.get(), context.m_pWork.get() + size);
    std::memset(context.m_pWork.get(), 0xA5, size);

    RunBand(1, 3);
    const int stride = context.GetStride();
    for (int row = 0; row < 4; ++row) {
        const bool bInBand = row == 1 || row == 2;
        for (int i = 0; i < 15; ++i) {
            const std::size_t at = static_cast<std::size_t>(row * stride + i);
            EXPECT_EQ(context.m_pWork[at], bInBand ? whole[at] : 0xA5)
                << "row " << row << " byte " << i;
        }
    }
}

// A stop is honoured within the pixel being computed, not at the end of the row: a row of
// interior pixels, 16 000 iteration steps each, is left unwritten after the first pixel.
TEST_F(WorkerTest, StopMidRowLeavesTheRestOfTheRowUnwritten)
{
    constexpr int kWidth = 20000;
    SetUpPicture(kWidth, 1, -0.1, 0.0, 0.01 / kWidth);
    const CRenderContext& context = m_show->Context();
    std::thread worker([this] { RunBand(0, 1); });
    while (context.m_pWork[0] == 0xA5) {
        std::this_thread::yield();
    }
    m_band.bGo = 0;
    worker.join();
    EXPECT_EQ(context.m_pWork[0], 0);  // black interior
    EXPECT_EQ(context.m_pWork[3 * (kWidth - 1)], 0xA5);
}

TEST_F(WorkerTest, EmptyBandAndStoppedBandWriteNothing)
{
    SetUpPicture(5, 4, -0.275, 0.735, 0.01);
    RunBand(2, 2);
    RunBand(0, 4, 0);
    const CRenderContext& context = m_show->Context();
    for (std::size_t i = 0; i < ImageSize(5, 4); ++i) {
        ASSERT_EQ(context.m_pWork[i], 0xA5) << i;
    }
}

}  // namespace
