// What records a tour while it runs (a video of it), told by the tour's owner what happens.
#pragma once

#include <cstddef>

class CRenderContext;

class ITourRecorder {
public:
    virtual ~ITourRecorder() = default;

    // Pictures' worth of memory the recording takes beside the show.
    virtual std::size_t MemoryInPictures() const = 0;
    // Before the tour starts. False, with the message given, when nothing can be recorded.
    virtual bool Start(CRenderContext& context) = 0;
    // On the tour thread: the pause before a series, a zoom picture saved and reported.
    virtual void OnPause() = 0;
    virtual void OnPictureSaved() = 0;
    // After the tour has ended. When bStopped, the recording ends where the tour was stopped
    // rather than with all that is still queued. False, with the message given, when the
    // recording could not be written.
    virtual bool Finish(bool bStopped) = 0;
};
