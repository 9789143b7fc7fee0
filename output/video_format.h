// The video files the renderer writes: H.264 in MP4, VP9 in WebM, lossless FFV1 in Matroska,
// chosen by the file's extension.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

enum class VideoFormat {
    Mp4,   // H.264, 4:2:0: plays everywhere
    WebM,  // VP9, 4:2:0: for the web
    Mkv,   // FFV1 on RGB: every frame the picture, bit for bit
};

// The format a file name's extension asks for (.mp4, .webm, .mkv, case ignored), or nothing.
std::optional<VideoFormat> VideoFormatOf(const std::string& path);

// Why format cannot hold pictures of width × height, or an empty text.
std::string VideoSizeProblem(VideoFormat format, int width, int height);

// Bytes the encoder of a format keeps for pictures of width × height while it writes: its
// reference and look-ahead frames and its threads' work.
std::uint64_t VideoEncoderMemory(VideoFormat format, int width, int height);
