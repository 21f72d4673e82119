// The compiled dialog templates 100, 102, 131 and 133 read back from this program's own
// resources (the same resource script as the program) and compared, field by field,
// with the layouts the dialogs are built for.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

#include "QuillmarkVersion.h"
#include "DialogTemplate.h"
#include "res/resource.h"

namespace {

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;

struct ExpectedItem {
    int id;
    const char* className;
    const char* text;
    int x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct ExpectedDialog {
    UINT id;
    const char* caption;
    int cx, cy;
    DWORD style;
    DWORD exStyle;
    const char* typeface;
    const ExpectedItem* items;
    size_t count;
};

const ExpectedItem kAboutItems[] = {
    {-1, "Static", "Quillmark Version " QUILLMARK_VERSION, 40, 12, 119, 8,
     CHILD | SS_LEFT | SS_NOPREFIX | WS_GROUP, 0},
    {IDOK, "Button", "OK", 184, 12, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0},
    {-1, "Static", "Copyright (C) 2008 " QUILLMARK_MAKER, 40, 23, 127, 8,
     CHILD | SS_LEFT | WS_GROUP, 0},
    {IDC_ABOUT_WEBLINK, "Static", QUILLMARK_WEB_ADDRESS, 40, 40, 85, 8, CHILD | SS_LEFT | WS_GROUP,
     0},
    {-1, "Button", "", 3, 0, 240, 61, CHILD | BS_GROUPBOX, 0},
    {IDC_EMBLEM, "Static", "#134", 16, 12, 11, 10, CHILD | SS_BITMAP, 0},
};

constexpr DWORD UPPER_EDIT = CHILD | ES_LEFT | ES_UPPERCASE | ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD LABEL = CHILD | SS_LEFT | WS_GROUP;
constexpr DWORD ICON_BUTTON = CHILD | BS_PUSHBUTTON | BS_ICON | BS_FLAT | WS_TABSTOP;

const ExpectedItem kMainItems[] = {
    {-1, "Static", "Save to file", 14, 104, 35, 9, LABEL, 0},
    {-1, "Static", "Username", 107, 23, 33, 8, LABEL, 0},
    {IDC_USER, "Edit", "", 150, 20, 170, 12, UPPER_EDIT, WS_EX_STATICEDGE},
    {IDC_PASSWORD, "Edit", "", 150, 35, 170, 12, (UPPER_EDIT & ~ES_UPPERCASE) | ES_PASSWORD,
     WS_EX_STATICEDGE},
    {IDC_DATABASE, "Edit", "", 150, 50, 170, 12, UPPER_EDIT, WS_EX_STATICEDGE},
    {IDC_SYSDBA, "Button", "Connect as SYSDBA", 150, 67, 79, 10,
     CHILD | BS_AUTOCHECKBOX | BS_FLAT | WS_TABSTOP, 0},
    {IDC_GROUP_FRAME, "Button", "", 3, 0, 331, 232, CHILD | BS_GROUPBOX, 0},
    {IDC_RADIO_ONE, "Button", "One package", 13, 16, 68, 10,
     CHILD | BS_AUTORADIOBUTTON | BS_FLAT | WS_TABSTOP, 0},
    {IDC_RADIO_ALL, "Button", "All packages", 13, 29, 59, 11,
     CHILD | BS_AUTORADIOBUTTON | BS_FLAT | WS_TABSTOP, 0},
    {-1, "Static", "Package name", 14, 89, 56, 8, LABEL, 0},
    {IDC_OBJECTNAME, "Edit", "", 84, 87, 225, 12, UPPER_EDIT, WS_EX_STATICEDGE},
    {IDC_PICK, "Button", "Button1", 313, 87, 14, 13, ICON_BUTTON, 0},
    {IDC_FILENAME, "Edit", "", 84, 102, 225, 12, CHILD | ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
     WS_EX_STATICEDGE},
    {IDC_BROWSE, "Button", "Button1", 313, 102, 14, 13, ICON_BUTTON, 0},
    {IDC_LOG, "ListBox", "", 8, 119, 319, 67,
     CHILD | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP,
     WS_EX_STATICEDGE},
    {IDC_PROGRESS_OBJECT, "msctls_progress32", "Progress1", 8, 196, 320, 7, CHILD, 0},
    {IDC_GROUP_CONNECT, "Button", "Oracle connect parameters", 84, 8, 243, 73, CHILD | BS_GROUPBOX,
     0},
    {-1, "Static", "Password", 109, 37, 31, 8, LABEL, 0},
    {-1, "Static", "Database", 109, 52, 31, 8, LABEL, 0},
    {IDOK, "Button", "Start", 223, 212, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {IDCANCEL, "Button", "Cancel", 278, 212, 50, 14, CHILD | BS_PUSHBUTTON | WS_TABSTOP, 0},
    {IDC_PROGRESS_TOTAL, "msctls_progress32", "Progress1", 8, 189, 320, 7, CHILD, 0},
    {IDC_WEBLINK, "Static", QUILLMARK_WEB_ADDRESS, 12, 218, 83, 8, LABEL, 0},
    {IDC_MAKER, "Static", QUILLMARK_MAKER, 12, 208, 64, 8, LABEL, 0},
};

const ExpectedItem kPickerItems[] = {
    {IDC_LOG, "ListBox", "", 7, 14, 258, 117,
     CHILD | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP, WS_EX_STATICEDGE},
    {IDOK, "Button", "OK", 158, 148, 50, 14, CHILD | BS_DEFPUSHBUTTON, 0},
    {IDCANCEL, "Button", "Cancel", 215, 148, 50, 14, CHILD | BS_PUSHBUTTON, 0},
    {IDC_GROUP_OBJECTS, "Button", "Objects list", 2, 2, 270, 168, CHILD | BS_GROUPBOX, 0},
    {IDC_FIND_LABEL, "Static", "Find object", 10, 138, 43, 8, CHILD | SS_LEFT, 0},
    {IDC_FIND, "Edit", "", 7, 149, 137, 12, UPPER_EDIT, WS_EX_STATICEDGE},
};

const ExpectedItem kMessageItems[] = {
    {IDOK, "Button", "OK", 103, 43, 50, 14, CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
    {IDC_MESSAGE_TEXT, "Edit", "", 32, 14, 195, 23,
     CHILD | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_TABSTOP, 0},
    {-1, "Static", "#134", 11, 14, 11, 10, CHILD | SS_BITMAP, 0},
    {-1, "Button", "", 2, 0, 249, 62, CHILD | BS_GROUPBOX, 0},
};

constexpr DWORD MODAL_BOX = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

const ExpectedDialog kDialogs[] = {
    {IDD_ABOUTBOX, "About Quillmark", 245, 63, MODAL_BOX, 0, "MS Sans Serif", kAboutItems,
     std::size(kAboutItems)},
    {IDD_QUILLMARK_DIALOG, "Quillmark v" QUILLMARK_VERSION, 336, 233,
     DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX |
         WS_MAXIMIZEBOX,
     WS_EX_APPWINDOW, "MS Sans Serif", kMainItems, std::size(kMainItems)},
    {IDD_PACKLIST, "Select Object", 274, 172,
     DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX, 0,
     "MS Sans Serif", kPickerItems, std::size(kPickerItems)},
    {IDD_APPMESSAGEBOX, "Quillmark", 253, 63, MODAL_BOX, 0, "MS Shell Dlg", kMessageItems,
     std::size(kMessageItems)},
};

class TemplateTest : public ::testing::TestWithParam<ExpectedDialog> {};

TEST_P(TemplateTest, MatchesTheDialogsLayout)
{
    const ExpectedDialog& want = GetParam();
    DialogTemplate got;
    ASSERT_TRUE(LoadDialogTemplate(::GetModuleHandleA(nullptr), want.id, got))
        << "template " << want.id;

    EXPECT_EQ(got.caption, want.caption);
    EXPECT_EQ(got.style, want.style) << std::hex << got.style;
    EXPECT_EQ(got.exStyle, want.exStyle) << std::hex << got.exStyle;
    EXPECT_EQ(got.rc.left, 0);
    EXPECT_EQ(got.rc.top, 0);
    EXPECT_EQ(got.rc.right, want.cx);
    EXPECT_EQ(got.rc.bottom, want.cy);
    EXPECT_EQ(got.pointSize, 8);
    EXPECT_EQ(got.typeface, want.typeface);

    ASSERT_EQ(got.items.size(), want.count);
    for (size_t i = 0; i < want.count; ++i) {
        const ExpectedItem& w = want.items[i];
        const DialogItem& g = got.items[i];
        SCOPED_TRACE("template " + std::to_string(want.id) + ", item " + std::to_string(i) + " (" +
                     w.text + ")");
        EXPECT_EQ(g.id, w.id);
        EXPECT_EQ(_stricmp(g.className.c_str(), w.className), 0) << g.className;
        EXPECT_EQ(g.text, w.text);
        EXPECT_EQ(g.rc.left, w.x);
        EXPECT_EQ(g.rc.top, w.y);
        EXPECT_EQ(g.rc.right - g.rc.left, w.cx);
        EXPECT_EQ(g.rc.bottom - g.rc.top, w.cy);
        EXPECT_EQ(g.style, w.style) << std::hex << g.style << " expected " << w.style;
        EXPECT_EQ(g.exStyle, w.exStyle) << std::hex << g.exStyle;
    }
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, TemplateTest, ::testing::ValuesIn(kDialogs),
                         [](const ::testing::TestParamInfo<ExpectedDialog>& info) {
                             return "Template" + std::to_string(info.param.id);
                         });

// Every control of the main dialog that the code addresses by id is there exactly once.
TEST(TemplateIds, MainDialogIdsAreUnique)
{
    DialogTemplate got;
    ASSERT_TRUE(LoadDialogTemplate(::GetModuleHandleA(nullptr), IDD_QUILLMARK_DIALOG, got));
    for (size_t i = 0; i < got.items.size(); ++i) {
        if (got.items[i].id == -1)
            continue;
        for (size_t j = i + 1; j < got.items.size(); ++j)
            EXPECT_NE(got.items[i].id, got.items[j].id) << i << " " << j;
    }
}

// The system menu's About item text.
TEST(Strings, AboutItemText)
{
    char text[64] = {};
    ASSERT_GT(::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "&About quillmark...");
}

}  // namespace
