#include "render/progress_line.h"

#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(200);

}  // namespace

ProgressLine::ProgressLine(std::function<std::string()> text) : m_text(std::move(text))
{
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // no progress line then
    }
}

ProgressLine::~ProgressLine()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
    }
    m_wake.notify_one();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void ProgressLine::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bDone) {
        std::fprintf(stderr, "\r%s\033[K\r", m_text().c_str());
        m_wake.wait_for(lock, kProgressInterval, [this] { return m_bDone; });
    }
    std::fputs("\r\033[K", stderr);
}
