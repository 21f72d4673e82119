// CDialog on the tests' own template: data exchange both ways (text, list box string,
// control binding), reflection to a bound control, modal runs that end themselves, the
// keyboard through the modal loop, and dialog units against the controls' real rectangles.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include <vector>
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "framework_test_ids.h"

namespace {

// Records its draw requests and paints itself blue.
class DrawButton : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT pDis) override
    {
        m_ids.push_back(pDis->CtlID);
        CDC dc(pDis->hDC);
        dc.FillSolidRect(pDis->rcItem, RGB(0, 0, 255));
    }
    std::vector<UINT> m_ids;
};

// How a modal run of the test dialog ends itself once it is up.
enum class Ending { None, PostOk, PostCancel, TimerEnd, EscapeKey, EnterKey };

class TestDialog : public CDialog {
public:
    TestDialog() : CDialog(IDD_FW_TEST) {}

    CString m_strName;
    CString m_strPick;
    CListBox m_list;
    DrawButton m_draw;
    Ending m_ending = Ending::None;
    CString m_strTypeOnInit;  // typed into the edit after the exchange, when not empty
    std::vector<std::string> m_events;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        m_events.push_back(pDX->m_bSaveAndValidate ? "exchange save" : "exchange load");
        DDX_Control(pDX, IDC_FW_LIST, m_list);
        DDX_Control(pDX, IDC_FW_DRAW, m_draw);
        DDX_Text(pDX, IDC_FW_EDIT, m_strName);
        DDX_LBString(pDX, IDC_FW_LIST, m_strPick);
    }

    BOOL OnInitDialog() override
    {
        for (const char* item : {"Alpha", "Beta", "Gamma", "Betamax"})
            ::SendDlgItemMessageA(m_hWnd, IDC_FW_LIST, LB_ADDSTRING, 0,
                                  reinterpret_cast<LPARAM>(item));
        m_events.push_back("init");
        const BOOL bResult = CDialog::OnInitDialog();
        if (!m_strTypeOnInit.IsEmpty())
            SetDlgItemText(IDC_FW_EDIT, m_strTypeOnInit);
        switch (m_ending) {
        case Ending::PostOk:
            PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(IDOK)));
            break;
        case Ending::PostCancel:
            PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(IDCANCEL)));
            break;
        case Ending::TimerEnd:
            SetTimer(1, 20);
            break;
        case Ending::EscapeKey:
            ::PostMessageA(GetDlgItem(IDC_FW_EDIT), WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case Ending::EnterKey:
            ::PostMessageA(GetDlgItem(IDC_FW_EDIT), WM_KEYDOWN, VK_RETURN, 0);
            break;
        case Ending::None:
            break;
        }
        return bResult;
    }

    void OnOK() override
    {
        m_events.push_back("ok");
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        m_events.push_back("cancel");
        CDialog::OnCancel();
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_TIMER:
            KillTimer(wParam);
            EndDialog(42);
            return 0;
        default:
            return CDialog::WindowProc(message, wParam, lParam);
        }
    }
};

// A safety net for the modal tests: ends a dialog that did not end itself within five
// seconds with -2, so a broken modal loop fails the test instead of hanging it.
TestDialog* g_pRunning = nullptr;
int g_nWatchdogTicks = 0;
void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_pRunning && ++g_nWatchdogTicks == 50)
        g_pRunning->EndDialog(-2);
}

INT_PTR RunModal(TestDialog& dialog)
{
    g_pRunning = &dialog;
    g_nWatchdogTicks = 0;
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 100, Watchdog);
    const INT_PTR nResult = dialog.DoModal();
    ::KillTimer(nullptr, nTimer);
    g_pRunning = nullptr;
    return nResult;
}

// The window rectangle of control nID in its dialog's client coordinates.
RECT ControlRect(const CWnd& dialog, int nID)
{
    RECT rc{};
    ::GetWindowRect(dialog.GetDlgItem(nID), &rc);
    dialog.ScreenToClient(&rc);
    return rc;
}

}  // namespace

TEST(CDialogModeless, ExchangesTowardsTheControlsAtInit)
{
    TestDialog dialog;
    dialog.m_strName = "scott";
    dialog.m_strPick = "Gamma";
    ASSERT_TRUE(dialog.Create());
    ASSERT_TRUE(dialog.IsWindow());
    EXPECT_FALSE(dialog.IsWindowVisible());
    EXPECT_EQ(&dialog, CWnd::FromHandlePermanent(dialog));
    EXPECT_EQ((std::vector<std::string>{"init", "exchange load"}), dialog.m_events);
    EXPECT_EQ("scott", dialog.GetDlgItemText(IDC_FW_EDIT));
    EXPECT_EQ(2, dialog.m_list.GetCurSel());
    dialog.DestroyWindow();
}

TEST(CDialogModeless, DDXControlBindsOnceToTheTemplateControl)
{
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    HWND hList = dialog.GetDlgItem(IDC_FW_LIST);
    EXPECT_EQ(hList, dialog.m_list.GetSafeHwnd());
    EXPECT_EQ(&dialog.m_list, CWnd::FromHandlePermanent(hList));
    EXPECT_EQ(&dialog.m_draw, CWnd::FromHandlePermanent(dialog.GetDlgItem(IDC_FW_DRAW)));
    EXPECT_EQ(4, dialog.m_list.GetCount());
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(hList, dialog.m_list.GetSafeHwnd());
    EXPECT_EQ(&dialog.m_list, CWnd::FromHandlePermanent(hList));
    dialog.DestroyWindow();
    EXPECT_EQ(nullptr, dialog.m_list.GetSafeHwnd());  // unbound with its window
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
}

TEST(CDialogModeless, ExchangesTextAndListSelectionBothWays)
{
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());

    // Towards the members.
    dialog.SetDlgItemText(IDC_FW_EDIT, "tiger");
    dialog.m_list.SetCurSel(1);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ("tiger", dialog.m_strName);
    EXPECT_EQ("Beta", dialog.m_strPick);
    dialog.m_list.SetCurSel(-1);
    ASSERT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ("", dialog.m_strPick);

    // Towards the controls: the first entry beginning with the value is selected.
    dialog.m_strName = "system";
    dialog.m_strPick = "Betam";
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ("system", dialog.GetDlgItemText(IDC_FW_EDIT));
    EXPECT_EQ(3, dialog.m_list.GetCurSel());
    dialog.m_strPick = "bet";  // case does not matter, the first match wins
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(1, dialog.m_list.GetCurSel());
    dialog.m_strPick = "Zeta";  // no such entry: nothing selected
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(LB_ERR, dialog.m_list.GetCurSel());
    dialog.DestroyWindow();
}

TEST(CDialogModeless, OwnerDrawnControlOfTheDialogDrawsItself)
{
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    RECT rc{};
    ::GetClientRect(dialog.GetDlgItem(IDC_FW_DRAW), &rc);
    CMemDC dc(nullptr);
    CBitmap bitmap;
    DWORD* pBits = nullptr;
    ASSERT_TRUE(bitmap.CreateDIBSection32(rc.right, rc.bottom, reinterpret_cast<void**>(&pBits)));
    {
        CSelectObject sel(dc, bitmap);
        ::SendMessageA(dialog.GetDlgItem(IDC_FW_DRAW), WM_PRINTCLIENT,
                       reinterpret_cast<WPARAM>(dc.GetSafeHdc()), PRF_CLIENT);
        ::GdiFlush();
    }
    EXPECT_EQ((std::vector<UINT>{IDC_FW_DRAW}), dialog.m_draw.m_ids);
    EXPECT_EQ(0x000000FFu, pBits[(rc.bottom / 2) * rc.right + rc.right / 2]);
    dialog.DestroyWindow();
}

TEST(CDialogModeless, OkButtonTakesTheDataAndEnds)
{
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    dialog.SetDlgItemText(IDC_FW_EDIT, "pressed");
    ::SendMessageA(dialog.GetDlgItem(IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(dialog.IsEnding());
    EXPECT_EQ(IDOK, dialog.GetModalResult());
    EXPECT_EQ("pressed", dialog.m_strName);
    dialog.DestroyWindow();
}

TEST(CDialogModeless, DialogUnitsMapToTheControlsRectangles)
{
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    RECT edit{10, 10, 110, 24};  // the template's EDITTEXT 10, 10, 100, 14
    ASSERT_TRUE(::MapDialogRect(dialog, &edit));
    RECT actual = ControlRect(dialog, IDC_FW_EDIT);
    EXPECT_TRUE(::EqualRect(&edit, &actual))
        << actual.left << "," << actual.top << "," << actual.right << "," << actual.bottom;

    RECT ok{120, 80, 170, 94};  // DEFPUSHBUTTON 120, 80, 50, 14
    ASSERT_TRUE(::MapDialogRect(dialog, &ok));
    actual = ControlRect(dialog, IDOK);
    EXPECT_TRUE(::EqualRect(&ok, &actual));

    // The whole dialog: 200 x 120 units of client area.
    RECT whole{0, 0, 200, 120};
    ASSERT_TRUE(::MapDialogRect(dialog, &whole));
    RECT client{};
    dialog.GetClientRect(&client);
    EXPECT_TRUE(::EqualRect(&whole, &client));
    // Dialog units are not pixels: a horizontal unit is a quarter of the average character width.
    EXPECT_NE(edit.right - edit.left, 100);
    dialog.DestroyWindow();
}

TEST(CDialogModal, EndsWithOkAndKeepsTheData)
{
    TestDialog dialog;
    dialog.m_strName = "orig";
    dialog.m_strTypeOnInit = "typed";
    dialog.m_ending = Ending::PostOk;
    EXPECT_EQ(IDOK, RunModal(dialog));
    EXPECT_EQ("typed", dialog.m_strName);
    EXPECT_EQ((std::vector<std::string>{"init", "exchange load", "ok", "exchange save"}),
              dialog.m_events);
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
    EXPECT_EQ(nullptr, dialog.m_list.GetSafeHwnd());
}

TEST(CDialogModal, EndsWithCancelAndLeavesTheData)
{
    TestDialog dialog;
    dialog.m_strName = "orig";
    dialog.m_strTypeOnInit = "typed";
    dialog.m_ending = Ending::PostCancel;
    EXPECT_EQ(IDCANCEL, RunModal(dialog));
    EXPECT_EQ("orig", dialog.m_strName);
    EXPECT_EQ((std::vector<std::string>{"init", "exchange load", "cancel"}), dialog.m_events);
}

TEST(CDialogModal, EndDialogFromAHandlerGivesItsValue)
{
    TestDialog dialog;
    dialog.m_ending = Ending::TimerEnd;
    EXPECT_EQ(42, RunModal(dialog));
    EXPECT_EQ(42, dialog.GetModalResult());
}

TEST(CDialogModal, EscapeAndEnterGoThroughTheModalLoop)
{
    TestDialog escape;
    escape.m_ending = Ending::EscapeKey;
    EXPECT_EQ(IDCANCEL, RunModal(escape));

    TestDialog enter;
    enter.m_strTypeOnInit = "entered";
    enter.m_ending = Ending::EnterKey;
    EXPECT_EQ(IDOK, RunModal(enter));
    EXPECT_EQ("entered", enter.m_strName);
}

TEST(CDialogModal, CanRunAgainAfterEnding)
{
    TestDialog dialog;
    dialog.m_ending = Ending::PostCancel;
    EXPECT_EQ(IDCANCEL, RunModal(dialog));
    dialog.m_ending = Ending::PostOk;
    EXPECT_EQ(IDOK, RunModal(dialog));
}

TEST(CDialogModal, MissingTemplateFailsAtOnce)
{
    CDialog missing(4996);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_FALSE(missing.Create());
}
