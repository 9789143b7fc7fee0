// The backend half of the kernel services on Linux.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/system.h"

namespace platform {

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
