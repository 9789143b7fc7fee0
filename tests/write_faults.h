// Makes output files run out of disk space after a given number of bytes, counted over every
// file opened meanwhile, as a full disk does; and lets a test act as each file is opened.
#pragma once

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "output/whole_file.h"

class ScopedDiskSpace {
public:
    explicit ScopedDiskSpace(long long bytesLeft,
                             std::function<void(const std::string& path)> onOpen = {})
        : m_pPrevious(g_pOpenOutputFile)
    {
        s_bytesLeft = bytesLeft;
        s_onOpen = std::move(onOpen);
        g_pOpenOutputFile = Open;
    }
    ~ScopedDiskSpace()
    {
        g_pOpenOutputFile = m_pPrevious;
        s_onOpen = {};
    }
    ScopedDiskSpace(const ScopedDiskSpace&) = delete;
    ScopedDiskSpace& operator=(const ScopedDiskSpace&) = delete;

private:
    static std::FILE* Open(const std::string& path, const char* mode)
    {
        if (s_onOpen) {
            s_onOpen(path);
        }
        std::FILE* pFile = std::fopen(path.c_str(), mode);
        if (pFile == nullptr) {
            return nullptr;
        }
        return fopencookie(pFile, "w", {nullptr, Write, nullptr, Close});
    }
    static ssize_t Write(void* pFile, const char* data, std::size_t size)
    {
        const std::size_t room =
            s_bytesLeft < static_cast<long long>(size) ? static_cast<std::size_t>(s_bytesLeft) : size;
        const std::size_t written = std::fwrite(data, 1, room, static_cast<std::FILE*>(pFile));
        s_bytesLeft -= static_cast<long long>(written);
        if (written < size) {
            errno = ENOSPC;  // a short write is an error to stdio
        }
        return static_cast<ssize_t>(written);
    }
    static int Close(void* pFile) { return std::fclose(static_cast<std::FILE*>(pFile)); }

    static inline long long s_bytesLeft = 0;
    static inline std::function<void(const std::string& path)> s_onOpen;
    OutputFileOpener m_pPrevious;
};
