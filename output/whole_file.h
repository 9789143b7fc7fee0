// Files written whole or not at all.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Where output files are opened: platform::OpenFile, unless a test makes a disk run full.
using OutputFileOpener = std::FILE* (*)(const std::string& path, const char* mode);
extern OutputFileOpener g_pOpenOutputFile;

// Writes path through writeContents, which returns false when it could not write everything.
// Elsewhere than on Windows the contents go to a temporary name in the same folder, renamed
// over path once complete, so that an older file of that name survives a failed or interrupted
// write and no partial file is ever left behind. On Windows the file is written in place, as
// the saver always has. False, with errno telling why where known, when the file could not be
// written completely.
bool WriteWholeFile(const std::string& path,
                    const std::function<bool(std::FILE* pFile)>& writeContents);
