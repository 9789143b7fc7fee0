// The backend half of the kernel services on Linux.
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>

#include "platform/system.h"

namespace platform {

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* pParam;
    std::optional<cpu_set_t> starterProcessors = {};  // set when the thread was placed
};

void* RunThread(void* pStart)
{
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(pStart));
    if (start->starterProcessors) {
        // Placed, not bound: from here on it may run wherever its starter could.
        sched_setaffinity(0, sizeof(cpu_set_t), &*start->starterProcessors);
    }
    start->proc(start->pParam);
    return nullptr;
}

}  // namespace

bool BeginThread(ThreadProc proc, void* pParam, int processor)
{
    // No resources or no memory for a thread: the caller decides, as with the C runtime.
    std::unique_ptr<ThreadStart> start;
    try {
        start = std::make_unique<ThreadStart>(proc, pParam);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    // The scheduler would put a new thread where the load it remembers is least, which can be
    // a processor that is busy while the one just given up idles for tens of milliseconds.
    cpu_set_t starterProcessors;
    if (processor >= 0 && processor < CPU_SETSIZE &&
        sched_getaffinity(0, sizeof starterProcessors, &starterProcessors) == 0 &&
        CPU_ISSET(processor, &starterProcessors)) {
        cpu_set_t only;
        CPU_ZERO(&only);
        CPU_SET(processor, &only);
        if (pthread_attr_setaffinity_np(&attributes, sizeof only, &only) == 0) {
            start->starterProcessors = starterProcessors;
        }
    }
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, RunThread, start.get()) == 0;
    pthread_attr_destroy(&attributes);
    if (started) {
        start.release();  // the thread's now
    }
    return started;
}

int CurrentProcessor()
{
    const int processor = sched_getcpu();
    return processor >= 0 ? processor : kAnyProcessor;
}

namespace {

// Blocks from this size on are mappings of their own, in whole huge pages.
constexpr std::size_t kLarge = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t WholeHugePages(std::size_t size) { return (size + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

LargeBlock AllocateLarge(std::size_t size)
{
    if (size < kLarge) {
        return LargeBlock(static_cast<std::uint8_t*>(std::calloc(1, size)), {size});
    }
    if (size > SIZE_MAX - 2 * kHugePage) {
        return LargeBlock(nullptr, {size});
    }
    // Mapped one huge page longer, so that an aligned start lies within; the rest is given
    // back. A fresh mapping is zero already.
    const std::size_t length = WholeHugePages(size);
    void* mapping = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) {
        return LargeBlock(nullptr, {size});
    }
    auto* const first = static_cast<std::uint8_t*>(mapping);
    auto* const block = reinterpret_cast<std::uint8_t*>(
        (reinterpret_cast<std::uintptr_t>(first) + kHugePage - 1) & ~(kHugePage - 1));
    if (block != first) {
        munmap(first, static_cast<std::size_t>(block - first));
    }
    munmap(block + length, static_cast<std::size_t>(first + kHugePage - block));
    // The last huge page too: a picture of 6.2 MB left its last 2 MB to 500 small pages.
    madvise(block, length, MADV_HUGEPAGE);
    return LargeBlock(block, {size});
}

void LargeBlockRelease::operator()(std::uint8_t* p) const
{
    if (size < kLarge) {
        std::free(p);
    } else {
        munmap(p, WholeHugePages(size));
    }
}

std::string GetModulePath()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

void ShowMessage(const std::string& text)
{
    std::fprintf(stderr, "Orvane: %s\n", text.c_str());
}

}  // namespace platform
