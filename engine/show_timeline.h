// The show as a person watches it, on the show's own clock, with the computing left out: what
// the screen shows at each moment of a zoom transition, how long the pause before a series
// lasts, and which frames of a recording at a given rate show which moments.
#pragma once

#include <cstdint>
#include <numeric>

#include "engine/show_timing.h"

// The show's clock counts ticks, of which every pace of the show is a whole number.
using ShowTicks = std::int64_t;
inline constexpr ShowTicks kShowTicksPerSecond = std::lcm(
    std::lcm(ShowTicks{1000}, ShowTicks{kOutlineStepsPerSecond}), ShowTicks{kFilmFramesPerSecond});

// Seconds on the show's clock, to the nearest tick.
ShowTicks SecondsToTicks(double seconds);

// What the screen shows at a moment of a zoom transition.
struct TransitionScene {
    enum class Kind {
        Picture,          // the old picture alone
        OutlineStep,      // the old picture with the outline of step `index` over it
        OutlineOnTarget,  // the old picture with the outline on the new view's rectangle
        FilmFrame,        // frame `index` of the film
    };
    Kind kind = Kind::Picture;
    int index = 0;

    bool operator==(const TransitionScene&) const = default;
};

// The length of a zoom transition whose film has filmFrames frames: the outline closing in,
// its blinking, the film.
ShowTicks TransitionLength(int filmFrames);

// The scene at moment ticks after the transition began, 0 ≤ moment < TransitionLength.
TransitionScene TransitionSceneAt(ShowTicks moment, int filmFrames);

// The pause before every series but a show's first.
ShowTicks PauseLength();

// The frames of a recording at framesPerSecond on the show's clock: frame k shows the moment
// k / framesPerSecond seconds after the recording began.
class VideoFrameClock {
public:
    explicit VideoFrameClock(int framesPerSecond) : m_nFramesPerSecond(framesPerSecond) {}

    // Frames first … end − 1, which show moments of a stretch of the show that began at start.
    struct Stretch {
        std::int64_t first = 0;
        std::int64_t end = 0;
        ShowTicks start = 0;

        std::int64_t Count() const { return end - first; }
    };

    // The frames of the show's next length ticks; the clock moves past them.
    Stretch Pass(ShowTicks length);
    // The moment frame `frame` of the stretch shows, in whole ticks from the stretch's start.
    ShowTicks MomentOf(const Stretch& stretch, std::int64_t frame) const;

    ShowTicks Now() const { return m_now; }
    std::int64_t FramesSoFar() const { return FramesBefore(m_now); }

private:
    std::int64_t FramesBefore(ShowTicks moment) const;

    int m_nFramesPerSecond;
    ShowTicks m_now = 0;
};
