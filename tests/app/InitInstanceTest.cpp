// The application object in this process: InitInstance runs the main dialog modally as
// the application's main window and returns FALSE when it closes; WinMain ends with the
// framework's exit code. A thread timer, firing inside the dialog's modal loop, looks at
// the running dialog and closes it, so no test waits for a user.
#include <gtest/gtest.h>

#include <windows.h>

#include "QuillmarkVersion.h"
#include "app/quillmark.h"
#include "framework/Wnd.h"

namespace {

// What the timer saw while the main dialog ran.
struct Observation {
    HWND hDlg = nullptr;
    HWND hParent = nullptr;
    HWND hOwner = nullptr;
    HWND hMainWnd = nullptr;
    bool bVisible = false;
    int ticks = 0;
};

Observation g_seen;

void CALLBACK OnTimer(HWND, UINT, UINT_PTR idEvent, DWORD)
{
    ++g_seen.ticks;
    HWND hDlg = ::FindWindowA(nullptr, "Quillmark v" QUILLMARK_VERSION);
    if (hDlg) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hDlg, &pid);
        if (pid != ::GetCurrentProcessId())
            hDlg = nullptr;
    }
    if (!hDlg && g_seen.ticks < 200)
        return;
    ::KillTimer(nullptr, idEvent);
    if (!hDlg)
        return;
    g_seen.hDlg = hDlg;
    g_seen.hParent = ::GetParent(hDlg);
    g_seen.hOwner = ::GetWindow(hDlg, GW_OWNER);
    CWnd* pMain = AfxGetMainWnd();
    g_seen.hMainWnd = pMain ? pMain->GetSafeHwnd() : nullptr;
    g_seen.bVisible = ::IsWindowVisible(hDlg) != FALSE;
    ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
}

class InitInstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen = Observation{};
        ASSERT_NE(::SetTimer(nullptr, 0, 50, OnTimer), 0u);
    }
};

TEST_F(InitInstanceTest, RunsTheMainDialogAsMainWindowAndReturnsFalse)
{
    EXPECT_EQ(AfxGetApp(), &theApp);
    EXPECT_EQ(theApp.m_pszAppName, nullptr);
    EXPECT_FALSE(theApp.InitInstance());

    ASSERT_NE(g_seen.hDlg, nullptr) << "the main dialog did not appear";
    EXPECT_EQ(g_seen.hParent, nullptr);
    EXPECT_EQ(g_seen.hOwner, nullptr);
    EXPECT_EQ(g_seen.hMainWnd, g_seen.hDlg);
    EXPECT_TRUE(g_seen.bVisible);
    // The dialog is gone, and the application no longer points at it.
    EXPECT_FALSE(::IsWindow(g_seen.hDlg));
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);
}

TEST_F(InitInstanceTest, WinMainEndsWithExitCodeZero)
{
    EXPECT_EQ(WinMain(::GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWNORMAL),
              0);
    EXPECT_NE(g_seen.hDlg, nullptr);
}

TEST(AppCommands, HelpCommandIsTheOnlyOneHandled)
{
    EXPECT_EQ(ID_HELP, 0xE146u);
    EXPECT_TRUE(theApp.OnCmdMsg(ID_HELP));
    EXPECT_FALSE(theApp.OnCmdMsg(IDOK));
    EXPECT_FALSE(theApp.OnCmdMsg(0xE145));
}

}  // namespace
