// Files on Windows: opening through the wide functions, attributes, MoveFileExW, process
// handles.
#include "platform/files.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/system.h"
#include "platform/win32/win32_api.h"

namespace platform {

namespace {

// errno for the calling thread's last Windows error.
int ErrnoOf(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

bool Failed()
{
    errno = ErrnoOf(GetLastError());
    return false;
}

// The C runtime's fopen has no "x" mode: a file that must be new is created by the system
// and its handle given to the runtime.
std::FILE* OpenNewFile(const std::string& path)
{
    const HANDLE file = CreateFileW(win32::Utf8ToWide(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        Failed();
        return nullptr;
    }
    const int descriptor =
        _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(file);
        return nullptr;
    }
    std::FILE* pFile = _fdopen(descriptor, "wb");
    if (pFile == nullptr) {
        _close(descriptor);  // and with it the handle
    }
    return pFile;
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    if (std::strchr(mode, 'x') != nullptr) {
        return OpenNewFile(path);
    }
    return _wfopen(win32::Utf8ToWide(path).c_str(), win32::Utf8ToWide(mode).c_str());
}

bool FindWriteTarget(const std::string& path, WriteTarget& target)
{
    target.path = path;
    const DWORD attributes = GetFileAttributesW(win32::Utf8ToWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        target.kind = FileKind::Missing;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return true;  // created, or refused with ENOENT when its folder is missing
        }
        errno = ErrnoOf(error);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        errno = EISDIR;
        return false;
    }
    target.kind = FileKind::Regular;
    return true;
}

bool MayWrite(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(win32::Utf8ToWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        errno = EACCES;
        return false;
    }
    return true;
}

void CopyPermissions(const std::string&, const std::string&)
{
    // A new file takes the permissions its folder gives; there are no bits to carry.
}

bool MoveFileOver(const std::string& from, const std::string& to)
{
    return MoveFileExW(win32::Utf8ToWide(from).c_str(), win32::Utf8ToWide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
           Failed();
}

bool RemoveFile(const std::string& path)
{
    return DeleteFileW(win32::Utf8ToWide(path).c_str()) != 0 || Failed();
}

std::optional<FileIdentity> IdentifyFile(const std::string& path)
{
    const HANDLE file = CreateFileW(win32::Utf8ToWide(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool bKnown = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!bKnown) {
        return std::nullopt;
    }
    return FileIdentity{info.dwVolumeSerialNumber,
                        (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

int CurrentProcessId()
{
    return static_cast<int>(GetCurrentProcessId());
}

bool ProcessExists(int id)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr) {
        // No such process; any other refusal (access denied) means one runs.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    // A process that has ended may still be held open by others: it no longer runs.
    const bool bRunning = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return bRunning;
}

}  // namespace platform
