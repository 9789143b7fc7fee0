// The renderer's tour videos on the command line: --video FILE, --fps F, --hold SECONDS.
#pragma once

#include <string>
#include <vector>

#include "cli/option_walk.h"
#include "render/render_options.h"
#include "render/tour_mode.h"

struct VideoOptions {
    std::string path;  // empty: no video
    int framesPerSecond = 30;
    double holdSeconds = 2.0;  // each finished picture on screen before the next zoom
};

class VideoOptionParser {
public:
    OptionExtension Extension();
    const VideoOptions& Options() const { return m_options; }
    // After the other options have been parsed: the message for options that do not go
    // together, or an empty string.
    std::string Validate(const RenderOptions& common, const TourOptions& tour) const;

private:
    int Claim(const std::vector<std::string>& args, std::size_t index, std::string& error);

    VideoOptions m_options;
    std::string m_videoOnlyOption;  // the first of --fps and --hold given
};
