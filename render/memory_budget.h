// How much memory a show of a given size may take, decided before it takes any: a machine
// that grants every allocation would otherwise have its kernel end the program later.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// Bytes a show of width × height needs beside its transition frames: its three images, the
// headless window's surface and room to work in.
std::uint64_t ShowMemory(int width, int height);

// How many transition frames (at most wanted) fit beside the show in available bytes, leaving
// a quarter of what the show leaves to the rest of the machine; nothing when not even the show
// fits.
std::optional<std::size_t> FramesThatFit(std::uint64_t available, int width, int height,
                                         std::size_t wanted);

// FramesThatFit for the memory this process can take now: what the system reports
// available, free swap included, and no more than the address-space limit leaves. When not
// even the show fits, problem says so.
std::optional<std::size_t> PlanFrames(int width, int height, std::size_t wanted,
                                      std::string& problem);
