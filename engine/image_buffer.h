// Picture buffers: a whole picture in the common layout, from the C heap, so that running out
// of memory is seen, not thrown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using ImageBuffer = std::unique_ptr<std::uint8_t[], FreeDeleter>;

// Where picture buffers come from: platform::AllocateLarge, unless a test makes memory run out.
using ImageAllocator = void* (*)(std::size_t size);
extern ImageAllocator g_pAllocateImage;
// A zero-filled buffer of size bytes from g_pAllocateImage; null when there is no memory.
ImageBuffer AllocateImage(std::size_t size);
