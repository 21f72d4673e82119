// quillmark.exe started as a separate process: it shows its main dialog "Quillmark v<version>"
// as a top-level window on the task bar with the template's 24 controls, ends when the
// dialog is closed, and several copies run side by side.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "QuillmarkVersion.h"
#include "QuillmarkExe.h"
#include "res/resource.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 20000;
constexpr char kCaption[] = "Quillmark v" QUILLMARK_VERSION;

// What a control of the running program must show. Only the bits in `mask` are
// compared; `ownerDrawn` controls may have their button type replaced by BS_OWNERDRAW
// (the flat and rounded buttons draw themselves).
struct ExpectedControl {
    int id;
    const char* className;
    const char* text;
    DWORD style;
    DWORD mask;
    bool staticEdge;
    bool ownerDrawn;
};

constexpr DWORD COMMON = WS_CHILD | WS_VISIBLE | WS_DISABLED | WS_TABSTOP | WS_GROUP;
constexpr DWORD STATIC_MASK = COMMON | SS_TYPEMASK | SS_NOPREFIX;
constexpr DWORD EDIT_MASK = COMMON | ES_UPPERCASE | ES_LOWERCASE | ES_PASSWORD | ES_AUTOHSCROLL |
                            ES_MULTILINE | ES_READONLY;
constexpr DWORD BUTTON_MASK = COMMON | BS_TYPEMASK | BS_FLAT | BS_ICON | BS_BITMAP;
// A list box shows and hides its scroll bar itself, so WS_VSCROLL is not compared.
constexpr DWORD LIST_MASK =
    COMMON | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | LBS_MULTIPLESEL | LBS_OWNERDRAWFIXED;
constexpr DWORD PROGRESS_MASK = COMMON | PBS_SMOOTH | PBS_VERTICAL;

constexpr DWORD CHILD = WS_CHILD | WS_VISIBLE;
constexpr DWORD LABEL = CHILD | SS_LEFT | WS_GROUP;
constexpr DWORD UPPER_EDIT = CHILD | ES_UPPERCASE | ES_AUTOHSCROLL | WS_TABSTOP;

const ExpectedControl kMainControls[] = {
    {-1, "Static", "Save to file", LABEL, STATIC_MASK, false, false},
    {-1, "Static", "Username", LABEL, STATIC_MASK, false, false},
    {IDC_USER, "Edit", "", UPPER_EDIT, EDIT_MASK, true, false},
    {IDC_PASSWORD, "Edit", "", (UPPER_EDIT & ~ES_UPPERCASE) | ES_PASSWORD, EDIT_MASK, true, false},
    {IDC_DATABASE, "Edit", "", UPPER_EDIT, EDIT_MASK, true, false},
    {IDC_SYSDBA, "Button", "Connect as SYSDBA", CHILD | BS_AUTOCHECKBOX | BS_FLAT | WS_TABSTOP,
     BUTTON_MASK, false, true},
    {IDC_GROUP_FRAME, "Button", "", CHILD | BS_GROUPBOX, BUTTON_MASK, false, false},
    {IDC_RADIO_ONE, "Button", "One package", CHILD | BS_AUTORADIOBUTTON | BS_FLAT | WS_TABSTOP,
     BUTTON_MASK, false, true},
    {IDC_RADIO_ALL, "Button", "All packages", CHILD | BS_AUTORADIOBUTTON | BS_FLAT | WS_TABSTOP,
     BUTTON_MASK, false, true},
    {-1, "Static", "Package name", LABEL, STATIC_MASK, false, false},
    {IDC_OBJECTNAME, "Edit", "", UPPER_EDIT, EDIT_MASK, true, false},
    {IDC_PICK, "Button", "Button1", CHILD | BS_ICON | BS_FLAT | WS_TABSTOP, BUTTON_MASK, false,
     false},
    {IDC_FILENAME, "Edit", "", CHILD | ES_AUTOHSCROLL | WS_TABSTOP, EDIT_MASK, true, false},
    {IDC_BROWSE, "Button", "Button1", CHILD | BS_ICON | BS_FLAT | WS_TABSTOP, BUTTON_MASK, false,
     false},
    {IDC_LOG, "ListBox", "", CHILD | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT | WS_TABSTOP,
     LIST_MASK, true, false},
    {IDC_PROGRESS_OBJECT, "msctls_progress32", "Progress1", CHILD, PROGRESS_MASK, false, false},
    {IDC_GROUP_CONNECT, "Button", "Oracle connect parameters", CHILD | BS_GROUPBOX, BUTTON_MASK,
     false, false},
    {-1, "Static", "Password", LABEL, STATIC_MASK, false, false},
    {-1, "Static", "Database", LABEL, STATIC_MASK, false, false},
    {IDOK, "Button", "Start", CHILD | BS_DEFPUSHBUTTON | WS_TABSTOP, BUTTON_MASK, false, true},
    {IDCANCEL, "Button", "Cancel", CHILD | BS_PUSHBUTTON | WS_TABSTOP, BUTTON_MASK, false, true},
    {IDC_PROGRESS_TOTAL, "msctls_progress32", "Progress1", CHILD, PROGRESS_MASK, false, false},
    {IDC_WEBLINK, "Static", QUILLMARK_WEB_ADDRESS, LABEL, STATIC_MASK, false, false},
    {IDC_MAKER, "Static", QUILLMARK_MAKER, LABEL, STATIC_MASK, false, false},
};

struct ChildCollection {
    HWND parent;
    std::vector<HWND> children;
};

BOOL CALLBACK OnChildWindow(HWND hWnd, LPARAM lParam)
{
    ChildCollection* pc = reinterpret_cast<ChildCollection*>(lParam);
    if (::GetParent(hWnd) == pc->parent)
        pc->children.push_back(hWnd);
    return TRUE;
}

// The direct children of a window, in Z order (for a dialog: template order).
std::vector<HWND> ChildrenOf(HWND hParent)
{
    ChildCollection c{hParent, {}};
    ::EnumChildWindows(hParent, OnChildWindow, reinterpret_cast<LPARAM>(&c));
    return c.children;
}

// A window's text, asked of its own thread (works across processes).
std::string TextOf(HWND hWnd)
{
    char text[256] = {};
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(hWnd, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 5000, &result);
    return text;
}

std::string ClassOf(HWND hWnd)
{
    char name[64] = {};
    ::GetClassNameA(hWnd, name, sizeof(name));
    return name;
}

TEST(Startup, ShowsTheMainDialogAndEndsWhenItCloses)
{
    QuillmarkProcess app;
    ASSERT_TRUE(app.started()) << QuillmarkExePath() << " error " << ::GetLastError();
    HWND hDlg = app.WaitForWindow(kCaption, kStartTimeoutMs);
    ASSERT_NE(hDlg, nullptr) << "no window \"" << kCaption << "\"";

    // A top-level dialog without owner, on the task bar, resizable, with both boxes.
    EXPECT_EQ(ClassOf(hDlg), "#32770");
    EXPECT_EQ(::GetParent(hDlg), nullptr);
    EXPECT_EQ(::GetWindow(hDlg, GW_OWNER), nullptr);
    const DWORD style = DWORD(::GetWindowLongA(hDlg, GWL_STYLE));
    const DWORD want = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME |
                       WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(style & want, want) << std::hex << style;
    EXPECT_TRUE(::GetWindowLongA(hDlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    const std::vector<HWND> children = ChildrenOf(hDlg);
    ASSERT_EQ(children.size(), std::size(kMainControls));
    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& w = kMainControls[i];
        HWND h = children[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + w.text + ")");
        EXPECT_EQ(LOWORD(::GetDlgCtrlID(h)), LOWORD(w.id));  // -1 is 0xFFFF in a DIALOG template
        EXPECT_EQ(_stricmp(ClassOf(h).c_str(), w.className), 0) << ClassOf(h);
        EXPECT_EQ(TextOf(h), w.text);
        DWORD got = DWORD(::GetWindowLongA(h, GWL_STYLE)) & w.mask;
        if (w.ownerDrawn && (got & BS_TYPEMASK) == BS_OWNERDRAW)
            got = (got & ~DWORD(BS_TYPEMASK)) | (w.style & BS_TYPEMASK);
        EXPECT_EQ(got, w.style & w.mask) << std::hex << got << " expected " << (w.style & w.mask);
        EXPECT_EQ((::GetWindowLongA(h, GWL_EXSTYLE) & WS_EX_STATICEDGE) != 0, w.staticEdge);
    }

    // Closing the dialog ends the program normally.
    ASSERT_TRUE(::PostMessageA(hDlg, WM_CLOSE, 0, 0));
    EXPECT_EQ(app.WaitForExit(kExitTimeoutMs), 0u);
}

TEST(Startup, CancelButtonEndsTheProgram)
{
    QuillmarkProcess app;
    ASSERT_TRUE(app.started());
    HWND hDlg = app.WaitForWindow(kCaption, kStartTimeoutMs);
    ASSERT_NE(hDlg, nullptr);
    ASSERT_TRUE(::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0));
    EXPECT_EQ(app.WaitForExit(kExitTimeoutMs), 0u);
    EXPECT_FALSE(::IsWindow(hDlg));
}

// No command line is read: arguments change nothing about the start.
TEST(Startup, IgnoresItsCommandLine)
{
    QuillmarkProcess app("/p scott/tiger@orcl out.sql");
    ASSERT_TRUE(app.started());
    HWND hDlg = app.WaitForWindow(kCaption, kStartTimeoutMs);
    ASSERT_NE(hDlg, nullptr);
    for (int id : {IDC_USER, IDC_PASSWORD, IDC_DATABASE, IDC_OBJECTNAME, IDC_FILENAME}) {
        HWND hEdit = ::GetDlgItem(hDlg, id);
        ASSERT_NE(hEdit, nullptr) << id;
        EXPECT_EQ(TextOf(hEdit), "") << id;
    }
    ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(kExitTimeoutMs), 0u);
}

TEST(Startup, TwoCopiesRunSideBySide)
{
    QuillmarkProcess first;
    QuillmarkProcess second;
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(second.started());
    HWND hFirst = first.WaitForWindow(kCaption, kStartTimeoutMs);
    HWND hSecond = second.WaitForWindow(kCaption, kStartTimeoutMs);
    ASSERT_NE(hFirst, nullptr);
    ASSERT_NE(hSecond, nullptr);
    EXPECT_NE(hFirst, hSecond);
    ::PostMessageA(hFirst, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(kExitTimeoutMs), 0u);
    EXPECT_EQ(second.WaitForExit(0), DWORD(STILL_ACTIVE)) << "closing one copy ended the other";
    ::PostMessageA(hSecond, WM_CLOSE, 0, 0);
    EXPECT_EQ(second.WaitForExit(kExitTimeoutMs), 0u);
}

}  // namespace
