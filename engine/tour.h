// The tour: home views in turn, each followed by up to ten automatic zooms, every zoom
// picture saved in a numbered slot, until the show's running flag is cleared.
#pragma once

class CRenderContext;

// What the tour needs of whoever runs the show: the control dialog of the Windows program,
// the headless renderer, or a test.
class ITourOwner {
public:
    // The show's render context; read once when the tour starts.
    virtual CRenderContext* GetRenderContext() = 0;
    // The largest slot number; read at every slot advance, so a change applies to the next
    // zoom picture.
    virtual int GetMaxImages() = 0;
    // Asks for the show's window to be repainted. Must not wait for the owner's thread.
    virtual void RequestRedraw() = 0;
    // Told after a zoom picture has been saved in its slot.
    virtual void OnPictureSaved(int /*slot*/) {}
    // Told as the pause before a series begins, also when an unattended show skips its wait.
    virtual void OnPause() {}

protected:
    ~ITourOwner() = default;
};

// Slot number of the latest zoom picture, 1 … the maximum; 0 before the first. Written only
// by the tour thread.
extern int g_nPictureSlot;

// Thread procedure of the tour; pOwner is an ITourOwner*. Always returns 0, and always sets
// the context's m_nTourState to -1 as its last act.
unsigned TourThread(void* pOwner);
