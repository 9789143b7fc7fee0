#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "engine/iteration_kernel.h"
#include "engine/render_worker.h"
#include "render/headless_show.h"
#include "tests/support/reference_picture.h"

namespace {

// The kernels this machine runs; the scalar one everywhere.
std::vector<const IterationKernel*> RunnableKernels()
{
    std::vector<const IterationKernel*> kernels;
    for (const IterationKernel& kernel : kIterationKernels) {
        if (KernelRuns(kernel)) {
            kernels.push_back(&kernel);
        }
    }
    return kernels;
}

// The index of every point of the grid res × ims, through `kernel`: one sample per pixel
// and a palette whose colour spells the index, one past the last too, so that a sample counted
// a step too long shows as 1000.
std::vector<int> KernelIndices(const IterationKernel& kernel, const std::vector<double>& res,
                               const std::vector<double>& ims)
{
    std::vector<std::uint64_t> palette(kMaxIterations + 1);
    for (int index = 0; index <= kMaxIterations; ++index) {
        palette[static_cast<std::size_t>(index)] =
            PackColour(static_cast<std::uint8_t>(index & 0xFF),
                       static_cast<std::uint8_t>(index >> 8), 0);
    }
    const int width = static_cast<int>(res.size());
    const int rows = static_cast<int>(ims.size());
    std::vector<std::uint8_t> image(3 * res.size() * ims.size(), 0xA5);
    const std::atomic<int> go{1};
    const SampleBand band{.pSampleRe = &res,
                          .pSampleIm = &ims,
                          .pPackedPalette = palette.data(),
                          .pFirstRow = image.data(),
                          .stride = 3 * res.size(),
                          .width = width,
                          .rows = rows,
                          .subsamples = 1,
                          .pGo = &go};
    SampleStream stream(band);
    EXPECT_TRUE(kernel.iterate(stream));
    std::vector<int> indices;
    for (std::size_t p = 0; p < res.size() * ims.size(); ++p) {
        indices.push_back(image[3 * p] | (image[3 * p + 1] << 8));
    }
    return indices;
}

TEST(Kernel, ChoiceTakesTheWidestOrTheNamedOneAndRefusesTheRest)
{
    std::string error;
    EXPECT_EQ(ChooseKernel("", error), RunnableKernels().back());
    EXPECT_STREQ(ChooseKernel("scalar", error)->name, "scalar");
    for (const IterationKernel& kernel : kIterationKernels) {
        error.clear();
        const IterationKernel* chosen = ChooseKernel(kernel.name, error);
        if (KernelRuns(kernel)) {
            EXPECT_EQ(chosen, &kernel);
        } else {
            EXPECT_EQ(chosen, nullptr);
            EXPECT_NE(error.find("does not support"), std::string::npos) << error;
        }
    }
    EXPECT_EQ(ChooseKernel("AVX2", error), nullptr);
    EXPECT_NE(error.find("no such kernel"), std::string::npos) << error;
}

// Every kernel leaves a band once its flag is cleared, well before the band is done: a
// million samples that never escape take the widest kernel a fifth of a second; the flag is
// cleared after 20 ms.
TEST(Kernel, StopsWhenTheFlagIsCleared)
{
    const std::vector<double> res(256, 0.0);
    const std::vector<double> ims(256 * 16, 0.0);
    const std::vector<std::uint64_t> palette(kMaxIterations, PackColour(1, 2, 3));
    std::vector<std::uint8_t> image(3 * 256 * 256);
    for (const IterationKernel* kernel : RunnableKernels()) {
        std::atomic<int> go{1};
        const SampleBand band{.pSampleRe = &res,
                              .pSampleIm = &ims,
                              .pPackedPalette = palette.data(),
                              .pFirstRow = image.data(),
                              .stride = 3 * 256,
                              .width = 16,
                              .rows = 256,
                              .subsamples = 16,
                              .pGo = &go};
        bool bFinished = true;
        std::thread worker([&] {
            SampleStream stream(band);
            bFinished = kernel->iterate(stream);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        go = 0;
        worker.join();
        EXPECT_FALSE(bFinished) << kernel->name;
    }
}

// A pixel of 3 × 3 samples, three of index 1 and six of index 0: every kernel divides each
// channel's sum by 9 with truncation, whole quotients included (765 / 9 is exactly 85).
TEST(Kernel, AveragesAnyCountOfSamplesWithTruncation)
{
    const std::vector<double> res = {3.0, 0.0, 0.0};  // index 1, 0 (never escapes), 0
    const std::vector<double> ims = {0.0, 0.0, 0.0};
    std::vector<std::uint64_t> palette(kMaxIterations, 0);
    palette[1] = PackColour(255, 254, 1);
    for (const IterationKernel* kernel : RunnableKernels()) {
        std::vector<std::uint8_t> pixel(3, 0xA5);
        const std::atomic<int> go{1};
        const SampleBand band{.pSampleRe = &res,
                              .pSampleIm = &ims,
                              .pPackedPalette = palette.data(),
                              .pFirstRow = pixel.data(),
                              .stride = 3,
                              .width = 1,
                              .rows = 1,
                              .subsamples = 3,
                              .pGo = &go};
        SampleStream stream(band);
        EXPECT_TRUE(kernel->iterate(stream));
        EXPECT_EQ(pixel, (std::vector<std::uint8_t>{85, 84, 0})) << kernel->name;
    }
}

// Every kernel makes each pixel of the band res × ims (n × n samples a pixel) the average of
// its own samples' colours, the reference's indices.
void ExpectReferenceAverages(const std::vector<double>& res, const std::vector<double>& ims,
                             int subsamples)
{
    const int width = static_cast<int>(res.size()) / subsamples;
    const int rows = static_cast<int>(ims.size()) / subsamples;
    std::vector<std::uint64_t> palette(kMaxIterations);
    for (int index = 0; index < kMaxIterations; ++index) {
        palette[static_cast<std::size_t>(index)] =
            PackColour(static_cast<std::uint8_t>(index * 7 + 5), static_cast<std::uint8_t>(index),
                       static_cast<std::uint8_t>(index >> 2));
    }
    std::vector<std::uint8_t> expected;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < width; ++column) {
            std::uint64_t sum = 0;
            for (int k = 0; k < subsamples; ++k) {
                for (int l = 0; l < subsamples; ++l) {
                    sum += palette[static_cast<std::size_t>(
                        ReferenceIndex(res[static_cast<std::size_t>(column * subsamples + l)],
                                       ims[static_cast<std::size_t>(row * subsamples + k)]))];
                }
            }
            for (int channel = 0; channel < 3; ++channel) {
                const std::uint64_t channelSum = (sum >> (16 * channel)) & 0xFFFF;
                expected.push_back(
                    static_cast<std::uint8_t>(channelSum / (subsamples * subsamples)));
            }
        }
    }
    for (const IterationKernel* kernel : RunnableKernels()) {
        std::vector<std::uint8_t> image(expected.size(), 0xA5);
        const std::atomic<int> go{1};
        const SampleBand band{.pSampleRe = &res,
                              .pSampleIm = &ims,
                              .pPackedPalette = palette.data(),
                              .pFirstRow = image.data(),
                              .stride = 3 * static_cast<std::size_t>(width),
                              .width = width,
                              .rows = rows,
                              .subsamples = subsamples,
                              .pGo = &go};
        SampleStream stream(band);
        EXPECT_TRUE(kernel->iterate(stream));
        EXPECT_EQ(image, expected) << kernel->name;
    }
}

// Pixels of 3 × 3 samples: groups of a register's width straddle pixels, every refill of the
// queue ends on a whole group, and the band's 67 500 samples run once around the ring of
// index slots and on. Each pixel is still the average of its own samples' colours.
TEST(Kernel, PixelsOfNineSamplesAcrossRefillsAndAroundTheRing)
{
    std::vector<double> res(150 * 3);
    std::vector<double> ims(50 * 3);
    for (std::size_t s = 0; s < res.size(); ++s) {
        res[s] = -0.33 + 0.0004 * static_cast<double>(s);
    }
    for (std::size_t s = 0; s < ims.size(); ++s) {
        ims[s] = 0.70 + 0.0005 * static_cast<double>(s);
    }
    ExpectReferenceAverages(res, ims, 3);
}

// Pixels whose samples all escape at the first step are written without the kernel, among
// pixels that escape later or partly at once. Runs of them start and end mid-row, fill whole
// rows and end the band. A pixel whose nearest sample lies on the limit, x² + y² = 10 exactly
// (3 and 1), does not escape at once.
TEST(Kernel, PixelsThatEscapeAtOnceAmongOthers)
{
    std::vector<double> res;
    for (int s = 0; s < 3 * 40; ++s) {
        res.push_back(-4.5 + 0.075 * s);
    }
    res[99] = 3.0;
    res[100] = 3.1;
    res[101] = 3.2;
    std::vector<double> ims(3 * 30, 1.0);  // the first row's
    for (std::size_t s = 3; s < ims.size(); ++s) {
        ims[s] = s < ims.size() - 3 ? 4.2 - 0.05 * static_cast<double>(s) : -3.5;
    }
    ExpectReferenceAverages(res, ims, 3);
}

// The point's index, once every kernel has given the reference's index for it wherever it
// sits among neighbours that never escape, escape at once or escape late.
int IndexOf(double cRe, double cIm)
{
    const std::vector<double> res = {0.0, cRe, 4.0, -0.1, cRe, 3.0, -0.2, cRe, -9.0, -0.25};
    const std::vector<double> ims = {cIm, 0.0, 0.1, cIm, -1.0, 0.74, cIm};
    for (const IterationKernel* kernel : RunnableKernels()) {
        const std::vector<int> indices = KernelIndices(*kernel, res, ims);
        for (std::size_t p = 0; p < indices.size(); ++p) {
            const double re = res[p % res.size()];
            const double im = ims[p / res.size()];
            EXPECT_EQ(indices[p], ReferenceIndex(re, im))
                << kernel->name << " at (" << re << ", " << im << ")";
        }
    }
    return ReferenceIndex(cRe, cIm);
}

TEST(Kernel, EscapeRule)
{
    EXPECT_EQ(IndexOf(0.0, 0.0), 0);  // never escapes
    EXPECT_EQ(IndexOf(3.0, 0.0), 1);  // 9 is not above 10; 12 escapes at step 2
    EXPECT_EQ(IndexOf(4.0, 0.0), 0);  // escapes at once: as black as the interior
    EXPECT_EQ(IndexOf(3.0, 1.0), 1);  // exactly 10 at step 1 does not escape
    // Escapes at step 1000, the last; and at step 1001, one too late: as black as the interior.
    EXPECT_EQ(IndexOf(-0.70717548066161751, 0.60651186178282646), 999);
    EXPECT_EQ(IndexOf(-0.79336504124333662, 0.53935463895776947), 0);
    // The same in every group a register takes once its last group has escaped (at step 2)
    // rather than at the start: each group still stops after 1000 steps.
    const double lateIm = 0.53935463895776947;
    std::vector<double> res(kMaxKernelLanes, 3.0);
    res.resize(2 * kMaxKernelLanes, -0.79336504124333662);
    std::vector<int> expected(kMaxKernelLanes, ReferenceIndex(3.0, lateIm));
    expected.resize(2 * kMaxKernelLanes, 0);
    for (const IterationKernel* kernel : RunnableKernels()) {
        EXPECT_EQ(KernelIndices(*kernel, res, {lateIm}), expected) << kernel->name;
    }
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

struct PictureCase {
    int width;
    int height;
    double centreRe;
    double centreIm;
    double pixelSpan;
};

// Home view 0 and a deep view where neighbouring samples escape thousands of steps apart,
// at odd widths, portrait, a single pixel and more pixels than the widest kernel has lanes.
constexpr PictureCase kPictureCases[] = {
    {1, 1, -0.275, 0.735, 0.045 / 1080},
    {7, 5, -0.275, 0.735, 0.045 / 1080},
    {5, 9, -0.275, 0.735, 0.045 / 30},
    {33, 17, -0.275, 0.735, 0.045 / 17},
    {1, 1, -0.24974786780659766, 0.74104255026363564, 4.5e-12 / 1080},
    {5, 9, -0.24974786780659766, 0.74104255026363564, 4.5e-12 / 1080},
    {33, 17, -0.24974786780659766, 0.74104255026363564, 4.5e-12 / 60},
};

TEST_F(WorkerTest, EveryKernelPaintsTheReferencePicture)
{
    for (const PictureCase& picture : kPictureCases) {
        SetUpPicture(picture.width, picture.height, picture.centreRe, picture.centreIm,
                     picture.pixelSpan);
        CRenderContext& context = m_show->Context();
        const std::vector<std::uint8_t> reference =
            ReferencePicture(context, context.m_dCentreRe, context.m_dCentreIm,
                             context.m_dSpanRe, context.m_dSpanIm);
        const std::size_t size = ImageSize(picture.width, picture.height);
        for (const IterationKernel* kernel : RunnableKernels()) {
            SCOPED_TRACE(testing::Message() << kernel->name << " " << picture.width << "x"
                                            << picture.height << " at " << picture.centreRe);
            std::memset(context.m_pWork.get(), 0xA5, size);
            // In three bands, the first of them empty when the picture is one row high.
            for (const auto& [first, end] : {std::pair{0, picture.height / 3},
                                            std::pair{picture.height / 3, picture.height / 2},
                                            std::pair{picture.height / 2, picture.height}}) {
                m_band.nFirstRow = first;
                m_band.nEndRow = end;
                m_band.pOwner = &context;
                m_band.bGo = 1;
                RenderBand(m_band, *kernel);
            }
            ASSERT_EQ(std::memcmp(context.m_pWork.get(), reference.data(), size), 0);
        }
    }
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
#if defined(__SANITIZE_THREAD__)
    // The test watches the worker's first pixel appear without any synchronisation, which is
    // exactly what the thread checker reports.
    GTEST_SKIP() << "watches a pixel the worker writes";
#endif
    // A row long enough (about 400 million steps of interior) that the worker cannot finish
    // it between its first pixel and the stop.
    constexpr int kWidth = 100000;
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
