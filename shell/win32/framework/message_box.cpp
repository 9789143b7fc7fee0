#include "shell/win32/framework/message_box.h"

int AfxMessageBox(const std::string& text, UINT type)
{
    if ((type & MB_ICONMASK) == 0) {
        type |= MB_ICONEXCLAMATION;
    }
    return platform::win32::ShowMessageBox(text, type);
}
