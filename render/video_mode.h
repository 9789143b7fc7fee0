// Tour videos: the tour recorded frame by frame as the show's screen shows it, on the show's
// own clock with the time spent computing cut out, into a video file.
#pragma once

#include <memory>

#include "render/tour_recorder.h"
#include "render/video_options.h"

// The recorder of a tour of pictureCount pictures of width × height into video.path, whose
// format its extension names (checked by the options).
std::unique_ptr<ITourRecorder> MakeVideoRecorder(const VideoOptions& video, int width, int height,
                                                 int pictureCount);
