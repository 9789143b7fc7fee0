// CDC over a native device context.
#include <algorithm>
#include <cstring>

#include "platform/win32/dc_state.h"

namespace {

static_assert(sizeof(BITMAPINFOHEADER) == sizeof(BitmapInfoHeader),
              "the platform's DIB header must match the native one");

BITMAPINFO ToBitmapInfo(const BitmapInfoHeader& header)
{
    BITMAPINFO info{};
    std::memcpy(&info.bmiHeader, &header, sizeof header);
    return info;
}

template <class T>
T* SelectInto(HDC hdc, SelectionSlot<T>& slot, T* pObject)
{
    if (hdc == nullptr || pObject == nullptr || pObject->IsEmpty()) {
        return nullptr;
    }
    const HGDIOBJ previous = ::SelectObject(hdc, static_cast<HGDIOBJ>(pObject->GetSafeHandle()));
    if (previous == nullptr || previous == HGDI_ERROR) {
        return nullptr;
    }

    T* pPrevious = nullptr;
    if (previous == slot.hSelected) {
        pPrevious = slot.pSelected;
    } else {
        const auto known =
            std::find_if(slot.borrowed.begin(), slot.borrowed.end(),
                         [&](const auto& p) { return p->GetSafeHandle() == previous; });
        if (known != slot.borrowed.end()) {
            pPrevious = known->get();
        } else {
            slot.borrowed.push_back(std::make_unique<CBorrowedObject<T>>(previous));
            pPrevious = slot.borrowed.back().get();
        }
    }
    slot.hSelected = pObject->GetSafeHandle();
    slot.pSelected = pObject;
    return pPrevious;
}

// Puts the DC's own object of this kind back, so that no object of the program stays
// selected in a DC that is given back.
template <class T>
void SelectOriginal(HDC hdc, const SelectionSlot<T>& slot)
{
    if (!slot.borrowed.empty()) {
        ::SelectObject(hdc, static_cast<HGDIOBJ>(slot.borrowed.front()->GetSafeHandle()));
    }
}

}  // namespace

CDC::CDC() : m_pState(std::make_unique<State>()) {}

CDC::~CDC()
{
    State& state = *m_pState;
    if (state.hdc != nullptr) {
        SelectOriginal(state.hdc, state.pen);
        SelectOriginal(state.hdc, state.brush);
        SelectOriginal(state.hdc, state.font);
        SelectOriginal(state.hdc, state.bitmap);
    }
    switch (state.release) {
    case State::Release::DeleteDC:
        DeleteDC(state.hdc);
        break;
    case State::Release::ReleaseDC:
        ReleaseDC(state.hwnd, state.hdc);
        break;
    case State::Release::EndPaint:
        // Every BeginPaint gets its EndPaint, a failed one too: it gives back the caret.
        EndPaint(state.hwnd, &state.paint);
        break;
    case State::Release::None:
        break;
    }
}

bool CDC::CreateCompatibleDC(CDC* pDC)
{
    State& state = *m_pState;
    if (state.hdc != nullptr || (pDC != nullptr && !pDC->IsValid())) {
        return false;
    }
    state.hdc = ::CreateCompatibleDC(pDC != nullptr ? pDC->m_pState->hdc : nullptr);
    if (state.hdc == nullptr) {
        return false;
    }
    state.release = State::Release::DeleteDC;
    return true;
}

bool CDC::IsValid() const
{
    return m_pState->hdc != nullptr;
}

ColorRef CDC::SetTextColor(ColorRef color)
{
    return IsValid() ? ::SetTextColor(m_pState->hdc, color) : 0;
}

ColorRef CDC::SetBkColor(ColorRef color)
{
    return IsValid() ? ::SetBkColor(m_pState->hdc, color) : 0;
}

BkMode CDC::SetBkMode(BkMode mode)
{
    if (!IsValid()) {
        return BkMode::Opaque;
    }
    return static_cast<BkMode>(::SetBkMode(m_pState->hdc, static_cast<int>(mode)));
}

RasterOp CDC::SetROP2(RasterOp op)
{
    if (!IsValid()) {
        return RasterOp::CopyPen;
    }
    return static_cast<RasterOp>(::SetROP2(m_pState->hdc, static_cast<int>(op)));
}

int CDC::GetVerticalDpi() const
{
    return IsValid() ? GetDeviceCaps(m_pState->hdc, LOGPIXELSY) : 0;
}

CPen* CDC::SelectObject(CPen* pPen)
{
    return SelectInto(m_pState->hdc, m_pState->pen, pPen);
}

CBrush* CDC::SelectObject(CBrush* pBrush)
{
    return SelectInto(m_pState->hdc, m_pState->brush, pBrush);
}

CFont* CDC::SelectObject(CFont* pFont)
{
    return SelectInto(m_pState->hdc, m_pState->font, pFont);
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap)
{
    return SelectInto(m_pState->hdc, m_pState->bitmap, pBitmap);
}

void CDC::MoveTo(int x, int y)
{
    if (IsValid()) {
        MoveToEx(m_pState->hdc, x, y, nullptr);
    }
}

void CDC::LineTo(int x, int y)
{
    if (IsValid()) {
        ::LineTo(m_pState->hdc, x, y);
    }
}

void CDC::Rectangle(int left, int top, int right, int bottom)
{
    if (IsValid()) {
        ::Rectangle(m_pState->hdc, left, top, right, bottom);
    }
}

void CDC::TextOut(int x, int y, const std::string& text)
{
    if (!IsValid()) {
        return;
    }
    const std::wstring wide = platform::win32::Utf8ToWide(text);
    TextOutW(m_pState->hdc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

CSize CDC::GetTextExtent(const std::string& text)
{
    SIZE size{};
    if (IsValid()) {
        const std::wstring wide = platform::win32::Utf8ToWide(text);
        GetTextExtentPoint32W(m_pState->hdc, wide.c_str(), static_cast<int>(wide.size()), &size);
    }
    return {size.cx, size.cy};
}

int CDC::GetDIBits(CBitmap* pBitmap, int nStartRow, int nLines, void* pBits,
                   const BitmapInfoHeader& header)
{
    if (!IsValid() || pBitmap == nullptr || pBitmap->IsEmpty()) {
        return 0;
    }
    State& state = *m_pState;
    const HGDIOBJ hBitmap = static_cast<HGDIOBJ>(pBitmap->GetSafeHandle());
    // GDI wants the bitmap out of every DC while it is read: lend the DC its own bitmap back
    // for the moment.
    const bool selectedHere =
        state.bitmap.hSelected == hBitmap && !state.bitmap.borrowed.empty();
    if (selectedHere) {
        SelectOriginal(state.hdc, state.bitmap);
    }
    BITMAPINFO info = ToBitmapInfo(header);
    const int lines = ::GetDIBits(state.hdc, static_cast<HBITMAP>(hBitmap), nStartRow, nLines,
                                  pBits, &info, DIB_RGB_COLORS);
    if (selectedHere) {
        ::SelectObject(state.hdc, hBitmap);
    }
    return lines;
}

int CDC::StretchDIBits(int xDest, int yDest, int nDestWidth, int nDestHeight, int xSrc, int ySrc,
                       int nSrcWidth, int nSrcHeight, const void* pBits,
                       const BitmapInfoHeader& header)
{
    if (!IsValid()) {
        return 0;
    }
    const BITMAPINFO info = ToBitmapInfo(header);
    return ::StretchDIBits(m_pState->hdc, xDest, yDest, nDestWidth, nDestHeight, xSrc, ySrc,
                           nSrcWidth, nSrcHeight, pBits, &info, DIB_RGB_COLORS, SRCCOPY);
}
