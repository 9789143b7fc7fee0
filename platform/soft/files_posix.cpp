// Files on Linux: opening, links followed by name, permissions from stat, rename(2).
#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/system.h"

namespace platform {

namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

// The folder part of path, with its slash, or "" for a name without one.
std::string FolderPart(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// path with every symbolic link at its end followed by name, dangling links too; false with
// errno ELOOP after too many links.
bool FollowLinks(std::string& path)
{
    for (int links = 0; links < kMaxLinks; ++links) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return true;  // not a link, or nothing there: path is where the file lives
        }
        std::string target(static_cast<std::size_t>(status.st_size) + 256, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length < 0) {
            return false;
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.starts_with('/') ? target : FolderPart(path) + target;
    }
    errno = ELOOP;
    return false;
}

}  // namespace

std::FILE* OpenFile(const std::string& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

bool FindWriteTarget(const std::string& path, WriteTarget& target)
{
    struct stat reached {};
    if (stat(path.c_str(), &reached) != 0) {
        if (errno != ENOENT) {
            return false;
        }
        // Nothing there, or a link to nothing: the file is created where the link points.
        target.path = path;
        target.kind = FileKind::Missing;
        return FollowLinks(target.path);
    }
    if (S_ISDIR(reached.st_mode)) {
        errno = EISDIR;
        return false;
    }
    target.path = path;
    target.kind = S_ISREG(reached.st_mode) ? FileKind::Regular : FileKind::Special;
    if (target.kind == FileKind::Regular) {
        // Following by name must reach the file the system reaches; where it does not (a
        // name under /proc for a file deleted since), the file is written through path.
        std::string followed = path;
        struct stat found {};
        if (FollowLinks(followed) && stat(followed.c_str(), &found) == 0 &&
            found.st_dev == reached.st_dev && found.st_ino == reached.st_ino) {
            target.path = followed;
        } else {
            target.kind = FileKind::Special;
        }
    }
    return true;
}

bool MayWrite(const std::string& path)
{
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

void CopyPermissions(const std::string& model, const std::string& path)
{
    struct stat status {};
    if (stat(model.c_str(), &status) != 0) {
        return;
    }
    // The owner first, since a change of owner may clear permission bits. Only a privileged
    // process may give a file away, and anyone a group of their own; otherwise the file
    // stays this user's.
    if (chown(path.c_str(), status.st_uid, status.st_gid) != 0 &&
        chown(path.c_str(), static_cast<uid_t>(-1), status.st_gid) != 0) {
        // this user's file, in this user's group
    }
    chmod(path.c_str(), status.st_mode & 0777);
}

bool MoveFileOver(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool RemoveFile(const std::string& path)
{
    return unlink(path.c_str()) == 0;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{static_cast<std::uint64_t>(status.st_dev),
                        static_cast<std::uint64_t>(status.st_ino)};
}

int CurrentProcessId()
{
    return static_cast<int>(getpid());
}

bool ProcessExists(int id)
{
    return id > 0 && (kill(static_cast<pid_t>(id), 0) == 0 || errno != ESRCH);
}

}  // namespace platform
