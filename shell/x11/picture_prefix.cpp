#include "shell/x11/picture_prefix.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr char kLockFile[] = "/.orvane.lock";
constexpr char kPrefix[] = "/Orvane";
constexpr int kMaxCopies = 64;

// Byte number - 1 of the lock file, held through the open file's own lock, which lasts until
// the process ends however it ends.
bool TakeNumber(int file, int number)
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = number - 1;
    lock.l_len = 1;
    return fcntl(file, F_OFD_SETLK, &lock) == 0;
}

std::string Base(const std::string& folder, int number)
{
    return folder + kPrefix + (number == 1 ? "" : "-" + std::to_string(number));
}

}  // namespace

PicturePrefix ClaimPicturePrefix(const std::string& folder)
{
    const std::string lockPath = folder + kLockFile;
    // Never closed: closing would give the number away.
    const int file = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) {
        return {{}, "cannot open " + lockPath + ": " + std::strerror(errno)};
    }
    for (int number = 1; number <= kMaxCopies; ++number) {
        if (TakeNumber(file, number)) {
            return {Base(folder, number), {}};
        }
        if (errno != EAGAIN && errno != EACCES) {
            // A file system without locks: copies cannot tell each other apart.
            close(file);
            return {Base(folder, 1), {}};
        }
    }
    close(file);
    return {{}, std::to_string(kMaxCopies) + " copies of the show already save into " + folder};
}
