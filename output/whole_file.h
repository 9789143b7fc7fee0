// Files written whole or not at all.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

// Room for a path and its terminating zero, as the Windows program's path buffers have.
inline constexpr std::size_t kPathBufferSize = 1000;

// Where output files are opened: platform::OpenFile, unless a test makes a disk run full.
using OutputFileOpener = std::FILE* (*)(const std::string& path, const char* mode);
extern OutputFileOpener g_pOpenOutputFile;

// How a write ended: the file written whole, or not at all and why.
struct WriteResult {
    bool bWritten = true;
    int error = 0;     // errno's code, where known
    std::string step;  // what failed, where it was not the writing of the file itself

    // Reads as the bool the writers used to return, so that callers that only ask whether
    // the file was written need not change.
    operator bool() const { return bWritten; }
    static WriteResult Failure(int error, std::string step = {});
    // Why, to follow the file's name in a message: "Permission denied", or "cannot create a
    // temporary file in out: Permission denied".
    std::string Reason() const;
};

// Writes path through writeContents, which returns false when it could not write everything.
// A plain file is written under a temporary name in its folder and put in the place of the
// old one once complete, so that an older file of that name survives a failed or interrupted
// write and no partial file is ever left behind. The new file keeps the old one's permission
// bits (and owner, where this process may give it); a symbolic link stays and its target is
// replaced; a file this process may not write is refused, as a plain write would be. What is
// not a plain file (a device, pipe, socket or terminal) is written directly, and so is a file
// in a folder that takes no new files but lets this process write the file. errno tells why
// too when it fails.
WriteResult WriteWholeFile(const std::string& path,
                           const std::function<bool(std::FILE* pFile)>& writeContents);

// What two paths share exactly when writing both would write one file twice: the existing
// plain file they lead to, by any names (links, hard links), or the place of the new file
// they would make ("new:" and the place). Nothing for a device or pipe, which takes both
// writes in turn, or for a path nothing can be written to.
std::optional<std::string> OutputIdentity(const std::string& path);
bool SameOutputFile(const std::string& first, const std::string& second);

// The folder that path's file is in; "" for the current folder.
std::string FolderOf(const std::string& path);

// Removes from folder the temporary files of writes that were cut short, whose processes no
// longer run. Programs call it when they start saving into a folder.
void RemoveStaleTemporaries(const std::string& folder);
