#include "engine/render_context.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/caption_style.h"
#include "output/image_files.h"

namespace {

constexpr int kBandsPerProcessor = 10;
constexpr char kOutOfMemoryMessage[] = "メモリが足りません";

}  // namespace

CRenderContext::CRenderContext(CWnd& window)
    : m_strCaption("Tesserium https://tesserium.example"),
      m_strFileBase(FileBaseFromModulePath(platform::GetModulePath())),
      m_window(window)
{
}

CRenderContext::~CRenderContext() = default;

void CRenderContext::CreateBandsAndPalette(int processorCount)
{
    m_nProcessors = std::max(processorCount, 0);
    m_bands = std::vector<WorkerBand>(static_cast<std::size_t>(kBandsPerProcessor) *
                                      static_cast<std::size_t>(m_nProcessors));
    BuildPalette();
}

void CRenderContext::AllocImages(int width, int height, std::size_t maxFrames)
{
    // A window without area (or a nonsensical size) leaves the show as it is.
    if (width <= 0 || height <= 0) {
        return;
    }
    m_frames.Clear();
    m_pWork.reset();
    m_pDisplay.reset();
    m_pGrid.reset();

    m_nWidth = width;
    m_nHeight = height;
    const std::size_t size = ImageSize(width, height);
    m_pWork = AllocateImage(size);
    m_pDisplay = AllocateImage(size);
    m_pGrid = AllocateImage(size);
    if (!m_pWork || !m_pDisplay || !m_pGrid) {
        if (m_bUnattended || m_bOwnerReportsNoMemory) {
            throw std::bad_alloc();
        }
        platform::ShowMessage(kOutOfMemoryMessage);
        std::exit(0);
    }
    // Black until the first picture (the buffers come zero-filled), so that nothing shows
    // or saves heap leftovers.

    // The transition makes do with the film that fits in memory, possibly none.
    m_frames.Allocate(width, height, maxFrames);

    if (!m_bOwnerMeasuresCaption) {
        MeasureCaption();
    }
}

void CRenderContext::MeasureCaption()
{
    m_nCaptionPoints = std::max(m_nWidth / 20, 120);
    m_sizeCaption = MeasureText(GetWindow(), CaptionFont(m_nCaptionPoints), m_strCaption);
    m_sizeCaptionBox.cx = static_cast<int>(m_sizeCaption.cx * 1.1);
    m_sizeCaptionBox.cy = static_cast<int>(m_sizeCaption.cy * 1.5);
}

void CRenderContext::StopWorkers()
{
    for (WorkerBand& band : m_bands) {
        band.bGo = 0;
    }
}
