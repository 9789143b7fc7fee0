#include "engine/show_timeline.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr ShowTicks kOutlineStepTicks = kShowTicksPerSecond / kOutlineStepsPerSecond;
// Every step of the outline is drawn once its wait is over, the last one too.
constexpr ShowTicks kOutlineTicks = (kOutlineSteps + 1) * kOutlineStepTicks;
constexpr ShowTicks kBlinkTicks = kShowTicksPerSecond * kBlinkMs / 1000;
constexpr ShowTicks kBlinkingTicks = kBlinks * kBlinkTicks;
constexpr ShowTicks kFilmFrameTicks = kShowTicksPerSecond / kFilmFramesPerSecond;

static_assert(kShowTicksPerSecond % kOutlineStepsPerSecond == 0 &&
                  kShowTicksPerSecond * kBlinkMs % 1000 == 0 &&
                  kShowTicksPerSecond * kPauseStepMs % 1000 == 0 &&
                  kShowTicksPerSecond % kFilmFramesPerSecond == 0,
              "every pace is a whole number of ticks");

}  // namespace

ShowTicks SecondsToTicks(double seconds)
{
    return static_cast<ShowTicks>(std::llround(seconds * kShowTicksPerSecond));
}

ShowTicks TransitionLength(int filmFrames)
{
    return kOutlineTicks + kBlinkingTicks + std::max(filmFrames, 0) * kFilmFrameTicks;
}

TransitionScene TransitionSceneAt(ShowTicks moment, int filmFrames)
{
    using Kind = TransitionScene::Kind;
    if (moment < kOutlineTicks) {
        // The first wait shows the picture alone; the last step stands for no time at all,
        // since the first blink takes it away at once.
        const int step = static_cast<int>(moment / kOutlineStepTicks) - 1;
        return step < 0 ? TransitionScene{} : TransitionScene{Kind::OutlineStep, step};
    }
    moment -= kOutlineTicks;
    if (moment < kBlinkingTicks) {
        // Each blink toggles the outline that stands on the target: odd blinks bring it back.
        const bool bShown = moment / kBlinkTicks % 2 == 1;
        return bShown ? TransitionScene{Kind::OutlineOnTarget, 0} : TransitionScene{};
    }
    moment -= kBlinkingTicks;
    const auto frame = static_cast<int>(moment / kFilmFrameTicks);
    return {Kind::FilmFrame, std::clamp(frame, 0, std::max(filmFrames - 1, 0))};
}

ShowTicks PauseLength()
{
    return ShowTicks{kPauseSteps} * kShowTicksPerSecond * kPauseStepMs / 1000;
}

VideoFrameClock::Stretch VideoFrameClock::Pass(ShowTicks length)
{
    const Stretch stretch{FramesBefore(m_now), FramesBefore(m_now + length), m_now};
    m_now += length;
    return stretch;
}

ShowTicks VideoFrameClock::MomentOf(const Stretch& stretch, std::int64_t frame) const
{
    return frame * kShowTicksPerSecond / m_nFramesPerSecond - stretch.start;
}

std::int64_t VideoFrameClock::FramesBefore(ShowTicks moment) const
{
    // The frames k with k / rate < moment / ticks per second.
    return (moment * m_nFramesPerSecond + kShowTicksPerSecond - 1) / kShowTicksPerSecond;
}
