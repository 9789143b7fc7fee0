#include "engine/tour.h"

#include <new>

#include "engine/home_views.h"
#include "engine/render_context.h"
#include "engine/show_timing.h"

int g_nPictureSlot = 0;

namespace {

constexpr int kZoomsPerSeries = 10;

// One show's tour over its owner's render context.
class CTour {
public:
    CTour(ITourOwner& owner, CRenderContext& context) : m_owner(owner), m_context(context) {}

    void Run()
    {
        while (IsRunning()) {
            for (const HomeView& home : kHomeViews) {
                if (!RunSeries(home)) {
                    return;
                }
            }
        }
    }

private:
    bool IsRunning() const { return m_context.m_bRunning != 0; }

    // False when the show has been stopped.
    bool RunSeries(const HomeView& home)
    {
        if (!IsRunning()) {
            return false;
        }
        m_context.m_nStep = 0;
        m_context.Render(home.dCentreRe, home.dCentreIm, home.dSpan);
        // Every series but a show's first was preceded by pictures worth a last look.
        if (m_context.m_nShown > 1 && !Pause()) {
            return false;
        }
        m_context.m_nShown = 1;
        m_owner.RequestRedraw();
        for (int zoom = 0; zoom < kZoomsPerSeries; ++zoom) {
            if (!ZoomOnce()) {
                break;
            }
        }
        return true;
    }

    // Stops within one pause step of a stop request; an unattended show does not wait.
    bool Pause()
    {
        m_owner.OnPause();
        if (!m_context.m_bUnattended) {
            for (int step = 0; step < kPauseSteps; ++step) {
                if (!IsRunning()) {
                    return false;
                }
                m_context.m_pShowClock->Sleep(kPauseStepMs);
            }
        }
        return IsRunning();
    }

    // One zoom picture: target, slot, render, save. False when the series is over.
    bool ZoomOnce()
    {
        if (!IsRunning()) {
            return false;
        }
        double centreRe = 0.0;
        double centreIm = 0.0;
        double span = 0.0;
        const int found = m_context.FindTarget(&centreRe, &centreIm, &span);
        if (!IsRunning() || !found) {
            return false;
        }
        AdvanceSlot();
        // The repaint must see the new picture counted: from the second zoom on, the count
        // makes the window show the previous picture instead of the waiting screen.
        m_context.Render(centreRe, centreIm, span, [this] { m_owner.RequestRedraw(); });
        m_owner.RequestRedraw();
        if (!IsRunning()) {
            return false;
        }
        m_context.SaveImages(g_nPictureSlot);
        m_owner.OnPictureSaved(g_nPictureSlot);
        if (!IsRunning()) {
            return false;
        }
        m_owner.RequestRedraw();
        return true;
    }

    // Slots cycle 1 … the owner's current maximum; a maximum below 1 keeps every picture in
    // slot 1. Compared before adding, so that the largest int cannot overflow.
    void AdvanceSlot()
    {
        g_nPictureSlot = g_nPictureSlot >= m_owner.GetMaxImages() ? 1 : g_nPictureSlot + 1;
    }

    ITourOwner& m_owner;
    CRenderContext& m_context;
};

}  // namespace

unsigned TourThread(void* pOwner)
{
    ITourOwner& owner = *static_cast<ITourOwner*>(pOwner);
    CRenderContext& context = *owner.GetRenderContext();
    try {
        CTour(owner, context).Run();
    } catch (const std::bad_alloc&) {
        // Out of memory for a grid or a film: the show ends as if stopped.
    }
    context.m_nTourState = -1;
    return 0;
}
