// Makes output files run out of disk space after a given number of bytes, counted over every
// file opened meanwhile, as a full disk does; and lets a test act as each file is opened and
// as each part of it is written.
#pragma once

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "output/whole_file.h"

class ScopedDiskSpace {
public:
    using Hook = std::function<void(const std::string& path)>;

    explicit ScopedDiskSpace(long long bytesLeft, Hook onOpen = {}, Hook onWrite = {})
        : m_pPrevious(g_pOpenOutputFile)
    {
        s_bytesLeft = bytesLeft;
        s_onOpen = std::move(onOpen);
        s_onWrite = std::move(onWrite);
        g_pOpenOutputFile = Open;
    }
    ~ScopedDiskSpace()
    {
        g_pOpenOutputFile = m_pPrevious;
        s_onOpen = {};
        s_onWrite = {};
    }
    ScopedDiskSpace(const ScopedDiskSpace&) = delete;
    ScopedDiskSpace& operator=(const ScopedDiskSpace&) = delete;

private:
    struct OpenFile {
        std::FILE* pFile;
        std::string path;
    };

    static std::FILE* Open(const std::string& path, const char* mode)
    {
        if (s_onOpen) {
            s_onOpen(path);
        }
        std::FILE* pFile = std::fopen(path.c_str(), mode);
        if (pFile == nullptr) {
            return nullptr;
        }
        return fopencookie(new OpenFile{pFile, path}, "w", {nullptr, Write, nullptr, Close});
    }
    static ssize_t Write(void* pCookie, const char* data, std::size_t size)
    {
        const OpenFile& file = *static_cast<OpenFile*>(pCookie);
        if (s_onWrite) {
            s_onWrite(file.path);
        }
        const std::size_t room =
            s_bytesLeft < static_cast<long long>(size) ? static_cast<std::size_t>(s_bytesLeft) : size;
        const std::size_t written = std::fwrite(data, 1, room, file.pFile);
        s_bytesLeft -= static_cast<long long>(written);
        if (written < size) {
            errno = ENOSPC;  // a short write is an error to stdio
        }
        return static_cast<ssize_t>(written);
    }
    static int Close(void* pCookie)
    {
        auto* pFile = static_cast<OpenFile*>(pCookie);
        const int result = std::fclose(pFile->pFile);
        delete pFile;
        return result;
    }

    static inline long long s_bytesLeft = 0;
    static inline Hook s_onOpen;
    static inline Hook s_onWrite;
    OutputFileOpener m_pPrevious;
};
