#include "render/memory_limits.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();
// Version 1 writes "no limit" as the largest page count it keeps, just below 2^63.
constexpr std::uint64_t kNoCgroupLimit = std::uint64_t{1} << 62;

// The "key: value kB" of a /proc file, in bytes.
std::optional<std::uint64_t> ProcKilobytes(const std::filesystem::path& file,
                                           const std::string& key)
{
    std::ifstream input(file);
    for (std::string line; std::getline(input, line);) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kilobytes = 0;
        if (fields >> name >> kilobytes && name == key) {
            return kilobytes * 1024;
        }
    }
    return std::nullopt;
}

// MemAvailable plus SwapFree from /proc/meminfo.
std::uint64_t SystemAvailable()
{
    const auto available = ProcKilobytes("/proc/meminfo", "MemAvailable:");
    const auto swap = ProcKilobytes("/proc/meminfo", "SwapFree:");
    return available ? *available + swap.value_or(0) : kUnlimited;
}

// What a resource limit leaves beside what the process holds of it already (a line of
// /proc/self/status).
std::uint64_t ResourceLeft(int resource, const std::string& usedKey)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    const std::uint64_t used = ProcKilobytes("/proc/self/status", usedKey).value_or(0);
    return limit.rlim_cur > used ? limit.rlim_cur - used : 0;
}

// The number a cgroup file holds; nothing for "max", a missing file or no limit.
std::optional<std::uint64_t> CgroupNumber(const std::filesystem::path& file)
{
    std::ifstream input(file);
    std::uint64_t value = 0;
    if (!(input >> value) || value >= kNoCgroupLimit) {
        return std::nullopt;
    }
    return value;
}

// A "key value" line of memory.stat; 0 when it is missing.
std::uint64_t CgroupStat(const std::filesystem::path& file, const std::string& key)
{
    std::ifstream input(file);
    std::string name;
    std::uint64_t value = 0;
    while (input >> name >> value) {
        if (name == key) {
            return value;
        }
    }
    return 0;
}

// The file names of one version of the memory controller.
struct CgroupFiles {
    const char* limit;
    const char* usage;
    const char* cache;  // the key of reclaimable file cache in memory.stat
};
constexpr CgroupFiles kVersion2{"memory.max", "memory.current", "inactive_file"};
constexpr CgroupFiles kVersion1{"memory.limit_in_bytes", "memory.usage_in_bytes",
                                "total_inactive_file"};

// The least left under the limits from group up to top.
std::optional<std::uint64_t> LeftUpTo(std::filesystem::path group,
                                      const std::filesystem::path& top, const CgroupFiles& files)
{
    std::optional<std::uint64_t> least;
    for (;;) {
        if (const auto limit = CgroupNumber(group / files.limit)) {
            const std::uint64_t usage = CgroupNumber(group / files.usage).value_or(0);
            const std::uint64_t cache = CgroupStat(group / "memory.stat", files.cache);
            const std::uint64_t used = usage - std::min(cache, usage);
            const std::uint64_t left = *limit > used ? *limit - used : 0;
            least = std::min(least.value_or(kUnlimited), left);
        }
        if (group == top || !group.has_relative_path() || group.parent_path() == group) {
            return least;
        }
        group = group.parent_path();
    }
}

// One line of /proc/self/mountinfo: the mounted part of its file system, where it is
// mounted, its type and the options of its file system.
struct Mount {
    std::string root;
    std::string point;
    std::string type;
    std::string options;
};

std::vector<Mount> ReadMounts(const std::filesystem::path& file)
{
    std::vector<Mount> mounts;
    std::ifstream input(file);
    for (std::string line; std::getline(input, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, separator, source;
        Mount mount;
        fields >> id >> parent >> device >> mount.root >> mount.point;
        while (fields >> separator && separator != "-") {
        }
        fields >> mount.type >> source >> mount.options;
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

bool HasWord(const std::string& list, const std::string& word)
{
    std::istringstream words(list);
    for (std::string item; std::getline(words, item, ',');) {
        if (item == word) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::uint64_t> CgroupMemoryLeft(const std::filesystem::path& root)
{
    const std::vector<Mount> mounts = ReadMounts(root / "proc/self/mountinfo");
    std::optional<std::uint64_t> least;
    std::ifstream groups(root / "proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // "hierarchy:controllers:path"; the unified hierarchy (v2) has id 0 and no
        // controllers listed, a v1 hierarchy lists "memory" among its controllers.
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        const bool bVersion2 = line.compare(0, first, "0") == 0 && controllers.empty();
        if (!bVersion2 && !HasWord(controllers, "memory")) {
            continue;
        }
        for (const Mount& mount : mounts) {
            const bool bMatches =
                bVersion2 ? mount.type == "cgroup2"
                          : mount.type == "cgroup" && HasWord(mount.options, "memory");
            // The group lies below the part of the hierarchy that is mounted.
            const bool bBelow = mount.root == "/" || path == mount.root ||
                                path.starts_with(mount.root + "/");
            if (!bMatches || !bBelow) {
                continue;
            }
            const std::filesystem::path top =
                root / std::filesystem::path(mount.point).relative_path();
            const std::filesystem::path below =
                std::filesystem::path(path.substr(mount.root == "/" ? 0 : mount.root.size()))
                    .relative_path();
            const std::filesystem::path group = below.empty() ? top : top / below;
            if (const auto left = LeftUpTo(group, top, bVersion2 ? kVersion2 : kVersion1)) {
                least = std::min(least.value_or(kUnlimited), *left);
            }
        }
    }
    return least;
}

MemoryRoom MemoryLeft()
{
    return {std::min(SystemAvailable(), CgroupMemoryLeft().value_or(kUnlimited)),
            std::min(ResourceLeft(RLIMIT_AS, "VmSize:"), ResourceLeft(RLIMIT_DATA, "VmData:"))};
}
