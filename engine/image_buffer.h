// Picture buffers: a whole picture in the common layout, from platform::AllocateLarge, so
// that running out of memory is seen, not thrown.
#pragma once

#include <cstddef>

#include "platform/system.h"

using ImageBuffer = platform::LargeBlock;

// Where picture buffers come from: platform::AllocateLarge, unless a test makes memory run out.
using ImageAllocator = ImageBuffer (*)(std::size_t size);
extern ImageAllocator g_pAllocateImage;
// A zero-filled buffer of size bytes from g_pAllocateImage; null when there is no memory.
ImageBuffer AllocateImage(std::size_t size);
