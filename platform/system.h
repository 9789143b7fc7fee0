// Kernel services: threads, sleeping, clocks, the processor count, the program's own path
// and the one kind of message the engine shows. Portable except where a backend says so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace platform {

using ThreadProc = unsigned (*)(void* pParam);

constexpr int kAnyProcessor = -1;

// Starts a detached thread running proc(pParam). False when it could not be started. Given a
// processor, the thread starts on it (a placement, not a binding: it may move later), or where
// the system likes when that processor is not one the caller may run on.
bool BeginThread(ThreadProc proc, void* pParam, int processor = kAnyProcessor);
// The processor the calling thread runs on now, or kAnyProcessor when the system cannot say.
int CurrentProcessor();

void Sleep(int milliseconds);
int GetProcessorCount();

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t GetTickCount();
// A high-resolution counter and its ticks per second.
std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();

// Gives a block from AllocateLarge back; it knows the block's size, as the system may need.
struct LargeBlockRelease {
    std::size_t size = 0;
    void operator()(std::uint8_t* p) const;
};
using LargeBlock = std::unique_ptr<std::uint8_t[], LargeBlockRelease>;

// size zero bytes; null when there is no memory. Large blocks come zero from the system,
// unwritten, so their pages are first touched by whoever fills them. On Linux a block of
// megabytes is a mapping of its own, aligned and rounded to huge pages and backed by them: a
// picture then costs a few page faults instead of thousands.
LargeBlock AllocateLarge(std::size_t size);

// Full path of the running executable.
std::string GetModulePath();

// Opens a file named by a UTF-8 path, as std::fopen does, "wbx" included (a new file;
// EEXIST when the name is taken). On Windows through the wide functions, so that folder
// names outside the ANSI code page work (platform/files.h has the rest of the files).
std::FILE* OpenFile(const std::string& path, const char* mode);

// A modal message box with an OK button and the program's title (the software backend
// prints the text on stderr).
void ShowMessage(const std::string& text);

// The clocks the engine reads and its way of waiting, replaceable so that a search can be
// repeated (a seeded counter) and the show's pacing tested without waiting.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint32_t GetTickCount() { return platform::GetTickCount(); }
    virtual std::int64_t QueryPerformanceCounter() { return platform::QueryPerformanceCounter(); }
    virtual std::int64_t QueryPerformanceFrequency()
    {
        return platform::QueryPerformanceFrequency();
    }
    virtual void Sleep(int milliseconds) { platform::Sleep(milliseconds); }
};

// The clock of the machine.
Clock& SystemClock();

// A performance counter that reads seed, seed + 1, seed + 2, … and the machine's tick count.
class SeededCounterClock : public Clock {
public:
    explicit SeededCounterClock(std::int64_t seed) : m_next(static_cast<std::uint64_t>(seed)) {}
    std::int64_t QueryPerformanceCounter() override
    {
        return static_cast<std::int64_t>(m_next++);
    }

private:
    std::uint64_t m_next;
};

}  // namespace platform
