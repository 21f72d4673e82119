// The program's four dialogs (the About box, the main window, the object picker and the
// message box) created from their templates under Wine and read back as a user meets them:
// each control by its id (a label by its text), its window class, the style bits a user
// notices (shown, enabled, reached by Tab, the kind of button or static, read-only,
// password, upper-case, sorted) and where it sits: inside the dialog, clear of its
// neighbours unless a group box frames it, and lined up with the controls it belongs with.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <iterator>
#include <string>

#include "ModelessDialog.h"
#include "QuillmarkVersion.h"
#include "res/resource.h"

namespace {

using AppTest::ClientRectOf;
using AppTest::ModelessDialog;

// A control: by its id, or for a label without one, by its text.
struct Ref {
    int id;
    const char* text = nullptr;
};

// What a user notices of a control's style. Kind is the button or static type
// (BS_TYPEMASK / SS_TYPEMASK bits), -1 where none is expected.
struct Control {
    Ref ref;
    const char* className;
    DWORD set;    // bits that must be set
    DWORD clear;  // bits that must be clear
    int kind;
};

enum class Rel {
    SameLeft,     // a column: left edges aligned
    SameWidth,    // fields of one column are equally wide
    SameRow,      // same top and same height (a row of buttons)
    CentredWith,  // a vertically centred on b's row (a within b's top..bottom)
    LeftOf,       // a ends before b begins, on b's line (a label before its field)
    Above,        // a ends before b begins, over it (a label over its field)
    Inside,       // a lies within b (a control in its group)
};

struct Relation {
    Rel rel;
    Ref a;
    Ref b;
};

struct DialogSpec {
    UINT id;
    const char* caption;
    DWORD set;    // dialog style bits that must be set
    DWORD clear;  // and must be clear
    const Control* controls;
    size_t controlCount;
    const Relation* relations;
    size_t relationCount;
};

constexpr DWORD SHOWN = WS_VISIBLE;
constexpr DWORD TAB = WS_TABSTOP;
constexpr DWORD OFF = WS_DISABLED;
constexpr int NONE = -1;
constexpr int PUSH = BS_PUSHBUTTON;
constexpr int DEFAULT = BS_DEFPUSHBUTTON;
constexpr int GROUP = BS_GROUPBOX;
constexpr int CHECK = BS_AUTOCHECKBOX;
constexpr int RADIO = BS_AUTORADIOBUTTON;
constexpr int TEXT = SS_LEFT;
constexpr int PICTURE = SS_BITMAP;

constexpr DWORD READ_ONLY = ES_READONLY;

const Control kAboutControls[] = {
    {{-1, "Quillmark Version " QUILLMARK_VERSION}, "Static", SHOWN | SS_NOPREFIX, OFF | TAB, TEXT},
    {{-1, "Copyright (C) 2008 " QUILLMARK_MAKER}, "Static", SHOWN, OFF | TAB, TEXT},
    {{IDC_ABOUT_WEBLINK}, "Static", SHOWN, OFF, TEXT},
    {{IDC_EMBLEM}, "Static", SHOWN, OFF, PICTURE},
    {{IDOK}, "Button", SHOWN | TAB, OFF, DEFAULT},
};
const Relation kAboutLayout[] = {
    {Rel::SameLeft,
     {-1, "Quillmark Version " QUILLMARK_VERSION},
     {-1, "Copyright (C) 2008 " QUILLMARK_MAKER}},
    {Rel::SameLeft, {-1, "Quillmark Version " QUILLMARK_VERSION}, {IDC_ABOUT_WEBLINK}},
    {Rel::Above,
     {-1, "Quillmark Version " QUILLMARK_VERSION},
     {-1, "Copyright (C) 2008 " QUILLMARK_MAKER}},
    {Rel::Above, {-1, "Copyright (C) 2008 " QUILLMARK_MAKER}, {IDC_ABOUT_WEBLINK}},
    {Rel::LeftOf, {IDC_EMBLEM}, {-1, "Quillmark Version " QUILLMARK_VERSION}},
};

const Control kMainControls[] = {
    {{IDC_GROUP_FRAME}, "Button", SHOWN, OFF | TAB, GROUP},
    {{IDC_RADIO_ONE, "One package"}, "Button", SHOWN | TAB, OFF, RADIO},
    {{IDC_RADIO_ALL, "All packages"}, "Button", SHOWN | TAB, OFF, RADIO},
    {{IDC_GROUP_CONNECT, "Oracle connect parameters"}, "Button", SHOWN, OFF | TAB, GROUP},
    {{-1, "Username"}, "Static", SHOWN, TAB, TEXT},
    {{IDC_USER},
     "Edit",
     SHOWN | TAB | ES_UPPERCASE | ES_AUTOHSCROLL,
     OFF | READ_ONLY | ES_PASSWORD,
     NONE},
    {{-1, "Password"}, "Static", SHOWN, TAB, TEXT},
    {{IDC_PASSWORD},
     "Edit",
     SHOWN | TAB | ES_PASSWORD | ES_AUTOHSCROLL,
     OFF | READ_ONLY | ES_UPPERCASE,
     NONE},
    {{-1, "Database"}, "Static", SHOWN, TAB, TEXT},
    {{IDC_DATABASE},
     "Edit",
     SHOWN | TAB | ES_UPPERCASE | ES_AUTOHSCROLL,
     OFF | READ_ONLY | ES_PASSWORD,
     NONE},
    {{IDC_SYSDBA, "Connect as SYSDBA"}, "Button", SHOWN | TAB, OFF, CHECK},
    {{-1, "Package name"}, "Static", SHOWN, TAB, TEXT},
    {{IDC_OBJECTNAME},
     "Edit",
     SHOWN | TAB | ES_UPPERCASE | ES_AUTOHSCROLL,
     OFF | READ_ONLY | ES_PASSWORD,
     NONE},
    {{IDC_PICK}, "Button", SHOWN | TAB | BS_ICON, OFF, PUSH},
    {{-1, "Save to file"}, "Static", SHOWN, TAB, TEXT},
    // A path keeps its case.
    {{IDC_FILENAME},
     "Edit",
     SHOWN | TAB | ES_AUTOHSCROLL,
     OFF | READ_ONLY | ES_PASSWORD | ES_UPPERCASE,
     NONE},
    {{IDC_BROWSE}, "Button", SHOWN | TAB | BS_ICON, OFF, PUSH},
    {{IDC_LOG}, "ListBox", SHOWN | TAB, OFF, NONE},
    {{IDC_PROGRESS_TOTAL}, "msctls_progress32", SHOWN, OFF | TAB, NONE},
    {{IDC_PROGRESS_OBJECT}, "msctls_progress32", SHOWN, OFF | TAB, NONE},
    {{IDC_MAKER, QUILLMARK_MAKER}, "Static", SHOWN, OFF | TAB, TEXT},
    {{IDC_WEBLINK, QUILLMARK_WEB_ADDRESS}, "Static", SHOWN, OFF, TEXT},
    {{IDOK, "Start"}, "Button", SHOWN | TAB, OFF, DEFAULT},
    {{IDCANCEL, "Cancel"}, "Button", SHOWN | TAB, OFF, PUSH},
};
const Relation kMainLayout[] = {
    // The connection: three fields in one column, each with its label before it, in the
    // connection's group.
    {Rel::SameLeft, {IDC_USER}, {IDC_PASSWORD}},
    {Rel::SameLeft, {IDC_USER}, {IDC_DATABASE}},
    {Rel::SameLeft, {IDC_USER}, {IDC_SYSDBA}},
    {Rel::SameWidth, {IDC_USER}, {IDC_PASSWORD}},
    {Rel::SameWidth, {IDC_USER}, {IDC_DATABASE}},
    {Rel::Above, {IDC_USER}, {IDC_PASSWORD}},
    {Rel::Above, {IDC_PASSWORD}, {IDC_DATABASE}},
    {Rel::Above, {IDC_DATABASE}, {IDC_SYSDBA}},
    {Rel::LeftOf, {-1, "Username"}, {IDC_USER}},
    {Rel::LeftOf, {-1, "Password"}, {IDC_PASSWORD}},
    {Rel::LeftOf, {-1, "Database"}, {IDC_DATABASE}},
    {Rel::Inside, {IDC_USER}, {IDC_GROUP_CONNECT}},
    {Rel::Inside, {IDC_PASSWORD}, {IDC_GROUP_CONNECT}},
    {Rel::Inside, {IDC_DATABASE}, {IDC_GROUP_CONNECT}},
    {Rel::Inside, {IDC_SYSDBA}, {IDC_GROUP_CONNECT}},
    {Rel::Inside, {-1, "Username"}, {IDC_GROUP_CONNECT}},
    // The choice of one or all packages, one over the other, left of the connection.
    {Rel::SameLeft, {IDC_RADIO_ONE}, {IDC_RADIO_ALL}},
    {Rel::Above, {IDC_RADIO_ONE}, {IDC_RADIO_ALL}},
    {Rel::LeftOf, {IDC_RADIO_ONE}, {IDC_GROUP_CONNECT}},
    // The object name and the file: a column of two fields under the connection's group,
    // each with its label before it and its button after it.
    {Rel::Above, {IDC_GROUP_CONNECT}, {IDC_OBJECTNAME}},
    {Rel::SameLeft, {IDC_OBJECTNAME}, {IDC_FILENAME}},
    {Rel::SameWidth, {IDC_OBJECTNAME}, {IDC_FILENAME}},
    {Rel::Above, {IDC_OBJECTNAME}, {IDC_FILENAME}},
    {Rel::LeftOf, {-1, "Package name"}, {IDC_OBJECTNAME}},
    {Rel::LeftOf, {-1, "Save to file"}, {IDC_FILENAME}},
    {Rel::SameLeft, {-1, "Package name"}, {-1, "Save to file"}},
    {Rel::LeftOf, {IDC_OBJECTNAME}, {IDC_PICK}},
    {Rel::LeftOf, {IDC_FILENAME}, {IDC_BROWSE}},
    {Rel::SameLeft, {IDC_PICK}, {IDC_BROWSE}},
    // The log, then the two progress bars as wide as it, then the buttons.
    {Rel::Above, {IDC_FILENAME}, {IDC_LOG}},
    {Rel::Above, {IDC_LOG}, {IDC_PROGRESS_TOTAL}},
    {Rel::Above, {IDC_PROGRESS_TOTAL}, {IDC_PROGRESS_OBJECT}},
    {Rel::SameLeft, {IDC_LOG}, {IDC_PROGRESS_TOTAL}},
    {Rel::SameLeft, {IDC_PROGRESS_TOTAL}, {IDC_PROGRESS_OBJECT}},
    {Rel::SameWidth, {IDC_PROGRESS_TOTAL}, {IDC_PROGRESS_OBJECT}},
    {Rel::Above, {IDC_PROGRESS_OBJECT}, {IDOK}},
    {Rel::SameRow, {IDOK}, {IDCANCEL}},
    {Rel::LeftOf, {IDOK}, {IDCANCEL}},
    // The maker's name over the web address, bottom left.
    {Rel::SameLeft, {IDC_MAKER}, {IDC_WEBLINK}},
    {Rel::Above, {IDC_MAKER}, {IDC_WEBLINK}},
    {Rel::Above, {IDC_PROGRESS_OBJECT}, {IDC_MAKER}},
    {Rel::LeftOf, {IDC_WEBLINK}, {IDOK}},
};

const Control kPickerControls[] = {
    {{IDC_GROUP_OBJECTS, "Objects list"}, "Button", SHOWN, OFF | TAB, GROUP},
    // The listing keeps the export's order: the list does not sort it again.
    {{IDC_LOG}, "ListBox", SHOWN | TAB | LBS_NOTIFY, OFF | LBS_SORT, NONE},
    {{IDC_FIND_LABEL, "Find object"}, "Static", SHOWN, TAB, TEXT},
    {{IDC_FIND},
     "Edit",
     SHOWN | TAB | ES_UPPERCASE | ES_AUTOHSCROLL,
     READ_ONLY | ES_PASSWORD,
     NONE},
    {{IDOK, "OK"}, "Button", SHOWN, 0, DEFAULT},
    {{IDCANCEL, "Cancel"}, "Button", SHOWN, OFF, PUSH},
};
const Relation kPickerLayout[] = {
    {Rel::Inside, {IDC_LOG}, {IDC_GROUP_OBJECTS}},
    {Rel::Inside, {IDC_FIND}, {IDC_GROUP_OBJECTS}},
    {Rel::Inside, {IDOK}, {IDC_GROUP_OBJECTS}},
    {Rel::Above, {IDC_LOG}, {IDC_FIND_LABEL}},
    {Rel::Above, {IDC_FIND_LABEL}, {IDC_FIND}},
    {Rel::SameLeft, {IDC_LOG}, {IDC_FIND}},
    {Rel::Above, {IDC_LOG}, {IDOK}},
    {Rel::CentredWith, {IDC_FIND}, {IDOK}},
    {Rel::LeftOf, {IDC_FIND}, {IDOK}},
    {Rel::SameRow, {IDOK}, {IDCANCEL}},
    {Rel::LeftOf, {IDOK}, {IDCANCEL}},
};

const Control kMessageControls[] = {
    {{IDC_MESSAGE_TEXT}, "Edit", SHOWN | ES_MULTILINE | ES_READONLY, OFF | ES_PASSWORD, NONE},
    {{IDOK, "OK"}, "Button", SHOWN | TAB, OFF, DEFAULT},
};
const Relation kMessageLayout[] = {
    {Rel::Above, {IDC_MESSAGE_TEXT}, {IDOK}},
};

constexpr DWORD kResizing = WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX;

const DialogSpec kDialogs[] = {
    {IDD_ABOUTBOX, "About Quillmark", WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, kResizing,
     kAboutControls, std::size(kAboutControls), kAboutLayout, std::size(kAboutLayout)},
    {IDD_QUILLMARK_DIALOG, "Quillmark v" QUILLMARK_VERSION,
     WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0,
     kMainControls, std::size(kMainControls), kMainLayout, std::size(kMainLayout)},
    {IDD_PACKLIST, "Select Object", WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX,
     WS_MINIMIZEBOX, kPickerControls, std::size(kPickerControls), kPickerLayout,
     std::size(kPickerLayout)},
    {IDD_APPMESSAGEBOX, "Quillmark", WS_CAPTION | WS_SYSMENU | DS_MODALFRAME, kResizing,
     kMessageControls, std::size(kMessageControls), kMessageLayout, std::size(kMessageLayout)},
};

std::string Name(const Ref& ref)
{
    return ref.id == -1 ? std::string("\"") + ref.text + "\"" : "#" + std::to_string(ref.id);
}

std::string TextOf(HWND hWnd)
{
    char text[256] = {};
    ::GetWindowTextA(hWnd, text, sizeof(text));
    return text;
}

std::string ClassOf(HWND hWnd)
{
    char name[64] = {};
    ::GetClassNameA(hWnd, name, sizeof(name));
    return name;
}

// A child's id as the template gives it (a template's ids are 16 bits: -1 reads back as
// 0xFFFF).
int IdOf(HWND hWnd)
{
    return short(::GetDlgCtrlID(hWnd));
}

// The control a Ref names: the only child with its id, or the labelled child with its text.
HWND Find(HWND hDlg, const Ref& ref)
{
    if (ref.id != -1)
        return ::GetDlgItem(hDlg, ref.id);
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        if (IdOf(h) == -1 && TextOf(h) == ref.text)
            return h;
    }
    return nullptr;
}

bool IsGroupBox(HWND hWnd)
{
    return _stricmp(ClassOf(hWnd).c_str(), "Button") == 0 &&
           (::GetWindowLongA(hWnd, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

bool Contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Pixel rectangles made from dialog units may meet with a one-pixel overlap where the
// units' edges meet exactly: only a wider overlap counts.
bool Overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right - 1 && b.left < a.right - 1 && a.top < b.bottom - 1 &&
           b.top < a.bottom - 1;
}

using TemplateTest = ::testing::TestWithParam<DialogSpec>;

TEST_P(TemplateTest, ShowsItsControlsWhereTheyBelong)
{
    const DialogSpec& spec = GetParam();
    ModelessDialog dlg(spec.id);
    ASSERT_NE(dlg.get(), nullptr) << "dialog " << spec.id;
    const HWND hDlg = dlg.get();

    EXPECT_EQ(TextOf(hDlg), spec.caption);
    const DWORD dlgStyle = ::GetWindowLongA(hDlg, GWL_STYLE);
    EXPECT_EQ(dlgStyle & spec.set, spec.set) << std::hex << dlgStyle;
    EXPECT_EQ(dlgStyle & spec.clear, 0u) << std::hex << dlgStyle;

    // Each control a user is meant to see and use, as the table describes it.
    for (size_t i = 0; i < spec.controlCount; ++i) {
        const Control& want = spec.controls[i];
        SCOPED_TRACE("control " + Name(want.ref));
        const HWND hCtrl = Find(hDlg, want.ref);
        ASSERT_NE(hCtrl, nullptr);
        if (want.ref.id != -1 && want.ref.text)
            EXPECT_EQ(TextOf(hCtrl), want.ref.text);
        EXPECT_EQ(_stricmp(ClassOf(hCtrl).c_str(), want.className), 0) << ClassOf(hCtrl);
        const DWORD style = ::GetWindowLongA(hCtrl, GWL_STYLE);
        EXPECT_EQ(style & want.set, want.set) << std::hex << style;
        EXPECT_EQ(style & want.clear, 0u) << std::hex << style;
        if (want.kind == NONE)
            continue;
        const DWORD mask = want.className[0] == 'B' ? BS_TYPEMASK : SS_TYPEMASK;
        EXPECT_EQ(style & mask, DWORD(want.kind)) << std::hex << style;
    }

    // Every child: inside the client area, its id its own, and clear of the others unless
    // one is a group box that holds it whole.
    RECT client;
    ::GetClientRect(hDlg, &client);
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) {
        const int id = IdOf(h);
        SCOPED_TRACE("child #" + std::to_string(id) + " \"" + TextOf(h) + "\"");
        const RECT rc = ClientRectOf(hDlg, h);
        EXPECT_TRUE(Contains(client, rc)) << "outside the dialog";
        for (HWND g = ::GetWindow(h, GW_HWNDNEXT); g; g = ::GetWindow(g, GW_HWNDNEXT)) {
            if (id != -1)
                EXPECT_NE(IdOf(g), id) << "id used twice";
            const RECT other = ClientRectOf(hDlg, g);
            if (!Overlap(rc, other))
                continue;
            const bool framed =
                (IsGroupBox(g) && Contains(other, rc)) || (IsGroupBox(h) && Contains(rc, other));
            EXPECT_TRUE(framed) << "overlaps #" << IdOf(g) << " \"" << TextOf(g) << "\"";
        }
    }

    // The design's rows, columns and groups.
    for (size_t i = 0; i < spec.relationCount; ++i) {
        const Relation& r = spec.relations[i];
        SCOPED_TRACE("relation " + std::to_string(i) + ": " + Name(r.a) + " and " + Name(r.b));
        const HWND hA = Find(hDlg, r.a);
        const HWND hB = Find(hDlg, r.b);
        ASSERT_NE(hA, nullptr);
        ASSERT_NE(hB, nullptr);
        const RECT a = ClientRectOf(hDlg, hA);
        const RECT b = ClientRectOf(hDlg, hB);
        const int middle = (a.top + a.bottom) / 2;
        switch (r.rel) {
        case Rel::SameLeft:
            EXPECT_EQ(a.left, b.left);
            break;
        case Rel::SameWidth:
            EXPECT_EQ(a.right - a.left, b.right - b.left);
            break;
        case Rel::SameRow:
            EXPECT_EQ(a.top, b.top);
            EXPECT_EQ(a.bottom - a.top, b.bottom - b.top);
            break;
        case Rel::CentredWith:
            EXPECT_TRUE(middle >= b.top && middle < b.bottom) << middle;
            break;
        case Rel::LeftOf:
            EXPECT_LE(a.right, b.left);
            EXPECT_TRUE(middle >= b.top && middle < b.bottom) << middle;
            break;
        case Rel::Above:
            EXPECT_LE(a.bottom, b.top);
            break;
        case Rel::Inside:
            EXPECT_TRUE(Contains(b, a));
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllDialogs, TemplateTest, ::testing::ValuesIn(kDialogs),
                         [](const ::testing::TestParamInfo<DialogSpec>& info) {
                             return "Dialog" + std::to_string(info.param.id);
                         });

// The system menu's About item text.
TEST(Strings, AboutItemText)
{
    char text[64] = {};
    ASSERT_GT(::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, text, sizeof(text)), 0);
    EXPECT_STREQ(text, "&About quillmark...");
}

}  // namespace
