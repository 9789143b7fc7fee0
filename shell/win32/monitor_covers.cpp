#include "shell/win32/monitor_covers.h"

#include "shell/win32/saver_messages.h"

namespace {

class CCoverWnd : public CNativeWnd {
public:
    explicit CCoverWnd(CNativeWnd& requestTarget) : m_requestTarget(requestTarget) {}

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_LBUTTONDOWN:
            RequestStop();
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                RequestStop();
            }
            break;
        case WM_CLOSE:
            RequestStop();
            return 0;
        default:
            break;
        }
        return CNativeWnd::WindowProc(message, wParam, lParam);
    }

private:
    void RequestStop()
    {
        if (m_requestTarget.m_hWnd != nullptr) {
            PostMessageW(m_requestTarget.m_hWnd, WM_SAVER_STOP, 0, 0);
        }
    }

    CNativeWnd& m_requestTarget;
};

BOOL CALLBACK CollectMonitor(HMONITOR /*hMonitor*/, HDC /*hdc*/, LPRECT pRect, LPARAM lParam)
{
    reinterpret_cast<std::vector<RECT>*>(lParam)->push_back(*pRect);
    return TRUE;
}

bool Inside(const RECT& monitor, const DisplayRect& area)
{
    return monitor.left >= area.left && monitor.top >= area.top &&
           monitor.right <= area.left + area.width && monitor.bottom <= area.top + area.height;
}

}  // namespace

void CMonitorCovers::Cover(const DisplayRect& showArea, CNativeWnd& requestTarget)
{
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&monitors));
    const std::wstring className =
        AfxRegisterWndClass(0, LoadCursorA(nullptr, IDC_ARROW),
                            static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), nullptr);
    for (const RECT& monitor : monitors) {
        if (Inside(monitor, showArea)) {
            continue;
        }
        auto cover = std::make_unique<CCoverWnd>(requestTarget);
        // Shown without activation: the keyboard stays with the show.
        if (cover->CreateEx(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, className, L"",
                            WS_POPUP, monitor.left, monitor.top, monitor.right - monitor.left,
                            monitor.bottom - monitor.top, nullptr, 0)) {
            ShowWindow(cover->m_hWnd, SW_SHOWNOACTIVATE);
            m_covers.push_back(std::move(cover));
        }
    }
}

void CMonitorCovers::Remove()
{
    m_covers.clear();  // each window is destroyed with its object
}
