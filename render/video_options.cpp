#include "render/video_options.h"

#include <cmath>

#include "output/video_format.h"

namespace {

constexpr int kMaxFramesPerSecond = 240;
constexpr double kMaxHoldSeconds = 3600.0;

}  // namespace

OptionExtension VideoOptionParser::Extension()
{
    OptionExtension extension = ClaimingExtension(this, &VideoOptionParser::Claim);
    // So that a missing --tour is what is reported.
    extension.replacesOutput = [this] { return !m_options.path.empty(); };
    if (ORVANE_HAS_VIDEO) {
        extension.usage =
            "\n"
            "usage: orvane-render --tour N --video FILE [--fps F] [--hold SECONDS] ...\n"
            "\n"
            "Also records the tour as the show's screen shows it, without the time spent\n"
            "computing: each picture held, the outline closing in and blinking, the film of\n"
            "the zoom, the pause before each series after the first.\n"
            "\n"
            "  --video FILE        .mp4 (H.264), .webm (VP9) or .mkv (FFV1, lossless RGB)\n"
            "  --fps F             frames per second, 1 to 240 (default 30)\n"
            "  --hold SECONDS      how long each finished picture stays (default 2)\n";
    }
    return extension;
}

int VideoOptionParser::Claim(const std::vector<std::string>& args, std::size_t index,
                             std::string& error)
{
    const std::string& option = args[index];
    const std::string value = OptionValue(args, index);
    if (option != "--video" && option != "--fps" && option != "--hold") {
        return 0;
    }
    if (!ORVANE_HAS_VIDEO) {
        error = option +
                " is not built in: this orvane-render was built without FFmpeg's "
                "libraries (libavformat, libavcodec, libswscale)";
        return 2;
    }
    if (option == "--video") {
        m_options.path = value;
        if (value.empty()) {
            error = "--video takes a file name";
        }
        return 2;
    }
    if (m_videoOnlyOption.empty()) {
        m_videoOnlyOption = option;
    }
    if (option == "--fps") {
        const auto rate = ParseIntInRange(value, 1, kMaxFramesPerSecond);
        if (!rate) {
            error =
                "--fps takes whole frames per second, 1 to " + std::to_string(kMaxFramesPerSecond);
        }
        m_options.framesPerSecond = rate.value_or(0);
    } else {
        const auto seconds = ParseNumber<double>(value);
        if (!seconds || !(*seconds >= 0.0 && *seconds <= kMaxHoldSeconds)) {
            error =
                "--hold takes seconds, 0 to " + std::to_string(static_cast<int>(kMaxHoldSeconds));
        }
        m_options.holdSeconds = seconds.value_or(0.0);
    }
    return 2;
}

std::string VideoOptionParser::Validate(const RenderOptions& common, const TourOptions& tour) const
{
    if (m_options.path.empty()) {
        return m_videoOnlyOption.empty() ? std::string() : m_videoOnlyOption + " needs --video";
    }
    if (tour.pictureCount == 0) {
        return "--video needs --tour";
    }
    const std::optional<VideoFormat> format = VideoFormatOf(m_options.path);
    if (!format) {
        return "--video: the file name must end in .mp4, .webm or .mkv";
    }
    const std::string problem = VideoSizeProblem(*format, common.width, common.height);
    return problem.empty() ? problem : "--video: " + problem;
}
