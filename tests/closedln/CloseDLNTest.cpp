// The window closer against stand-in windows of the card application.
#include <gtest/gtest.h>

#include <map>

#include "TestSupport.h"

using namespace pwtest;

namespace {

std::map<HWND, int> g_closeMessages;

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_CLOSE) {
        ++g_closeMessages[window];
        return 0; // the stand-in stays open: the closer must not care
    }
    return DefWindowProcW(window, message, wp, lp);
}

void RegisterClassOnce(const wchar_t* name)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = StandInProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = name;
    RegisterClassW(&wc);
}

HWND StandIn(const wchar_t* className, const wchar_t* title)
{
    RegisterClassOnce(className);
    return CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Runs the closer while this thread keeps dispatching its windows' messages.
DWORD RunCloser(DWORD* elapsedMs)
{
    Child closer;
    const DWORD start = GetTickCount();
    EXPECT_TRUE(closer.Start(Quote(BuildBinFolder() + L"CloseDLN.exe")));
    DWORD code = STILL_ACTIVE;
    while (GetTickCount() - start < 20000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        code = closer.Wait(10);
        if (code != STILL_ACTIVE)
            break;
    }
    *elapsedMs = GetTickCount() - start;
    // Deliver anything posted just before the closer ended.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return code;
}

} // namespace

TEST(CloseDLN, PostsCloseOnlyToTheCardApplicationWindow)
{
    g_closeMessages.clear();
    const HWND wrongTitle = StandIn(L"DlnMainCls", L"NORVAK Dorlen 2");
    const HWND wrongClass = StandIn(L"OtherMainCls", L"NORVAK Dorlen");
    const HWND target = StandIn(L"DlnMainCls", L"NORVAK Dorlen");
    ASSERT_TRUE(target && wrongTitle && wrongClass) << "no display for windows";

    DWORD elapsed = 0;
    EXPECT_EQ(RunCloser(&elapsed), 0u);
    EXPECT_EQ(g_closeMessages[target], 1);
    EXPECT_EQ(g_closeMessages[wrongTitle], 0);
    EXPECT_EQ(g_closeMessages[wrongClass], 0);
    EXPECT_TRUE(IsWindow(target)) << "the closer must post, not destroy";
    DestroyWindow(target);
    DestroyWindow(wrongTitle);
    DestroyWindow(wrongClass);
}

TEST(CloseDLN, WithoutTheApplicationItWaitsHalfASecondAndSucceeds)
{
    g_closeMessages.clear();
    const HWND decoy = StandIn(L"DlnMainCls", L"Something else");
    ASSERT_TRUE(decoy);
    DWORD elapsed = 0;
    EXPECT_EQ(RunCloser(&elapsed), 0u);
    EXPECT_GE(elapsed, 480u);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(g_closeMessages[decoy], 0);
    DestroyWindow(decoy);
}
