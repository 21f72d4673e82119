// CFlatButton bound to the buttons of a test dialog (modeless, on the test display):
// default-button tracking, check-box mode, focus on disabling, double-clicks, hot
// tracking, painting read back from a 32-bit DIB section, and the drop-down menu.
#include <gtest/gtest.h>

#include <vector>
#include "FlatTestSupport.h"
#include "controls/FlatButton.h"
#include "flat_test_ids.h"
#include "framework/Dialog.h"

namespace {

const UINT WM_TEST_MENU_NOTIFY = WM_APP + 17;

// A solid 16 x 16 icon of one colour.
HICON MakeTestIcon(COLORREF clr)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = 16;
    bmi.bmiHeader.biHeight = 16;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* pBits = nullptr;
    HBITMAP hColor = ::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    auto* pPixels = static_cast<DWORD*>(pBits);
    for (int i = 0; i < 16 * 16; ++i)
        pPixels[i] = (DWORD(GetRValue(clr)) << 16) | (DWORD(GetGValue(clr)) << 8) | GetBValue(clr);
    BYTE maskBits[16 * 2] = {};  // all zero: every pixel opaque
    HBITMAP hMask = ::CreateBitmap(16, 16, 1, 1, maskBits);
    ICONINFO info{TRUE, 0, 0, hMask, hColor};
    HICON hIcon = ::CreateIconIndirect(&info);
    ::DeleteObject(hColor);
    ::DeleteObject(hMask);
    return hIcon;
}

// The test dialog: four flat buttons, one in check-box mode; it records every
// BN_CLICKED and menu command instead of closing.
class CFlatTestDlg : public CDialog {
public:
    CFlatTestDlg() : CDialog(IDD_FLAT_TEST) {}

    CFlatButton m_ok;
    CFlatButton m_cancel;
    CFlatButton m_next;
    CFlatButton m_check;
    std::vector<UINT> m_clicks;
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;  // WM_COMMAND that are no clicks
    std::vector<std::pair<WPARAM, LPARAM>> m_notifies;
    BOOL m_bMenuShownAtNotify = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDOK, m_ok);
        DDX_Control(pDX, IDCANCEL, m_cancel);
        DDX_Control(pDX, IDC_FLAT_NEXT, m_next);
        DDX_Control(pDX, IDC_FLAT_CHECK, m_check);
    }
    void OnOK() override {}
    void OnCancel() override {}
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND) {
            if (lParam && HIWORD(wParam) == BN_CLICKED)
                m_clicks.push_back(LOWORD(wParam));
            else if (!lParam)
                m_commands.emplace_back(wParam, lParam);
        } else if (message == WM_TEST_MENU_NOTIFY) {
            m_notifies.emplace_back(wParam, lParam);
            m_bMenuShownAtNotify = m_ok.IsMenuShown();
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

class FlatButtonTest : public ::testing::Test {
protected:
    // The dialog stays hidden unless a test needs it on the display: hiding a shown
    // window costs Wine seconds without a window manager.
    void SetUp() override { ASSERT_TRUE(m_dlg.Create()); }
    void TearDown() override
    {
        m_dlg.DestroyWindow();
        PumpMessages(nullptr);
    }
    // Shows the dialog on top of the display (for tests that need the pointer over it).
    void ShowOnTop()
    {
        ::SetWindowPos(m_dlg, HWND_TOPMOST, 40, 40, 0, 0,
                       SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        PumpMessages(m_dlg);
    }
    static UINT Type(HWND hWnd) { return UINT(::GetWindowLongPtrA(hWnd, GWL_STYLE)) & 0x1F; }
    static LRESULT DlgCode(HWND hWnd) { return ::SendMessageA(hWnd, WM_GETDLGCODE, 0, 0); }
    static LPARAM Center(HWND hWnd)
    {
        RECT rc;
        ::GetClientRect(hWnd, &rc);
        return MAKELPARAM(rc.right / 2, rc.bottom / 2);
    }
    size_t Clicks(UINT nID) const
    {
        size_t n = 0;
        for (UINT id : m_dlg.m_clicks)
            n += id == nID;
        return n;
    }

    CFlatTestDlg m_dlg;
};

TEST_F(FlatButtonTest, DefaultButtonIsTrackedThroughSetStyle)
{
    EXPECT_TRUE(m_dlg.m_ok.IsDefault());
    EXPECT_FALSE(m_dlg.m_cancel.IsDefault());
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_ok));
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_cancel));
    EXPECT_TRUE(DlgCode(m_dlg.m_ok) & DLGC_DEFPUSHBUTTON);
    EXPECT_FALSE(DlgCode(m_dlg.m_ok) & DLGC_UNDEFPUSHBUTTON);
    EXPECT_TRUE(DlgCode(m_dlg.m_cancel) & DLGC_UNDEFPUSHBUTTON);

    m_dlg.m_ok.SendMessage(BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EXPECT_FALSE(m_dlg.m_ok.IsDefault());
    EXPECT_TRUE(DlgCode(m_dlg.m_ok) & DLGC_UNDEFPUSHBUTTON);
    EXPECT_FALSE(DlgCode(m_dlg.m_ok) & DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_ok));

    m_dlg.m_ok.SendMessage(BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    EXPECT_TRUE(m_dlg.m_ok.IsDefault());
    EXPECT_TRUE(DlgCode(m_dlg.m_ok) & DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_ok));
}

TEST_F(FlatButtonTest, OtherButtonTypesLeaveTheDefaultState)
{
    m_dlg.m_ok.SendMessage(BM_SETSTYLE, BS_CHECKBOX, TRUE);
    EXPECT_TRUE(m_dlg.m_ok.IsDefault());
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_ok));
    m_dlg.m_cancel.SendMessage(BM_SETSTYLE, BS_AUTORADIOBUTTON, TRUE);
    EXPECT_FALSE(m_dlg.m_cancel.IsDefault());
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_cancel));
}

TEST_F(FlatButtonTest, DialogManagerMovesTheDefaultWithTheFocus)
{
    m_dlg.SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_dlg.m_cancel.GetSafeHwnd()), TRUE);
    EXPECT_EQ(m_dlg.m_cancel.GetSafeHwnd(), ::GetFocus());
    EXPECT_TRUE(m_dlg.m_cancel.IsDefault());
    EXPECT_FALSE(m_dlg.m_ok.IsDefault());
    EXPECT_TRUE(DlgCode(m_dlg.m_ok) & DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_ok));
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_cancel));
}

TEST_F(FlatButtonTest, CheckBoxModeKeepsItsOwnCheckState)
{
    EXPECT_TRUE(m_dlg.m_check.IsCheckBoxMode());
    EXPECT_FALSE(m_dlg.m_ok.IsCheckBoxMode());
    EXPECT_EQ(UINT(BS_OWNERDRAW), Type(m_dlg.m_check));
    const struct {
        WPARAM nSet;
        LRESULT nExpected;
    } table[] = {{BST_CHECKED, 1}, {BST_UNCHECKED, 0}, {BST_INDETERMINATE, 1}, {5, 0}, {1, 1}};
    for (const auto& row : table) {
        EXPECT_EQ(0, m_dlg.m_check.SendMessage(BM_SETCHECK, row.nSet));
        EXPECT_EQ(row.nExpected, m_dlg.m_check.SendMessage(BM_GETCHECK)) << "set " << row.nSet;
    }
    // A click toggles the state (through the reflected BN_CLICKED) and still reaches the dialog.
    m_dlg.m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(0, m_dlg.m_check.SendMessage(BM_GETCHECK));
    m_dlg.m_check.SendMessage(BM_CLICK);
    EXPECT_EQ(1, m_dlg.m_check.SendMessage(BM_GETCHECK));
    EXPECT_EQ(2u, Clicks(IDC_FLAT_CHECK));
}

TEST_F(FlatButtonTest, OutsideCheckBoxModeTheCheckStaysClear)
{
    for (WPARAM nSet : {WPARAM(BST_CHECKED), WPARAM(BST_INDETERMINATE)}) {
        m_dlg.m_ok.SendMessage(BM_SETCHECK, nSet);
        EXPECT_EQ(0, m_dlg.m_ok.SendMessage(BM_GETCHECK));
    }
    EXPECT_EQ(0, m_dlg.m_ok.SetCheckState(1, FALSE));
    EXPECT_EQ(0, m_dlg.m_ok.GetCheckState());
}

TEST_F(FlatButtonTest, PressedOffsetStyles)
{
    EXPECT_EQ(1, m_dlg.m_ok.GetPressedOffset().x);
    EXPECT_EQ(1, m_dlg.m_ok.GetPressedOffset().y);
    EXPECT_EQ(0, m_dlg.m_ok.SetPressedOffsetStyle(1));
    EXPECT_EQ(0, m_dlg.m_ok.GetPressedOffset().x);
    EXPECT_EQ(2, m_dlg.m_ok.GetPressedOffset().y);
    EXPECT_EQ(6, m_dlg.m_ok.SetPressedOffsetStyle(2));
    EXPECT_EQ(0, m_dlg.m_ok.GetPressedOffset().x);
    EXPECT_EQ(2, m_dlg.m_ok.GetPressedOffset().y);
    EXPECT_EQ(0, m_dlg.m_ok.SetPressedOffsetStyle(0));
    EXPECT_EQ(1, m_dlg.m_ok.GetPressedOffset().x);
    EXPECT_EQ(1, m_dlg.m_ok.GetPressedOffset().y);
}

TEST_F(FlatButtonTest, ColoursComeFromTheSystem)
{
    const CFlatButton& b = m_dlg.m_ok;
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), b.GetColor(CFlatButton::BackHot));
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), b.GetColor(CFlatButton::ForeHot));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), b.GetColor(CFlatButton::BackNormal));
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), b.GetColor(CFlatButton::ForeNormal));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), b.GetColor(CFlatButton::BackFocus));
    EXPECT_EQ(::GetSysColor(COLOR_BTNTEXT), b.GetColor(CFlatButton::ForeFocus));
}

TEST_F(FlatButtonTest, DisablingMovesTheFocusOnEvenFromAnotherControl)
{
    HWND hEdit = m_dlg.GetDlgItem(IDC_FLAT_EDIT);
    ::SetFocus(hEdit);
    ASSERT_EQ(hEdit, ::GetFocus());
    m_dlg.m_ok.EnableWindow(FALSE);
    EXPECT_EQ(m_dlg.m_cancel.GetSafeHwnd(), ::GetFocus());

    // And from the button itself.
    m_dlg.m_next.SetFocus();
    ASSERT_EQ(m_dlg.m_next.GetSafeHwnd(), ::GetFocus());
    m_dlg.m_next.EnableWindow(FALSE);
    EXPECT_NE(m_dlg.m_next.GetSafeHwnd(), ::GetFocus());
}

TEST_F(FlatButtonTest, DoubleClickGivesTwoClicks)
{
    const LPARAM pt = Center(m_dlg.m_ok);
    m_dlg.m_clicks.clear();
    m_dlg.m_ok.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, pt);
    m_dlg.m_ok.PostMessage(WM_LBUTTONUP, 0, pt);
    m_dlg.m_ok.PostMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, pt);
    m_dlg.m_ok.PostMessage(WM_LBUTTONUP, 0, pt);
    PumpMessages(m_dlg);
    EXPECT_EQ(2u, Clicks(IDOK));
}

TEST_F(FlatButtonTest, WithoutPreTranslationADoubleClickIsOneClick)
{
    // The contrast case: an owner-drawn button itself turns the double-click into
    // BN_DOUBLECLICKED; only the pre-translation makes it a second press.
    const LPARAM pt = Center(m_dlg.m_ok);
    m_dlg.m_clicks.clear();
    m_dlg.m_ok.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, pt);
    m_dlg.m_ok.SendMessage(WM_LBUTTONUP, 0, pt);
    m_dlg.m_ok.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, pt);
    m_dlg.m_ok.SendMessage(WM_LBUTTONUP, 0, pt);
    EXPECT_EQ(1u, Clicks(IDOK));
}

TEST_F(FlatButtonTest, HotTrackingFollowsThePointer)
{
    ShowOnTop();
    CFlatButton& b = m_dlg.m_ok;
    const LPARAM pt = Center(b);
    POINT ptScreen{LOWORD(pt), HIWORD(pt)};
    b.ClientToScreen(&ptScreen);
    if (::WindowFromPoint(ptScreen) != b.GetSafeHwnd())
        GTEST_SKIP() << "the button is not on top of the display";

    // Entering with the left button held (a drag from elsewhere) does not make it hot.
    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, pt);
    EXPECT_FALSE(b.IsHover());

    ::ValidateRect(b, nullptr);
    b.SendMessage(WM_MOUSEMOVE, 0, pt);
    EXPECT_TRUE(b.IsHover());
    RECT rcUpdate{};
    EXPECT_TRUE(::GetUpdateRect(b, &rcUpdate, FALSE)) << "becoming hot repaints";

    // Once hot, a move with the button held keeps it hot.
    b.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, pt);
    EXPECT_TRUE(b.IsHover());

    b.SendMessage(WM_MOUSELEAVE);
    EXPECT_FALSE(b.IsHover());

    b.SendMessage(WM_MOUSEMOVE, 0, pt);
    ASSERT_TRUE(b.IsHover());
    b.SendMessage(WM_CANCELMODE);
    EXPECT_FALSE(b.IsHover());

    b.SendMessage(WM_MOUSEMOVE, 0, pt);
    ASSERT_TRUE(b.IsHover());
    b.SendMessage(WM_ACTIVATE, WA_INACTIVE);
    EXPECT_FALSE(b.IsHover());

    // A point outside the button (over the dialog) cancels the hot state.
    b.SendMessage(WM_MOUSEMOVE, 0, pt);
    ASSERT_TRUE(b.IsHover());
    b.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(-30, -30));
    EXPECT_FALSE(b.IsHover());
}

// Painting into a DIB section through the owner-draw hook.
class FlatButtonPaintTest : public FlatButtonTest {
protected:
    static const int kWidth = 80;
    static const int kHeight = 30;
    static const COLORREF kSentinel = RGB(1, 2, 3);

    void Paint(CFlatButton& b, TestDib& dib, UINT nState)
    {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = b.GetDlgCtrlID();
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = nState;
        dis.hwndItem = b.GetSafeHwnd();
        dis.hDC = dib.dc();
        dis.rcItem = RECT{0, 0, kWidth, kHeight};
        b.DrawItem(&dis);
    }
    // Pixels of colour clr strictly inside the edges (the caption area).
    static int Inner(const TestDib& dib, COLORREF clr)
    {
        return dib.Count(4, 4, kWidth - 4, kHeight - 4, clr);
    }
};

TEST_F(FlatButtonPaintTest, NormalFaceHasARaisedEdgeAndCaption)
{
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, dib, 0);
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), dib.Pixel(0, 0));
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), dib.Pixel(0, kHeight / 2));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), dib.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), dib.Pixel(kWidth / 2, kHeight - 1));
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), dib.Pixel(3, 3));
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, kSentinel));
    EXPECT_GT(Inner(dib, ::GetSysColor(COLOR_BTNTEXT)), 0) << "the caption is drawn";
}

TEST_F(FlatButtonPaintTest, PressedFaceIsSunkenAndCaptionShifts)
{
    TestDib normal(kWidth, kHeight, kSentinel);
    TestDib pressed(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, normal, 0);
    Paint(m_dlg.m_cancel, pressed, ODS_SELECTED);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pressed.Pixel(0, 0));
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), pressed.Pixel(kWidth - 1, kHeight - 1));
    // The caption moved by (1, 1): each text pixel of the normal face is one down-right.
    const COLORREF clrText = ::GetSysColor(COLOR_BTNTEXT);
    int nText = 0, nShifted = 0;
    for (int y = 3; y < kHeight - 4; ++y)
        for (int x = 3; x < kWidth - 4; ++x)
            if (normal.Pixel(x, y) == clrText) {
                ++nText;
                nShifted += pressed.Pixel(x + 1, y + 1) == clrText;
            }
    EXPECT_GT(nText, 0);
    EXPECT_EQ(nText, nShifted);
}

TEST_F(FlatButtonPaintTest, DisabledCaptionIsEmbossed)
{
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, dib, ODS_DISABLED);
    EXPECT_GT(Inner(dib, ::GetSysColor(COLOR_BTNHIGHLIGHT)), 0);
    EXPECT_GT(Inner(dib, ::GetSysColor(COLOR_BTNSHADOW)), 0);
    EXPECT_EQ(0, Inner(dib, ::GetSysColor(COLOR_BTNTEXT)));
}

TEST_F(FlatButtonPaintTest, FocusedFaceHasAFocusRectangleThreePixelsIn)
{
    TestDib plain(kWidth, kHeight, kSentinel);
    TestDib focused(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, plain, 0);
    Paint(m_dlg.m_cancel, focused, ODS_FOCUS);
    int nRowDiffers = 0, nColumnDiffers = 0, nOutsideDiffers = 0;
    for (int x = 3; x < kWidth - 3; ++x)
        nRowDiffers += focused.Pixel(x, 3) != plain.Pixel(x, 3);
    for (int y = 3; y < kHeight - 3; ++y)
        nColumnDiffers += focused.Pixel(3, y) != plain.Pixel(3, y);
    for (int x = 0; x < kWidth; ++x)
        nOutsideDiffers += focused.Pixel(x, 2) != plain.Pixel(x, 2);
    EXPECT_GT(nRowDiffers, 0);
    EXPECT_GT(nColumnDiffers, 0);
    EXPECT_EQ(0, nOutsideDiffers);
}

TEST_F(FlatButtonPaintTest, DefaultFlatButtonLooksLikeTheOthers)
{
    TestDib defaultFace(kWidth, kHeight, kSentinel);
    TestDib otherFace(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_ok, defaultFace, 0);  // default button, caption "OK"
    m_dlg.m_cancel.SetWindowText("OK");
    Paint(m_dlg.m_cancel, otherFace, 0);
    EXPECT_EQ(0, defaultFace.Count(0, 0, kWidth, kHeight, RGB(0, 0, 0)) -
                     otherFace.Count(0, 0, kWidth, kHeight, RGB(0, 0, 0)));
    EXPECT_EQ(defaultFace.Pixel(0, 0), otherFace.Pixel(0, 0));
}

TEST_F(FlatButtonPaintTest, ThreeDimensionalDefaultButtonHasABlackFrameAndFourLineEdge)
{
    CFlatButton& b = m_dlg.m_ok;
    b.SetFlat(FALSE, FALSE);
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(b, dib, 0);
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(kWidth - 1, kHeight - 1));
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), dib.Pixel(1, 1));
    EXPECT_EQ(::GetSysColor(COLOR_3DLIGHT), dib.Pixel(kWidth / 2, 2));
    EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), dib.Pixel(kWidth - 2, kHeight - 2));
    EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), dib.Pixel(kWidth / 2, kHeight - 2));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), dib.Pixel(kWidth / 2, kHeight - 3));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), dib.Pixel(kWidth - 3, kHeight / 2));

    TestDib pressed(kWidth, kHeight, kSentinel);
    Paint(b, pressed, ODS_SELECTED);
    EXPECT_EQ(RGB(0, 0, 0), pressed.Pixel(0, 0));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pressed.Pixel(1, 1));
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), pressed.Pixel(kWidth - 2, kHeight - 2));

    // A plain 3D button without focus gets no black frame.
    m_dlg.m_cancel.SetFlat(FALSE, FALSE);
    TestDib plain(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, plain, 0);
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), plain.Pixel(0, 0));
}

TEST_F(FlatButtonPaintTest, HotFlatButtonShowsItsRaisedFrame)
{
    ShowOnTop();
    CFlatButton& b = m_dlg.m_cancel;
    const LPARAM pt = Center(b);
    POINT ptScreen{LOWORD(pt), HIWORD(pt)};
    b.ClientToScreen(&ptScreen);
    if (::WindowFromPoint(ptScreen) != b.GetSafeHwnd())
        GTEST_SKIP() << "the button is not on top of the display";
    TestDib normal(kWidth, kHeight, kSentinel);
    Paint(b, normal, 0);
    b.SendMessage(WM_MOUSEMOVE, 0, pt);
    ASSERT_TRUE(b.IsHover());
    TestDib hot(kWidth, kHeight, kSentinel);
    Paint(b, hot, 0);
    // In the default colours the hot face looks the same as the normal one.
    int nDiffers = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            nDiffers += hot.Pixel(x, y) != normal.Pixel(x, y);
    EXPECT_EQ(0, nDiffers);
}

TEST_F(FlatButtonPaintTest, PaintHandsTheDcBackUnchanged)
{
    TestDib dib(kWidth, kHeight, kSentinel);
    HPEN hPen = ::CreatePen(PS_SOLID, 3, RGB(9, 9, 9));
    HBRUSH hBrush = ::CreateSolidBrush(RGB(7, 7, 7));
    HFONT hFont = reinterpret_cast<HFONT>(m_dlg.SendMessage(WM_GETFONT));
    HGDIOBJ hOldPen = ::SelectObject(dib.dc(), hPen);
    HGDIOBJ hOldBrush = ::SelectObject(dib.dc(), hBrush);
    HGDIOBJ hOldFont = ::SelectObject(dib.dc(), hFont);
    ::SetTextColor(dib.dc(), RGB(11, 12, 13));
    ::SetBkColor(dib.dc(), RGB(14, 15, 16));
    ::SetBkMode(dib.dc(), OPAQUE);

    const DWORD nGdiBefore = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (UINT nState : {0u, UINT(ODS_SELECTED), UINT(ODS_FOCUS), UINT(ODS_DISABLED)}) {
        Paint(m_dlg.m_ok, dib, nState);
        Paint(m_dlg.m_check, dib, nState);
    }
    m_dlg.m_next.SetFlat(FALSE, FALSE);
    Paint(m_dlg.m_next, dib, ODS_FOCUS);
    Paint(m_dlg.m_next, dib, 0);
    const DWORD nGdiAfter = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);

    EXPECT_EQ(hPen, ::GetCurrentObject(dib.dc(), OBJ_PEN));
    EXPECT_EQ(hBrush, ::GetCurrentObject(dib.dc(), OBJ_BRUSH));
    EXPECT_EQ(hFont, ::GetCurrentObject(dib.dc(), OBJ_FONT));
    EXPECT_EQ(RGB(11, 12, 13), ::GetTextColor(dib.dc()));
    EXPECT_EQ(RGB(14, 15, 16), ::GetBkColor(dib.dc()));
    EXPECT_EQ(OPAQUE, ::GetBkMode(dib.dc()));
    EXPECT_EQ(nGdiBefore, nGdiAfter) << "every GDI object of a paint is released";

    // Wine counts no GDI objects: paint with the handle table nearly full, so that a
    // leak of one object a paint would exhaust it.
    m_dlg.m_next.SetFlat(TRUE, FALSE);
    m_dlg.m_next.SetIcons(MakeTestIcon(RGB(250, 20, 20)), nullptr, FALSE);
    {
        GdiTableSqueeze squeeze;
        ASSERT_GT(squeeze.Filled(), 1000u);
        for (int i = 0; i < kSqueezeRepeats / 4; ++i) {
            Paint(m_dlg.m_ok, dib, ODS_FOCUS);
            Paint(m_dlg.m_cancel, dib, ODS_SELECTED | ODS_FOCUS);
            Paint(m_dlg.m_next, dib, ODS_DISABLED);
            Paint(m_dlg.m_next, dib, 0);
        }
        m_dlg.m_cancel.SetFlat(FALSE, FALSE);
        for (int i = 0; i < kSqueezeRepeats / 4; ++i) {
            Paint(m_dlg.m_cancel, dib, ODS_FOCUS);
            Paint(m_dlg.m_cancel, dib, ODS_SELECTED);
        }
        EXPECT_TRUE(CanStillCreateGdiObjects());
    }
    m_dlg.m_cancel.SetFlat(TRUE, FALSE);
    TestDib fresh(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_cancel, fresh, 0);
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), fresh.Pixel(0, 0));
    EXPECT_GT(Inner(fresh, ::GetSysColor(COLOR_BTNTEXT)), 0);

    ::SelectObject(dib.dc(), hOldPen);
    ::SelectObject(dib.dc(), hOldBrush);
    ::SelectObject(dib.dc(), hOldFont);
    ::DeleteObject(hPen);
    ::DeleteObject(hBrush);
}

TEST_F(FlatButtonPaintTest, CheckedCheckBoxPaintsPressed)
{
    CFlatButton& b = m_dlg.m_check;
    b.SendMessage(BM_SETCHECK, BST_CHECKED);
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(b, dib, 0);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), dib.Pixel(0, 0));
    b.SendMessage(BM_SETCHECK, BST_UNCHECKED);
    Paint(b, dib, 0);
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), dib.Pixel(0, 0));
}

// ---------------------------------------------------------------------------------------
// The drop-down menu

// Ends any menu still open after a few seconds, so that no test can hang in
// TrackPopupMenu whatever happens to the keys it was sent.
void CALLBACK EndMenuSafety(HWND, UINT, UINT_PTR, DWORD)
{
    ::EndMenu();
}

class FlatButtonMenuTest : public FlatButtonTest {
protected:
    void SetUp() override
    {
        FlatButtonTest::SetUp();
        m_nSafety = ::SetTimer(nullptr, 0, 4000, EndMenuSafety);
    }
    void TearDown() override
    {
        ::KillTimer(nullptr, m_nSafety);
        FlatButtonTest::TearDown();
    }
    UINT_PTR m_nSafety = 0;
};

TEST_F(FlatButtonMenuTest, EveryButtonStartsWithAnEmptyMenu)
{
    EXPECT_EQ(nullptr, m_dlg.m_ok.GetMenu().GetSafeHmenu());
    // With no menu, a click is an ordinary click.
    m_dlg.m_ok.SendMessage(BM_CLICK);
    EXPECT_EQ(1u, Clicks(IDOK));
    EXPECT_TRUE(m_dlg.m_commands.empty());
}

TEST_F(FlatButtonMenuTest, ChosenCommandIsPostedToTheMenuOwner)
{
    CFlatButton& b = m_dlg.m_ok;
    ASSERT_TRUE(b.GetMenu().LoadMenu(IDM_FLAT_TEST));
    b.SetMenuOwner(m_dlg);
    b.SetMenuNotify(m_dlg, WM_TEST_MENU_NOTIFY, 77);
    HMENU hDropDown = ::GetSubMenu(b.GetMenu(), 0);
    ASSERT_NE(nullptr, hDropDown);

    // The keys wait in the queue until the menu's own loop reads them.
    m_dlg.PostMessage(WM_KEYDOWN, VK_DOWN, 0);
    m_dlg.PostMessage(WM_KEYDOWN, VK_RETURN, 0);
    b.SendMessage(BM_CLICK);
    EXPECT_FALSE(b.IsMenuShown());
    ASSERT_EQ(1u, m_dlg.m_notifies.size());
    EXPECT_EQ(reinterpret_cast<WPARAM>(hDropDown), m_dlg.m_notifies[0].first);
    EXPECT_EQ(77, m_dlg.m_notifies[0].second);
    EXPECT_TRUE(m_dlg.m_bMenuShownAtNotify) << "the button shows pressed while the menu is open";
    EXPECT_EQ(1u, Clicks(IDOK)) << "the click still reaches the dialog";

    PumpMessages(m_dlg);
    ASSERT_EQ(1u, m_dlg.m_commands.size());
    EXPECT_EQ(WPARAM(ID_FLAT_COPY), m_dlg.m_commands[0].first);
    EXPECT_EQ(0, m_dlg.m_commands[0].second);
}

// What the open drop-down asked of its owner button, recorded by a subclass outside ours.
struct OwnerTraffic {
    std::vector<std::pair<LPARAM, LRESULT>> menuChars;  // (menu, answer)
    int nMeasured = 0;
    int nMeasureAnswers = 0;
    int nDrawn = 0;
};

LRESULT CALLBACK RecordOwnerTraffic(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR dwRefData)
{
    auto* pTraffic = reinterpret_cast<OwnerTraffic*>(dwRefData);
    const LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
    switch (message) {
    case WM_MENUCHAR:
        pTraffic->menuChars.emplace_back(lParam, result);
        break;
    case WM_MEASUREITEM:
        if (reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlType == ODT_MENU) {
            ++pTraffic->nMeasured;
            pTraffic->nMeasureAnswers +=
                result == TRUE && reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight > 0;
        }
        break;
    case WM_DRAWITEM:
        if (reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->CtlType == ODT_MENU)
            ++pTraffic->nDrawn;
        break;
    default:
        break;
    }
    return result;
}

TEST_F(FlatButtonMenuTest, OpenDropDownIsMeasuredAndAnswersMnemonicsThroughTheButton)
{
    CFlatButton& b = m_dlg.m_ok;
    ASSERT_TRUE(b.GetMenu().LoadMenu(IDM_FLAT_TEST));
    b.SetMenuOwner(m_dlg);
    HMENU hDropDown = ::GetSubMenu(b.GetMenu(), 0);
    OwnerTraffic traffic;
    ASSERT_TRUE(
        ::SetWindowSubclass(b, RecordOwnerTraffic, 1, reinterpret_cast<DWORD_PTR>(&traffic)));
    m_dlg.PostMessage(WM_CHAR, 'a', 0);
    m_dlg.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    b.SendMessage(BM_CLICK);
    ::RemoveWindowSubclass(b, RecordOwnerTraffic, 1);
    PumpMessages(m_dlg);

    // Five items of the drop-down, each measured by the menu through the button.
    EXPECT_EQ(5, traffic.nMeasured);
    EXPECT_EQ(5, traffic.nMeasureAnswers);
    EXPECT_GT(traffic.nDrawn, 0);
    ASSERT_EQ(1u, traffic.menuChars.size());
    EXPECT_EQ(reinterpret_cast<LPARAM>(hDropDown), traffic.menuChars[0].first);
    EXPECT_EQ(MAKELRESULT(1, MNC_SELECT), traffic.menuChars[0].second)
        << "\"Paste &All\" is item 1";
    EXPECT_TRUE(m_dlg.m_commands.empty());
}

TEST_F(FlatButtonMenuTest, CancelledMenuPostsNothing)
{
    CFlatButton& b = m_dlg.m_ok;
    ASSERT_TRUE(b.GetMenu().LoadMenu(IDM_FLAT_TEST));
    b.SetMenuOwner(m_dlg);
    m_dlg.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    b.SendMessage(BM_CLICK);
    PumpMessages(m_dlg);
    EXPECT_TRUE(m_dlg.m_commands.empty());
    EXPECT_FALSE(b.IsMenuShown());
}

TEST_F(FlatButtonMenuTest, MenuCharAndMeasureItemReachTheMenu)
{
    CFlatButton& b = m_dlg.m_ok;
    ASSERT_TRUE(b.GetMenu().LoadMenu(IDM_FLAT_TEST));
    HMENU hDropDown = ::GetSubMenu(b.GetMenu(), 0);
    EXPECT_EQ(MAKELRESULT(4, MNC_SELECT), b.SendMessage(WM_MENUCHAR, MAKEWPARAM('X', MF_POPUP),
                                                        reinterpret_cast<LPARAM>(hDropDown)));
    EXPECT_EQ(MAKELRESULT(1, MNC_SELECT), b.SendMessage(WM_MENUCHAR, MAKEWPARAM('a', MF_POPUP),
                                                        reinterpret_cast<LPARAM>(hDropDown)));
    EXPECT_EQ(0,
              b.SendMessage(WM_MENUCHAR, MAKEWPARAM('a', 0), reinterpret_cast<LPARAM>(hDropDown)));

    // A menu of someone else goes to the default processing (no selection of ours).
    HMENU hForeign = ::CreatePopupMenu();
    ::AppendMenuA(hForeign, MF_STRING, 1, "&Alpha");
    const LRESULT foreign =
        b.SendMessage(WM_MENUCHAR, MAKEWPARAM('a', MF_POPUP), reinterpret_cast<LPARAM>(hForeign));
    EXPECT_NE(MNC_SELECT, HIWORD(foreign));
    ::DestroyMenu(hForeign);

    // Measuring an item of the drop-down answers a size; a non-menu request is left alone.
    const COwnerMenu* pDropDown = COwnerMenu::FromOwnedHandle(hDropDown);
    ASSERT_NE(nullptr, pDropDown);
    MEASUREITEMSTRUCT mis{};
    mis.CtlType = ODT_MENU;
    mis.itemID = ID_FLAT_COPY;
    mis.itemData = reinterpret_cast<ULONG_PTR>(pDropDown->GetItemRecord(0));
    EXPECT_EQ(TRUE, b.SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&mis)));
    EXPECT_GT(mis.itemWidth, 0u);
    EXPECT_GE(int(mis.itemHeight), ::GetSystemMetrics(SM_CYMENU));
}

TEST(FlatButtonLifetime, DestroyingTheButtonReleasesItsMenu)
{
    HMENU hDropDown = nullptr, hMore = nullptr;
    {
        CFlatButton button;
        ASSERT_TRUE(button.GetMenu().LoadMenu(IDM_FLAT_TEST));
        hDropDown = ::GetSubMenu(button.GetMenu(), 0);
        hMore = ::GetSubMenu(hDropDown, 3);
        ASSERT_TRUE(COwnerMenu::IsOwnedMenu(hDropDown));
        ASSERT_TRUE(COwnerMenu::IsOwnedMenu(hMore));
    }
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hDropDown));
    EXPECT_FALSE(COwnerMenu::IsOwnedMenu(hMore));
    EXPECT_FALSE(::IsMenu(hDropDown));
    EXPECT_FALSE(::IsMenu(hMore));
}

TEST(FlatButtonLifetime, SysColorChangeRebuildsTheColours)
{
    // A child button: top-level windows hear WM_SYSCOLORCHANGE from SetSysColors itself.
    HWND hParent =
        ::CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 80, 40, nullptr, nullptr, nullptr, nullptr);
    CFlatButton button;
    HWND hWnd = ::CreateWindowA("BUTTON", "x", WS_CHILD | BS_PUSHBUTTON, 0, 0, 50, 20, hParent,
                                nullptr, nullptr, nullptr);
    ASSERT_TRUE(button.SubclassWindow(hWnd));
    const INT nIndex = COLOR_BTNFACE;
    const COLORREF clrOld = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF clrNew = RGB(10, 200, 30);
    ASSERT_TRUE(::SetSysColors(1, &nIndex, &clrNew));
    EXPECT_EQ(clrOld, button.GetColor(CFlatButton::BackNormal)) << "the colours are cached";
    button.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(clrNew, button.GetColor(CFlatButton::BackNormal));
    EXPECT_EQ(clrNew, button.GetColor(CFlatButton::BackHot));
    ::SetSysColors(1, &nIndex, &clrOld);
    button.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(clrOld, button.GetColor(CFlatButton::BackFocus));
    ::DestroyWindow(hParent);
}

}  // namespace

namespace {

// Where the icon landed: the top-left pixel of colour clr, or (-1, -1).
POINT FindColour(const TestDib& dib, COLORREF clr)
{
    for (int y = 0; y < dib.height(); ++y)
        for (int x = 0; x < dib.width(); ++x)
            if (dib.Pixel(x, y) == clr)
                return POINT{x, y};
    return POINT{-1, -1};
}

class FlatButtonImageTest : public FlatButtonPaintTest {
protected:
    static constexpr COLORREF kHot = RGB(250, 20, 20);
    static constexpr COLORREF kNormal = RGB(20, 20, 250);
};

TEST_F(FlatButtonImageTest, ImageWithoutCaptionIsCentred)
{
    CFlatButton& b = m_dlg.m_next;
    b.SetWindowText("");
    b.SetIcons(MakeTestIcon(kHot), MakeTestIcon(kNormal), FALSE);
    const struct {
        BYTE nAlign;
        UINT nState;
        POINT pt;
        COLORREF clr;
    } table[] = {
        {CFlatButton::ImageLeft, 0, {32, 7}, kNormal},
        {CFlatButton::ImageAbove, 0, {32, 7}, kNormal},
        {CFlatButton::ImageRight, 0, {32, 0}, kNormal},  // only centred horizontally
        {CFlatButton::ImageLeft, ODS_SELECTED, {33, 8}, kHot},
        {7, 0, {0, 0}, kNormal},  // unknown alignment: the item's corner
    };
    for (const auto& row : table) {
        b.SetImageAlign(row.nAlign, FALSE);
        TestDib dib(kWidth, kHeight, kSentinel);
        Paint(b, dib, row.nState);
        const POINT pt = FindColour(dib, row.clr);
        EXPECT_EQ(row.pt.x, pt.x) << "align " << int(row.nAlign);
        EXPECT_EQ(row.pt.y, pt.y) << "align " << int(row.nAlign);
        EXPECT_EQ(16 * 16, dib.Count(0, 0, kWidth, kHeight, row.clr));
        EXPECT_EQ(0, Inner(dib, ::GetSysColor(COLOR_BTNTEXT))) << "no caption";
    }
}

TEST_F(FlatButtonImageTest, ImageBesideTheCaptionPushesItRight)
{
    CFlatButton& b = m_dlg.m_next;  // caption "Next"
    TestDib plain(kWidth, kHeight, kSentinel);
    Paint(b, plain, 0);
    b.SetIcons(MakeTestIcon(kHot), nullptr, FALSE);
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(b, dib, 0);
    const POINT pt = FindColour(dib, kHot);
    EXPECT_EQ(3, pt.x) << "imageMarginX from the edge";
    EXPECT_EQ(7, pt.y);
    // The caption is centred in what is left: (16 + 3) pixels less, so half of that right.
    const COLORREF clrText = ::GetSysColor(COLOR_BTNTEXT);
    auto leftmost = [clrText](const TestDib& d) {
        for (int x = 0; x < d.width(); ++x)
            for (int y = 0; y < d.height(); ++y)
                if (d.Pixel(x, y) == clrText)
                    return x;
        return -1;
    };
    const int nShift = leftmost(dib) - leftmost(plain);
    EXPECT_GE(nShift, 9);
    EXPECT_LE(nShift, 10);
}

TEST_F(FlatButtonImageTest, ReleasingImagesDestroysThem)
{
    HICON hIcon = MakeTestIcon(kHot);
    m_dlg.m_next.SetIcons(hIcon, nullptr, FALSE);
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(hIcon, &info));
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    m_dlg.m_next.ReleaseImages(TRUE);
    EXPECT_FALSE(::GetIconInfo(hIcon, &info));
    TestDib dib(kWidth, kHeight, kSentinel);
    Paint(m_dlg.m_next, dib, 0);
    EXPECT_EQ(0, dib.Count(0, 0, kWidth, kHeight, kHot));
}

}  // namespace

namespace {

TEST_F(FlatButtonTest, ColourRequestsAnswerTheHollowBrush)
{
    HDC hdc = ::GetDC(m_dlg.m_ok);
    const LRESULT brush = m_dlg.SendMessage(WM_CTLCOLORBTN, reinterpret_cast<WPARAM>(hdc),
                                            reinterpret_cast<LPARAM>(m_dlg.m_ok.GetSafeHwnd()));
    ::ReleaseDC(m_dlg.m_ok, hdc);
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), brush);
}

TEST(FlatButtonFocus, DisablingTheOnlyTabStopGivesTheFocusToTheParent)
{
    HWND hParent = ::CreateWindowExA(WS_EX_CONTROLPARENT, "STATIC", "", WS_POPUP, 0, 0, 120, 60,
                                     nullptr, nullptr, nullptr, nullptr);
    HWND hButton =
        ::CreateWindowA("BUTTON", "Only", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 5, 5,
                        60, 20, hParent, nullptr, nullptr, nullptr);
    CFlatButton button;
    ASSERT_TRUE(button.SubclassWindow(hButton));
    ::SetFocus(hButton);
    ASSERT_EQ(hButton, ::GetFocus());
    button.EnableWindow(FALSE);
    EXPECT_EQ(hParent, ::GetFocus());
    button.UnsubclassWindow();
    ::DestroyWindow(hParent);
}

}  // namespace
