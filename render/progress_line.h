// One line on a terminal, redrawn in place every few moments until it is destroyed; then the
// line is cleared. The cursor stays at the line's start, so that a line printed meanwhile
// overwrites it. Its end is at once: a quick run does not wait out the pause between redraws.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class ProgressLine {
public:
    // text gives the line's current words; it is called on the line's own thread. Without a
    // thread to spare there is no line.
    explicit ProgressLine(std::function<std::string()> text);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

private:
    void Run();

    std::function<std::string()> m_text;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_bDone = false;  // under m_mutex
    std::thread m_thread;
};
