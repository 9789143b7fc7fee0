// Device contexts of windows. A window without a native handle gets an invalid DC, never the
// screen's: a null handle would mean the whole desktop to GetDC.
#include "platform/win32/dc_state.h"
#include "platform/win32/paint_dc.h"
#include "platform/window.h"

namespace {

HWND HandleOf(CWnd* pWnd)
{
    return pWnd != nullptr ? static_cast<HWND>(pWnd->GetSafeHwnd()) : nullptr;
}

}  // namespace

CClientDC::CClientDC(CWnd* pWnd)
{
    State& state = GetState();
    state.hwnd = HandleOf(pWnd);
    if (state.hwnd == nullptr) {
        return;
    }
    state.hdc = GetDC(state.hwnd);
    state.release = State::Release::ReleaseDC;
}

// Giving the DC back is ~CDC's job: it first selects the DC's own objects back.
CClientDC::~CClientDC() = default;

CWindowDC::CWindowDC(CWnd* pWnd)
{
    State& state = GetState();
    state.hwnd = HandleOf(pWnd);
    if (state.hwnd == nullptr) {
        return;
    }
    state.hdc = GetWindowDC(state.hwnd);
    state.release = State::Release::ReleaseDC;
}

CWindowDC::~CWindowDC() = default;

CPaintDC::CPaintDC(CWnd* pWnd)
{
    State& state = GetState();
    state.hwnd = HandleOf(pWnd);
    if (state.hwnd == nullptr) {
        return;
    }
    state.hdc = BeginPaint(state.hwnd, &state.paint);
    state.release = State::Release::EndPaint;
}

CPaintDC::~CPaintDC() = default;
