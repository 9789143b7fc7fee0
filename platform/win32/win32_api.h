// The Windows headers as the backend and the shell include them, and the helpers every text
// crossing into the wide API goes through. Texts of the program are UTF-8; the system's are
// UTF-16, so the "W" functions show Japanese correctly whatever the system's code page.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// The platform API has a TextOut of its own, which this macro would rename.
#undef TextOut

#include <string>

namespace platform::win32 {

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

// The program's title: the executable's file name without folder and extension.
std::wstring ProgramTitle();

// A message box with the program's title, owned by the calling thread's active window so
// that it shows above it. Returns the button pressed.
int ShowMessageBox(const std::string& text, UINT type);

}  // namespace platform::win32
