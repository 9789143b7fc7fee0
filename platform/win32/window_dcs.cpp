// Device contexts of windows. A window without a native handle gets an invalid DC, never the
// screen's: a null handle would mean the whole desktop to GetDC.
#include "platform/win32/dc_state.h"
#include "platform/win32/paint_dc.h"
#include "platform/window.h"

namespace {

// Binds the DC to the window's handle and opens it with open(hwnd, state); nothing for a window
// without a handle. What was opened is given back even when the open failed: a paint's
// EndPaint is due after any BeginPaint.
template <typename Open>
void OpenWindowDC(CDC::State& state, CWnd* pWnd, CDC::State::Release release, Open open)
{
    state.hwnd = pWnd != nullptr ? static_cast<HWND>(pWnd->GetSafeHwnd()) : nullptr;
    if (state.hwnd == nullptr) {
        return;
    }
    state.hdc = open(state.hwnd, state);
    state.release = state.hdc != nullptr || release == CDC::State::Release::EndPaint
                        ? release
                        : CDC::State::Release::None;
}

}  // namespace

CClientDC::CClientDC(CWnd* pWnd)
{
    OpenWindowDC(GetState(), pWnd, State::Release::ReleaseDC,
                 [](HWND hwnd, State&) { return GetDC(hwnd); });
}

// Giving the DC back is ~CDC's job: it first selects the DC's own objects back.
CClientDC::~CClientDC() = default;

CWindowDC::CWindowDC(CWnd* pWnd)
{
    OpenWindowDC(GetState(), pWnd, State::Release::ReleaseDC,
                 [](HWND hwnd, State&) { return GetWindowDC(hwnd); });
}

CWindowDC::~CWindowDC() = default;

CPaintDC::CPaintDC(CWnd* pWnd)
{
    OpenWindowDC(GetState(), pWnd, State::Release::EndPaint,
                 [](HWND hwnd, State& state) { return BeginPaint(hwnd, &state.paint); });
}

CPaintDC::~CPaintDC() = default;
