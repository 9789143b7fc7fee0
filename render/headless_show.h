// A show without a screen: a render context on a memory window of the picture's size, with
// its bands, palette and images ready and its running flag set.
#pragma once

#include "engine/render_context.h"
#include "platform/soft/headless_window.h"

class HeadlessShow {
public:
    // threads 0: every processor. Throws std::bad_alloc when the images do not fit. With
    // bOwnerMeasuresCaption the caller measures the caption (CRenderContext::MeasureCaption).
    HeadlessShow(int width, int height, int threads,
                 std::size_t maxFrames = kMaxTransitionFrames, bool bOwnerMeasuresCaption = false);

    CRenderContext& Context() { return m_context; }
    CHeadlessWnd& Window() { return m_window; }

private:
    CHeadlessWnd m_window;
    CRenderContext m_context;
};
