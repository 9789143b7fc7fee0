#include "render/headless_show.h"

HeadlessShow::HeadlessShow(int width, int height, int threads, std::size_t maxFrames,
                           bool bOwnerMeasuresCaption)
    : m_window(width, height), m_context(m_window)
{
    m_context.m_bUnattended = true;
    m_context.m_bOwnerMeasuresCaption = bOwnerMeasuresCaption;
    m_context.CreateBandsAndPalette(threads > 0 ? threads : platform::GetProcessorCount());
    m_context.AllocImages(width, height, maxFrames);
    m_context.m_bRunning = 1;
}
