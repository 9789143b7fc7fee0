#include "platform/system.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace platform {

void Sleep(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

int GetProcessorCount()
{
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

std::uint32_t GetTickCount()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

std::int64_t QueryPerformanceCounter()
{
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceStart).count();
}

std::int64_t QueryPerformanceFrequency()
{
    return 1'000'000'000;
}

Clock& SystemClock()
{
    static Clock clock;
    return clock;
}

}  // namespace platform
