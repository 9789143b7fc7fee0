#include "shell/win32/show_lock.h"

namespace {

// In the session's own namespace: other users' shows are theirs.
constexpr wchar_t kMutexName[] = L"Local\\Orvane.Show";
// The window property that marks the control dialog of the running show.
constexpr wchar_t kDialogMark[] = L"Orvane.ShowDialog";

BOOL CALLBACK FindMarkedDialog(HWND hWnd, LPARAM lParam)
{
    if (GetPropW(hWnd, kDialogMark) == nullptr) {
        return TRUE;
    }
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

}  // namespace

bool CShowLock::Acquire(HWND hDialog)
{
    if (m_hMutex != nullptr) {
        return true;
    }
    // The mutex exists while some show holds a handle to it: its existence is the lock.
    const HANDLE hMutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (hMutex == nullptr) {
        return true;  // no lock to be had: one show more rather than none
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(hMutex);
        return false;
    }
    m_hMutex = hMutex;
    m_hDialog = hDialog;
    SetPropW(m_hDialog, kDialogMark, reinterpret_cast<HANDLE>(1));
    return true;
}

void CShowLock::Release()
{
    if (m_hMutex == nullptr) {
        return;
    }
    RemovePropW(m_hDialog, kDialogMark);
    CloseHandle(m_hMutex);
    m_hMutex = nullptr;
    m_hDialog = nullptr;
}

bool BringRunningShowForward()
{
    const HANDLE hMutex = OpenMutexW(SYNCHRONIZE, FALSE, kMutexName);
    if (hMutex == nullptr) {
        return false;
    }
    CloseHandle(hMutex);
    HWND hDialog = nullptr;
    EnumWindows(FindMarkedDialog, reinterpret_cast<LPARAM>(&hDialog));
    if (hDialog != nullptr) {
        SetForegroundWindow(hDialog);
    }
    return true;
}
