// The backend half of the kernel services on Linux.
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <exception>
#include <system_error>
#include <thread>

#include "platform/system.h"

namespace platform {

bool BeginThread(ThreadProc proc, void* pParam)
{
    // No resources or no memory for a thread: the caller decides, as with the C runtime.
    try {
        std::thread(proc, pParam).detach();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void* AllocateLarge(std::size_t size)
{
    constexpr std::size_t kLarge = std::size_t{4} << 20;
    constexpr std::uintptr_t kPage = 4096;
    // A fresh mapping is zero already: calloc leaves it untouched.
    void* block = std::calloc(1, size);
    if (block != nullptr && size >= kLarge) {
        // Blocks this large are mappings of their own, so the advice covers no other data.
        const auto address = reinterpret_cast<std::uintptr_t>(block);
        const std::uintptr_t begin = address & ~(kPage - 1);
        const std::uintptr_t end = (address + size + kPage - 1) & ~(kPage - 1);
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
    return block;
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
