#include "render/memory_budget.h"

#include <pthread.h>

#include <algorithm>

#include "platform/image_layout.h"
#include "platform/system.h"

namespace {

// Caption box, labels, fonts and the libraries' own needs.
constexpr std::uint64_t kWorkingRoom = 32ull << 20;
// What a thread fills: a render worker's sample coordinates, its kernel's queues and ring of
// indices, and the part of its stack it uses, together well below a megabyte.
constexpr std::uint64_t kThreadMemory = 1ull << 20;
// The threads beside the render workers: the main thread, the tour thread, the one that
// watches for stop signals and the progress line's. Film helpers run only while no worker
// does, and are fewer.
constexpr int kOtherThreads = 4;

// Whole megabytes, rounded up.
std::string Megabytes(std::uint64_t bytes)
{
    return std::to_string((bytes + 999999) / 1000000) + " MB";
}

// Pictures that fit in available bytes beside a show that needs show of them.
std::optional<std::size_t> PicturesBeside(std::uint64_t available, std::uint64_t show,
                                          std::uint64_t picture, std::size_t wanted)
{
    if (available < show) {
        return std::nullopt;
    }
    const std::uint64_t forPictures = (available - show) / 4 * 3;
    return static_cast<std::size_t>(std::min<std::uint64_t>(wanted, forPictures / picture));
}

}  // namespace

std::uint64_t ShowMemory(int width, int height, int threads, std::uint64_t threadBytes)
{
    return 4 * static_cast<std::uint64_t>(ImageSize(width, height)) +
           static_cast<std::uint64_t>(threads + kOtherThreads) * threadBytes + kWorkingRoom;
}

std::uint64_t ThreadMemory()
{
    return kThreadMemory;
}

std::uint64_t ThreadAddressSpace()
{
    // The stack a new thread is given is mapped whole when it starts.
    std::size_t stack = 8u << 20;
    pthread_attr_t attributes;
    if (pthread_getattr_default_np(&attributes) == 0) {
        pthread_attr_getstacksize(&attributes, &stack);
        pthread_attr_destroy(&attributes);
    }
    return stack + kThreadMemory;
}

std::optional<std::size_t> PicturesThatFit(const MemoryRoom& room, int width, int height,
                                           int threads, std::size_t wanted)
{
    const std::uint64_t picture = ImageSize(width, height);
    const auto inMemory = PicturesBeside(
        room.memory, ShowMemory(width, height, threads, ThreadMemory()), picture, wanted);
    const auto inAddressSpace = PicturesBeside(
        room.addressSpace, ShowMemory(width, height, threads, ThreadAddressSpace()), picture,
        wanted);
    if (!inMemory || !inAddressSpace) {
        return std::nullopt;
    }
    return std::min(*inMemory, *inAddressSpace);
}

std::optional<ShowPlan> PlanShow(int width, int height, int threads, std::size_t wanted,
                                 std::string& problem)
{
    const MemoryRoom room = MemoryLeft();
    // The picture is the same with any number of workers: fewer is slower, not different.
    for (int workers = threads > 0 ? threads : platform::GetProcessorCount(); workers >= 1;
         --workers) {
        if (const auto pictures = PicturesThatFit(room, width, height, workers, wanted)) {
            return ShowPlan{workers, *pictures};
        }
    }
    const std::uint64_t memory = ShowMemory(width, height, 1, ThreadMemory());
    const std::uint64_t addressSpace = ShowMemory(width, height, 1, ThreadAddressSpace());
    problem = "a " + std::to_string(width) + "x" + std::to_string(height) + " picture needs " +
              (room.memory < memory
                   ? Megabytes(memory) + " of memory, " + Megabytes(room.memory) + " available"
                   : Megabytes(addressSpace) + " of address space, " +
                         Megabytes(room.addressSpace) + " left under the process's limits");
    return std::nullopt;
}
