// Dialog units and pixels: the dialogs are created from their templates and every
// control is checked to sit exactly where MapDialogRect puts the template's rectangle,
// and MapDialogRect itself is checked against the documented base-unit formula for
// the dialog's font. The layout helper of the resizable dialogs builds on both.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "DialogTemplate.h"
#include "ModelessDialog.h"
#include "res/resource.h"

namespace {

using AppTest::ClientRectOf;
using AppTest::ModelessDialog;

using LayoutTest = ::testing::TestWithParam<UINT>;

TEST_P(LayoutTest, ControlsSitWhereMapDialogRectPutsThem)
{
    DialogTemplate tpl;
    ASSERT_TRUE(LoadDialogTemplate(::GetModuleHandleA(nullptr), GetParam(), tpl));
    ModelessDialog dlg(GetParam());
    ASSERT_NE(dlg.get(), nullptr);

    // The client area is the template's size, converted.
    RECT want = tpl.rc;
    ASSERT_TRUE(::MapDialogRect(dlg.get(), &want));
    RECT client;
    ::GetClientRect(dlg.get(), &client);
    EXPECT_EQ(client.right, want.right - want.left);
    EXPECT_EQ(client.bottom, want.bottom - want.top);

    // The children, in template order (the dialog manager keeps them in that Z order).
    HWND hCtrl = ::GetWindow(dlg.get(), GW_CHILD);
    for (size_t i = 0; i < tpl.items.size(); ++i, hCtrl = ::GetWindow(hCtrl, GW_HWNDNEXT)) {
        SCOPED_TRACE("item " + std::to_string(i) + " id " + std::to_string(tpl.items[i].id));
        ASSERT_NE(hCtrl, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(hCtrl), tpl.items[i].id);
        // Like the dialog manager, convert the origin and the size, not the far corner:
        // the right edge is x + cx in pixels, which may differ by one from the far
        // corner converted on its own.
        const RECT& du = tpl.items[i].rc;
        RECT pos{du.left, du.top, du.right - du.left, du.bottom - du.top};
        ASSERT_TRUE(::MapDialogRect(dlg.get(), &pos));
        const RECT got = ClientRectOf(dlg.get(), hCtrl);
        EXPECT_EQ(got.left, pos.left);
        EXPECT_EQ(got.top, pos.top);
        EXPECT_EQ(got.right - got.left, pos.right);
        EXPECT_EQ(got.bottom - got.top, pos.bottom);
    }
    EXPECT_EQ(hCtrl, nullptr) << "more children than template items";
}

TEST_P(LayoutTest, MapDialogRectFollowsTheFontsBaseUnits)
{
    ModelessDialog dlg(GetParam());
    ASSERT_NE(dlg.get(), nullptr);
    HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(dlg.get(), WM_GETFONT, 0, 0));
    ASSERT_NE(hFont, nullptr);

    // The dialog's font is the template's 8-point font at the screen's resolution.
    LOGFONTA lf{};
    ASSERT_TRUE(::GetObjectA(hFont, sizeof(lf), &lf));
    HDC hdc = ::GetDC(nullptr);
    const int logPixelsY = ::GetDeviceCaps(hdc, LOGPIXELSY);
    EXPECT_EQ(lf.lfHeight, -::MulDiv(8, logPixelsY, 72));

    // Horizontal base unit: the average width of the 52 letters, rounded; vertical: the
    // font's height.
    HGDIOBJ old = ::SelectObject(hdc, hFont);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(hdc, &tm);
    SIZE size{};
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    ::GetTextExtentPoint32A(hdc, letters, 52, &size);
    ::SelectObject(hdc, old);
    ::ReleaseDC(nullptr, hdc);
    const int baseX = (size.cx / 26 + 1) / 2;
    const int baseY = tm.tmHeight;

    RECT rc{4, 8, 336, 233};
    ASSERT_TRUE(::MapDialogRect(dlg.get(), &rc));
    EXPECT_EQ(rc.left, baseX);
    EXPECT_EQ(rc.top, baseY);
    EXPECT_EQ(rc.right, ::MulDiv(336, baseX, 4));
    EXPECT_EQ(rc.bottom, ::MulDiv(233, baseY, 8));
}

INSTANTIATE_TEST_SUITE_P(ResizableDialogs, LayoutTest,
                         ::testing::Values(UINT(IDD_QUILLMARK_DIALOG), UINT(IDD_PACKLIST)),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                             return "Template" + std::to_string(info.param);
                         });

// The emblem statics size themselves to the 16 x 16 bitmap rather than to the template.
TEST(EmblemStatic, ShowsTheBitmapAtItsOwnSize)
{
    ModelessDialog dlg(IDD_APPMESSAGEBOX);
    ASSERT_NE(dlg.get(), nullptr);
    HWND hEmblem = nullptr;
    for (HWND h = ::GetWindow(dlg.get(), GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        if ((::GetWindowLongA(h, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP)
            hEmblem = h;
    }
    ASSERT_NE(hEmblem, nullptr);
    HBITMAP hbm = reinterpret_cast<HBITMAP>(::SendMessageA(hEmblem, STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(hbm, nullptr);
    BITMAP bm{};
    ASSERT_TRUE(::GetObjectA(hbm, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 16);
    EXPECT_EQ(bm.bmHeight, 16);
    RECT rc;
    ::GetClientRect(hEmblem, &rc);
    EXPECT_EQ(rc.right, 16);
    EXPECT_EQ(rc.bottom, 16);
}

}  // namespace

namespace {

// The maker's name and web address are ours to choose: they must fit, on one line, the
// statics that the templates give them (a static wraps a longer text at a blank and
// cuts off the second line).
struct ChosenText {
    UINT dialog;
    int index;  // template item
};

TEST(ChosenTexts, FitTheirStatics)
{
    const ChosenText texts[] = {
        {IDD_QUILLMARK_DIALOG, 22},  // web address
        {IDD_QUILLMARK_DIALOG, 23},  // maker's name
        {IDD_ABOUTBOX, 2},           // "Copyright (C) 2008 " and the maker's name
        {IDD_ABOUTBOX, 3},           // web address
    };
    for (const ChosenText& t : texts) {
        ModelessDialog dlg(t.dialog);
        ASSERT_NE(dlg.get(), nullptr);
        HWND hCtrl = ::GetWindow(dlg.get(), GW_CHILD);
        for (int i = 0; i < t.index && hCtrl; ++i)
            hCtrl = ::GetWindow(hCtrl, GW_HWNDNEXT);
        ASSERT_NE(hCtrl, nullptr);
        char text[128] = {};
        ::GetWindowTextA(hCtrl, text, sizeof(text));
        SCOPED_TRACE(text);
        HFONT hFont = reinterpret_cast<HFONT>(::SendMessageA(dlg.get(), WM_GETFONT, 0, 0));
        HDC hdc = ::GetDC(hCtrl);
        HGDIOBJ old = ::SelectObject(hdc, hFont);
        SIZE size{};
        ::GetTextExtentPoint32A(hdc, text, int(strlen(text)), &size);
        ::SelectObject(hdc, old);
        ::ReleaseDC(hCtrl, hdc);
        RECT rc;
        ::GetClientRect(hCtrl, &rc);
        EXPECT_LE(size.cx, rc.right) << "text does not fit the static " << ::GetDlgCtrlID(hCtrl);
        EXPECT_LE(size.cy, rc.bottom);
    }
}

}  // namespace
