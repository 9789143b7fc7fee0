// The Windows half of the kernel services: threads, the program's own path and its message
// box.
#include "platform/system.h"

#include <process.h>

#include <cstdint>
#include <cstdlib>
#include <new>

#include "platform/win32/win32_api.h"

namespace platform {

namespace {

struct ThreadStart {
    ThreadProc proc;
    void* pParam;
};

unsigned __stdcall RunThread(void* pStart)
{
    const ThreadStart start = *static_cast<ThreadStart*>(pStart);
    delete static_cast<ThreadStart*>(pStart);
    return start.proc(start.pParam);
}

std::wstring ModuleFileName()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        // A full buffer means the path may have been cut: try again with more room.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

// Through the C runtime, not a detached std::thread: MinGW's pthreads can free a thread's
// bookkeeping twice when the thread ends before the detach, which lost render workers
// (and so hung the show) or crashed it.
bool BeginThread(ThreadProc proc, void* pParam, int processor)
{
    auto* pStart = new (std::nothrow) ThreadStart{proc, pParam};
    if (pStart == nullptr) {
        return false;
    }
    const std::uintptr_t handle = _beginthreadex(nullptr, 0, RunThread, pStart, 0, nullptr);
    if (handle == 0) {
        delete pStart;
        return false;
    }
    if (processor != kAnyProcessor) {
        // Windows takes it as the processor to prefer, which is all the caller asks.
        SetThreadIdealProcessor(reinterpret_cast<HANDLE>(handle), static_cast<DWORD>(processor));
    }
    CloseHandle(reinterpret_cast<HANDLE>(handle));
    return true;
}

int CurrentProcessor() { return static_cast<int>(GetCurrentProcessorNumber()); }

LargeBlock AllocateLarge(std::size_t size)
{
    return LargeBlock(static_cast<std::uint8_t*>(std::calloc(1, size)), {size});
}

void LargeBlockRelease::operator()(std::uint8_t* p) const { std::free(p); }

std::string GetModulePath()
{
    return win32::WideToUtf8(ModuleFileName());
}

void ShowMessage(const std::string& text)
{
    win32::ShowMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

namespace win32 {

std::wstring ProgramTitle()
{
    std::wstring name = ModuleFileName();
    const std::size_t folderEnd = name.find_last_of(L"\\/");
    if (folderEnd != std::wstring::npos) {
        name.erase(0, folderEnd + 1);
    }
    const std::size_t extension = name.rfind(L'.');
    if (extension != std::wstring::npos) {
        name.erase(extension);
    }
    return name;
}

int ShowMessageBox(const std::string& text, UINT type)
{
    return MessageBoxW(GetActiveWindow(), Utf8ToWide(text).c_str(), ProgramTitle().c_str(), type);
}

}  // namespace win32

}  // namespace platform
