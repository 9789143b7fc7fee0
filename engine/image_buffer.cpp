#include "engine/image_buffer.h"

#include "platform/system.h"

ImageAllocator g_pAllocateImage = platform::AllocateLarge;

ImageBuffer AllocateImage(std::size_t size)
{
    return g_pAllocateImage(size);
}
