#include "output/video_format.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "platform/image_layout.h"

namespace {

// In the order of VideoFormat.
constexpr const char* kExtensions[] = {".mp4", ".webm", ".mkv"};

}  // namespace

std::optional<VideoFormat> VideoFormatOf(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (int f = 0; f < static_cast<int>(std::size(kExtensions)); ++f) {
        const std::string extension = kExtensions[f];
        if (lower.size() > extension.size() &&
            lower.compare(lower.size() - extension.size(), extension.size(), extension) == 0) {
            return static_cast<VideoFormat>(f);
        }
    }
    return std::nullopt;
}

std::string VideoSizeProblem(VideoFormat format, int width, int height)
{
    // H.264 keeps one colour sample per 2 × 2 pixels and wants whole blocks of them.
    if (format == VideoFormat::Mp4 && (width % 2 != 0 || height % 2 != 0)) {
        return "an .mp4 video needs an even width and height";
    }
    return {};
}

std::uint64_t VideoEncoderMemory(VideoFormat format, int width, int height)
{
    // Measured at 1920 × 1080 on two processors, with room to spare: x264 and libvpx keep
    // their look-ahead and reference frames, FFV1 a zeroed packet buffer of 148 bytes per
    // pixel; all grow with the picture.
    const std::uint64_t picture = ImageSize(width, height);
    constexpr std::uint64_t kPicturesKept[] = {56, 56, 60};
    return kPicturesKept[static_cast<int>(format)] * picture;
}
