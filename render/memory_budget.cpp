#include "render/memory_budget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>

#include "platform/image_layout.h"

namespace {

// Caption box, labels, thread stacks and the libraries' own needs.
constexpr std::uint64_t kWorkingRoom = 256ull << 20;
constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

// MemAvailable plus SwapFree from /proc/meminfo, in bytes.
std::uint64_t SystemAvailable()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    std::uint64_t kilobytes = 0;
    std::uint64_t total = 0;
    bool bFound = false;
    while (meminfo >> key >> kilobytes) {
        if (key == "MemAvailable:" || key == "SwapFree:") {
            total += kilobytes * 1024;
            bFound = true;
        }
        meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
    }
    return bFound ? total : kUnlimited;
}

// What the address-space limit leaves beside what the process has mapped already.
std::uint64_t AddressSpaceLeft()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    const std::uint64_t used = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

// Whole megabytes, rounded up.
std::string Megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + 999999) / 1000000) + " MB";
}

}  // namespace

std::uint64_t ShowMemory(int width, int height)
{
    return 4 * static_cast<std::uint64_t>(ImageSize(width, height)) + kWorkingRoom;
}

std::optional<std::size_t> FramesThatFit(std::uint64_t available, int width, int height,
                                         std::size_t wanted)
{
    const std::uint64_t show = ShowMemory(width, height);
    if (available < show) {
        return std::nullopt;
    }
    const std::uint64_t frame = ImageSize(width, height);
    const std::uint64_t forFrames = (available - show) / 4 * 3;
    return static_cast<std::size_t>(std::min<std::uint64_t>(wanted, forFrames / frame));
}

std::optional<std::size_t> PlanFrames(int width, int height, std::size_t wanted,
                                      std::string& problem)
{
    const std::uint64_t available = std::min(SystemAvailable(), AddressSpaceLeft());
    const auto frames = FramesThatFit(available, width, height, wanted);
    if (!frames) {
        problem = "a " + std::to_string(width) + "x" + std::to_string(height) + " picture needs " +
                  Megabytes(ShowMemory(width, height)) + " of memory, " + Megabytes(available) +
                  " available";
    }
    return frames;
}
