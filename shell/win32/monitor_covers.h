// Plain black topmost windows over the monitors a screen saver's show leaves out, so that the
// desktop, possibly private, does not stay in view beside it. A left click or Esc on one ends
// the show as on the show itself.
#pragma once

#include <memory>
#include <vector>

#include "shell/win32/framework/native_wnd.h"
#include "show/display_area.h"

class CMonitorCovers {
public:
    // Covers every monitor that does not lie wholly inside showArea; the covers post their
    // stop requests to requestTarget. They never take the keyboard from the show.
    void Cover(const DisplayRect& showArea, CNativeWnd& requestTarget);
    void Remove();

private:
    std::vector<std::unique_ptr<CNativeWnd>> m_covers;
};
