/* Plays the part of the Screen Saver Settings dialog for the end-to-end tests: a window with a
 * small screen in it, 152 x 112 pixels, whose handle it passes to a screen saver as Windows
 * does, "SAVER /p <handle>".
 *   saver_host SAVER
 * Prints "child HANDLE L,T,R,B" (the small screen, screen coordinates) and "process PID" once
 * the saver runs. When its window is closed (WM_CLOSE), it destroys the window and waits one
 * second for the saver to end; prints "ended after N ms with status S" and exits 0, or
 * "still running after N ms", ends the saver and exits 1. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

#define PREVIEW_WIDTH 152
#define PREVIEW_HEIGHT 112
#define END_WAIT_MS 1000

static HWND g_host;
static HWND g_preview;
static PROCESS_INFORMATION g_saver;

static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        DestroyWindow(hWnd);
        const DWORD start = GetTickCount();
        const DWORD result = WaitForSingleObject(g_saver.hProcess, END_WAIT_MS);
        const DWORD elapsed = GetTickCount() - start;
        DWORD status = 0;
        GetExitCodeProcess(g_saver.hProcess, &status);
        if (result == WAIT_OBJECT_0) {
            printf("ended after %lu ms with status %lu\n", elapsed, status);
            PostQuitMessage(0);
        } else {
            printf("still running after %lu ms\n", elapsed);
            TerminateProcess(g_saver.hProcess, 1);
            PostQuitMessage(1);
        }
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fputs("usage: saver_host SAVER\n", stderr);
        return 2;
    }
    SetProcessDPIAware();
    WNDCLASSW hostClass = {0};
    hostClass.lpfnWndProc = HostProc;
    hostClass.hInstance = GetModuleHandleW(NULL);
    hostClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    hostClass.lpszClassName = L"SaverHost";
    RegisterClassW(&hostClass);
    /* The small screen is a uniform grey until the saver draws into it. */
    WNDCLASSW screenClass = {0};
    screenClass.lpfnWndProc = DefWindowProcW;
    screenClass.hInstance = hostClass.hInstance;
    screenClass.hbrBackground = GetStockObject(GRAY_BRUSH);
    screenClass.lpszClassName = L"SaverHostScreen";
    RegisterClassW(&screenClass);

    g_host = CreateWindowW(L"SaverHost", L"Saver host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40,
                           300, 260, NULL, NULL, hostClass.hInstance, NULL);
    g_preview = CreateWindowW(L"SaverHostScreen", L"", WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 30, 30,
                              PREVIEW_WIDTH, PREVIEW_HEIGHT, g_host, NULL, hostClass.hInstance,
                              NULL);
    if (g_host == NULL || g_preview == NULL) {
        return 2;
    }
    UpdateWindow(g_host);

    wchar_t commandLine[1024];
    swprintf(commandLine, 1024, L"\"%ls\" /p %lld", argv[1], (long long)(INT_PTR)g_preview);
    STARTUPINFOW startup = {0};
    startup.cb = sizeof startup;
    if (!CreateProcessW(argv[1], commandLine, NULL, NULL, FALSE, 0, NULL, NULL, &startup,
                        &g_saver)) {
        fprintf(stderr, "cannot start the saver: error %lu\n", GetLastError());
        return 2;
    }
    RECT rect;
    GetWindowRect(g_preview, &rect);
    printf("child %lld %ld,%ld,%ld,%ld\nprocess %lu\n", (long long)(INT_PTR)g_preview, rect.left,
           rect.top, rect.right, rect.bottom, g_saver.dwProcessId);
    fflush(stdout);

    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    fflush(stdout);
    return (int)message.wParam;
}
