#include "shell/win32/framework/native_wnd.h"

#include <cwchar>

#include "shell/win32/framework/module_instance.h"

namespace {

// The object whose window this thread is creating: its first messages arrive before
// CreateWindowEx returns the handle.
thread_local CNativeWnd* t_pCreating = nullptr;

CNativeWnd* AttachedTo(HWND hWnd)
{
    return reinterpret_cast<CNativeWnd*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

}  // namespace

CNativeWnd::~CNativeWnd()
{
    if (m_hWnd != nullptr) {
        SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
        ::DestroyWindow(m_hWnd);
    }
}

CSize CNativeWnd::GetClientSize() const
{
    RECT rect{};
    if (m_hWnd != nullptr) {
        GetClientRect(m_hWnd, &rect);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

bool CNativeWnd::CreateEx(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                          DWORD style, int x, int y, int width, int height, HWND hParent, UINT id)
{
    t_pCreating = this;
    const HWND hWnd = CreateWindowExW(exStyle, className.c_str(), title.c_str(), style, x, y,
                                      width, height, hParent,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                      AfxGetInstanceHandle(), nullptr);
    t_pCreating = nullptr;
    return hWnd != nullptr;
}

bool CNativeWnd::DestroyWindow()
{
    return m_hWnd != nullptr && ::DestroyWindow(m_hWnd) != FALSE;
}

void CNativeWnd::MoveWindow(int x, int y, int width, int height, bool repaint)
{
    if (m_hWnd != nullptr) {
        ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
}

void CNativeWnd::SetWindowPos(HWND hInsertAfter, int x, int y, int width, int height, UINT flags)
{
    if (m_hWnd != nullptr) {
        ::SetWindowPos(m_hWnd, hInsertAfter, x, y, width, height, flags);
    }
}

void CNativeWnd::Invalidate(bool erase)
{
    // A null handle would invalidate every window of the desktop.
    if (m_hWnd != nullptr) {
        InvalidateRect(m_hWnd, nullptr, erase);
    }
}

LRESULT CNativeWnd::WindowProc(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/)
{
    return Default();
}

LRESULT CNativeWnd::Default()
{
    m_current.passedOn = true;
    return DefaultProc(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CNativeWnd::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CNativeWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool* pPassedOn)
{
    // Handlers may cause messages of their own: keep the outer message for its Default().
    const CurrentMessage outer = m_current;
    m_current = {message, wParam, lParam, false};
    const LRESULT result = WindowProc(message, wParam, lParam);
    if (pPassedOn != nullptr) {
        *pPassedOn = m_current.passedOn;
    }
    m_current = outer;
    return result;
}

LRESULT CALLBACK CNativeWnd::StandardWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                             LPARAM lParam)
{
    CNativeWnd* pWnd = AttachedTo(hWnd);
    if (pWnd == nullptr && t_pCreating != nullptr) {
        pWnd = t_pCreating;
        t_pCreating = nullptr;
        pWnd->m_hWnd = hWnd;
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pWnd));
    }
    if (pWnd == nullptr) {
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }

    const LRESULT result = pWnd->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        pWnd->m_hWnd = nullptr;
    }
    return result;
}

std::wstring AfxRegisterWndClass(UINT classStyle, HCURSOR hCursor, HBRUSH hBackground,
                                 HICON hIcon)
{
    wchar_t name[96];
    std::swprintf(name, sizeof name / sizeof name[0], L"Orvane:%x:%p:%p:%p", classStyle,
                  static_cast<void*>(hCursor), static_cast<void*>(hBackground),
                  static_cast<void*>(hIcon));
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    const HINSTANCE hInstance = AfxGetInstanceHandle();
    if (GetClassInfoExW(hInstance, name, &windowClass) == FALSE) {
        windowClass.style = classStyle;
        windowClass.lpfnWndProc = CNativeWnd::StandardWndProc;
        windowClass.hInstance = hInstance;
        windowClass.hCursor = hCursor;
        windowClass.hbrBackground = hBackground;
        windowClass.hIcon = hIcon;
        windowClass.lpszClassName = name;
        RegisterClassExW(&windowClass);
    }
    return name;
}
