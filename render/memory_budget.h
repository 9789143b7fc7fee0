// How much memory a show of a given size may take, decided before it takes any: a machine
// that grants every allocation would otherwise have its kernel end the program later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "render/memory_limits.h"

// Bytes a show of width × height needs beside its transition film: its three images and the
// headless window's surface, threadBytes for each thread it runs at once (`threads` render
// workers and a few others), and room for the rest (caption, fonts, the libraries' needs).
std::uint64_t ShowMemory(int width, int height, int threads, std::uint64_t threadBytes);

// What each thread takes of memory (its scratch and the part of its stack it uses) and of
// address space (the whole stack it is given, and its scratch).
std::uint64_t ThreadMemory();
std::uint64_t ThreadAddressSpace();

// How many pictures (at most wanted) fit beside a show with `threads` render workers in the
// room left, leaving a quarter of what the show leaves to the rest of the machine; nothing
// when not even the show fits.
std::optional<std::size_t> PicturesThatFit(const MemoryRoom& room, int width, int height,
                                           int threads, std::size_t wanted);

// What a show runs with: its render workers, and the pictures that fit beside its own.
struct ShowPlan {
    int threads = 0;
    std::size_t pictures = 0;
};

// The plan for the room this process has now (MemoryLeft): `threads` render workers (0: one
// per processor), or as many as fit when their stacks do not, then up to wanted pictures
// (PicturesThatFit). Nothing, and problem saying why, when not even one worker fits.
std::optional<ShowPlan> PlanShow(int width, int height, int threads, std::size_t wanted,
                                 std::string& problem);
