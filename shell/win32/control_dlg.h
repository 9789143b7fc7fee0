// The program's main window and the hub of the show: it explains the variant set, holds the
// maximum picture count, starts the show (show area, screen window, tour thread), stops it,
// and receives the private messages of the tour thread and the screen window.
#pragma once

#include <atomic>
#include <string>

#include "engine/tour.h"
#include "shell/win32/framework/dialog.h"
#include "shell/win32/monitor_covers.h"
#include "shell/win32/show_lock.h"

class CScreenWnd;

class CControlDlg : public CDialog, public ITourOwner {
public:
    // bScreenSaver: start the show at once and end the process when it is interrupted; else
    // wait for the start button. hOwner: the window that asked for the settings, or none.
    explicit CControlDlg(bool bScreenSaver, HWND hOwner = nullptr);

    // What the tour thread uses of the dialog.
    CRenderContext* GetRenderContext() override;
    int GetMaxImages() override;
    void RequestRedraw() override;

protected:
    BOOL OnInitDialog() override;
    // Esc in the dialog: stop the show first, so that no thread outlives what it uses.
    void OnCancel() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnSysCommand(UINT nID);
    void OnStart();
    void OnExit();
    void OnChangeMaxImages();
    void OnClose();
    LRESULT OnSaverRedraw();
    LRESULT OnSaverStop();

    // A screen saver's running show keeps the keyboard: the dialog below it must not take it.
    bool ShowHasKeyboard() const;
    // The stop sequence up to closing the dialog; false when no show was running.
    bool StopShow();
    // The screen window could not be made: say so and end the program.
    void ReportCreationFailure();
    // Sends the pictures beside the program or else to the user's Pictures folder, and
    // remembers the first that could not be saved.
    void PrepareSaving();

    const bool m_bScreenSaver;
    CScreenWnd* m_pScreenWnd = nullptr;
    std::atomic<int> m_nMaxImages{10};
    HICON m_hIcon;
    CShowLock m_showLock;
    CMonitorCovers m_covers;
    // Why pictures of the show were not saved; written by the tour thread until it ends, read
    // after that.
    std::string m_strSaveProblem;
};
