#include "engine/zoom_transition.h"

#include <cmath>
#include <cstdint>

#include "engine/render_context.h"
#include "engine/show_timing.h"
#include "platform/draw_tools.h"
#include "platform/window.h"

namespace {

constexpr ColorRef kOutlineColour = 0x0088FF;  // orange: red 255, green 136, blue 0

// Just over a millisecond, busily, as the outline's pace.
void WaitOneOutlineStep(platform::Clock& clock)
{
    const std::int64_t ticks = clock.QueryPerformanceFrequency() / kOutlineStepsPerSecond;
    const std::int64_t start = clock.QueryPerformanceCounter();
    while (clock.QueryPerformanceCounter() - start <= ticks) {
    }
}

// The outline's pen on a DC for its life: orange, XOR-drawn, so that drawing an outline a
// second time erases it.
class OutlinePen {
public:
    OutlinePen(CDC& dc, int width, int height) : m_dc(dc), m_tools(&dc), m_nHeight(height)
    {
        m_tools.SelectPenBrush(kOutlineColour, kOutlineColour, OutlinePenWidth(width));
        dc.SetROP2(RasterOp::XorPen);
    }
    ~OutlinePen() { m_tools.RestorePenBrush(); }
    OutlinePen(const OutlinePen&) = delete;
    OutlinePen& operator=(const OutlinePen&) = delete;

    // The outline in window coordinates (y downwards); picture row y lies at window y = H − y.
    void Draw(const PictureRect& rect)
    {
        m_dc.MoveTo(rect.left, m_nHeight - rect.bottom);
        m_dc.LineTo(rect.right, m_nHeight - rect.bottom);
        m_dc.LineTo(rect.right, m_nHeight - rect.top);
        m_dc.LineTo(rect.left, m_nHeight - rect.top);
        m_dc.LineTo(rect.left, m_nHeight - rect.bottom);
    }

private:
    CDC& m_dc;
    CDrawTools m_tools;
    int m_nHeight;
};

}  // namespace

PictureRect OutlineAtStep(const PictureRect& target, int width, int height, int step)
{
    return InterpolateRect(target, width, height, std::sqrt(step * kOutlineStepFraction));
}

void DrawOutlineOverPicture(CWnd& window, std::uint8_t* pPicture, int width, int height,
                            const PictureRect& rect)
{
    CClientDC windowDC(&window);
    CDC memoryDC;
    memoryDC.CreateCompatibleDC(nullptr);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&windowDC, width, height);
    CBitmap* pOldBitmap = memoryDC.SelectObject(&bitmap);
    const BitmapInfoHeader header = MakeDibHeader(width, height);
    memoryDC.StretchDIBits(0, 0, width, height, 0, 0, width, height, pPicture, header);
    OutlinePen(memoryDC, width, height).Draw(rect);
    memoryDC.SelectObject(pOldBitmap);
    memoryDC.GetDIBits(&bitmap, 0, height, pPicture, header);
}

void CRenderContext::PlayZoomTransition(double oldCentreRe, double oldCentreIm, double oldSpanRe,
                                        double oldSpanIm)
{
    const int width = m_nWidth;
    const int height = m_nHeight;
    if (!m_pDisplay || width <= 0 || height <= 0) {
        return;
    }
    const PictureRect target =
        ComputeTargetRect(width, height, {oldCentreRe, oldCentreIm, oldSpanRe, oldSpanIm},
                          {m_dCentreRe, m_dCentreIm, m_dSpanRe, m_dSpanIm});

    // The film zooms into the picture on screen as the transition begins.
    {
        const DisplayHold hold(*this);
        m_frames.Load(m_pDisplay.get(), target);
    }
    if (m_fnFilmReady && m_bRunning) {
        m_fnFilmReady();
    }

    // The outline closes in on the new view, XOR-drawn so that drawing it again erases it;
    // then it blinks there.
    {
        CWindowDC dc(&GetWindow());
        OutlinePen pen(dc, width, height);
        for (int step = 0; step <= kOutlineSteps; ++step) {
            if (!m_bRunning) {
                continue;
            }
            if (!m_bUnattended) {
                WaitOneOutlineStep(*m_pShowClock);
            }
            if (step > 0) {
                pen.Draw(OutlineAtStep(target, width, height, step - 1));
            }
            if (m_bRunning) {
                pen.Draw(OutlineAtStep(target, width, height, step));
            }
        }
        for (int blink = 0; blink < kBlinks && m_bRunning; ++blink) {
            pen.Draw(target);
            if (!m_bUnattended) {
                m_pShowClock->Sleep(kBlinkMs);
            }
        }
    }

    // The film, as fast as the window takes it.
    CWindowDC dc(&GetWindow());
    const BitmapInfoHeader header = MakeDibHeader(width, height);
    m_frames.Play(
        [&](const std::uint8_t* pFrame) {
            dc.StretchDIBits(0, 0, width, height, 0, 0, width, height, pFrame, header);
        },
        m_bRunning, m_nProcessors);
}
