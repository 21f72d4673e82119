// Tests of the object picker against oci-lite's fixture databases: the dialog is created
// modeless, lists on a thread of its own while the test pumps its messages, and is read back
// and driven with messages; its message boxes are answered by a watcher thread.
#include <gtest/gtest.h>

#include <cstring>

#include "dialogs/PackListDlg.h"
#include "app/JobRecord.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/ui/UiTestSupport.h"

using namespace UiTest;

namespace {

void SetConnection(const char* pszUser, const char* pszPassword, const char* pszDatabase)
{
    g_strUser = pszUser;
    g_strPassword = pszPassword;
    g_strDatabase = pszDatabase;
    g_bSysdba = 0;
    std::memset(g_szObjectName, 0, sizeof(g_szObjectName));
}

// One picker, created modeless with the current job record.
struct Picker {
    CPackListDlg dlg;
    std::vector<std::string> messages;

    // Creates the dialog and waits for its listing (and any message it shows) to end.
    bool Open()
    {
        MessageBoxWatcher watcher;
        const BOOL bCreated = dlg.Create();
        const bool bListed = PumpUntil([this] { return !dlg.IsListing(); }, 20000);
        PumpFor(50);
        messages = watcher.Texts();
        return bCreated != FALSE && bListed;
    }
    std::vector<std::string> Entries() const { return ListLines(dlg.GetDlgItem(IDC_LOG)); }
    int Selection() const
    {
        return int(::SendMessageA(dlg.GetDlgItem(IDC_LOG), LB_GETCURSEL, 0, 0));
    }
    void Press(int nID) { ::SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), 0); }
};

}  // namespace

TEST(PackListEntry, NameAndTypeInBrackets)
{
    EXPECT_EQ(CString("EMP_API [PACKAGE]"), CPackListDlg::MakeEntry("EMP_API", "PACKAGE"));
    EXPECT_EQ(CString("B_FUNC [FUNCTION]"), CPackListDlg::MakeEntry("B_FUNC", "FUNCTION"));
}

TEST(PackListEntry, OnlyTheAppendedTypeIsRemoved)
{
    EXPECT_EQ(CString("EMP_API"), CPackListDlg::NameFromEntry("EMP_API [PACKAGE]"));
    EXPECT_EQ(CString("P"), CPackListDlg::NameFromEntry("P [PROCEDURE]"));
    EXPECT_EQ(CString("MY PROC"), CPackListDlg::NameFromEntry("MY PROC [PROCEDURE]"));
    EXPECT_EQ(CString("X [PACKAGE]"), CPackListDlg::NameFromEntry("X [PACKAGE] [FUNCTION]"));
    EXPECT_EQ(CString("ODD [NAME]"), CPackListDlg::NameFromEntry("ODD [NAME] [PROCEDURE]"));
    EXPECT_EQ(CString("PLAIN"), CPackListDlg::NameFromEntry("PLAIN"));
    // A name of its own in brackets keeps its blank; every entry has its suffix anyway.
    EXPECT_EQ(CString("A[B]"), CPackListDlg::NameFromEntry("A[B]"));
    EXPECT_EQ(CString(""), CPackListDlg::NameFromEntry(""));
    for (const CString& entry :
         {CPackListDlg::MakeEntry("A B", "PACKAGE"), CPackListDlg::MakeEntry("[X]", "FUNCTION"),
          CPackListDlg::MakeEntry("Q [R] S", "PROCEDURE")}) {
        const CString name = CPackListDlg::NameFromEntry(entry);
        EXPECT_EQ(entry.Left(name.GetLength()), name);
        EXPECT_EQ(entry.Find(" [", name.GetLength()), name.GetLength());
    }
}

TEST(PackList, EmptySchemaListsNothingAndOkChoosesNothing)
{
    SetConnection("SCOTT", "tiger", "EMPTYDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    EXPECT_TRUE(picker.messages.empty());
    EXPECT_FALSE(picker.dlg.IsEnding());
    EXPECT_TRUE(picker.Entries().empty());
    EXPECT_EQ(LB_ERR, picker.Selection());
    picker.Press(IDOK);
    EXPECT_TRUE(picker.dlg.IsEnding());
    EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult());
    EXPECT_STREQ("", g_szObjectName);
}

TEST(PackList, ListsPackagesOnceAndFunctionsSortedWithTheFirstSelected)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    EXPECT_TRUE(picker.messages.empty());
    const std::vector<std::string> expected{"A_PKG [PACKAGE]", "B_FUNC [FUNCTION]"};
    EXPECT_EQ(expected, picker.Entries());
    EXPECT_EQ(0, picker.Selection());
    EXPECT_EQ("Select Object", TextOf(picker.dlg.m_hWnd));
    EXPECT_NE(nullptr,
              reinterpret_cast<HICON>(::SendMessageA(picker.dlg.m_hWnd, WM_GETICON, ICON_BIG, 0)));
    picker.Press(IDOK);
    EXPECT_EQ(IDOK, picker.dlg.GetModalResult());
    EXPECT_STREQ("A_PKG", g_szObjectName);
}

TEST(PackList, SlashWithoutAPasswordListsTheWalletUsersObjects)
{
    ScopedWallet wallet("PICKDB", "SCOTT", "tiger");
    SetConnection("/", "", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    EXPECT_TRUE(picker.messages.empty());
    const std::vector<std::string> expected{"A_PKG [PACKAGE]", "B_FUNC [FUNCTION]"};
    EXPECT_EQ(expected, picker.Entries());
    picker.Press(IDCANCEL);
}

TEST(PackList, SlashWithoutAWalletShowsTheLogonFailure)
{
    ScopedWallet wallet("OTHERDB", "SCOTT", "tiger");
    SetConnection("/", "", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    ASSERT_EQ(1u, picker.messages.size());
    EXPECT_NE(std::string::npos, picker.messages[0].find("ORA-01017")) << picker.messages[0];
    EXPECT_TRUE(picker.dlg.IsEnding());
}

TEST(PackList, FindsAsTheUserTypes)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    HWND hFind = picker.dlg.GetDlgItem(IDC_FIND);
    TypeText(hFind, "b");
    EXPECT_EQ("B", TextOf(hFind));  // the find box forces upper case
    EXPECT_EQ(1, picker.Selection());
    TypeText(hFind, "x");  // "BX" matches nothing: the selection stays
    EXPECT_EQ(1, picker.Selection());
    ::SetWindowTextA(hFind, "a_");  // the search ignores case
    EXPECT_EQ(0, picker.Selection());
    ::SetWindowTextA(hFind, "B_F");
    picker.Press(IDOK);
    EXPECT_STREQ("B_FUNC", g_szObjectName);
}

TEST(PackList, DoubleClickOnlySelects)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    HWND hList = picker.dlg.GetDlgItem(IDC_LOG);
    const int nItemHeight = int(::SendMessageA(hList, LB_GETITEMHEIGHT, 0, 0));
    const LPARAM lPoint = MAKELPARAM(10, nItemHeight + nItemHeight / 2);
    ::SendMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    ::SendMessageA(hList, WM_LBUTTONUP, 0, lPoint);
    ::SendMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, lPoint);
    ::SendMessageA(hList, WM_LBUTTONUP, 0, lPoint);
    PumpFor(20);
    EXPECT_EQ(1, picker.Selection());
    EXPECT_FALSE(picker.dlg.IsEnding());
}

TEST(PackList, CancelGivesABlank)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    picker.Press(IDCANCEL);
    EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult());
    EXPECT_STREQ("", g_szObjectName);
}

TEST(PackList, NameWithBlanksAndBracketsComesBackWhole)
{
    SetConnection("SCOTT", "tiger", "ODDDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    ASSERT_EQ(std::vector<std::string>{"ODD [NAME] [PROCEDURE]"}, picker.Entries());
    picker.Press(IDOK);
    EXPECT_STREQ("ODD [NAME]", g_szObjectName);
}

// Names of Oracle's full 128 bytes come back whole; a name cut to its buffer is reported and
// never offered as the name of another object.
TEST(PackList, LongestNamesComeBackWholeAndCutOnesAreNotOffered)
{
    SetConnection("SCOTT", "tiger", "LONGNAMES");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    const std::string strLong(128, 'L');
    ASSERT_EQ(std::vector<std::string>{strLong + " [PROCEDURE]"}, picker.Entries());
    ASSERT_EQ(1u, picker.messages.size());
    EXPECT_EQ("ORA-24345: A Truncation or null fetch error occurred\r\nAn object name or type "
              "in the list is longer than 128 bytes: " +
                  std::string(512, 'M'),
              picker.messages[0]);
    picker.Press(IDOK);
    EXPECT_EQ(strLong, std::string(g_szObjectName));
}

// A logon the library refuses (a wrong password, an unknown database): its text in one box,
// and the picker cancels with nothing listed.
TEST(PackList, LogonFailureShowsTheLibraryTextAndCancels)
{
    struct LogonCase {
        const char* pszPassword;
        const char* pszDatabase;
        const char* pszText;  // what the box's text holds
    };
    const LogonCase kCases[] = {
        {"WRONG", "PICKDB", "ORA-01017"},
        {"tiger", "NOSUCHDB", "ORA-"},
    };
    for (const LogonCase& c : kCases) {
        SCOPED_TRACE(c.pszDatabase);
        SetConnection("SCOTT", c.pszPassword, c.pszDatabase);
        Picker picker;
        ASSERT_TRUE(picker.Open());
        ASSERT_EQ(1u, picker.messages.size());
        EXPECT_NE(std::string::npos, picker.messages[0].find(c.pszText)) << picker.messages[0];
        EXPECT_TRUE(picker.dlg.IsEnding());
        EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult());
        EXPECT_STREQ("", g_szObjectName);
        EXPECT_TRUE(picker.Entries().empty());
    }
}

// A row without a name ends the listing as it ends an export's: one message, the picker stays
// open, and only the named rows before it are listed.
TEST(PackList, ARowWithoutANameEndsTheListingWithOneMessage)
{
    for (const char* pszDatabase : {"NULLONE", "NULLMANY"}) {
        SCOPED_TRACE(pszDatabase);
        SetConnection("SCOTT", "tiger", pszDatabase);
        Picker picker;
        ASSERT_TRUE(picker.Open());
        ASSERT_EQ(1u, picker.messages.size());
        EXPECT_EQ("An object in the list has an empty name.", picker.messages[0]);
        EXPECT_FALSE(picker.dlg.IsEnding());
        for (const std::string& strEntry : picker.Entries())
            EXPECT_TRUE(strEntry == "A_PKG [PACKAGE]" || strEntry == "Z_FUNC [FUNCTION]")
                << strEntry;
        EXPECT_TRUE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDOK)));
    }
}

// Every call to the client library failing in turn: the picker always finishes its listing
// and shows at most one message. A failed logon closes it with nothing chosen; any later
// failure keeps it open with the rows listed before, each shown with the library's text.
TEST(PackList, EveryInjectedFailureEndsTheListingWithOneMessage)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strTrace =
        std::string(szTemp) + "qm_ui_picker_trace_" + std::to_string(::GetCurrentProcessId());
    ::DeleteFileA(strTrace.c_str());
    SetConnection("SCOTT", "tiger", "PICKDB");
    OciLiteControl::ResetCounters();
    ASSERT_TRUE(OciLiteControl::SetTraceFile(strTrace));
    {
        Picker clean;
        ASSERT_TRUE(clean.Open());
        ASSERT_EQ(2u, clean.Entries().size());
    }
    OciLiteControl::SetTraceFile("");
    const std::vector<std::string> calls = OciLiteControl::CountedCallsOfTrace(strTrace);
    ::DeleteFileA(strTrace.c_str());
    ASSERT_EQ(OciLiteControl::CallCount(), calls.size());
    ASSERT_GT(calls.size(), 5u);
    int nCancelled = 0;
    int nStatementSteps = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(calls[i]);
        SetConnection("SCOTT", "tiger", "PICKDB");
        OciLiteControl::ResetCounters();
        OciLiteControl::SetFailAt(unsigned(i + 1));
        Picker picker;
        ASSERT_TRUE(picker.Open()) << i;
        OciLiteControl::SetFailAt(0);
        EXPECT_LE(picker.messages.size(), 1u) << i;
        if (picker.dlg.IsEnding()) {
            ++nCancelled;
            EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult()) << i;
            EXPECT_STREQ("", g_szObjectName) << i;
            EXPECT_EQ(1u, picker.messages.size()) << i;
        } else {
            EXPECT_LE(picker.Entries().size(), 2u) << i;
        }
        const bool bStatementStep = calls[i] == "OCIStmtPrepare" || calls[i] == "OCIDefineByPos" ||
                                    calls[i] == "OCIStmtExecute";
        if (bStatementStep) {
            ++nStatementSteps;
            ASSERT_EQ(1u, picker.messages.size()) << i;
            EXPECT_NE(std::string::npos, picker.messages[0].find("ORA-03113"))
                << picker.messages[0];
            EXPECT_FALSE(picker.dlg.IsEnding()) << i;
            EXPECT_TRUE(picker.Entries().empty()) << i;
            EXPECT_TRUE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDOK))) << i;
        }
    }
    EXPECT_GE(nCancelled, 3);
    EXPECT_GE(nStatementSteps, 3);
}

// Over a slow link the picker opens at once and says it is listing, with OK and the find box
// disabled; Cancel while it waits breaks the call and closes at once, and the next picker
// lists as usual. A listing that arrives late fills the list and enables OK.
TEST(PackList, ListsOffTheWindowThreadAndCancelEndsTheWait)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    OciLiteControl::SetRoundTripDelay(1000000);
    {
        Picker picker;
        const DWORD dwOpen = ::GetTickCount();
        ASSERT_TRUE(picker.dlg.Create());
        EXPECT_LT(::GetTickCount() - dwOpen, 500u);
        PumpFor(300);
        EXPECT_TRUE(picker.dlg.IsListing());
        EXPECT_EQ(std::vector<std::string>{CPackListDlg::kListingText}, picker.Entries());
        EXPECT_FALSE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDOK)));
        EXPECT_FALSE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDC_FIND)));
        EXPECT_FALSE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDC_LOG)));
        EXPECT_TRUE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDCANCEL)));
        const DWORD dwCancel = ::GetTickCount();
        picker.Press(IDCANCEL);
        EXPECT_LT(::GetTickCount() - dwCancel, 1000u);
        EXPECT_TRUE(picker.dlg.IsEnding());
        EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult());
        EXPECT_FALSE(picker.dlg.IsListing());
        EXPECT_STREQ("", g_szObjectName);
    }
    OciLiteControl::SetRoundTripDelay(200000);
    {
        Picker picker;
        ASSERT_TRUE(picker.Open());
        OciLiteControl::SetRoundTripDelay(0);
        EXPECT_TRUE(picker.messages.empty());
        const std::vector<std::string> expected{"A_PKG [PACKAGE]", "B_FUNC [FUNCTION]"};
        EXPECT_EQ(expected, picker.Entries());
        EXPECT_TRUE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDOK)));
        EXPECT_TRUE(::IsWindowEnabled(picker.dlg.GetDlgItem(IDC_FIND)));
        EXPECT_EQ(0, picker.Selection());
    }
    OciLiteControl::SetRoundTripDelay(0);
}

// The list is the export's: names compared and ordered by their bytes (upper case before
// lower case, a letter beyond ASCII last), not by the list box's own collation.
TEST(PackList, ListsInTheExportsOrder)
{
    SetConnection("SCOTT", "tiger", "CASEDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    const std::vector<std::string> expected{"ABC [PROCEDURE]", "ID [PROCEDURE]",
                                            "Mixed [PROCEDURE]", "abc [PROCEDURE]",
                                            "?D [PROCEDURE]"};
    EXPECT_EQ(expected, picker.Entries());
}

// The listing's thread that cannot start: the system's reason in one box, nothing chosen.
TEST(PackList, AThreadThatCannotStartSaysWhy)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    picker.dlg.SetThreadStarter(FailingThreadStarter(ERROR_NOT_ENOUGH_MEMORY));
    ASSERT_TRUE(picker.Open());
    ASSERT_EQ(1u, picker.messages.size());
    EXPECT_EQ(std::string(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY)), picker.messages[0]);
    EXPECT_TRUE(picker.dlg.IsEnding());
    EXPECT_EQ(IDCANCEL, picker.dlg.GetModalResult());
}

TEST(PackList, ResizingKeepsTheLayout)
{
    SetConnection("SCOTT", "tiger", "PICKDB");
    Picker picker;
    ASSERT_TRUE(picker.Open());
    HWND hDlg = picker.dlg.m_hWnd;
    auto place = [hDlg](int nID) {
        RECT rc;
        ::GetWindowRect(::GetDlgItem(hDlg, nID), &rc);
        ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    // The template's places, in pixels (position and size converted each on their own,
    // as the dialog manager does).
    auto fromUnits = [hDlg](RECT rc) {
        ::MapDialogRect(hDlg, &rc);
        return RECT{rc.left, rc.top, rc.left + rc.right, rc.top + rc.bottom};
    };
    const RECT rcList = fromUnits({7, 14, 258, 117});
    const RECT rcOk = fromUnits({158, 148, 50, 14});
    RECT rcWindow;
    ::GetWindowRect(hDlg, &rcWindow);
    const int cx = rcWindow.right - rcWindow.left, cy = rcWindow.bottom - rcWindow.top;
    // A size message at the starting size leaves everything where the template put it.
    RECT rcClient;
    ::GetClientRect(hDlg, &rcClient);
    ::SendMessageA(hDlg, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rcClient.right, rcClient.bottom));
    EXPECT_EQ(rcList.left, place(IDC_LOG).left);
    EXPECT_EQ(rcList.top, place(IDC_LOG).top);
    EXPECT_EQ(rcList.right, place(IDC_LOG).right);
    EXPECT_EQ(rcList.bottom, place(IDC_LOG).bottom);
    EXPECT_EQ(rcOk.left, place(IDOK).left);
    EXPECT_EQ(rcOk.top, place(IDOK).top);

    ::SetWindowPos(hDlg, nullptr, 0, 0, cx + 80, cy + 50,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(rcList.right + 80, place(IDC_LOG).right);
    EXPECT_EQ(rcList.bottom + 50, place(IDC_LOG).bottom);
    EXPECT_EQ(rcOk.left + 80, place(IDOK).left);
    EXPECT_EQ(rcOk.top + 50, place(IDOK).top);
    EXPECT_EQ(rcOk.left + 80, place(IDOK).left);

    ::SetWindowPos(hDlg, nullptr, 0, 0, cx - 150, cy - 150,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(rcOk.left - 70, place(IDOK).left);
    EXPECT_EQ(rcOk.top - 70, place(IDOK).top);
}
