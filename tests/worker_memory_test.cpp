// A render worker that finds no memory for its samples hands its band back to the renderer,
// which renders it: the picture comes out the same, the process lives on.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

#include "engine/render_worker.h"
#include "render/headless_show.h"

namespace {

// While set, every allocation through operator new fails on any thread but this one's owner.
std::atomic<bool> g_bOthersOutOfMemory{false};
std::thread::id g_owner;

}  // namespace

// The program's own operator new takes its memory from malloc, so delete gives it back there.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    if (g_bOthersOutOfMemory && std::this_thread::get_id() != g_owner) {
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

TEST(WorkerMemory, BandsOfWorkersWithoutMemoryAreRenderedByTheRenderer)
{
    constexpr int kWidth = 96;
    constexpr int kHeight = 64;
    HeadlessShow plain(kWidth, kHeight, 2, 0);
    plain.Context().Render(-0.275, 0.735, 0.045);

    HeadlessShow starved(kWidth, kHeight, 2, 0);
    g_owner = std::this_thread::get_id();
    g_bOthersOutOfMemory = true;
    starved.Context().Render(-0.275, 0.735, 0.045);
    g_bOthersOutOfMemory = false;
    EXPECT_EQ(g_workerCensus.nAlive, 0);
    EXPECT_EQ(std::memcmp(starved.Context().m_pDisplay.get(), plain.Context().m_pDisplay.get(),
                          ImageSize(kWidth, kHeight)),
              0);
}
