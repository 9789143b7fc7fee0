// Shared by the tour engine's tests: a clock under the test's control and small pictures.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/render_context.h"
#include "platform/soft/headless_window.h"
#include "platform/system.h"

// Tick count and performance counter as the test sets them. Every tick reading advances by
// tickStep; Expire() makes the search running now see its ten seconds gone. Sleeping only
// records the wait and tells onSleep; every frequency reading, the start of an outline step's
// wait, tells onFrequency.
class FakeClock : public platform::Clock {
public:
    std::uint32_t GetTickCount() override
    {
        const std::uint32_t now = m_ticks;
        m_ticks += m_tickStep + (m_expirePending.exchange(false) ? 20000u : 0u);
        return now;
    }
    std::int64_t QueryPerformanceCounter() override
    {
        ++m_counterReads;
        const std::int64_t now = m_counter;
        m_counter += m_counterStep;
        return now;
    }
    std::int64_t QueryPerformanceFrequency() override
    {
        if (onFrequency) {
            onFrequency();
        }
        return m_frequency;
    }
    void Sleep(int milliseconds) override
    {
        m_sleeps.push_back(milliseconds);
        if (onSleep) {
            onSleep();
        }
    }
    void Expire() { m_expirePending = true; }

    std::uint32_t m_ticks = 0;
    std::uint32_t m_tickStep = 0;
    std::int64_t m_counter = 0;
    std::int64_t m_counterStep = 0;
    int m_counterReads = 0;
    std::int64_t m_frequency = 1000;
    std::vector<int> m_sleeps;
    std::function<void()> onSleep;
    std::function<void()> onFrequency;

private:
    std::atomic<bool> m_expirePending{false};
};

// Text as the platform draws it, white on a black window of width × height with its cell's top
// left corner at (x, y) of the window: the window's pixels in the common image layout.
inline std::vector<std::uint8_t> DrawnText(int width, int height, int x, int y,
                                           const char* face, int points, const std::string& text)
{
    CHeadlessWnd window(width, height);
    CClientDC dc(&window);
    CFont font;
    font.CreatePointFont(points, face, &dc);
    dc.SelectObject(&font);
    dc.SetTextColor(0xFFFFFF);
    dc.SetBkMode(BkMode::Transparent);
    dc.TextOut(x, y, text);
    return window.CopyImage();
}

// A render context on a headless window with its images, bands and palette, and no caption
// unless the test sets one.
struct SmallShow {
    SmallShow(int width, int height) : window(width, height), context(window)
    {
        context.CreateBandsAndPalette(2);
        context.AllocImages(width, height);
        context.m_sizeCaptionBox = {};
        context.m_bUnattended = true;
        context.m_bRunning = 1;
    }

    template <typename Byte>
    Byte* Pixel(Byte* image, int col, int row) const
    {
        return image + row * context.GetStride() + 3 * col;
    }
    void Fill(std::uint8_t* image, int blue, int green, int red)
    {
        for (int row = 0; row < context.m_nHeight; ++row) {
            for (int col = 0; col < context.m_nWidth; ++col) {
                Set(image, col, row, blue, green, red);
            }
        }
    }
    void Set(std::uint8_t* image, int col, int row, int blue, int green, int red)
    {
        std::uint8_t* pixel = Pixel(image, col, row);
        pixel[0] = static_cast<std::uint8_t>(blue);
        pixel[1] = static_cast<std::uint8_t>(green);
        pixel[2] = static_cast<std::uint8_t>(red);
    }

    CHeadlessWnd window;
    CRenderContext context;
};
