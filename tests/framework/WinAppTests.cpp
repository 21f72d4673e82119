// CWinApp and the Afx* functions: registration of the application object, the main
// window, resources from the exe, and AfxWinMain with and without a message loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "framework/Gdi.h"
#include "framework/WinApp.h"
#include "framework_test_ids.h"

namespace {

// An application whose start-up and end are recorded; InitInstance returns what it is told.
class TestApp : public CWinApp {
public:
    explicit TestApp(BOOL bRunLoop) : m_bRunLoop(bRunLoop) {}
    BOOL InitInstance() override
    {
        m_events.push_back("init");
        m_wc.cbSize = sizeof(m_wc);
        m_bProgressClassAvailable = ::GetClassInfoExA(nullptr, PROGRESS_CLASSA, &m_wc);
        if (m_bRunLoop) {
            // A posted message before the quit request: the loop must dispatch it (the
            // default handling of WM_CLOSE destroys the window).
            m_hWnd = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                       nullptr, nullptr);
            ::PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
            ::PostQuitMessage(3);
        }
        return m_bRunLoop;
    }
    int ExitInstance() override
    {
        if (!m_hWnd)
            m_events.push_back("exit");
        else if (::IsWindow(m_hWnd))
            m_events.push_back("exit, window still there");
        else
            m_events.push_back("exit, window closed");
        return 7;
    }
    std::vector<std::string> m_events;
    BOOL m_bProgressClassAvailable = FALSE;

private:
    BOOL m_bRunLoop;
    HWND m_hWnd = nullptr;
    WNDCLASSEXA m_wc{};
};

}  // namespace

TEST(CWinAppTest, TheApplicationObjectRegistersItselfWhileItLives)
{
    EXPECT_EQ(nullptr, AfxGetApp());
    EXPECT_EQ(nullptr, AfxGetMainWnd());
    {
        TestApp app(FALSE);
        EXPECT_EQ(&app, AfxGetApp());
        EXPECT_EQ(::GetModuleHandleA(nullptr), app.m_hInstance);
        EXPECT_EQ(nullptr, app.m_pszAppName);
        CWnd mainWnd;
        app.m_pMainWnd = &mainWnd;
        EXPECT_EQ(&mainWnd, AfxGetMainWnd());
        app.m_pMainWnd = nullptr;
    }
    EXPECT_EQ(nullptr, AfxGetApp());
}

TEST(CWinAppTest, ResourcesComeFromTheExe)
{
    EXPECT_EQ(::GetModuleHandleA(nullptr), AfxGetResourceHandle());
    EXPECT_EQ(::GetModuleHandleA(nullptr), AfxGetInstanceHandle());
    TestApp app(FALSE);
    EXPECT_NE(nullptr, app.LoadIcon(IDI_FW_TEST));
    EXPECT_EQ(nullptr, app.LoadIcon(4997));
    AfxEnableControlContainer();  // a named no-op: must simply return

    // The bitmap of the test template: 4 x 2, top row red, red, green, green.
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadBitmap(IDB_FW_TEST));
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectA(bitmap, sizeof(bm), &bm));
    EXPECT_EQ(4, bm.bmWidth);
    EXPECT_EQ(2, bm.bmHeight);
    CMemDC dc(nullptr);
    CSelectObject sel(dc, bitmap);
    EXPECT_EQ(RGB(255, 0, 0), dc.GetPixel(0, 0));
    EXPECT_EQ(RGB(0, 255, 0), dc.GetPixel(3, 0));
    EXPECT_EQ(RGB(0, 0, 255), dc.GetPixel(1, 1));
}

TEST(CWinAppTest, WinMainWithoutMessageLoopEndsWithExitInstance)
{
    TestApp app(FALSE);
    const int nExit =
        AfxWinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
    EXPECT_EQ(7, nExit);
    EXPECT_EQ((std::vector<std::string>{"init", "exit"}), app.m_events);
    EXPECT_TRUE(app.m_bProgressClassAvailable);
    // The progress bar the main dialog shows can be created.
    HWND hProgress = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 50, 10, nullptr,
                                       nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, hProgress);
    if (hProgress)
        ::DestroyWindow(hProgress);
}

TEST(CWinAppTest, WinMainRunsTheMessageLoopUntilQuit)
{
    TestApp app(TRUE);
    const int nExit =
        AfxWinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL);
    EXPECT_EQ(7, nExit);
    EXPECT_EQ((std::vector<std::string>{"init", "exit, window closed"}), app.m_events);
    MSG msg;
    EXPECT_FALSE(
        ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // the quit was consumed
}

TEST(CWinAppTest, WinMainWithoutApplicationObjectFails)
{
    ASSERT_EQ(nullptr, AfxGetApp());
    EXPECT_EQ(
        -1, AfxWinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<char*>(""), SW_SHOWNORMAL));
}
