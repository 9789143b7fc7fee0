// What a device context of the Win32 backend keeps: the native DC, how to give it back, and
// the drawing objects selected through it, so that SelectObject can return the previous
// selection as one of the program's objects.
#pragma once

#include <memory>
#include <vector>

#include "platform/gdi.h"
#include "platform/win32/win32_api.h"

// A drawing object around a native object it does not own: what the DC had selected before
// the program's first select. Selecting it back works; destroying it leaves the native
// object alone.
template <class T>
class CBorrowedObject final : public T {
public:
    explicit CBorrowedObject(HGDIOBJ handle) { this->m_hObject = handle; }
    ~CBorrowedObject() override { this->m_hObject = nullptr; }
};

// The objects of one kind that have been selected into one DC.
template <class T>
struct SelectionSlot {
    HGDIOBJ hSelected = nullptr;  // the native object selected through this DC last
    T* pSelected = nullptr;       // and its wrapper
    // Wrappers of objects found selected without the program's doing; the first is the
    // DC's own object from before the first select.
    std::vector<std::unique_ptr<T>> borrowed;
};

struct CDC::State {
    enum class Release { None, DeleteDC, ReleaseDC, EndPaint };

    HDC hdc = nullptr;
    Release release = Release::None;
    HWND hwnd = nullptr;
    PAINTSTRUCT paint{};

    SelectionSlot<CPen> pen;
    SelectionSlot<CBrush> brush;
    SelectionSlot<CFont> font;
    SelectionSlot<CBitmap> bitmap;
};
