#include "engine/image_buffer.h"

#include "platform/system.h"

ImageAllocator g_pAllocateImage = platform::AllocateLarge;

ImageBuffer AllocateImage(std::size_t size)
{
    return ImageBuffer(static_cast<std::uint8_t*>(g_pAllocateImage(size)));
}
