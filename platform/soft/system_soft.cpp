// The backend half of the kernel services on Linux.
#include <cstdio>
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

std::string GetModulePath()
{
    std::error_code error;
    const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

void ShowMessage(const std::string& text)
{
    std::fprintf(stderr, "Orvane: %s\n", text.c_str());
}

}  // namespace platform
