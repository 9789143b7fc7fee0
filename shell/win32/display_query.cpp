#include "shell/win32/display_query.h"

#include <cstddef>
#include <cstdio>

#include "platform/win32/win32_api.h"

namespace {

// The display record up to dmReserved2, without the panning fields of later headers.
constexpr DWORD kDisplayRecordSize = 148;
static_assert(offsetof(DEVMODEA, dmPanningWidth) == kDisplayRecordSize);

}  // namespace

std::optional<DisplayRect> QueryDisplay(int number)
{
    char deviceName[32];
    std::snprintf(deviceName, sizeof deviceName, "\\\\.\\Display%d", number);
    DEVMODEA mode{};
    mode.dmSize = kDisplayRecordSize;
    if (EnumDisplaySettingsA(deviceName, ENUM_CURRENT_SETTINGS, &mode) == FALSE) {
        return std::nullopt;
    }
    return DisplayRect{static_cast<int>(mode.dmPosition.x), static_cast<int>(mode.dmPosition.y),
                       static_cast<int>(mode.dmPelsWidth), static_cast<int>(mode.dmPelsHeight)};
}

DisplayRect PrimaryDisplay()
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    return DisplayRect{0, 0, width, height};
}
