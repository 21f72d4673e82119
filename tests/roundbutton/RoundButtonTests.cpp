// CRoundButton, CRoundCheckBox and CRoundRadioButton through real windows: the palette
// arithmetic, the marks painted into a 32-bit DIB section by DrawItem (and through the
// parent's reflected WM_DRAWITEM), the mouse and keyboard sequences with the BN_CLICKED
// notifications the parent receives, the radio group and the system colour change.
#include <gtest/gtest.h>

#include <windows.h>
#include <vector>
#include "controls/RoundButton.h"
#include "framework/Gdi.h"

namespace {

// The palette and pressed state, readable by the tests.
template <typename TBase>
class Probe : public TBase {
public:
    using TBase::m_bPressed;
    using TBase::m_clrDarkShadow;
    using TBase::m_clrFace;
    using TBase::m_clrHalfDarkShadow;
    using TBase::m_clrHalfShadow;
    using TBase::m_clrHighlight;
    using TBase::m_clrLight;
    using TBase::m_clrShadow;
};
using ProbeCheck = Probe<CRoundCheckBox>;
using ProbeRadio = Probe<CRoundRadioButton>;

// One recorded click notification.
struct Click {
    int nId;
    int nCode;
    HWND hWnd;
};

// The parent of the controls: a plain window bound to a CWnd, so that it reflects
// notifications to its bound children, recording the WM_COMMANDs that reach it.
class RecordingParent : public CWnd {
public:
    std::vector<Click> clicks;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_COMMAND)
            clicks.push_back(Click{LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return Default();
    }
};

const char kParentClass[] = "QmRoundTestParent";

void RegisterParentClass()
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kParentClass;
    ::RegisterClassA(&wc);
}

// COLORREF (0x00BBGGRR) to the DIB's pixel layout (0x00RRGGBB).
DWORD Pixel(COLORREF clr)
{
    return (DWORD(GetRValue(clr)) << 16) | (DWORD(GetGValue(clr)) << 8) | GetBValue(clr);
}

// A memory DC with a top-down 32-bit DIB section, filled with a colour no paint uses.
class Canvas {
public:
    static constexpr DWORD kUntouched = 0x00123456;
    Canvas(int cx, int cy) : m_dc(nullptr), m_cx(cx), m_cy(cy)
    {
        m_bitmap.CreateDIBSection32(cx, cy, reinterpret_cast<void**>(&m_pBits));
        m_hOld = m_dc.SelectObject(m_bitmap);
        for (int i = 0; i < cx * cy; ++i)
            m_pBits[i] = kUntouched;
    }
    ~Canvas() { m_dc.SelectObject(m_hOld); }
    HDC dc() const { return m_dc; }
    DWORD At(int x, int y) const
    {
        ::GdiFlush();
        return m_pBits[y * m_cx + x];
    }

private:
    CMemDC m_dc;
    CBitmap m_bitmap;
    DWORD* m_pBits = nullptr;
    HGDIOBJ m_hOld = nullptr;
    int m_cx, m_cy;
};

LPARAM Point(int x, int y)
{
    return MAKELPARAM(WORD(short(x)), WORD(short(y)));
}

const int kWidth = 100;
const int kHeight = 20;

// A parent window with rounded controls created in it.
class RoundButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterParentClass();
        HWND hParent =
            ::CreateWindowExA(0, kParentClass, "Round buttons", WS_OVERLAPPEDWINDOW, 10, 10, 300,
                              250, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, hParent);
        ASSERT_TRUE(parent.SubclassWindow(hParent));
    }
    void TearDown() override
    {
        if (parent.IsWindow())
            ::DestroyWindow(parent.m_hWnd);
    }

    // Creates a button child with style dwStyle and binds it to control.
    HWND AddButton(CWnd& control, int nId, DWORD dwStyle, const char* pszText, int y)
    {
        HWND hWnd =
            ::CreateWindowExA(0, "BUTTON", pszText, WS_CHILD | WS_VISIBLE | dwStyle, 10, y, kWidth,
                              kHeight, parent.m_hWnd, reinterpret_cast<HMENU>(INT_PTR(nId)),
                              ::GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(nullptr, hWnd);
        ::SendMessageA(hWnd, WM_SETFONT,
                       reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        EXPECT_TRUE(control.SubclassWindow(hWnd));
        return hWnd;
    }

    // Paints control with DrawItem into a fresh canvas of the control's size.
    static void Paint(CRoundButton& control, Canvas& canvas, UINT nState)
    {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = control.GetDlgCtrlID();
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = nState;
        dis.hwndItem = control.m_hWnd;
        dis.hDC = canvas.dc();
        ::GetClientRect(control.m_hWnd, &dis.rcItem);
        control.DrawItem(&dis);
    }

    RecordingParent parent;
};

DWORD Sys(int nIndex)
{
    return Pixel(::GetSysColor(nIndex));
}

// ---------------------------------------------------------------------------------------
// Palette arithmetic

TEST(RoundPalette, HalfShadowOfTheClassicScheme)
{
    EXPECT_EQ(RGB(170, 168, 164),
              CRoundButton::HalfwayColor(RGB(212, 208, 200), RGB(128, 128, 128)));
}

TEST(RoundPalette, HalvingRoundsTowardMinusInfinity)
{
    // 5 + ((0 - 5) >> 1) = 5 - 3 = 2; 0 + ((5 - 0) >> 1) = 2; 10 + ((3 - 10) >> 1) = 6.
    EXPECT_EQ(RGB(2, 2, 6), CRoundButton::HalfwayColor(RGB(5, 0, 10), RGB(0, 5, 3)));
    EXPECT_EQ(RGB(255, 0, 128), CRoundButton::HalfwayColor(RGB(255, 0, 128), RGB(255, 0, 128)));
}

TEST(RoundPalette, BrightenStopsAt255)
{
    EXPECT_EQ(RGB(255, 50, 40), CRoundButton::BrightenColor(RGB(250, 10, 0), 40));
    EXPECT_EQ(0u, CRoundButton::BrightenColor(RGB(250, 10, 0), 40) >> 24);
}

TEST(RoundPalette, DimStopsAt0)
{
    EXPECT_EQ(RGB(0, 60, 215), CRoundButton::DimColor(RGB(30, 100, 255), 40));
}

TEST(RoundPalette, DerivedFromTheSystemColours)
{
    ProbeCheck check;
    EXPECT_EQ(::GetSysColor(COLOR_BTNFACE), check.m_clrFace);
    EXPECT_EQ(::GetSysColor(COLOR_BTNSHADOW), check.m_clrShadow);
    EXPECT_EQ(::GetSysColor(COLOR_BTNHIGHLIGHT), check.m_clrHighlight);
    EXPECT_EQ(::GetSysColor(COLOR_3DLIGHT), check.m_clrLight);
    EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), check.m_clrDarkShadow);
    EXPECT_EQ(CRoundButton::HalfwayColor(check.m_clrFace, check.m_clrShadow),
              check.m_clrHalfShadow);
    EXPECT_EQ(CRoundButton::HalfwayColor(check.m_clrShadow, check.m_clrDarkShadow),
              check.m_clrHalfDarkShadow);
}

TEST(RoundMarkRect, PlacesTheMarkByStyle)
{
    const RECT rc{0, 0, 100, 20};
    RECT m = CRoundButton::MarkRectFor(rc, BS_AUTOCHECKBOX, 1);
    EXPECT_EQ(0, m.left);
    EXPECT_EQ(14, m.right);
    EXPECT_EQ(3, m.top);
    EXPECT_EQ(15, m.bottom);
    m = CRoundButton::MarkRectFor(rc, BS_AUTORADIOBUTTON, 2);
    EXPECT_EQ(1, m.left);
    EXPECT_EQ(13, m.right);
    m = CRoundButton::MarkRectFor(rc, BS_LEFTTEXT, 1);
    EXPECT_EQ(86, m.left);
    EXPECT_EQ(100, m.right);
    m = CRoundButton::MarkRectFor(rc, BS_LEFTTEXT, 2);
    EXPECT_EQ(88, m.left);
    m = CRoundButton::MarkRectFor(rc, BS_TOP, 1);
    EXPECT_EQ(1, m.top);
    EXPECT_EQ(13, m.bottom);
    m = CRoundButton::MarkRectFor(rc, BS_BOTTOM, 1);
    EXPECT_EQ(5, m.top);
}

// ---------------------------------------------------------------------------------------
// Painting the check box (mark rectangle 0,3 - 12,15 in a 100 by 20 control)

TEST_F(RoundButtonTest, BindingMakesTheButtonOwnerDrawn)
{
    CRoundCheckBox check;
    HWND hWnd =
        AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT | WS_TABSTOP, "Connect as SYSDBA", 10);
    const DWORD dwStyle = DWORD(::GetWindowLongPtrA(hWnd, GWL_STYLE));
    EXPECT_EQ(DWORD(BS_OWNERDRAW), dwStyle & 0xF);
    EXPECT_TRUE(dwStyle & BS_FLAT);
    EXPECT_TRUE(dwStyle & WS_TABSTOP);
}

TEST_F(RoundButtonTest, FlatUncheckedBox)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    const DWORD frame = Sys(COLOR_WINDOWFRAME), window = Sys(COLOR_WINDOW),
                face = Pixel(::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(frame, canvas.At(0, 3));
    EXPECT_EQ(frame, canvas.At(11, 3));
    EXPECT_EQ(frame, canvas.At(0, 14));
    EXPECT_EQ(frame, canvas.At(11, 14));
    EXPECT_EQ(frame, canvas.At(5, 3));
    for (int y = 4; y < 14; ++y)
        for (int x = 1; x < 11; ++x)
            ASSERT_EQ(window, canvas.At(x, y)) << x << "," << y;
    EXPECT_EQ(face, canvas.At(12, 8));
    EXPECT_EQ(face, canvas.At(5, 1));
    EXPECT_EQ(face, canvas.At(99, 19));
}

TEST_F(RoundButtonTest, FlatCheckedTickIsTwoPixelsThick)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    const DWORD ink = Pixel(::GetSysColor(COLOR_3DDKSHADOW)), window = Sys(COLOR_WINDOW);
    const DWORD face = Pixel(::GetSysColor(COLOR_BTNFACE));
    // (x, y) = (1, 4): strokes (2,8)-(5,11)-(13,3) and (3,8)-(5,10)-(12,3).
    for (POINT pt :
         {POINT{2, 8}, POINT{3, 9}, POINT{4, 10}, POINT{5, 11}, POINT{8, 8}, POINT{11, 5},
          POINT{12, 4}, POINT{3, 8}, POINT{4, 9}, POINT{5, 10}, POINT{8, 7}, POINT{11, 4}})
        EXPECT_EQ(ink, canvas.At(pt.x, pt.y)) << pt.x << "," << pt.y;
    EXPECT_EQ(face, canvas.At(13, 3));  // the end point is not painted
    EXPECT_EQ(window, canvas.At(2, 9));
    EXPECT_EQ(window, canvas.At(2, 7));
    EXPECT_EQ(window, canvas.At(8, 10));
}

TEST_F(RoundButtonTest, FlatDisabledBoxHasDottedFrameAndThinTick)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, ODS_DISABLED);
    const DWORD frame = Sys(COLOR_WINDOWFRAME), window = Sys(COLOR_WINDOW),
                ink = Pixel(::GetSysColor(COLOR_3DDKSHADOW));
    const DWORD face = Pixel(::GetSysColor(COLOR_BTNFACE));
    // Dots: top row odd x, bottom row even x, left column even y, right column odd y.
    EXPECT_EQ(window, canvas.At(1, 3));
    EXPECT_EQ(frame, canvas.At(2, 3));
    EXPECT_EQ(window, canvas.At(0, 14));
    EXPECT_EQ(frame, canvas.At(1, 14));
    EXPECT_EQ(window, canvas.At(0, 4));
    EXPECT_EQ(frame, canvas.At(0, 5));
    EXPECT_EQ(window, canvas.At(11, 3));
    EXPECT_EQ(window, canvas.At(11, 5));
    EXPECT_EQ(frame, canvas.At(11, 6));
    // Only the inner stroke of the tick.
    EXPECT_EQ(window, canvas.At(2, 8));
    EXPECT_EQ(ink, canvas.At(3, 8));
    EXPECT_EQ(ink, canvas.At(11, 4));
    EXPECT_EQ(face, canvas.At(12, 4));
}

TEST_F(RoundButtonTest, FlatPressedBoxHasDoubleFrame)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    Canvas released(kWidth, kHeight);
    Paint(check, released, 0);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    ASSERT_TRUE(check.m_bPressed);
    Canvas pressed(kWidth, kHeight);
    Paint(check, pressed, 0);
    check.SendMessage(WM_LBUTTONUP, 0, Point(500, 5));
    const DWORD frame = Sys(COLOR_WINDOWFRAME), window = Sys(COLOR_WINDOW);
    for (POINT pt :
         {POINT{1, 4}, POINT{10, 4}, POINT{1, 13}, POINT{10, 13}, POINT{5, 4}, POINT{1, 8}}) {
        EXPECT_EQ(frame, pressed.At(pt.x, pt.y)) << pt.x << "," << pt.y;
        EXPECT_EQ(window, released.At(pt.x, pt.y)) << pt.x << "," << pt.y;
    }
    EXPECT_EQ(window, pressed.At(2, 5));
    EXPECT_EQ(frame, pressed.At(0, 3));
}

TEST_F(RoundButtonTest, FlatIndeterminateBar)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "x", 10);
    check.SetCheckState(2);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    const DWORD ink = Pixel(::GetSysColor(COLOR_3DDKSHADOW)), window = Sys(COLOR_WINDOW);
    // (x, y) = (1, 4): rows y+4 and y+5 from x+2 to x+7.
    for (int x = 3; x <= 8; ++x) {
        EXPECT_EQ(ink, canvas.At(x, 8));
        EXPECT_EQ(ink, canvas.At(x, 9));
    }
    EXPECT_EQ(window, canvas.At(9, 8));
    EXPECT_EQ(window, canvas.At(2, 8));
    EXPECT_EQ(window, canvas.At(5, 10));
}

TEST_F(RoundButtonTest, ShadedCheckedTick)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX, "Connect as SYSDBA", 10);
    check.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    const DWORD frame = Sys(COLOR_WINDOWFRAME);
    const DWORD face = Pixel(check.m_clrFace), shadow = Pixel(check.m_clrShadow),
                half = Pixel(check.m_clrHalfShadow);
    const DWORD light = Pixel(check.m_clrHighlight), ink = Pixel(check.m_clrDarkShadow);
    EXPECT_EQ(frame, canvas.At(0, 3));
    EXPECT_EQ(frame, canvas.At(11, 14));
    EXPECT_EQ(light, canvas.At(1, 4));  // raised edge, top left
    EXPECT_EQ(light, canvas.At(1, 10));
    EXPECT_EQ(shadow, canvas.At(10, 12));  // raised edge, bottom right
    EXPECT_EQ(shadow, canvas.At(6, 13));
    EXPECT_EQ(face, canvas.At(10, 4));  // the two softened corners
    EXPECT_EQ(face, canvas.At(1, 13));
    // (x, y) = (1, 4).
    EXPECT_EQ(shadow, canvas.At(12, 5));  // (x+11, y+1)
    EXPECT_EQ(half, canvas.At(13, 5));    // (x+12, y+1)
    EXPECT_EQ(half, canvas.At(12, 6));    // (x+11, y+2)
    EXPECT_EQ(shadow, canvas.At(10, 8));  // shade stroke (x+9, y+3)-(x+9, y+5)
    EXPECT_EQ(half, canvas.At(9, 9));     // (x+5, y+8)-(x+9, y+4)
    EXPECT_EQ(half, canvas.At(3, 10));    // (x+2, y+6)-(x+4, y+8)
    EXPECT_EQ(ink, canvas.At(2, 8));
    EXPECT_EQ(ink, canvas.At(12, 4));
    EXPECT_EQ(ink, canvas.At(8, 7));
    EXPECT_EQ(face, canvas.At(7, 6));
}

TEST_F(RoundButtonTest, ShadedPressedBoxIsSunken)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX, "x", 10);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    check.SendMessage(WM_LBUTTONUP, 0, Point(500, 5));
    EXPECT_EQ(Pixel(check.m_clrShadow), canvas.At(1, 4));
    EXPECT_EQ(Pixel(check.m_clrLight), canvas.At(10, 12));
    EXPECT_EQ(Pixel(check.m_clrHalfShadow), canvas.At(5, 8));
}

TEST_F(RoundButtonTest, LeftTextPutsTheMarkAtTheRight)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT | BS_LEFTTEXT, "x", 10);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    const DWORD frame = Sys(COLOR_WINDOWFRAME), face = Pixel(::GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(frame, canvas.At(86, 3));
    EXPECT_EQ(frame, canvas.At(97, 14));
    EXPECT_EQ(face, canvas.At(98, 8));
    EXPECT_EQ(face, canvas.At(0, 3));
}

TEST_F(RoundButtonTest, DisabledCaptionTurnsShadow)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "MMMMMMMM", 10);
    auto countColour = [](Canvas& canvas, DWORD clr) {
        int n = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 17; x < kWidth; ++x)
                n += canvas.At(x, y) == clr;
        return n;
    };
    Canvas enabled(kWidth, kHeight);
    Paint(check, enabled, 0);
    Canvas disabled(kWidth, kHeight);
    Paint(check, disabled, ODS_DISABLED);
    EXPECT_GT(countColour(enabled, 0x000000), 10);
    EXPECT_EQ(0, countColour(disabled, 0x000000));
    EXPECT_GT(countColour(disabled, Pixel(check.m_clrShadow)), 10);
    // The caption begins 17 pixels from the left edge.
    int nLeftmost = kWidth;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 14; x < kWidth; ++x)
            if (enabled.At(x, y) == 0x000000 && x < nLeftmost)
                nLeftmost = x;
    EXPECT_GE(nLeftmost, 17);
    EXPECT_LE(nLeftmost, 19);
}

TEST_F(RoundButtonTest, FocusRectangleAroundTheCaption)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "MMMM", 10);
    Canvas plain(kWidth, kHeight);
    Paint(check, plain, 0);
    Canvas focused(kWidth, kHeight);
    Paint(check, focused, ODS_FOCUS);
    // The dotted rectangle starts one pixel left of the caption, at x = 16.
    int nChanged = 0;
    for (int y = 0; y < kHeight; ++y)
        nChanged += plain.At(16, y) != focused.At(16, y);
    EXPECT_GT(nChanged, 2);
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(plain.At(15, y), focused.At(15, y));
}

TEST_F(RoundButtonTest, PaintLeavesTheTargetDcAsItWas)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX, "Connect as SYSDBA", 10);
    check.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    CPen pen(PS_SOLID, 3, RGB(1, 2, 3));
    CBrush brush(RGB(4, 5, 6));
    HFONT hFont = static_cast<HFONT>(::GetStockObject(ANSI_FIXED_FONT));
    HGDIOBJ hOldPen = ::SelectObject(canvas.dc(), pen);
    HGDIOBJ hOldBrush = ::SelectObject(canvas.dc(), brush);
    HGDIOBJ hOldFont = ::SelectObject(canvas.dc(), hFont);
    ::SetTextColor(canvas.dc(), RGB(7, 8, 9));
    ::SetBkMode(canvas.dc(), OPAQUE);
    Paint(check, canvas, ODS_FOCUS);
    EXPECT_EQ(static_cast<HGDIOBJ>(pen), ::GetCurrentObject(canvas.dc(), OBJ_PEN));
    EXPECT_EQ(static_cast<HGDIOBJ>(brush), ::GetCurrentObject(canvas.dc(), OBJ_BRUSH));
    EXPECT_EQ(static_cast<HGDIOBJ>(hFont), ::GetCurrentObject(canvas.dc(), OBJ_FONT));
    EXPECT_EQ(RGB(7, 8, 9), ::GetTextColor(canvas.dc()));
    EXPECT_EQ(OPAQUE, ::GetBkMode(canvas.dc()));
    ::SelectObject(canvas.dc(), hOldPen);
    ::SelectObject(canvas.dc(), hOldBrush);
    ::SelectObject(canvas.dc(), hOldFont);
}

// Every pen, brush, bitmap and DC of a paint is released. The process's GDI handle table
// is filled up to 40 free entries first; a paint leaking even one object eats them up,
// which the count of entries still free afterwards shows.
TEST_F(RoundButtonTest, PaintsReleaseWhatTheyCreate)
{
    ProbeCheck check;
    ProbeRadio radio;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    AddButton(radio, 1015, BS_AUTORADIOBUTTON, "One package", 40);
    check.SetCheckState(1);
    radio.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    Canvas last(kWidth, kHeight);

    std::vector<HPEN> ballast;
    while (ballast.size() < 200000) {
        HPEN hPen = ::CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
        if (!hPen)
            break;
        ballast.push_back(hPen);
    }
    ASSERT_LT(ballast.size(), 200000u) << "no limit to the GDI handles found";
    for (int i = 0; i < 40 && !ballast.empty(); ++i) {
        ::DeleteObject(ballast.back());
        ballast.pop_back();
    }
    const UINT states[] = {0, ODS_DISABLED, ODS_FOCUS, ODS_DISABLED | ODS_FOCUS};
    for (int i = 0; i < 200; ++i) {
        check.m_bPressed = (i % 5 == 0);
        radio.m_bPressed = (i % 7 == 0);
        check.SetMarkStyle(i % 2);
        check.ModifyStyle(BS_FLAT, (i % 3 == 0) ? 0 : BS_FLAT);
        radio.ModifyStyle(BS_FLAT, (i % 4 == 0) ? BS_FLAT : 0);
        Paint(check, canvas, states[i % 4]);
        Paint(radio, canvas, states[(i / 4) % 4]);
    }
    check.m_bPressed = FALSE;
    radio.m_bPressed = FALSE;
    check.SetMarkStyle(0);
    check.ModifyStyle(0, BS_FLAT);
    Paint(check, last, 0);
    // The free entries left must still be (nearly) all there.
    std::vector<HPEN> probes;
    while (probes.size() < 100) {
        HPEN hPen = ::CreatePen(PS_SOLID, 1, RGB(4, 5, 6));
        if (!hPen)
            break;
        probes.push_back(hPen);
    }
    for (HPEN hPen : probes)
        ::DeleteObject(hPen);
    for (HPEN hPen : ballast)
        ::DeleteObject(hPen);
    EXPECT_GE(probes.size(), 34u);
    EXPECT_EQ(Pixel(::GetSysColor(COLOR_3DDKSHADOW)), last.At(12, 4));
    EXPECT_EQ(Sys(COLOR_WINDOWFRAME), last.At(0, 3));
}

// The real paint path: the button asks its parent (WM_DRAWITEM), which reflects the
// request to the bound control.
TEST_F(RoundButtonTest, ParentReflectsTheDrawRequest)
{
    CRoundCheckBox check;
    HWND hWnd = AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    ::SendMessageA(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    EXPECT_EQ(Sys(COLOR_WINDOWFRAME), canvas.At(0, 3));
    EXPECT_EQ(Pixel(::GetSysColor(COLOR_3DDKSHADOW)), canvas.At(12, 4));
    EXPECT_EQ(Sys(COLOR_WINDOW), canvas.At(2, 9));
}

// ---------------------------------------------------------------------------------------
// Painting the radio button (mark rectangle 1,3 - 13,15)

TEST_F(RoundButtonTest, FlatRadioUncheckedAndChecked)
{
    CRoundRadioButton radio;
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | BS_FLAT | WS_GROUP, "One package", 10);
    const DWORD frame = Sys(COLOR_WINDOWFRAME), window = Sys(COLOR_WINDOW),
                ink = Pixel(::GetSysColor(COLOR_3DDKSHADOW));
    const DWORD face = Pixel(::GetSysColor(COLOR_BTNFACE));
    Canvas unchecked(kWidth, kHeight);
    Paint(radio, unchecked, 0);
    EXPECT_EQ(frame, unchecked.At(7, 3));
    EXPECT_EQ(frame, unchecked.At(7, 14));
    EXPECT_EQ(frame, unchecked.At(1, 9));
    EXPECT_EQ(frame, unchecked.At(12, 9));
    EXPECT_EQ(window, unchecked.At(7, 9));
    EXPECT_EQ(window, unchecked.At(7, 4));
    EXPECT_EQ(face, unchecked.At(1, 3));  // the rounded corner leaves the face
    EXPECT_EQ(face, unchecked.At(0, 9));

    radio.SetCheckState(1);
    Canvas checked(kWidth, kHeight);
    Paint(radio, checked, 0);
    // The dot: RoundRect (4,6)-(10,12).
    for (int y = 7; y <= 10; ++y)
        for (int x = 5; x <= 8; ++x)
            EXPECT_EQ(ink, checked.At(x, y)) << x << "," << y;
    EXPECT_EQ(window, checked.At(3, 9));
    EXPECT_EQ(window, checked.At(10, 9));
    EXPECT_EQ(frame, checked.At(7, 3));
}

TEST_F(RoundButtonTest, FlatRadioPressedHasDoubleRing)
{
    ProbeRadio radio;
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | BS_FLAT | WS_GROUP, "One package", 10);
    radio.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    ASSERT_TRUE(radio.m_bPressed);
    Canvas canvas(kWidth, kHeight);
    Paint(radio, canvas, 0);
    radio.SendMessage(WM_LBUTTONUP, 0, Point(500, 5));
    const DWORD frame = Sys(COLOR_WINDOWFRAME), window = Sys(COLOR_WINDOW);
    EXPECT_EQ(frame, canvas.At(7, 4));
    EXPECT_EQ(frame, canvas.At(7, 13));
    EXPECT_EQ(frame, canvas.At(2, 9));
    EXPECT_EQ(frame, canvas.At(11, 9));
    EXPECT_EQ(window, canvas.At(7, 5));
    EXPECT_EQ(window, canvas.At(7, 9));
}

TEST_F(RoundButtonTest, ShadedRadioRaisedAndSunken)
{
    ProbeRadio radio;
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | WS_GROUP, "One package", 10);
    // Offsets from the mark's corner (1, 3).
    auto at = [](Canvas& canvas, int dx, int dy) { return canvas.At(1 + dx, 3 + dy); };
    Canvas raised(kWidth, kHeight);
    Paint(radio, raised, 0);
    EXPECT_EQ(Pixel(radio.m_clrHighlight), at(raised, 2, 5));
    EXPECT_EQ(Pixel(radio.m_clrHighlight), at(raised, 3, 5));
    EXPECT_EQ(Pixel(radio.m_clrShadow), at(raised, 10, 5));
    EXPECT_EQ(Pixel(radio.m_clrShadow), at(raised, 0, 3));
    EXPECT_EQ(Pixel(radio.m_clrShadow), at(raised, 8, 11));
    EXPECT_EQ(Pixel(radio.m_clrFace), at(raised, 9, 4));
    EXPECT_EQ(Pixel(radio.m_clrHalfDarkShadow), at(raised, 1, 3));

    radio.SetCheckState(1);
    Canvas sunken(kWidth, kHeight);
    Paint(radio, sunken, 0);
    EXPECT_EQ(Pixel(radio.m_clrHighlight), at(sunken, 9, 4));  // (2, 7) mirrored
    EXPECT_EQ(Pixel(radio.m_clrHighlight), at(sunken, 9, 6));
    EXPECT_EQ(Pixel(radio.m_clrShadow), at(sunken, 1, 5));      // (10, 6) mirrored
    EXPECT_EQ(Pixel(radio.m_clrDarkShadow), at(sunken, 5, 5));  // the dot
    EXPECT_EQ(Pixel(radio.m_clrShadow), at(sunken, 0, 3));
}

TEST_F(RoundButtonTest, DisabledShadedRadioDotInShadow)
{
    ProbeRadio radio;
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | WS_GROUP, "One package", 10);
    radio.SetCheckState(1);
    Canvas canvas(kWidth, kHeight);
    Paint(radio, canvas, ODS_DISABLED);
    EXPECT_EQ(Pixel(radio.m_clrShadow), canvas.At(1 + 5, 3 + 5));
    EXPECT_EQ(Pixel(radio.m_clrHalfShadow), canvas.At(1 + 0, 3 + 3));
    EXPECT_EQ(Pixel(radio.m_clrShadow), canvas.At(1 + 6, 3 + 0));
}

// ---------------------------------------------------------------------------------------
// Check box behaviour

TEST_F(RoundButtonTest, ClickTogglesAndNotifies)
{
    ProbeCheck check;
    HWND hWnd = AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    EXPECT_TRUE(check.m_bPressed);
    EXPECT_EQ(hWnd, ::GetCapture());
    EXPECT_EQ(hWnd, ::GetFocus());
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_TRUE(parent.clicks.empty());
    check.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_FALSE(check.m_bPressed);
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_EQ(1, check.GetCheckState());
    ASSERT_EQ(1u, parent.clicks.size());
    EXPECT_EQ(1018, parent.clicks[0].nId);
    EXPECT_EQ(BN_CLICKED, parent.clicks[0].nCode);
    EXPECT_EQ(hWnd, parent.clicks[0].hWnd);

    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    check.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_EQ(2u, parent.clicks.size());
}

TEST_F(RoundButtonTest, DragOffAndReleaseOutsideChangesNothing)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    check.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Point(150, 5));
    EXPECT_FALSE(check.m_bPressed);
    check.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Point(-3, 5));
    EXPECT_FALSE(check.m_bPressed);
    check.SendMessage(WM_LBUTTONUP, 0, Point(-3, 5));
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_TRUE(parent.clicks.empty());
    EXPECT_EQ(nullptr, ::GetCapture());
}

TEST_F(RoundButtonTest, DragOffAndBackToggles)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    check.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Point(5, 40));
    EXPECT_FALSE(check.m_bPressed);
    check.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Point(50, 10));
    EXPECT_TRUE(check.m_bPressed);
    check.SendMessage(WM_LBUTTONUP, 0, Point(50, 10));
    EXPECT_EQ(1, check.GetCheckState());
    EXPECT_EQ(1u, parent.clicks.size());
}

TEST_F(RoundButtonTest, MouseMoveWithoutCaptureDoesNotPress)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "x", 10);
    check.SendMessage(WM_MOUSEMOVE, 0, Point(5, 5));
    EXPECT_FALSE(check.m_bPressed);
}

TEST_F(RoundButtonTest, SpaceTogglesOnRelease)
{
    ProbeCheck check;
    HWND hWnd = AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "Connect as SYSDBA", 10);
    check.SendMessage(WM_KEYDOWN, VK_SPACE, 0x00390001);
    EXPECT_TRUE(check.m_bPressed);
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_TRUE(parent.clicks.empty());
    check.SendMessage(WM_KEYDOWN, VK_SPACE, 0x40390001);  // auto-repeat
    EXPECT_TRUE(parent.clicks.empty());
    check.SendMessage(WM_KEYUP, VK_SPACE, 0xC0390001);
    EXPECT_FALSE(check.m_bPressed);
    EXPECT_EQ(1, check.GetCheckState());
    ASSERT_EQ(1u, parent.clicks.size());
    EXPECT_EQ(hWnd, parent.clicks[0].hWnd);
    // Other keys do nothing.
    check.SendMessage(WM_KEYDOWN, 'A', 0);
    check.SendMessage(WM_KEYUP, 'A', 0);
    EXPECT_FALSE(check.m_bPressed);
    EXPECT_EQ(1, check.GetCheckState());
    EXPECT_EQ(1u, parent.clicks.size());
}

TEST_F(RoundButtonTest, IndeterminateBecomesUncheckedOnClick)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "x", 10);
    check.SetCheckState(2);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    check.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_EQ(0, check.GetCheckState());
}

TEST_F(RoundButtonTest, DoubleClickCountsAsSecondPress)
{
    ProbeCheck check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "x", 10);
    check.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    check.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    check.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, Point(5, 5));
    EXPECT_TRUE(check.m_bPressed);
    check.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_EQ(2u, parent.clicks.size());
}

TEST_F(RoundButtonTest, SetCheckStateSendsNothing)
{
    CRoundCheckBox check;
    AddButton(check, 1018, BS_AUTOCHECKBOX | BS_FLAT, "x", 10);
    check.SetCheckState(1);
    EXPECT_EQ(1, check.GetCheckState());
    check.SetCheckState(0);
    EXPECT_EQ(0, check.GetCheckState());
    EXPECT_TRUE(parent.clicks.empty());
}

TEST(RoundPushButton, HasNoCheckState)
{
    CRoundButton push;
    push.SetCheckState(1);
    EXPECT_EQ(0, push.GetCheckState());
    EXPECT_EQ(0, push.GetKind());
}

// ---------------------------------------------------------------------------------------
// Radio group: r1 (group start), r2, r3, a plain push button, then the next group.

class RadioGroupTest : public RoundButtonTest {
protected:
    void SetUp() override
    {
        RoundButtonTest::SetUp();
        h1 = AddButton(r1, 1015, BS_AUTORADIOBUTTON | BS_FLAT | WS_GROUP | WS_TABSTOP,
                       "One package", 10);
        h2 = AddButton(r2, 1016, BS_AUTORADIOBUTTON | BS_FLAT, "All packages", 35);
        h3 = AddButton(r3, 1017, BS_AUTORADIOBUTTON | BS_FLAT, "Third", 60);
        hPush = ::CreateWindowExA(0, "BUTTON", "Push", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10,
                                  85, 80, 20, parent.m_hWnd, reinterpret_cast<HMENU>(INT_PTR(1020)),
                                  ::GetModuleHandleA(nullptr), nullptr);
        hNext =
            ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 10, 110,
                              80, 20, parent.m_hWnd, reinterpret_cast<HMENU>(INT_PTR(1021)),
                              ::GetModuleHandleA(nullptr), nullptr);
    }
    void Click(CWnd& radio)
    {
        radio.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
        radio.SendMessage(WM_LBUTTONUP, 0, Point(5, 5));
    }
    static BOOL Arrow(CRoundRadioButton& radio, WPARAM key)
    {
        MSG msg{};
        msg.hwnd = radio.m_hWnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = key;
        return radio.PreTranslateMessage(&msg);
    }
    std::vector<int> States() const
    {
        return {r1.GetCheckState(), r2.GetCheckState(), r3.GetCheckState()};
    }

    ProbeRadio r1, r2, r3;
    HWND h1 = nullptr, h2 = nullptr, h3 = nullptr, hPush = nullptr, hNext = nullptr;
};

TEST_F(RadioGroupTest, ClickChecksOneAndUnchecksTheOthers)
{
    r1.SetCheckState(1);
    Click(r2);
    EXPECT_EQ((std::vector<int>{0, 1, 0}), States());
    ASSERT_EQ(1u, parent.clicks.size());
    EXPECT_EQ(1016, parent.clicks[0].nId);
    EXPECT_EQ(BN_CLICKED, parent.clicks[0].nCode);
    EXPECT_EQ(h2, parent.clicks[0].hWnd);
    Click(r3);
    EXPECT_EQ((std::vector<int>{0, 0, 1}), States());
}

TEST_F(RadioGroupTest, ClickingTheCheckedButtonStillNotifies)
{
    r2.SetCheckState(1);
    Click(r2);
    EXPECT_EQ((std::vector<int>{0, 1, 0}), States());
    EXPECT_EQ(1u, parent.clicks.size());
}

TEST_F(RadioGroupTest, ReleaseOutsideChangesNothing)
{
    r1.SetCheckState(1);
    r2.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
    r2.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, Point(5, 50));
    EXPECT_FALSE(r2.m_bPressed);
    r2.SendMessage(WM_LBUTTONUP, 0, Point(5, 50));
    EXPECT_EQ((std::vector<int>{1, 0, 0}), States());
    EXPECT_TRUE(parent.clicks.empty());
}

TEST_F(RadioGroupTest, SpaceChecksOnRelease)
{
    r1.SetCheckState(1);
    r3.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(r3.m_bPressed);
    EXPECT_EQ((std::vector<int>{1, 0, 0}), States());
    r3.SendMessage(WM_KEYUP, VK_SPACE, 0);
    EXPECT_FALSE(r3.m_bPressed);
    EXPECT_EQ((std::vector<int>{0, 0, 1}), States());
    ASSERT_EQ(1u, parent.clicks.size());
    EXPECT_EQ(1017, parent.clicks[0].nId);
}

TEST_F(RadioGroupTest, DownMovesTheCheckToTheNextButton)
{
    r1.SetCheckState(1);
    EXPECT_FALSE(Arrow(r1, VK_DOWN));
    EXPECT_EQ((std::vector<int>{0, 1, 0}), States());
    ASSERT_EQ(1u, parent.clicks.size());
    EXPECT_EQ(1016, parent.clicks[0].nId);
    EXPECT_EQ(h2, parent.clicks[0].hWnd);
    EXPECT_FALSE(Arrow(r2, VK_RIGHT));
    EXPECT_EQ((std::vector<int>{0, 0, 1}), States());
    EXPECT_FALSE(Arrow(r3, VK_LEFT));
    EXPECT_EQ((std::vector<int>{0, 1, 0}), States());
    EXPECT_EQ(3u, parent.clicks.size());
}

TEST_F(RadioGroupTest, ArrowOntoAnotherKindOfControlKeepsTheCheckAndConsumesTheKey)
{
    r1.SetCheckState(1);
    // Up from the first button wraps to the push button at the end of the group.
    EXPECT_TRUE(Arrow(r1, VK_UP));
    EXPECT_EQ((std::vector<int>{1, 0, 0}), States());
    EXPECT_TRUE(parent.clicks.empty());
}

TEST_F(RadioGroupTest, OtherKeysAreNotTouched)
{
    r1.SetCheckState(1);
    EXPECT_FALSE(Arrow(r1, VK_TAB));
    EXPECT_FALSE(Arrow(r1, VK_SPACE));
    EXPECT_EQ((std::vector<int>{1, 0, 0}), States());
    EXPECT_TRUE(parent.clicks.empty());
}

TEST_F(RadioGroupTest, TabbingIntoTheGroupLandsOnTheCheckedButton)
{
    r3.SetCheckState(1);
    ::SetFocus(hNext);
    ::SetFocus(h1);
    EXPECT_EQ(h3, ::GetFocus());
    // A checked button keeps the focus it gets.
    ::SetFocus(hNext);
    ::SetFocus(h3);
    EXPECT_EQ(h3, ::GetFocus());
}

TEST_F(RadioGroupTest, FocusStaysWhenNoButtonIsChecked)
{
    ::SetFocus(hNext);
    ::SetFocus(h1);
    EXPECT_EQ(h1, ::GetFocus());
    for (const auto& click : parent.clicks)
        EXPECT_NE(BN_CLICKED, click.nCode) << click.nId;
}

TEST_F(RadioGroupTest, WalkStopsAtAnotherKindOfControl)
{
    // r2 -> r3 -> push button: the walk from r2 ends at the push button, never reaching r1.
    r1.SetCheckState(1);
    ::SetFocus(hNext);
    ::SetFocus(h2);
    EXPECT_EQ(h2, ::GetFocus());
}

// ---------------------------------------------------------------------------------------
// System colour change

class SysColorGuard {
public:
    SysColorGuard()
    {
        for (int i = 0; i < 3; ++i)
            m_saved[i] = ::GetSysColor(kIndexes[i]);
    }
    ~SysColorGuard() { ::SetSysColors(3, kIndexes, m_saved); }
    static constexpr int kIndexes[3] = {COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};

private:
    COLORREF m_saved[3];
};
constexpr int SysColorGuard::kIndexes[3];

TEST_F(RoundButtonTest, SysColorChangeRebuildsThePalette)
{
    SysColorGuard guard;
    ProbeCheck check;
    ProbeRadio radio;
    AddButton(check, 1018, BS_AUTOCHECKBOX, "x", 10);
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | WS_GROUP, "y", 40);
    const int indexes[2] = {COLOR_BTNFACE, COLOR_BTNSHADOW};
    const COLORREF colours[2] = {RGB(212, 208, 200), RGB(128, 128, 128)};
    ASSERT_TRUE(::SetSysColors(2, indexes, colours));
    check.SendMessage(WM_SYSCOLORCHANGE);
    radio.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(RGB(212, 208, 200), check.m_clrFace);
    EXPECT_EQ(RGB(170, 168, 164), check.m_clrHalfShadow);
    EXPECT_EQ(RGB(170, 168, 164), radio.m_clrHalfShadow);

    const COLORREF odd[2] = {RGB(200, 100, 50), RGB(20, 90, 160)};
    ASSERT_TRUE(::SetSysColors(2, indexes, odd));
    check.SendMessage(WM_SYSCOLORCHANGE);
    EXPECT_EQ(RGB(200, 100, 50), check.m_clrFace);
    EXPECT_EQ(CRoundButton::HalfwayColor(RGB(200, 100, 50), RGB(20, 90, 160)),
              check.m_clrHalfShadow);
    Canvas canvas(kWidth, kHeight);
    Paint(check, canvas, 0);
    EXPECT_EQ(Pixel(RGB(200, 100, 50)), canvas.At(50, 1));
    // The shaded box's bottom-right edge uses the new shadow pen and colour.
    EXPECT_EQ(Pixel(RGB(20, 90, 160)), canvas.At(10, 12));
}

// Every component value 0..255 in each of the three colours: the pressed mark paints in the
// colours dimmed by 40, and the palette is the system's again after the paint.
TEST_F(RoundButtonTest, PressedShadedRadioDimsForThePaintOnlyAtEveryComponentValue)
{
    SysColorGuard guard;
    ProbeRadio radio;
    AddButton(radio, 1015, BS_AUTORADIOBUTTON | WS_GROUP, "y", 10);
    for (int v = 0; v < 256; ++v) {
        SCOPED_TRACE(v);
        auto shifted = [v](int nBy) { return BYTE((v + nBy) % 256); };
        const COLORREF colours[3] = {RGB(v, shifted(85), shifted(170)),
                                     RGB(shifted(170), v, shifted(85)),
                                     RGB(shifted(85), shifted(170), v)};
        ASSERT_TRUE(::SetSysColors(3, SysColorGuard::kIndexes, colours));
        radio.SendMessage(WM_SYSCOLORCHANGE);
        const COLORREF clrFace = radio.m_clrFace;
        const COLORREF clrShadow = radio.m_clrShadow;
        const COLORREF clrHighlight = radio.m_clrHighlight;
        const COLORREF clrHalfShadow = radio.m_clrHalfShadow;
        const COLORREF clrLight = radio.m_clrLight;
        ASSERT_EQ(colours[0], clrFace);

        radio.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, Point(5, 5));
        Canvas canvas(kWidth, kHeight);
        Paint(radio, canvas, 0);
        radio.SendMessage(WM_LBUTTONUP, 0, Point(500, 5));

        EXPECT_EQ(Pixel(CRoundButton::DimColor(clrHighlight, 40)), canvas.At(1 + 9, 3 + 4));
        EXPECT_EQ(Pixel(CRoundButton::DimColor(clrFace, 40)), canvas.At(1 + 4, 3 + 4));
        EXPECT_EQ(Pixel(CRoundButton::DimColor(clrShadow, 40)), canvas.At(1 + 1, 3 + 5));
        EXPECT_EQ(clrFace, radio.m_clrFace);
        EXPECT_EQ(clrShadow, radio.m_clrShadow);
        EXPECT_EQ(clrHighlight, radio.m_clrHighlight);
        EXPECT_EQ(clrHalfShadow, radio.m_clrHalfShadow);
        EXPECT_EQ(clrLight, radio.m_clrLight);
    }
}

}  // namespace
