// The rounded controls bound by data exchange to the program's own main dialog template,
// driven through the framework's message routing (the control's PreTranslateMessage, then
// the dialog manager) the way the modal loop does it.
#include <gtest/gtest.h>

#include <windows.h>
#include <vector>
#include "controls/RoundButton.h"
#include "framework/Dialog.h"
#include "framework/Gdi.h"
#include "res/resource.h"

namespace {

// The main dialog's three rounded controls and nothing else; records button clicks.
class MainTemplateDlg : public CDialog {
public:
    MainTemplateDlg() : CDialog(IDD_QUILLMARK_DIALOG) {}
    CRoundCheckBox m_chkSysdba;
    CRoundRadioButton m_radioOne;
    CRoundRadioButton m_radioAll;
    std::vector<int> clicked;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_SYSDBA, m_chkSysdba);
        DDX_Control(pDX, IDC_RADIO_ONE, m_radioOne);
        DDX_Control(pDX, IDC_RADIO_ALL, m_radioAll);
    }
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        m_chkSysdba.SetCheckState(0);
        m_radioOne.SetCheckState(1);
        CheckRadioButton(IDC_RADIO_ONE, IDC_RADIO_ALL, IDC_RADIO_ONE);
        return TRUE;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED)
            clicked.push_back(LOWORD(wParam));
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class MainTemplateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dlg.Create());
        hOne = dlg.GetDlgItem(IDC_RADIO_ONE);
        hAll = dlg.GetDlgItem(IDC_RADIO_ALL);
        hSysdba = dlg.GetDlgItem(IDC_SYSDBA);
    }
    void TearDown() override
    {
        if (dlg.IsWindow())
            dlg.DestroyWindow();
    }
    // One key press as the modal loop delivers it.
    void Key(HWND hWnd, WPARAM key)
    {
        for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_KEYUP)}) {
            MSG msg{};
            msg.hwnd = hWnd;
            msg.message = message;
            msg.wParam = key;
            msg.lParam = (message == WM_KEYUP) ? LPARAM(0xC0000001) : 1;
            if (!CWnd::PreTranslateTree(dlg.m_hWnd, &msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        MSG pending;
        while (::PeekMessageA(&pending, nullptr, 0, 0, PM_REMOVE)) {
            if (!CWnd::PreTranslateTree(dlg.m_hWnd, &pending)) {
                ::TranslateMessage(&pending);
                ::DispatchMessageA(&pending);
            }
        }
    }

    MainTemplateDlg dlg;
    HWND hOne = nullptr, hAll = nullptr, hSysdba = nullptr;
};

TEST_F(MainTemplateTest, BoundControlsAreOwnerDrawnAndStartAsTheDialogSetsThem)
{
    for (HWND hWnd : {hOne, hAll, hSysdba}) {
        const DWORD dwStyle = DWORD(::GetWindowLongPtrA(hWnd, GWL_STYLE));
        EXPECT_EQ(DWORD(BS_OWNERDRAW), dwStyle & 0xF);
        EXPECT_TRUE(dwStyle & BS_FLAT);
    }
    EXPECT_EQ(0, dlg.m_chkSysdba.GetCheckState());
    EXPECT_EQ(1, dlg.m_radioOne.GetCheckState());
    EXPECT_EQ(0, dlg.m_radioAll.GetCheckState());
    EXPECT_TRUE(dlg.clicked.empty());
}

TEST_F(MainTemplateTest, DownOnOnePackageMovesCheckAndFocusToAllPackages)
{
    ::SetFocus(hOne);
    Key(hOne, VK_DOWN);
    EXPECT_EQ(0, dlg.m_radioOne.GetCheckState());
    EXPECT_EQ(1, dlg.m_radioAll.GetCheckState());
    EXPECT_EQ(hAll, ::GetFocus());
    EXPECT_EQ(std::vector<int>{IDC_RADIO_ALL}, dlg.clicked);
}

TEST_F(MainTemplateTest, UpOnOnePackageKeepsItCheckedAndFocused)
{
    ::SetFocus(hOne);
    Key(hOne, VK_UP);
    EXPECT_EQ(1, dlg.m_radioOne.GetCheckState());
    EXPECT_EQ(0, dlg.m_radioAll.GetCheckState());
    EXPECT_EQ(hOne, ::GetFocus());
    EXPECT_TRUE(dlg.clicked.empty());
}

TEST_F(MainTemplateTest, TabIntoTheGroupLandsOnTheCheckedButton)
{
    dlg.m_radioOne.SetCheckState(0);
    dlg.m_radioAll.SetCheckState(1);
    ::SetFocus(hSysdba);
    ASSERT_EQ(hSysdba, ::GetFocus());
    Key(hSysdba, VK_TAB);
    EXPECT_EQ(hAll, ::GetFocus());
    EXPECT_EQ(1, dlg.m_radioAll.GetCheckState());
    EXPECT_EQ(0, dlg.m_radioOne.GetCheckState());
}

TEST_F(MainTemplateTest, SpaceOnTheCheckBoxTogglesAndNotifiesTheDialog)
{
    ::SetFocus(hSysdba);
    Key(hSysdba, VK_SPACE);
    EXPECT_EQ(1, dlg.m_chkSysdba.GetCheckState());
    EXPECT_EQ(std::vector<int>{IDC_SYSDBA}, dlg.clicked);
    Key(hSysdba, VK_SPACE);
    EXPECT_EQ(0, dlg.m_chkSysdba.GetCheckState());
}

TEST_F(MainTemplateTest, ClickOnAllPackagesUnchecksOnePackage)
{
    ::SendMessageA(hAll, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    ::SendMessageA(hAll, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(0, dlg.m_radioOne.GetCheckState());
    EXPECT_EQ(1, dlg.m_radioAll.GetCheckState());
    EXPECT_EQ(std::vector<int>{IDC_RADIO_ALL}, dlg.clicked);
}

// Disabling the control (as the dialog does while an export runs) reaches the paint as
// ODS_DISABLED through the dialog's reflected WM_DRAWITEM: the box gets its dotted frame.
TEST_F(MainTemplateTest, DisabledCheckBoxPaintsDottedFrame)
{
    RECT rc;
    ::GetClientRect(hSysdba, &rc);
    const RECT m = CRoundButton::MarkRectFor(rc, DWORD(::GetWindowLongPtrA(hSysdba, GWL_STYLE)), 1);
    auto paint = [&](std::vector<DWORD>& pixels) {
        CMemDC dc(nullptr);
        CBitmap bitmap;
        DWORD* pBits = nullptr;
        ASSERT_TRUE(
            bitmap.CreateDIBSection32(rc.right, rc.bottom, reinterpret_cast<void**>(&pBits)));
        CSelectObject select(dc, bitmap);
        ::SendMessageA(hSysdba, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.GetSafeHdc()),
                       PRF_CLIENT);
        ::GdiFlush();
        pixels.assign(pBits, pBits + rc.right * rc.bottom);
    };
    auto at = [&](const std::vector<DWORD>& pixels, int x, int y) {
        return pixels[size_t(y * rc.right + x)];
    };
    const COLORREF clrWindow = ::GetSysColor(COLOR_WINDOW);
    const DWORD window = (DWORD(GetRValue(clrWindow)) << 16) | (DWORD(GetGValue(clrWindow)) << 8) |
                         GetBValue(clrWindow);
    const COLORREF clrFrame = ::GetSysColor(COLOR_WINDOWFRAME);
    const DWORD frame = (DWORD(GetRValue(clrFrame)) << 16) | (DWORD(GetGValue(clrFrame)) << 8) |
                        GetBValue(clrFrame);

    std::vector<DWORD> enabled, disabled;
    paint(enabled);
    dlg.m_chkSysdba.EnableWindow(FALSE);
    paint(disabled);
    dlg.m_chkSysdba.EnableWindow(TRUE);
    ASSERT_FALSE(enabled.empty());
    EXPECT_EQ(frame, at(enabled, m.left + 1, m.top));
    EXPECT_EQ(frame, at(enabled, m.left + 2, m.top));
    EXPECT_EQ(window, at(disabled, m.left + 1, m.top));
    EXPECT_EQ(frame, at(disabled, m.left + 2, m.top));
}

}  // namespace
