#include "output/video_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "output/whole_file.h"

VideoStream::VideoStream(std::unique_ptr<VideoEncoder> pEncoder, std::string path,
                         std::size_t queueLength)
    : m_pEncoder(std::move(pEncoder)),
      m_path(std::move(path)),
      m_nQueueLength(std::max<std::size_t>(queueLength, 1)),
      m_thread([this] { Run(); })
{
}

VideoStream::~VideoStream()
{
    if (m_thread.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_bAbandoned = true;
        }
        Finish(true);
    }
}

bool VideoStream::WaitBegun()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_bBegun || m_bEnded; });
    return !m_bFailed;
}

bool VideoStream::Add(VideoPicture picture, std::int64_t count)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_queue.size() < m_nQueueLength || m_bEnded; });
    if (m_bEnded) {
        return false;  // it failed: only a failure ends the thread before Finish
    }
    if (count > 0) {
        m_queue.push_back({std::move(picture), count});
        m_nQueued += count;
        m_changed.notify_all();
    }
    return true;
}

bool VideoStream::Finish(bool bDropQueued)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
        if (bDropQueued) {
            m_bDropping = true;
            m_queue.clear();
        }
    }
    m_changed.notify_all();
    m_thread.join();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_bFailed;
}

std::int64_t VideoStream::FramesQueued() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nQueued;
}

std::int64_t VideoStream::FramesWritten() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_nWritten;
}

std::string VideoStream::Error() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void VideoStream::Run()
{
    const bool bWritten =
        WriteWholeFile(m_path, [this](std::FILE* pFile) { return Encode(pFile); });
    const int error = errno;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!bWritten) {
        m_bFailed = true;
        const std::string why = error != 0 || m_pEncoder->Error().empty()
                                    ? std::string(std::strerror(error != 0 ? error : EIO))
                                    : m_pEncoder->Error();
        m_error = "cannot write " + m_path + ": " + why;
    }
    m_bEnded = true;
    m_queue.clear();
    m_changed.notify_all();
}

bool VideoStream::Encode(std::FILE* pFile)
{
    const bool bBegun = m_pEncoder->Begin(pFile);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bBegun = bBegun;
    }
    m_changed.notify_all();
    if (!bBegun) {
        return false;
    }
    Entry entry;
    while (Next(entry)) {
        for (std::int64_t frame = 0; frame < entry.count; ++frame) {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                if (m_bDropping) {
                    break;
                }
            }
            if (!(frame == 0 ? m_pEncoder->Add(entry.picture->data()) : m_pEncoder->Repeat())) {
                return false;
            }
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_nWritten;
        }
        entry = {};  // the picture is free before the next one is taken
    }
    bool bAbandoned = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        bAbandoned = m_bAbandoned;
    }
    return !bAbandoned && m_pEncoder->End();
}

bool VideoStream::Next(Entry& entry)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_queue.empty() || m_bClosed; });
    if (m_queue.empty() || m_bDropping) {
        return false;
    }
    entry = std::move(m_queue.front());
    m_queue.pop_front();
    m_changed.notify_all();
    return true;
}
