// A video written on a thread of its own: frames wait in a short queue while the encoder
// works through them, and the file appears under its name only once it is complete.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "output/video_encoder.h"

// A picture in the common image layout, shared by the frames that show it.
using VideoPicture = std::shared_ptr<const std::vector<std::uint8_t>>;

class VideoStream {
public:
    // Starts writing path through pEncoder on a new thread, at most queueLength pictures
    // waiting. Throws std::system_error when the thread cannot start.
    VideoStream(std::unique_ptr<VideoEncoder> pEncoder, std::string path, std::size_t queueLength);
    // Abandons the video unless it was finished: nothing is left under its name.
    ~VideoStream();
    VideoStream(const VideoStream&) = delete;
    VideoStream& operator=(const VideoStream&) = delete;

    // Waits until the file has its header. False once it could not be written.
    bool WaitBegun();

    // Queues count frames that show picture; waits while the queue is full. False once the
    // file could not be written: nothing more will be.
    bool Add(VideoPicture picture, std::int64_t count);

    // Ends the video: the queued frames written, or dropped after the frame being written
    // when bDropQueued, and the file completed under its name. False, with Error(), when
    // the file could not be written; nothing is then left under its name.
    bool Finish(bool bDropQueued);

    std::int64_t FramesQueued() const;
    std::int64_t FramesWritten() const;
    // "cannot write PATH: why", once the file could not be written.
    std::string Error() const;

private:
    struct Entry {
        VideoPicture picture;
        std::int64_t count = 0;
    };

    void Run();
    bool Encode(std::FILE* pFile);
    // The next entry to write, or nothing once the queue has closed.
    bool Next(Entry& entry);

    std::unique_ptr<VideoEncoder> m_pEncoder;
    const std::string m_path;
    const std::size_t m_nQueueLength;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    // Under m_mutex:
    std::deque<Entry> m_queue;
    bool m_bClosed = false;     // no more entries will come
    bool m_bDropping = false;   // write no more frames
    bool m_bBegun = false;      // the file has its header
    bool m_bAbandoned = false;  // leave no file
    bool m_bEnded = false;      // the thread is done with the file
    bool m_bFailed = false;
    std::string m_error;
    std::int64_t m_nQueued = 0;
    std::int64_t m_nWritten = 0;

    std::thread m_thread;
};
