// A window of the program with its native handle. The handle's messages come to the virtual
// WindowProc of the object; a handler that wants the handling the message would get without
// the object calls Default().
#pragma once

#include <string>

#include "platform/win32/win32_api.h"
#include "platform/window.h"

class CNativeWnd : public CWnd {
public:
    CNativeWnd() = default;
    // A window still alive is destroyed without its messages reaching this object.
    ~CNativeWnd() override;

    void* GetSafeHwnd() const override { return m_hWnd; }
    CSize GetClientSize() const override;

    // Creates the window with this object attached from its first message on. False when the
    // system refused it or the creation handler returned -1.
    bool CreateEx(DWORD exStyle, const std::wstring& className, const std::wstring& title,
                  DWORD style, int x, int y, int width, int height, HWND hParent, UINT id);
    // The operations below do nothing when there is no window.
    bool DestroyWindow();
    void MoveWindow(int x, int y, int width, int height, bool repaint);
    void SetWindowPos(HWND hInsertAfter, int x, int y, int width, int height, UINT flags);
    void Invalidate(bool erase);

    HWND m_hWnd = nullptr;

protected:
    // One message for this window; the base gives every message the default handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default handling of the message being handled now.
    LRESULT Default();
    // What Default() does for this kind of window: DefWindowProc for plain windows.
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Runs WindowProc for one message, remembering it for Default(). passedOn tells whether
    // the handler asked for the default handling.
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, bool* pPassedOn = nullptr);

private:
    struct CurrentMessage {
        UINT message = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        bool passedOn = false;
    };
    CurrentMessage m_current;

    static LRESULT CALLBACK StandardWndProc(HWND hWnd, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    friend std::wstring AfxRegisterWndClass(UINT, HCURSOR, HBRUSH, HICON);
};

// Registers, once per combination, a window class for CNativeWnd windows with these
// properties, and returns its name.
std::wstring AfxRegisterWndClass(UINT classStyle, HCURSOR hCursor, HBRUSH hBackground,
                                 HICON hIcon);
