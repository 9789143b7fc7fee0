// The Windows program's pictures against the native renderer's: the same view at the same
// size must give the same bytes. The end-to-end script renders the references with
// orvane-render and names them in an index; only the caption box may differ, since each
// system's font engine draws the caption's letters.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/home_views.h"
#include "engine/iteration_kernel.h"
#include "engine/render_context.h"
#include "engine/render_worker.h"
#include "output/image_files.h"
#include "platform/image_layout.h"
#include "test_window.h"

namespace {

struct ReferenceView {
    std::string file;
    int width = 0;
    int height = 0;
    double centreRe = 0;
    double centreIm = 0;
    double span = 0;
};

// Lines of "FILE WIDTH HEIGHT RE IM SPAN", the numbers as given to orvane-render.
std::vector<ReferenceView> ReadIndex(const std::string& path)
{
    std::vector<ReferenceView> views;
    std::ifstream index(path);
    std::string line;
    while (std::getline(index, line)) {
        std::istringstream fields(line);
        ReferenceView view;
        std::string re, im, span;
        if (fields >> view.file >> view.width >> view.height >> re >> im >> span) {
            // strtod, as orvane-render reads them.
            view.centreRe = std::strtod(re.c_str(), nullptr);
            view.centreIm = std::strtod(im.c_str(), nullptr);
            view.span = std::strtod(span.c_str(), nullptr);
            views.push_back(view);
        }
    }
    return views;
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Bytes that differ outside the caption box, which covers the first rows of the image from
// column 0.
int DifferencesOutsideCaption(const std::uint8_t* pPicture, const std::uint8_t* pReference,
                              int width, int height, CSize captionBox)
{
    const int stride = ImageStride(width);
    int differences = 0;
    for (int y = 0; y < height; ++y) {
        const int firstColumn = y < captionBox.cy ? std::min(captionBox.cx, width) : 0;
        for (int i = 3 * firstColumn; i < 3 * width; ++i) {
            differences += pPicture[y * stride + i] != pReference[y * stride + i] ? 1 : 0;
        }
    }
    return differences;
}

// A picture the program renders for a window of its size, as the saver does.
struct RenderedPicture {
    RenderedPicture(int width, int height, double centreRe, double centreIm, double span)
        : window(width, height), context(window)
    {
        context.m_bUnattended = true;
        context.CreateBandsAndPalette();
        context.AllocImages(width, height);
        context.m_bRunning = 1;
        context.Render(centreRe, centreIm, span);
    }

    CTestWindow window;
    CRenderContext context;
};

TEST(PictureIdentityTest, ViewsMatchTheNativeRenderer)
{
    const char* folder = std::getenv("ORVANE_REFERENCE_PICTURES");
    if (folder == nullptr) {
        GTEST_SKIP() << "ORVANE_REFERENCE_PICTURES names no folder of reference pictures";
    }
    const std::vector<ReferenceView> views = ReadIndex(std::string(folder) + "/index.txt");
    ASSERT_FALSE(views.empty()) << "no views in " << folder << "/index.txt";

    for (const ReferenceView& view : views) {
        SCOPED_TRACE(view.file);
        RenderedPicture picture(view.width, view.height, view.centreRe, view.centreIm,
                                view.span);
        const CRenderContext& context = picture.context;

        const std::vector<std::uint8_t> reference = ReadFile(std::string(folder) + "/" + view.file);
        const std::size_t imageSize = ImageSize(view.width, view.height);
        ASSERT_EQ(reference.size(), kBmpHeadersSize + imageSize);
        const auto headers = MakeBmpHeaders(view.width, view.height);
        EXPECT_TRUE(std::equal(headers.begin(), headers.end(), reference.begin()));
        EXPECT_EQ(DifferencesOutsideCaption(context.m_pDisplay.get(),
                                            reference.data() + kBmpHeadersSize, view.width,
                                            view.height, context.m_sizeCaptionBox),
                  0);
    }
}

// The kernels are built for this processor's instruction sets by this program's compiler:
// each one the machine runs must paint the scalar kernel's bytes, whichever the program
// chooses. A deep view, a home view, an odd width and a portrait.
TEST(PictureIdentityTest, EveryKernelPaintsTheScalarKernelsPicture)
{
    struct KernelView {
        int width;
        int height;
        HomeView view;
    };
    const KernelView views[] = {
        {203, 150, {-0.24974786780659766, 0.74104255026363564, 4.5e-12}},
        {161, 97, kHomeViews[0]},
        {90, 161, kHomeViews[2]},
    };
    for (const KernelView& view : views) {
        RenderedPicture rendered(view.width, view.height, view.view.dCentreRe,
                                 view.view.dCentreIm, view.view.dSpan);
        CRenderContext& context = rendered.context;

        const std::size_t size = ImageSize(view.width, view.height);
        std::vector<std::uint8_t> scalar;
        for (const IterationKernel& kernel : kIterationKernels) {
            if (!KernelRuns(kernel)) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << kernel.name << " " << view.width << "x"
                                            << view.height);
            std::fill_n(context.m_pWork.get(), size, std::uint8_t{0xA5});
            for (WorkerBand& band : context.m_bands) {
                band.bGo = 1;
                RenderBand(band, kernel);
            }
            const std::vector<std::uint8_t> picture(context.m_pWork.get(),
                                                    context.m_pWork.get() + size);
            if (scalar.empty()) {
                scalar = picture;  // the scalar kernel comes first and runs everywhere
            }
            EXPECT_TRUE(picture == scalar);
        }
    }
}

}  // namespace
