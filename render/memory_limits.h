// How much memory this process may still take, from every place that limits it: the machine,
// the process's own resource limits and the control group it runs in (a container, a
// systemd unit).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

// What the memory limits of the process's control group leave: the least that its group
// and every group above it leave (memory.max of cgroup v2, memory.limit_in_bytes of v1),
// reclaimable file cache counted as free. Nothing where no limit applies. root is where
// /proc and /sys are found: "/", but for tests.
std::optional<std::uint64_t> CgroupMemoryLeft(const std::filesystem::path& root = "/");

// What this process may still take, of the two kinds that limit it.
struct MemoryRoom {
    // Memory it may fill: the less of what /proc/meminfo reports available (free swap
    // included) and CgroupMemoryLeft.
    std::uint64_t memory;
    // Address space it may map, filled or not: the less of what RLIMIT_AS and RLIMIT_DATA
    // leave beside what the process has mapped already.
    std::uint64_t addressSpace;
};
MemoryRoom MemoryLeft();
