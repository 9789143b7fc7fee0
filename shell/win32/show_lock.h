// One full-screen show at a time in a user's session: a show holds a named mutex while it
// runs, so that a second screen saver, or a second start, leaves the running show alone
// instead of covering it and saving into the same slots. A preview holds none.
#pragma once

#include "platform/win32/win32_api.h"

class CShowLock {
public:
    CShowLock() = default;
    CShowLock(const CShowLock&) = delete;
    CShowLock& operator=(const CShowLock&) = delete;
    ~CShowLock() { Release(); }

    // Takes the lock for dialog, the control dialog of the show about to start, and marks the
    // dialog so that another launch can find it. False when a show of another process holds it.
    bool Acquire(HWND hDialog);
    void Release();

private:
    HANDLE m_hMutex = nullptr;
    HWND m_hDialog = nullptr;
};

// When a show runs: brings its control dialog to the front and returns true.
bool BringRunningShowForward();
