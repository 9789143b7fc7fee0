#include "output/whole_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/system.h"

#ifndef _WIN32
#include <unistd.h>
#endif

OutputFileOpener g_pOpenOutputFile = platform::OpenFile;

namespace {

// Writes and closes the file; false when anything on the way failed, errno kept from the
// first failure.
bool WriteAndClose(std::FILE* pFile, const std::function<bool(std::FILE* pFile)>& writeContents)
{
    errno = 0;
    bool complete = writeContents(pFile) && std::fflush(pFile) == 0 && !std::ferror(pFile);
    const int writeError = errno;
    complete = std::fclose(pFile) == 0 && complete;
    if (!complete && writeError != 0) {
        errno = writeError;
    }
    return complete;
}

#ifndef _WIN32
// A name in path's folder that no other writer uses: the process and a count of this
// process's files. Short, so that it fits wherever path's own name does.
std::string TemporaryName(const std::string& path)
{
    static std::atomic<unsigned> s_count{0};
    const std::string name =
        ".orvane-" + std::to_string(getpid()) + "-" + std::to_string(s_count++) + ".tmp";
    return (std::filesystem::path(path).parent_path() / name).string();
}
#endif

}  // namespace

bool WriteWholeFile(const std::string& path,
                    const std::function<bool(std::FILE* pFile)>& writeContents)
{
#ifdef _WIN32
    std::FILE* pFile = g_pOpenOutputFile(path, "wb");
    return pFile != nullptr && WriteAndClose(pFile, writeContents);
#else
    const std::string temporary = TemporaryName(path);
    std::FILE* pFile = g_pOpenOutputFile(temporary, "wbx");
    if (pFile == nullptr) {
        return false;
    }
    if (WriteAndClose(pFile, writeContents) && std::rename(temporary.c_str(), path.c_str()) == 0) {
        return true;
    }
    const int error = errno;
    std::remove(temporary.c_str());
    errno = error;
    return false;
#endif
}
