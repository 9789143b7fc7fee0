// Makes the render context's picture buffers run out after a given number of allocations.
#pragma once

#include "engine/render_context.h"
#include "platform/system.h"

class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(int allocationsLeft) : m_pPrevious(g_pAllocateImage)
    {
        s_allocationsLeft = allocationsLeft;
        g_pAllocateImage = Allocate;
    }
    ~ScopedMemoryLimit() { g_pAllocateImage = m_pPrevious; }
    ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
    ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

private:
    static ImageBuffer Allocate(std::size_t size)
    {
        return s_allocationsLeft-- > 0 ? platform::AllocateLarge(size) : ImageBuffer();
    }

    static inline int s_allocationsLeft = 0;
    ImageAllocator m_pPrevious;
};
