// Message dispatch through real windows: a test window bound to an object, with child
// buttons bound to objects of their own. The log records who saw which notification,
// in order, so the tests compare whole sequences: the child's OnChildNotify first, the
// parent's WindowProc only when the child declined, the window's original procedure
// through Default(), and unbinding at WM_NCDESTROY.
#include <gtest/gtest.h>

#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include <stdexcept>
#include "framework/Barrier.h"
#include "framework/Controls.h"
#include "framework/Gdi.h"

namespace {

std::vector<std::string> g_log;

const char kParentClass[] = "FwDispatchTestParent";

std::string Describe(const char* who, UINT message, WPARAM wParam)
{
    std::string name;
    switch (message) {
    case WM_COMMAND:
        name =
            "WM_COMMAND " + std::to_string(LOWORD(wParam)) + " " + std::to_string(HIWORD(wParam));
        break;
    case WM_DRAWITEM:
        name = "WM_DRAWITEM " + std::to_string(wParam);
        break;
    case WM_NOTIFY:
        name = "WM_NOTIFY " + std::to_string(wParam);
        break;
    case WM_CTLCOLORSTATIC:
        name = "WM_CTLCOLORSTATIC";
        break;
    case WM_SETTEXT:
        name = "WM_SETTEXT";
        break;
    default:
        name = "message " + std::to_string(message);
        break;
    }
    return std::string(who) + " " + name;
}

bool IsLogged(UINT message)
{
    return message == WM_COMMAND || message == WM_DRAWITEM || message == WM_NOTIFY ||
           message == WM_CTLCOLORSTATIC || message == WM_SETTEXT;
}

// The test window class's own procedure: what Default() must reach.
LRESULT CALLBACK OriginalParentProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (IsLogged(message))
        g_log.push_back(Describe("original", message, wParam));
    if (message == WM_CTLCOLORSTATIC)
        return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH));
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

// The bound parent: logs the notifications that reach it and hands them to Default().
class RecordingParent : public CWnd {
public:
    bool m_bSwallowSetText = false;
    bool m_bNestOnSetText = false;
    bool m_bThrowOnSetText = false;
    bool m_bThrowNonStandardOnSetText = false;
    int m_nNestedLength = -1;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (IsLogged(message))
            g_log.push_back(Describe("parent", message, wParam));
        switch (message) {
        case WM_SETTEXT:
            if (m_bSwallowSetText)
                return TRUE;
            if (m_bNestOnSetText)
                m_nNestedLength = GetWindowTextLength();  // a message inside a message
            if (m_bThrowOnSetText)
                throw std::runtime_error("handler failed");
            if (m_bThrowNonStandardOnSetText)
                throw 42;
            return Default();
        default:
            return CWnd::WindowProc(message, wParam, lParam);
        }
    }
    void PostNcDestroy() override { g_log.push_back("parent PostNcDestroy"); }
};

// A bound button: logs its notifications; handles WM_COMMAND itself when told to, and
// draws itself red through the base's owner-draw hook.
class RecordingButton : public CButton {
public:
    explicit RecordingButton(const char* pszName, bool bHandleCommand = false)
        : m_name(pszName), m_bHandleCommand(bHandleCommand)
    {}

    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override
    {
        if (IsLogged(message))
            g_log.push_back(Describe((m_name + " notify").c_str(), message, wParam));
        if (message == WM_COMMAND && m_bHandleCommand) {
            *pResult = 0;
            return TRUE;
        }
        if (message == WM_NOTIFY && m_bHandleCommand) {
            *pResult = 4242;
            return TRUE;
        }
        if (message == WM_CTLCOLORSTATIC && m_bHandleCommand) {
            *pResult = reinterpret_cast<LRESULT>(::GetStockObject(BLACK_BRUSH));
            return TRUE;
        }
        return CButton::OnChildNotify(message, wParam, lParam, pResult);
    }
    void DrawItem(LPDRAWITEMSTRUCT pDis) override
    {
        g_log.push_back(m_name + " DrawItem");
        CDC dc(pDis->hDC);
        dc.FillSolidRect(pDis->rcItem, RGB(255, 0, 0));
    }

protected:
    void PostNcDestroy() override { g_log.push_back(m_name + " PostNcDestroy"); }

private:
    std::string m_name;
    bool m_bHandleCommand;
};

class Dispatch : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = OriginalParentProc;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = kParentClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        ::RegisterClassExA(&wc);
    }

    void SetUp() override
    {
        g_log.clear();
        HWND hParent =
            ::CreateWindowExA(0, kParentClass, "parent", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, hParent);
        ASSERT_TRUE(m_parent.SubclassWindow(hParent));
        m_hDeclining = MakeButton(101, BS_PUSHBUTTON);
        m_hHandling = MakeButton(102, BS_PUSHBUTTON);
        m_hUnbound = MakeButton(103, BS_PUSHBUTTON);
        m_hDrawn = MakeButton(104, BS_OWNERDRAW);
        m_hUnboundDrawn = MakeButton(105, BS_OWNERDRAW);
        ASSERT_TRUE(m_declining.SubclassWindow(m_hDeclining));
        ASSERT_TRUE(m_handling.SubclassWindow(m_hHandling));
        ASSERT_TRUE(m_drawn.SubclassWindow(m_hDrawn));
        g_log.clear();
    }

    void TearDown() override
    {
        if (m_parent.IsWindow())
            m_parent.DestroyWindow();
    }

    HWND MakeButton(int nID, DWORD dwType)
    {
        return ::CreateWindowExA(0, "BUTTON", "button", WS_CHILD | WS_VISIBLE | dwType, 10,
                                 nID - 100, 60, 20, m_parent, reinterpret_cast<HMENU>(INT_PTR(nID)),
                                 nullptr, nullptr);
    }

    // Paints an owner-drawn button into a memory DC (WM_PRINTCLIENT); returns the
    // colour of its centre pixel as 0x00RRGGBB.
    static DWORD PrintButton(HWND hButton)
    {
        CMemDC dc(nullptr);
        CBitmap bitmap;
        DWORD* pBits = nullptr;
        bitmap.CreateDIBSection32(60, 20, reinterpret_cast<void**>(&pBits));
        for (int i = 0; i < 60 * 20; ++i)
            pBits[i] = 0x00FFFFFF;
        CSelectObject sel(dc, bitmap);
        ::SendMessageA(hButton, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                       PRF_CLIENT);
        ::GdiFlush();
        return pBits[10 * 60 + 30];
    }

    RecordingParent m_parent;
    RecordingButton m_declining{"declining"};
    RecordingButton m_handling{"handling", true};
    RecordingButton m_drawn{"drawn"};
    HWND m_hDeclining = nullptr, m_hHandling = nullptr, m_hUnbound = nullptr;
    HWND m_hDrawn = nullptr, m_hUnboundDrawn = nullptr;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(Dispatch, ObjectsAreBoundToTheirWindows)
{
    EXPECT_EQ(&m_parent, CWnd::FromHandlePermanent(m_parent));
    EXPECT_EQ(&m_declining, CWnd::FromHandlePermanent(m_hDeclining));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(m_hUnbound));
    EXPECT_EQ(m_hDeclining, m_declining.GetSafeHwnd());
    // One object per window, one window per object.
    RecordingButton other("other");
    EXPECT_FALSE(other.SubclassWindow(m_hDeclining));
    EXPECT_FALSE(m_declining.SubclassWindow(m_hUnbound));
}

TEST_F(Dispatch, ClickReachesTheChildFirstAndTheParentWhenTheChildDeclines)
{
    ::SendMessageA(m_hDeclining, BM_CLICK, 0, 0);
    EXPECT_EQ((Log{"declining notify WM_COMMAND 101 0", "parent WM_COMMAND 101 0",
                   "original WM_COMMAND 101 0"}),
              g_log);
}

TEST_F(Dispatch, ClickHandledByTheChildNeverReachesTheParent)
{
    ::SendMessageA(m_hHandling, BM_CLICK, 0, 0);
    EXPECT_EQ((Log{"handling notify WM_COMMAND 102 0"}), g_log);
}

TEST_F(Dispatch, UnboundChildrenAndMenuCommandsGoStraightToTheParent)
{
    ::SendMessageA(m_hUnbound, BM_CLICK, 0, 0);
    ::SendMessageA(m_parent, WM_COMMAND, MAKEWPARAM(200, 0), 0);  // a menu command: no control
    EXPECT_EQ((Log{"parent WM_COMMAND 103 0", "original WM_COMMAND 103 0",
                   "parent WM_COMMAND 200 0", "original WM_COMMAND 200 0"}),
              g_log);
}

TEST_F(Dispatch, OwnerDrawnChildDrawsItselfAndTheParentNeverSeesTheRequest)
{
    EXPECT_EQ(0x00FF0000u, PrintButton(m_hDrawn));
    EXPECT_EQ((Log{"drawn notify WM_DRAWITEM 104", "drawn DrawItem"}), g_log);
}

TEST_F(Dispatch, DrawRequestOfAnUnboundChildReachesTheParent)
{
    EXPECT_NE(0x00FF0000u, PrintButton(m_hUnboundDrawn));
    EXPECT_EQ((Log{"parent WM_DRAWITEM 105", "original WM_DRAWITEM 105"}), g_log);
}

TEST_F(Dispatch, ChildResultsComeBackToTheSender)
{
    NMHDR nm{m_hHandling, 102, NM_CLICK};
    EXPECT_EQ(4242, ::SendMessageA(m_parent, WM_NOTIFY, 102, reinterpret_cast<LPARAM>(&nm)));
    EXPECT_EQ(
        LRESULT(::GetStockObject(BLACK_BRUSH)),
        ::SendMessageA(m_parent, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(m_hHandling)));
    // Declined: the parent's answer (here the original procedure's) is what the sender gets.
    EXPECT_EQ(
        LRESULT(::GetStockObject(GRAY_BRUSH)),
        ::SendMessageA(m_parent, WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(m_hDeclining)));
    EXPECT_EQ((Log{"handling notify WM_NOTIFY 102", "handling notify WM_CTLCOLORSTATIC",
                   "declining notify WM_CTLCOLORSTATIC", "parent WM_CTLCOLORSTATIC",
                   "original WM_CTLCOLORSTATIC"}),
              g_log);
}

TEST_F(Dispatch, DefaultReachesTheOriginalProcedure)
{
    m_parent.SetWindowText("through Default");
    EXPECT_EQ("through Default", m_parent.GetWindowText());
    EXPECT_EQ((Log{"parent WM_SETTEXT", "original WM_SETTEXT"}), g_log);

    g_log.clear();
    m_parent.m_bSwallowSetText = true;
    m_parent.SetWindowText("swallowed");
    EXPECT_EQ("through Default", m_parent.GetWindowText());
    EXPECT_EQ((Log{"parent WM_SETTEXT"}), g_log);
}

TEST_F(Dispatch, DefaultAfterANestedMessageStillHandlesTheOuterOne)
{
    m_parent.SetWindowText("1234567");
    m_parent.m_bNestOnSetText = true;
    m_parent.SetWindowText("abc");
    EXPECT_EQ(7, m_parent.m_nNestedLength);  // the nested message got its own answer
    EXPECT_EQ("abc", m_parent.GetWindowText());
}

TEST_F(Dispatch, DefaultOfABoundEditReachesTheEditControl)
{
    HWND hEdit =
        ::CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_AUTOHSCROLL, 0, 100, 100, 20, m_parent,
                          reinterpret_cast<HMENU>(INT_PTR(106)), nullptr, nullptr);
    CEdit edit;
    ASSERT_TRUE(edit.SubclassWindow(hEdit));
    edit.SetWindowText("typed text");
    edit.SetSel(0, 5);
    edit.ReplaceSel("TYPED");
    EXPECT_EQ("TYPED text", edit.GetWindowText());
    edit.SetLimitText(20);
    EXPECT_EQ(20u, edit.GetLimitText());
}

TEST_F(Dispatch, UnbindingHappensAtNcDestroy)
{
    HWND hParent = m_parent;
    ASSERT_TRUE(m_parent.DestroyWindow());
    EXPECT_FALSE(::IsWindow(hParent));
    EXPECT_EQ(nullptr, m_parent.GetSafeHwnd());
    EXPECT_EQ(nullptr, m_declining.GetSafeHwnd());
    EXPECT_EQ(nullptr, m_handling.GetSafeHwnd());
    EXPECT_EQ(nullptr, m_drawn.GetSafeHwnd());
    // Children go before their parent; each object hears of it once.
    ASSERT_EQ(4u, g_log.size());
    EXPECT_EQ("parent PostNcDestroy", g_log.back());
    for (const char* name :
         {"declining PostNcDestroy", "handling PostNcDestroy", "drawn PostNcDestroy"})
        EXPECT_EQ(1, std::count(g_log.begin(), g_log.end(), name)) << name;

    // The object can be bound again to a new window.
    HWND hAgain = ::CreateWindowExA(0, kParentClass, "again", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                    nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    EXPECT_TRUE(m_parent.SubclassWindow(hAgain));
    EXPECT_EQ(&m_parent, CWnd::FromHandlePermanent(hAgain));
}

TEST_F(Dispatch, UnsubclassedChildNoLongerHearsItsNotifications)
{
    EXPECT_EQ(m_hDeclining, m_declining.UnsubclassWindow());
    EXPECT_EQ(nullptr, m_declining.GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(m_hDeclining));
    ::SendMessageA(m_hDeclining, BM_CLICK, 0, 0);
    EXPECT_EQ((Log{"parent WM_COMMAND 101 0", "original WM_COMMAND 101 0"}), g_log);
}

TEST_F(Dispatch, DestroyingTheObjectFirstUnbindsTheWindow)
{
    HWND hButton = MakeButton(107, BS_PUSHBUTTON);
    {
        RecordingButton shortLived("short");
        ASSERT_TRUE(shortLived.SubclassWindow(hButton));
    }
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hButton));
    g_log.clear();
    ::SendMessageA(hButton, BM_CLICK, 0, 0);  // must not reach the destroyed object
    EXPECT_EQ((Log{"parent WM_COMMAND 107 0", "original WM_COMMAND 107 0"}), g_log);
}

TEST_F(Dispatch, HandlerExceptionIsRecordedAndTheMessageGetsDefaultProcessing)
{
    struct Case {
        bool bStandard;
        const char* pszRecorded;
    };
    const Case cases[] = {
        {true, "window procedure, message 0x000C: handler failed"},
        {false, "window procedure, message 0x000C: unknown exception"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszRecorded);
        ResetCaughtException();
        g_log.clear();
        m_parent.m_bThrowOnSetText = c.bStandard;
        m_parent.m_bThrowNonStandardOnSetText = !c.bStandard;
        m_parent.SetWindowText(c.pszRecorded);
        EXPECT_EQ(c.pszRecorded, m_parent.GetWindowText());
        EXPECT_EQ((Log{"parent WM_SETTEXT", "original WM_SETTEXT"}), g_log);
        EXPECT_EQ(c.pszRecorded, LastCaughtException());
    }
    // The window still works after it.
    m_parent.m_bThrowOnSetText = m_parent.m_bThrowNonStandardOnSetText = false;
    ResetCaughtException();
    m_parent.SetWindowText("afterwards");
    EXPECT_EQ("afterwards", m_parent.GetWindowText());
    EXPECT_EQ("", LastCaughtException());
}
