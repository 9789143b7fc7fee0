// The show's timing for a watching person: how the zoom outline closes in and blinks, how
// long the film of a zoom is, how long a finished series stays on screen, and how often a
// waiting thread looks for a stop. Every pace of the show is named here and nowhere else.
#pragma once

#include <cstddef>

// The outline closes in over steps 0 … kOutlineSteps, one step just over every
// 1 / kOutlineStepsPerSecond seconds, at a = √(step / kOutlineSteps) of the way.
inline constexpr int kOutlineSteps = 1000;
inline constexpr int kOutlineStepsPerSecond = 1000;
// step · kOutlineStepFraction is step / kOutlineSteps as the show has always computed it.
inline constexpr double kOutlineStepFraction = 1.0 / kOutlineSteps;

// Then it blinks on the new view: kBlinks XOR drawings, kBlinkMs apart.
inline constexpr int kBlinks = 30;
inline constexpr int kBlinkMs = 100;

// Frames of the film that zooms into the old picture, when memory allows.
inline constexpr std::size_t kMaxTransitionFrames = 31;
// The screen takes the film as fast as it can be shown; a recording of the show plays it at
// kFilmFramesPerSecond, the whole film in about a second.
inline constexpr int kFilmFramesPerSecond = 30;

// Every series but a show's first starts after a pause of kPauseSteps × kPauseStepMs (five
// seconds to look at the series before), which a stop ends within one step.
inline constexpr int kPauseSteps = 50;
inline constexpr int kPauseStepMs = 100;

// The stop sequence waiting for the tour thread looks again every kStopPollMs.
inline constexpr int kStopPollMs = 1;
