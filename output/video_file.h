// Video files through FFmpeg's libraries. Frames are pictures in the common image layout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "output/video_format.h"

// One video being encoded: opened for a format and size, then begun on a file, given its
// frames in order and ended. Used by one thread at a time.
class VideoEncoder {
public:
    // An encoder of framesPerSecond frames of width × height, ready to begin; null, with error
    // saying why, when this FFmpeg lacks the format's codec or the codec refuses the size.
    static std::unique_ptr<VideoEncoder> Open(VideoFormat format, int width, int height,
                                              int framesPerSecond, std::string& error);
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Writes the file's header to pFile, a seekable file written from its start.
    bool Begin(std::FILE* pFile);
    // Adds a frame that shows pPicture.
    bool Add(const std::uint8_t* pPicture);
    // Adds one more frame of the picture added last.
    bool Repeat();
    // Writes the frames the codec still holds and the file's index: the file is complete.
    bool End();

    // The frames added so far.
    std::int64_t FrameCount() const;
    // Why the last call failed: errno when the file could not be written (also left in
    // errno), else FFmpeg's reason.
    const std::string& Error() const;

    struct Codec;

private:
    explicit VideoEncoder(std::unique_ptr<Codec> pCodec);
    std::unique_ptr<Codec> m_pCodec;
};
