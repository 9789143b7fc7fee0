/* Reads window state for the end-to-end tests. Runs under Wine beside the program it looks at.
 *   probe list              every top-level window, topmost first
 *   probe controls HANDLE   the child windows of one window
 *   probe focus             the foreground window, the window with the keyboard focus and
 *                           its control id, as handle, handle, id
 *   probe activate HANDLE   makes a window the foreground window, as the task switcher would
 *                           (there is none without a desktop shell)
 *   probe close HANDLE      posts WM_CLOSE to a window, as its close box would
 *   probe monitors          every monitor as left,top,right,bottom
 *   probe pictures          the user's Pictures folder
 *   probe shortcut PATH     a shell link's target, arguments and description, tab-separated
 * Coordinates are device pixels whatever the system's DPI setting.
 * One window per line, six fields separated by tabs:
 *   visible flag (top-level) or control id (child), handle, X window id (top-level; 0 for a
 *   child or a window not mapped yet), class, rect (screen coordinates left,top,right,bottom),
 *   title or text in UTF-8. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shlobj.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void WriteUtf8(const wchar_t* text)
{
    char buffer[8192];
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    if (length <= 1) {
        return;
    }
    /* Line breaks inside a text would split its record. */
    for (char* p = buffer; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n' || *p == '\t') {
            *p = ' ';
        }
    }
    fputs(buffer, stdout);
}

static void WriteWindow(HWND hWnd, long long first, unsigned long xWindow)
{
    wchar_t className[256] = L"";
    wchar_t text[4096] = L"";
    RECT rect = {0, 0, 0, 0};
    GetClassNameW(hWnd, className, 256);
    /* WM_GETTEXT reaches edit boxes of other processes too. */
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, (LPARAM)text, SMTO_ABORTIFHUNG, 2000, NULL);
    GetWindowRect(hWnd, &rect);
    printf("%lld\t%lld\t%lu\t", first, (long long)(INT_PTR)hWnd, xWindow);
    WriteUtf8(className);
    printf("\t%ld,%ld,%ld,%ld\t", rect.left, rect.top, rect.right, rect.bottom);
    WriteUtf8(text);
    fputc('\n', stdout);
}

static BOOL CALLBACK ListTopLevel(HWND hWnd, LPARAM unused)
{
    (void)unused;
    /* The X11 driver keeps the X window of every top-level window in this property. */
    const HANDLE xWindow = GetPropA(hWnd, "__wine_x11_whole_window");
    WriteWindow(hWnd, IsWindowVisible(hWnd) ? 1 : 0, (unsigned long)(UINT_PTR)xWindow);
    return TRUE;
}

static BOOL CALLBACK ListChild(HWND hWnd, LPARAM unused)
{
    (void)unused;
    WriteWindow(hWnd, GetDlgCtrlID(hWnd), 0);
    return TRUE;
}

static BOOL CALLBACK ListMonitor(HMONITOR monitor, HDC hdc, LPRECT rect, LPARAM unused)
{
    (void)monitor;
    (void)hdc;
    (void)unused;
    printf("%ld,%ld,%ld,%ld\n", rect->left, rect->top, rect->right, rect->bottom);
    return TRUE;
}

static int ShowShortcut(const char* path)
{
    wchar_t widePath[MAX_PATH], target[MAX_PATH], arguments[1024], description[1024];
    IShellLinkW* link = NULL;
    IPersistFile* file = NULL;
    int status = 2;
    if (!MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) ||
        FAILED(CoInitialize(NULL))) {
        return 2;
    }
    if (SUCCEEDED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW,
                                   (void**)&link))) {
        if (SUCCEEDED(link->lpVtbl->QueryInterface(link, &IID_IPersistFile, (void**)&file))) {
            if (SUCCEEDED(file->lpVtbl->Load(file, widePath, STGM_READ)) &&
                link->lpVtbl->GetPath(link, target, MAX_PATH, NULL, 0) == S_OK &&
                SUCCEEDED(link->lpVtbl->GetArguments(link, arguments, 1024)) &&
                SUCCEEDED(link->lpVtbl->GetDescription(link, description, 1024))) {
                WriteUtf8(target);
                fputc('\t', stdout);
                WriteUtf8(arguments);
                fputc('\t', stdout);
                WriteUtf8(description);
                fputc('\n', stdout);
                status = 0;
            }
            file->lpVtbl->Release(file);
        }
        link->lpVtbl->Release(link);
    }
    CoUninitialize();
    return status;
}

static HWND ParseHandle(const char* text)
{
    return (HWND)(INT_PTR)strtoll(text, NULL, 10);
}

int main(int argc, char** argv)
{
    SetProcessDPIAware();
    if (argc == 2 && strcmp(argv[1], "list") == 0) {
        EnumWindows(ListTopLevel, 0);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "controls") == 0) {
        const HWND hWnd = ParseHandle(argv[2]);
        if (!IsWindow(hWnd)) {
            return 2;
        }
        EnumChildWindows(hWnd, ListChild, 0);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "focus") == 0) {
        GUITHREADINFO info;
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(0, &info)) {
            return 2;
        }
        printf("%lld\t%lld\t%d\n", (long long)(INT_PTR)GetForegroundWindow(),
               (long long)(INT_PTR)info.hwndFocus, info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "activate") == 0) {
        const HWND hWnd = ParseHandle(argv[2]);
        return IsWindow(hWnd) && SetForegroundWindow(hWnd) ? 0 : 2;
    }
    if (argc == 3 && strcmp(argv[1], "close") == 0) {
        return PostMessageW(ParseHandle(argv[2]), WM_CLOSE, 0, 0) ? 0 : 2;
    }
    if (argc == 2 && strcmp(argv[1], "monitors") == 0) {
        return EnumDisplayMonitors(NULL, NULL, ListMonitor, 0) ? 0 : 2;
    }
    if (argc == 2 && strcmp(argv[1], "pictures") == 0) {
        PWSTR folder = NULL;
        if (SHGetKnownFolderPath(&FOLDERID_Pictures, 0, NULL, &folder) != S_OK) {
            return 2;
        }
        WriteUtf8(folder);
        fputc('\n', stdout);
        CoTaskMemFree(folder);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "shortcut") == 0) {
        return ShowShortcut(argv[2]);
    }
    fputs("usage: probe list | controls HANDLE | focus | activate HANDLE | close HANDLE |"
          " monitors | pictures | shortcut PATH\n", stderr);
    return 1;
}
