// A hidden window for the tests, whose client DC is a real screen-compatible DC, and what the
// screen shows of a window.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/image_layout.h"
#include "shell/win32/framework/native_wnd.h"

class CTestWindow : public CNativeWnd {
public:
    CTestWindow(int width = 64, int height = 48)
    {
        CreateEx(0, AfxRegisterWndClass(0, nullptr, nullptr, nullptr), L"", WS_POPUP, 0, 0, width,
                 height, nullptr, 0);
    }
};

// The window's pixels as the screen shows them, in the image layout.
inline std::vector<std::uint8_t> ReadWindowPixels(HWND window, int width, int height)
{
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    std::vector<std::uint8_t> pixels(ImageSize(width, height));
    GetDIBits(memory, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}
