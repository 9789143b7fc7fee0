#include "engine/render_context.h"

#include <thread>

namespace {

// Twelve turns give the picture back.
constexpr int kRecolourCycle = 12;

// Takes the display image for its caller when nobody holds it.
bool TryToHold(std::atomic<int>& held)
{
    int free = 0;
    return held.compare_exchange_strong(free, 1);
}

// Does the recolourings asked for so far; the display image is held.
void RecolourAsked(CRenderContext& context)
{
    for (int turns = context.m_nRecoloursAsked.exchange(0) % kRecolourCycle; turns > 0; --turns) {
        context.RecolourDisplay();
    }
}

// Lets the display image go. A recolouring asked for before the release, which found the image
// held, is done by whoever next finds it free: this thread, once more, unless a newer holder
// takes it over.
void Release(CRenderContext& context)
{
    do {
        RecolourAsked(context);
        context.m_bDisplayHeld = 0;
    } while (context.m_nRecoloursAsked != 0 && TryToHold(context.m_bDisplayHeld));
}

}  // namespace

// Rotates the channels (red to blue, blue to green, green to red) and adds 64 to each; twelve
// turns give the picture back.
void CRenderContext::RecolourDisplay()
{
    if (!m_pDisplay) {
        return;
    }
    const std::ptrdiff_t stride = GetStride();
    for (int i = 0; i < m_nHeight; ++i) {
        std::uint8_t* pixel = m_pDisplay.get() + i * stride;
        for (int j = 0; j < m_nWidth; ++j, pixel += 3) {
            const std::uint8_t blue = pixel[0];
            const std::uint8_t green = pixel[1];
            const std::uint8_t red = pixel[2];
            pixel[0] = static_cast<std::uint8_t>(red + 64);
            pixel[1] = static_cast<std::uint8_t>(blue + 64);
            pixel[2] = static_cast<std::uint8_t>(green + 64);
        }
    }
}

void CRenderContext::AskRecolour()
{
    ++m_nRecoloursAsked;
    // The count goes up before the image is tried: a holder letting go looks at it after,
    // so no recolouring is ever left over.
    if (TryToHold(m_bDisplayHeld)) {
        Release(*this);
    }
}

DisplayHold::DisplayHold(CRenderContext& context) : m_context(context)
{
    // Only the user-interface thread's recolouring competes, and it never waits.
    while (!TryToHold(m_context.m_bDisplayHeld)) {
        std::this_thread::yield();
    }
}

DisplayHold::~DisplayHold()
{
    Release(m_context);
}
