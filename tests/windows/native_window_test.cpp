// Windows of the framework: attachment from the first message, the creation handler's say,
// Default(), detaching on destruction, and window class registration.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "shell/win32/framework/native_wnd.h"

namespace {

class CProbeWnd : public CNativeWnd {
public:
    explicit CProbeWnd(LRESULT createResult = 0) : m_createResult(createResult) {}

    bool Create()
    {
        return CreateEx(0, AfxRegisterWndClass(0, nullptr, nullptr, nullptr), L"probe", WS_POPUP,
                        0, 0, 64, 48, nullptr, 0);
    }

    std::vector<UINT> m_messages;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        m_messages.push_back(message);
        if (message == WM_CREATE) {
            if (Default() == -1) {
                return -1;
            }
            return m_createResult;
        }
        if (message == WM_GETTEXTLENGTH) {
            // A message sent while handling another must not disturb that one's Default().
            SendMessageW(m_hWnd, WM_NULL, 0, 0);
            return Default();
        }
        return CNativeWnd::WindowProc(message, wParam, lParam);
    }

private:
    LRESULT m_createResult;
};

bool Saw(const CProbeWnd& window, UINT message)
{
    for (UINT seen : window.m_messages) {
        if (seen == message) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(NativeWindowTest, TheObjectGetsTheWindowsMessagesFromCreationOn)
{
    CProbeWnd window;
    ASSERT_TRUE(window.Create());
    ASSERT_NE(window.m_hWnd, nullptr);
    EXPECT_EQ(window.GetSafeHwnd(), window.m_hWnd);
    EXPECT_TRUE(Saw(window, WM_NCCREATE));
    EXPECT_TRUE(Saw(window, WM_CREATE));
    EXPECT_EQ(window.GetClientSize().cx, 64);
    EXPECT_EQ(window.GetClientSize().cy, 48);
}

TEST(NativeWindowTest, DefaultGivesTheMessageTheSystemsHandling)
{
    CProbeWnd window;
    ASSERT_TRUE(window.Create());
    // The default handling of WM_GETTEXTLENGTH knows the title given at creation.
    EXPECT_EQ(SendMessageW(window.m_hWnd, WM_GETTEXTLENGTH, 0, 0), 5);
}

TEST(NativeWindowTest, ACreationHandlerReturningMinusOneRefusesTheWindow)
{
    CProbeWnd window(-1);
    EXPECT_FALSE(window.Create());
    EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST(NativeWindowTest, DestroyingTheWindowDetachesTheObject)
{
    CProbeWnd window;
    ASSERT_TRUE(window.Create());
    const HWND handle = window.m_hWnd;
    EXPECT_TRUE(window.DestroyWindow());
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindow(handle));
    EXPECT_TRUE(Saw(window, WM_NCDESTROY));
    // Operations on an object without a window do nothing.
    EXPECT_FALSE(window.DestroyWindow());
    window.Invalidate(true);
    window.MoveWindow(0, 0, 10, 10, true);
}

TEST(NativeWindowTest, DeletingTheObjectDestroysAWindowStillAlive)
{
    auto window = std::make_unique<CProbeWnd>();
    ASSERT_TRUE(window->Create());
    const HWND handle = window->m_hWnd;
    window.reset();
    EXPECT_FALSE(IsWindow(handle));
}

TEST(NativeWindowTest, EachSetOfClassPropertiesIsRegisteredOnce)
{
    const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    const std::wstring name = AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, arrow, nullptr, nullptr);
    EXPECT_EQ(AfxRegisterWndClass(CS_HREDRAW | CS_VREDRAW, arrow, nullptr, nullptr), name);
    EXPECT_NE(AfxRegisterWndClass(CS_HREDRAW, arrow, nullptr, nullptr), name);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), name.c_str(), &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
    EXPECT_EQ(windowClass.hCursor, arrow);
    EXPECT_EQ(windowClass.hbrBackground, nullptr);
    EXPECT_EQ(windowClass.hIcon, nullptr);
}
