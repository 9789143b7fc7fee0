#include "output/whole_file.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files.h"
#include "platform/system.h"

OutputFileOpener g_pOpenOutputFile = platform::OpenFile;

namespace {

constexpr char kTemporaryStart[] = ".orvane-";
constexpr char kTemporaryEnd[] = ".tmp";
// Names tried before giving up: others may be taken by files nobody removed.
constexpr int kTemporaryNameTries = 100;

// Paths are UTF-8 text in the program; Windows names its files in UTF-16.
std::filesystem::path PathOf(const std::string& text)
{
#ifdef _WIN32
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
#else
    return std::filesystem::path(text);
#endif
}

std::string TextOf(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}

// Where a file that does not exist yet would be: its folder's links resolved.
std::filesystem::path PlaceOf(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path place = std::filesystem::weakly_canonical(PathOf(path), error);
    return error ? PathOf(path).lexically_normal() : place;
}

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

WriteResult Failed(std::string step = {})
{
    WriteResult result = WriteResult::Failure(errno, std::move(step));
    errno = result.error;
    return result;
}

WriteResult WriteInPlace(const std::string& path,
                         const std::function<bool(std::FILE* pFile)>& writeContents)
{
    std::FILE* pFile = g_pOpenOutputFile(path, "wb");
    if (pFile == nullptr || !WriteAndClose(pFile, writeContents)) {
        return Failed();
    }
    return {};
}

// The n-th name of this process's temporaries in the folder of path. Short, so that it fits
// wherever path's own name does.
std::string TemporaryName(const std::string& path, unsigned n)
{
    const std::string name = kTemporaryStart + std::to_string(platform::CurrentProcessId()) + "-" +
                             std::to_string(n) + kTemporaryEnd;
    return TextOf(PathOf(path).parent_path() / name);
}

// A new file beside path, under a name no other writer uses, opened for writing; null with
// the result saying why when there is none.
std::FILE* CreateTemporary(const std::string& path, std::string& temporary, WriteResult& result)
{
    static std::atomic<unsigned> s_count{0};
    const std::string folder = FolderOf(path);
    const std::string where = "a temporary file in " + (folder.empty() ? "." : folder);
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        temporary = TemporaryName(path, s_count++);
#ifdef _WIN32
        if (temporary.size() >= kPathBufferSize) {
            errno = ENAMETOOLONG;
            result = Failed("no room for the name of " + where);
            return nullptr;
        }
#endif
        if (std::FILE* pFile = g_pOpenOutputFile(temporary, "wbx")) {
            return pFile;
        }
        if (errno != EEXIST) {
            result = Failed("cannot create " + where);
            return nullptr;
        }
    }
    result = Failed("every name tried for " + where + " is taken");
    return nullptr;
}

// The process id in the name of one of the programs' temporaries, or 0 for another name.
int TemporaryOwner(const std::string& name)
{
    const std::size_t start = std::strlen(kTemporaryStart);
    const std::size_t end = std::strlen(kTemporaryEnd);
    if (name.size() <= start + end || name.compare(0, start, kTemporaryStart) != 0 ||
        name.compare(name.size() - end, end, kTemporaryEnd) != 0) {
        return 0;
    }
    int owner = 0;
    unsigned count = 0;
    const char* const last = name.data() + name.size() - end;
    const auto id = std::from_chars(name.data() + start, last, owner);
    if (id.ec != std::errc() || id.ptr == last || *id.ptr != '-') {
        return 0;
    }
    const auto n = std::from_chars(id.ptr + 1, last, count);
    return n.ec == std::errc() && n.ptr == last ? owner : 0;
}

}  // namespace

WriteResult WriteResult::Failure(int error, std::string step)
{
    return {false, error, std::move(step)};
}

std::string WriteResult::Reason() const
{
    const std::string cause = error != 0 ? std::strerror(error) : "";
    if (step.empty()) {
        return cause;
    }
    return cause.empty() ? step : step + ": " + cause;
}

WriteResult WriteWholeFile(const std::string& path,
                           const std::function<bool(std::FILE* pFile)>& writeContents)
{
    platform::WriteTarget target;
    if (!platform::FindWriteTarget(path, target)) {
        return Failed();
    }
    if (target.kind == platform::FileKind::Special) {
        return WriteInPlace(target.path, writeContents);
    }
    const bool bReplacing = target.kind == platform::FileKind::Regular;
    if (bReplacing && !platform::MayWrite(target.path)) {
        return Failed();
    }
    std::string temporary;
    WriteResult result;
    std::FILE* pFile = CreateTemporary(target.path, temporary, result);
    if (pFile == nullptr) {
        // A folder that takes no new files may still hold a file this process may write.
        const bool bFolderRefused = result.error == EACCES || result.error == EPERM;
        return bReplacing && bFolderRefused ? WriteInPlace(target.path, writeContents) : result;
    }
    if (bReplacing) {
        platform::CopyPermissions(target.path, temporary);
    }
    if (!WriteAndClose(pFile, writeContents)) {
        result = Failed();
    } else if (!platform::MoveFileOver(temporary, target.path)) {
        result = Failed("cannot put " + temporary + " in its place");
    } else {
        return {};
    }
    platform::RemoveFile(temporary);
    errno = result.error;
    return result;
}

std::optional<std::string> OutputIdentity(const std::string& path)
{
    platform::WriteTarget target;
    if (!platform::FindWriteTarget(path, target)) {
        return std::nullopt;
    }
    switch (target.kind) {
    case platform::FileKind::Regular:
        if (const auto file = platform::IdentifyFile(target.path)) {
            return "file:" + std::to_string(file->volume) + ":" + std::to_string(file->index);
        }
        break;
    case platform::FileKind::Missing:
        return "new:" + TextOf(PlaceOf(target.path));
    case platform::FileKind::Special:
        break;
    }
    return std::nullopt;
}

bool SameOutputFile(const std::string& first, const std::string& second)
{
    const std::optional<std::string> identity = OutputIdentity(first);
    return identity && identity == OutputIdentity(second);
}

std::string FolderOf(const std::string& path)
{
    return TextOf(PathOf(path).parent_path());
}

void RemoveStaleTemporaries(const std::string& folder)
{
    std::error_code error;
    std::filesystem::directory_iterator entries(PathOf(folder.empty() ? "." : folder), error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const int owner = TemporaryOwner(TextOf(entries->path().filename()));
        if (owner != 0 && owner != platform::CurrentProcessId() &&
            !platform::ProcessExists(owner)) {
            platform::RemoveFile(TextOf(entries->path()));
        }
    }
}
