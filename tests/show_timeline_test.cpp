#include <gtest/gtest.h>

#include "engine/show_timeline.h"

namespace {

using Kind = TransitionScene::Kind;

constexpr ShowTicks kMs = kShowTicksPerSecond / 1000;

}  // namespace

// Each outline step shows once its wait of a millisecond is over, the last for no time at
// all; thirty blinks 100 ms apart take it away first and leave it shown; then the film at
// kFilmFramesPerSecond.
TEST(ShowTimeline, TransitionScenesFollowTheShowsPaces)
{
    const int film = 31;
    const ShowTicks filmStart = 1001 * kMs + 3000 * kMs;
    EXPECT_EQ(TransitionLength(film), filmStart + film * kShowTicksPerSecond / 30);
    EXPECT_EQ(TransitionLength(0), filmStart);
    EXPECT_EQ(PauseLength(), 5 * kShowTicksPerSecond);

    const std::pair<ShowTicks, TransitionScene> expected[] = {
        {0, {Kind::Picture, 0}},
        {kMs - 1, {Kind::Picture, 0}},
        {kMs, {Kind::OutlineStep, 0}},
        {501 * kMs, {Kind::OutlineStep, 500}},
        {1001 * kMs - 1, {Kind::OutlineStep, 999}},
        {1001 * kMs, {Kind::Picture, 0}},
        {1101 * kMs, {Kind::OutlineOnTarget, 0}},
        {1201 * kMs, {Kind::Picture, 0}},
        {filmStart - 1, {Kind::OutlineOnTarget, 0}},
        {filmStart, {Kind::FilmFrame, 0}},
        {filmStart + kShowTicksPerSecond / 30, {Kind::FilmFrame, 1}},
        {TransitionLength(film) - 1, {Kind::FilmFrame, film - 1}},
    };
    for (const auto& [moment, scene] : expected) {
        EXPECT_EQ(TransitionSceneAt(moment, film), scene) << moment;
    }
}

// Stretch after stretch, every frame of the recording falls in exactly one, at its moment,
// however the lengths and the rate divide.
TEST(ShowTimeline, FramesFallInTheirStretchesWithoutDrift)
{
    for (const int rate : {1, 7, 30, 60, 240}) {
        VideoFrameClock clock(rate);
        std::int64_t nextFrame = 0;
        ShowTicks start = 0;
        for (int s = 0; s < 500; ++s) {
            const ShowTicks length = (s * 7919) % 4001;  // 0 … 4000 ticks, in no pattern
            const VideoFrameClock::Stretch stretch = clock.Pass(length);
            ASSERT_EQ(stretch.first, nextFrame) << rate;
            for (std::int64_t f = stretch.first; f < stretch.end; ++f) {
                const ShowTicks moment = clock.MomentOf(stretch, f);
                // frame f shows f / rate seconds, within this stretch
                ASSERT_LE((start + moment) * rate, f * kShowTicksPerSecond);
                ASSERT_GT((start + moment + 1) * rate, f * kShowTicksPerSecond);
                ASSERT_LT(moment, length);
            }
            nextFrame = stretch.end;
            start += length;
        }
        EXPECT_EQ(nextFrame, (start * rate + kShowTicksPerSecond - 1) / kShowTicksPerSecond);
    }
}
