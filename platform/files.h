// What writing a file needs of the system beyond opening it: what a path leads to, whether
// this process may write there, replacing a file in one step, and telling whether the
// process that left a temporary file behind still runs. Paths are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class FileKind {
    Missing,  // nothing there yet
    Regular,  // a plain file, which a new one may replace
    Special,  // written through in place: a device, pipe, socket or terminal, or a file
              // that its name does not lead to (one deleted while open)
};

// What a write to a path reaches.
struct WriteTarget {
    FileKind kind = FileKind::Missing;
    // Where the contents go: the path with its symbolic links followed, so that a link stays
    // a link and its target is written.
    std::string path;
};

// Looks at what writing path reaches. False, with errno, when nothing can be written there
// at all: a folder, a loop of links, a folder that may not be searched.
bool FindWriteTarget(const std::string& path, WriteTarget& target);

// True when this process may write the existing file at path, as opening it for writing
// would find; otherwise false with errno (EACCES for a read-only file, EROFS ...).
bool MayWrite(const std::string& path);

// Gives the file at path the permission bits of model and, where this process may, its
// owner: a file rewritten under a new name keeps who may read it.
void CopyPermissions(const std::string& model, const std::string& path);

// Puts the file at from in the place of to in one step, replacing what was there; on
// Windows the move is written through to the disk. False with errno when it could not.
bool MoveFileOver(const std::string& from, const std::string& to);

// Removes a file; false with errno when it could not.
bool RemoveFile(const std::string& path);

// What tells files apart: two paths lead to one file (through links, or hard links) exactly
// when their identities are equal.
struct FileIdentity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};
// The identity of the existing file path leads to; nothing when there is none.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

int CurrentProcessId();
// False only when no process of that id runs: a process of another user counts as running.
bool ProcessExists(int id);

}  // namespace platform
