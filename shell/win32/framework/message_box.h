// The program's message boxes: modal, with the program's title.
#pragma once

#include <string>

#include "platform/win32/win32_api.h"

// The exclamation icon unless type names another.
int AfxMessageBox(const std::string& text, UINT type = MB_OK);
