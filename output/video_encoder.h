// Video encoders. Frames are pictures in the common image layout. The encoders are FFmpeg's,
// in a module of their own (orvane-video.so) that is loaded on the first video, so that a
// program writing no video never loads FFmpeg's libraries.
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
    virtual ~VideoEncoder() = default;

    // Writes the file's header to pFile, a seekable file written from its start.
    virtual bool Begin(std::FILE* pFile) = 0;
    // Adds a frame that shows pPicture.
    virtual bool Add(const std::uint8_t* pPicture) = 0;
    // Adds one more frame of the picture added last.
    virtual bool Repeat() = 0;
    // Writes the frames the codec still holds and the file's index: the file is complete.
    virtual bool End() = 0;

    // The frames added so far.
    virtual std::int64_t FrameCount() const = 0;
    // Why the last call failed: errno when the file could not be written (also left in
    // errno), else FFmpeg's reason.
    virtual const std::string& Error() const = 0;
};

// Loads the encoders' module, once for the process. It lies at the same path relative to
// the running program's folder in the build tree and in an install. False, with error naming
// the module and saying why, when it cannot be loaded.
bool LoadVideoEncoders(std::string& error);

// An encoder of framesPerSecond frames of width × height, ready to begin; null, with error
// saying why, when the module cannot be loaded, this FFmpeg lacks the format's codec or the
// codec refuses the size.
std::unique_ptr<VideoEncoder> OpenVideoEncoder(VideoFormat format, int width, int height,
                                               int framesPerSecond, std::string& error);

// The module's one entry, found by its name: OpenVideoEncoder's work, the encoder owned by
// the caller. Both sides are built together, so C++ may cross.
extern "C" VideoEncoder* OrvaneOpenVideoEncoder(VideoFormat format, int width, int height,
                                                int framesPerSecond, std::string& error);
