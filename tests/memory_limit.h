// Makes the render context's picture buffers run out after a given number of allocations.
#pragma once

#include <cstdlib>

#include "engine/render_context.h"

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
    static void* Allocate(std::size_t size)
    {
        return s_allocationsLeft-- > 0 ? std::calloc(1, size) : nullptr;
    }

    static inline int s_allocationsLeft = 0;
    ImageAllocator m_pPrevious;
};
