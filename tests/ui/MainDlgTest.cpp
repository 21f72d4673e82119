// Tests of the main dialog: created modeless on the test's display and driven as a user
// would (typing, clicks, keys), with real export jobs against oci-lite's fixture
// databases; message boxes are answered by a watcher thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <thread>

#include "QuillmarkVersion.h"
#include "app/quillmarkDlg.h"
#include "app/JobControl.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"
#include "dialogs/PackListDlg.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/ui/UiTestSupport.h"

using namespace UiTest;

namespace {

const int kParameterIds[] = {IDC_USER,   IDC_DATABASE,  IDC_OBJECTNAME, IDC_PASSWORD, IDC_FILENAME,
                             IDC_SYSDBA, IDC_RADIO_ONE, IDC_RADIO_ALL,  IDC_PICK,     IDC_BROWSE};

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string TempPath(const char* pszName)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    return std::string(szTemp) + "qm_ui_" + std::to_string(::GetCurrentProcessId()) + "_" + pszName;
}

// The blocks the worker writes for the fixture "jobdb".
const char kPackageBlock[] = "CREATE OR REPLACE package A_PKG is\n  procedure p;\nend;\n/\n";
const char kBodyBlock[] =
    "CREATE OR REPLACE package body A_PKG is\n  procedure p is begin null; end;\nend;\n\n/\n";
const char kFunctionBlock[] =
    "CREATE OR REPLACE function B_FUNC return number is\nbegin return 1; end;\n/\n";
const char kProcedureBlock[] = "CREATE OR REPLACE procedure C_PROC is\nbegin null; end;\n/\n";

}  // namespace

class MainDlg : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_bRunning = 0;
        m_pDlg = std::make_unique<CquillmarkDlg>();
        ASSERT_TRUE(m_pDlg->Create());
        AfxGetApp()->m_pMainWnd = m_pDlg.get();
        m_hDlg = m_pDlg->m_hWnd;
        PumpFor(20);
    }
    void TearDown() override
    {
        if (m_pDlg->m_hWnd && m_pDlg->IsRunning())
            Press(IDOK);
        OciLiteControl::SetRoundTripDelay(0);
        PumpFor(50);
        AfxGetApp()->m_pMainWnd = nullptr;
        m_pDlg.reset();
        for (const std::string& strFile : m_files)
            ::DeleteFileA(strFile.c_str());
    }

    HWND Item(int nID) const { return ::GetDlgItem(m_hDlg, nID); }
    // A click as the dialog receives it: the button's command.
    void Press(int nID)
    {
        ::SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), LPARAM(Item(nID)));
    }
    std::string Text(int nID) const { return TextOf(Item(nID)); }
    bool Enabled(int nID) const { return ::IsWindowEnabled(Item(nID)) != FALSE; }
    int LogCount() const { return int(::SendMessageA(Item(IDC_LOG), LB_GETCOUNT, 0, 0)); }
    std::string OutputFile(const char* pszName)
    {
        const std::string strPath = TempPath(pszName);
        ::DeleteFileA(strPath.c_str());
        m_files.push_back(strPath);
        return strPath;
    }
    // Types the fields as a user would (the upper-case fields get lower-case input).
    void Fill(const char* pszUser, const char* pszPassword, const char* pszDatabase,
              const std::string& strFile, const char* pszObject)
    {
        for (int nID : {IDC_USER, IDC_PASSWORD, IDC_DATABASE, IDC_FILENAME})
            ::SetWindowTextA(Item(nID), "");
        TypeText(Item(IDC_USER), pszUser);
        TypeText(Item(IDC_PASSWORD), pszPassword);
        TypeText(Item(IDC_DATABASE), pszDatabase);
        ::SetWindowTextA(Item(IDC_FILENAME), strFile.c_str());
        if (pszObject) {
            ::SetWindowTextA(Item(IDC_OBJECTNAME), "");
            TypeText(Item(IDC_OBJECTNAME), pszObject);
        }
    }
    bool WaitForIdle(int nTimeout = 20000)
    {
        return PumpUntil([this] { return !m_pDlg->IsRunning(); }, nTimeout);
    }
    // Fills the fields as given, opens the object picker and, once it has listed, chooses
    // pszEntry in it (nullptr: leaves its choice alone); entries receives what it listed.
    // Returns how many pickers opened.
    size_t Pick(const char* pszDatabase, const std::string& strFile, const char* pszObject,
                const char* pszEntry, std::vector<std::string>& entries)
    {
        MessageBoxWatcher picker(
            [&](HWND hPicker, const std::string&) {
                HWND hList = ::GetDlgItem(hPicker, IDC_LOG);
                if (!WaitForPickerList(hPicker, 20000))
                    return;
                entries = ListLines(hList);
                if (!pszEntry)
                    return;
                const auto it = std::find(entries.begin(), entries.end(), pszEntry);
                if (it != entries.end())
                    ::SendMessageA(hList, LB_SETCURSEL, WPARAM(it - entries.begin()), 0);
            },
            "Select Object");
        Fill("scott", "tiger", pszDatabase, strFile, pszObject);
        Press(IDC_PICK);
        return picker.Count();
    }
    void ExpectParametersEnabled(bool bEnabled, bool bObjectControls)
    {
        for (int nID : kParameterIds) {
            const bool bExpected =
                (nID == IDC_OBJECTNAME || nID == IDC_PICK) ? bObjectControls : bEnabled;
            EXPECT_EQ(bExpected, Enabled(nID)) << nID;
        }
    }

    std::unique_ptr<CquillmarkDlg> m_pDlg;
    HWND m_hDlg = nullptr;
    std::vector<std::string> m_files;
};

TEST_F(MainDlg, OpensIdleInOneObjectMode)
{
    EXPECT_EQ("Quillmark v" QUILLMARK_VERSION, TextOf(m_hDlg));
    EXPECT_EQ("Start", Text(IDOK));
    EXPECT_FALSE(m_pDlg->IsRunning());
    EXPECT_EQ(1, m_pDlg->m_radioOne.GetCheckState());
    EXPECT_EQ(0, m_pDlg->m_radioAll.GetCheckState());
    EXPECT_EQ(0, m_pDlg->m_chkSysdba.GetCheckState());
    EXPECT_EQ(0, g_bAllObjects);
    ExpectParametersEnabled(true, true);
    EXPECT_EQ(::RegisterWindowMessageA("ADD_STR_MESSAGE"), g_uAddStrMsg);
    EXPECT_EQ(::RegisterWindowMessageA("PROGRESS_MESSAGE"), g_uProgressMsg);
    for (int nID : {IDC_PROGRESS_OBJECT, IDC_PROGRESS_TOTAL}) {
        PBRANGE range{};
        ::SendMessageA(Item(nID), PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(0, range.iLow);
        EXPECT_EQ(100, range.iHigh);
        EXPECT_EQ(0, int(::SendMessageA(Item(nID), PBM_GETPOS, 0, 0)));
    }
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(::SendMessageA(m_hDlg, WM_GETICON, ICON_BIG, 0)));
    EXPECT_NE(nullptr, reinterpret_cast<HICON>(::SendMessageA(m_hDlg, WM_GETICON, ICON_SMALL, 0)));
    EXPECT_NE(0, ::SendMessageA(Item(IDC_BROWSE), BM_GETIMAGE, IMAGE_ICON, 0));
    EXPECT_NE(0, ::SendMessageA(Item(IDC_PICK), BM_GETIMAGE, IMAGE_ICON, 0));
    EXPECT_EQ(kObjectNameSize - 1,
              int(::SendMessageA(Item(IDC_OBJECTNAME), EM_GETLIMITTEXT, 0, 0)));
    EXPECT_EQ(QUILLMARK_MAKER, Text(IDC_MAKER));
    EXPECT_EQ(QUILLMARK_WEB_ADDRESS, Text(IDC_WEBLINK));
    // The focus starts in the user name field.
    EXPECT_EQ(Item(IDC_USER), ::GetFocus());
}

TEST_F(MainDlg, SystemMenuHasTheAboutItem)
{
    HMENU hMenu = ::GetSystemMenu(m_hDlg, FALSE);
    ASSERT_NE(nullptr, hMenu);
    const int nCount = ::GetMenuItemCount(hMenu);
    ASSERT_GE(nCount, 2);
    char szText[64] = {};
    ::GetMenuStringA(hMenu, nCount - 1, szText, sizeof(szText), MF_BYPOSITION);
    EXPECT_STREQ("&About quillmark...", szText);
    EXPECT_EQ(UINT(IDM_ABOUTBOX), ::GetMenuItemID(hMenu, nCount - 1));
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoA(hMenu, nCount - 2, TRUE, &info);
    EXPECT_TRUE(info.fType & MFT_SEPARATOR);
}

TEST_F(MainDlg, AboutItemShowsTheAboutBox)
{
    std::string strVersion, strMaker, strAddress, strCaption;
    MessageBoxWatcher watcher(
        [&](HWND hBox, const std::string&) {
            strCaption = TextOf(hBox);
            strAddress = TextOf(::GetDlgItem(hBox, IDC_ABOUT_WEBLINK));
            for (HWND hChild = ::GetWindow(hBox, GW_CHILD); hChild;
                 hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
                const std::string strText = TextOf(hChild);
                if (strText.rfind("Quillmark Version", 0) == 0)
                    strVersion = strText;
                if (strText.find(QUILLMARK_MAKER) != std::string::npos)
                    strMaker = strText;
            }
        },
        "About Quillmark");
    ::SendMessageA(m_hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
    ASSERT_EQ(1u, watcher.Count());
    EXPECT_EQ("About Quillmark", strCaption);
    EXPECT_EQ("Quillmark Version " QUILLMARK_VERSION, strVersion);
    EXPECT_NE(std::string::npos, strMaker.find("2008"));
    EXPECT_EQ(QUILLMARK_WEB_ADDRESS, strAddress);
    // The low four bits of the command do not matter.
    ::SendMessageA(m_hDlg, WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3, 0);
    EXPECT_EQ(2u, watcher.Count());
}

// Oracle's passwords are case-sensitive: the password field keeps what is typed.
TEST_F(MainDlg, ThreeFieldsForceUpperCaseThePasswordKeepsItsCase)
{
    TypeText(Item(IDC_USER), "scott");
    TypeText(Item(IDC_PASSWORD), "tiger");
    TypeText(Item(IDC_DATABASE), "orcl");
    TypeText(Item(IDC_OBJECTNAME), "my_pkg");
    TypeText(Item(IDC_FILENAME), "out.sql");
    EXPECT_EQ("SCOTT", Text(IDC_USER));
    EXPECT_EQ("tiger", Text(IDC_PASSWORD));
    EXPECT_EQ("ORCL", Text(IDC_DATABASE));
    EXPECT_EQ("MY_PKG", Text(IDC_OBJECTNAME));
    EXPECT_EQ("out.sql", Text(IDC_FILENAME));
}

// Oracle names reach 128 bytes; the field takes that many and no more.
TEST_F(MainDlg, ObjectNameTakesAtMost128Characters)
{
    const std::string strLong(150, 'x');
    TypeText(Item(IDC_OBJECTNAME), strLong.c_str());
    EXPECT_EQ(std::string(128, 'X'), Text(IDC_OBJECTNAME));
}

TEST_F(MainDlg, ValidationMessagesInTheirOrder)
{
    MessageBoxWatcher watcher;
    Press(IDOK);
    TypeText(Item(IDC_USER), "scott");
    TypeText(Item(IDC_PASSWORD), "tiger");
    Press(IDOK);
    TypeText(Item(IDC_DATABASE), "jobdb");
    Press(IDOK);
    ::SetWindowTextA(Item(IDC_FILENAME), OutputFile("validation.sql").c_str());
    Press(IDOK);
    ::SetWindowTextA(Item(IDC_USER), "");
    Press(IDOK);
    const std::vector<std::string> expected{"Invalid connect parameters.",
                                            "Invalid connect parameters.", "Invalid file name.",
                                            "Invalid object name.", "Invalid connect parameters."};
    EXPECT_EQ(expected, watcher.Texts());
    EXPECT_EQ("Start", Text(IDOK));
    EXPECT_EQ(0, LogCount());
    ExpectParametersEnabled(true, true);
}

TEST_F(MainDlg, OneObjectJobRunsAndReturnsToIdle)
{
    MessageBoxWatcher watcher;
    const std::string strFile = OutputFile("one.sql");
    Fill("scott", "tiger", "jobdb", strFile, "a_pkg");
    ::SendMessageA(Item(IDOK), BM_CLICK, 0, 0);
    EXPECT_EQ("Stop", Text(IDOK));
    EXPECT_TRUE(m_pDlg->IsRunning());
    ExpectParametersEnabled(false, false);
    EXPECT_EQ("SCOTT", std::string(g_strUser));
    EXPECT_EQ("tiger", std::string(g_strPassword));
    EXPECT_EQ("JOBDB", std::string(g_strDatabase));
    EXPECT_STREQ("A_PKG", g_szObjectName);
    EXPECT_EQ(strFile, std::string(NarrowPath(g_strFileName)));
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(watcher.Texts().empty());
    EXPECT_EQ("Start", Text(IDOK));
    ExpectParametersEnabled(true, true);
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ("Connect to SCOTT@JOBDB", lines[0]);
    EXPECT_EQ("Connected.", lines[1]);
    EXPECT_EQ("CREATE OR REPLACE package A_PKG is", lines[3]);
    EXPECT_EQ("Source uploaded. File created.", lines[lines.size() - 2]);
    EXPECT_EQ(int(lines.size()), g_nLogLines);
    EXPECT_EQ(100, int(::SendMessageA(Item(IDC_PROGRESS_OBJECT), PBM_GETPOS, 0, 0)));
    EXPECT_EQ(100, int(::SendMessageA(Item(IDC_PROGRESS_TOTAL), PBM_GETPOS, 0, 0)));
    EXPECT_EQ(std::string(kPackageBlock) + kBodyBlock, ReadFile(strFile));
}

// "/" with an empty password logs on through the client's password store; the password is
// needed for every other user.
TEST_F(MainDlg, SlashWithoutAPasswordRunsThroughTheWallet)
{
    ScopedWallet wallet("JOBDB", "SCOTT", "tiger");
    MessageBoxWatcher watcher;
    Fill("scott", "", "jobdb", OutputFile("nopassword.sql"), "a_pkg");
    Press(IDOK);
    EXPECT_EQ(std::vector<std::string>{"Invalid connect parameters."}, watcher.Texts());
    EXPECT_EQ("Start", Text(IDOK));

    const std::string strFile = OutputFile("wallet.sql");
    Fill("/", "", "jobdb", strFile, "a_pkg");
    ::SendMessageA(Item(IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(std::vector<std::string>{"Invalid connect parameters."}, watcher.Texts());
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("Connect to /@JOBDB", lines[0]);
    EXPECT_EQ("Connected.", lines[1]);
    EXPECT_EQ(std::string(kPackageBlock) + kBodyBlock, ReadFile(strFile));
}

// A folder named outside the code page and an object name of Oracle's full 128 bytes: the
// path reaches the file system through the wide entry points and the name is exported whole.
TEST_F(MainDlg, WidePathAndLongestNameAreExportedIntact)
{
    MessageBoxWatcher watcher;
    wchar_t szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    const std::wstring strFolder = std::wstring(szTemp) + L"\x5bfc\x51fa \x0394\x03b9\x03ac";
    ::CreateDirectoryW(strFolder.c_str(), nullptr);
    const std::wstring strFile = strFolder + L"\\\x540d\x524d.sql";
    ::DeleteFileW(strFile.c_str());
    Fill("scott", "tiger", "longnames", OutputFile("placeholder.sql"),
         std::string(128, 'l').c_str());
    ::SetWindowTextW(Item(IDC_FILENAME), strFile.c_str());
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(watcher.Texts().empty());
    EXPECT_EQ(strFile, g_strFileName);
    HANDLE hFile = ::CreateFileW(strFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hFile);
    char szContent[256] = {};
    DWORD nRead = 0;
    ::ReadFile(hFile, szContent, sizeof(szContent) - 1, &nRead, nullptr);
    ::CloseHandle(hFile);
    EXPECT_EQ("CREATE OR REPLACE procedure long_one is begin null; end;\n\n/\n",
              std::string(szContent, nRead));
    ::DeleteFileW(strFile.c_str());
    ::RemoveDirectoryW(strFolder.c_str());
}

TEST_F(MainDlg, AllObjectsJobExportsTheSchema)
{
    MessageBoxWatcher watcher;
    const std::string strFile = OutputFile("all.sql");
    Fill("scott", "tiger", "jobdb", strFile, "ignored");
    ClickWithMouse(Item(IDC_RADIO_ALL));
    EXPECT_EQ(1, g_bAllObjects);
    Press(IDOK);
    EXPECT_STREQ("", g_szObjectName);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(watcher.Texts().empty());
    EXPECT_EQ(std::string(kPackageBlock) + kBodyBlock + kFunctionBlock + kProcedureBlock,
              ReadFile(strFile));
    // Idle again in all-objects mode: the object controls stay disabled.
    ExpectParametersEnabled(true, false);
}

TEST_F(MainDlg, EnterStartsAJob)
{
    MessageBoxWatcher watcher;
    Fill("scott", "tiger", "jobdb", OutputFile("enter.sql"), "b_func");
    ::SetFocus(Item(IDC_DATABASE));
    PostKey(Item(IDC_DATABASE), VK_RETURN);
    PumpUntil([this] { return LogCount() > 0; }, 5000);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_GT(LogCount(), 3);
    EXPECT_TRUE(watcher.Texts().empty());
}

TEST_F(MainDlg, WorkerMessageShowsAndTheJobEnds)
{
    MessageBoxWatcher watcher;
    Fill("scott", "tiger", "emptydb", OutputFile("empty.sql"), nullptr);
    ClickWithMouse(Item(IDC_RADIO_ALL));
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ(std::vector<std::string>{"Object not found."}, watcher.Texts());
    ExpectParametersEnabled(true, false);
}

TEST_F(MainDlg, WrongPasswordEndsTheJob)
{
    MessageBoxWatcher watcher;
    Fill("scott", "lion", "jobdb", OutputFile("wrong.sql"), "a_pkg");
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    ASSERT_EQ(1u, watcher.Count());
    EXPECT_NE(std::string::npos, watcher.Texts()[0].find("ORA-01017"));
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Error while connect to specified database", lines.back());
}

// The same dialog in a process that finds an OCI.DLL of the other bitness on its search path
// (ui_tests_other_bitness, QM_UI_OTHER_BITNESS=1); it skips itself in the others. No
// oci-lite to reset afterwards.
class MainDlgOtherBitness : public MainDlg {
protected:
    void SetUp() override
    {
        char szValue[8] = "";
        if (::GetEnvironmentVariableA("QM_UI_OTHER_BITNESS", szValue, sizeof szValue) == 0)
            GTEST_SKIP() << "belongs to the run with an OCI.DLL of the other bitness";
        MainDlg::SetUp();
    }
    void TearDown() override
    {
        if (!m_pDlg)
            return;
        AfxGetApp()->m_pMainWnd = nullptr;
        m_pDlg.reset();
    }
};

TEST_F(MainDlgOtherBitness, TheMessageNamesBothBitnesses)
{
    MessageBoxWatcher watcher;
    Fill("scott", "tiger", "jobdb", OutputFile("bitness.sql"), "a_pkg");
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    ASSERT_EQ(1u, watcher.Count());
    const std::string strExpected =
        sizeof(void*) == 8 ? "OCI.DLL on the PATH is a 32-bit library and Quillmark is 64-bit: "
                             "install the 64-bit Oracle client, or use the 32-bit Quillmark"
                           : "OCI.DLL on the PATH is a 64-bit library and Quillmark is 32-bit: "
                             "install the 32-bit Oracle client, or use the 64-bit Quillmark";
    EXPECT_EQ(0u, watcher.Texts()[0].find("Can't load oci.dll")) << watcher.Texts()[0];
    EXPECT_NE(std::string::npos, watcher.Texts()[0].find(strExpected)) << watcher.Texts()[0];
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Error while connect to specified database", lines.back());
}

TEST_F(MainDlg, StopEndsTheJobAndNothingMoreArrives)
{
    MessageBoxWatcher watcher;
    const std::string strFile = OutputFile("stop.sql");
    Fill("scott", "tiger", "slowdb", strFile, nullptr);
    ClickWithMouse(Item(IDC_RADIO_ALL));
    OciLiteControl::SetRoundTripDelay(1000000);
    Press(IDOK);
    ASSERT_TRUE(PumpUntil([this] { return LogCount() > 40; }, 20000));
    ASSERT_EQ("Stop", Text(IDOK));
    Press(IDOK);
    EXPECT_EQ("Start", Text(IDOK));
    ExpectParametersEnabled(true, false);
    const int nLines = LogCount();
    const std::string strContent = ReadFile(strFile);
    PumpFor(600);
    EXPECT_EQ(nLines, LogCount());
    EXPECT_EQ(strContent, ReadFile(strFile));
    EXPECT_EQ("Start", Text(IDOK));
    EXPECT_TRUE(watcher.Texts().empty());
    // Whole blocks only: as many block ends as block starts.
    auto count = [&strContent](const char* pszWhat) {
        size_t n = 0;
        for (size_t at = strContent.find(pszWhat); at != std::string::npos;
             at = strContent.find(pszWhat, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("CREATE OR REPLACE "), count("\n/\n"));
}

TEST_F(MainDlg, CloseWhileRunningIsRefusedAndTheWorkerHeld)
{
    std::atomic<int> nBefore{-1}, nAfter{-1};
    MessageBoxWatcher watcher([&](HWND, const std::string&) {
        nBefore = int(::SendMessageA(::GetDlgItem(m_hDlg, IDC_LOG), LB_GETCOUNT, 0, 0));
        ::Sleep(500);
        nAfter = int(::SendMessageA(::GetDlgItem(m_hDlg, IDC_LOG), LB_GETCOUNT, 0, 0));
    });
    Fill("scott", "tiger", "slowdb", OutputFile("hold.sql"), nullptr);
    ClickWithMouse(Item(IDC_RADIO_ALL));
    OciLiteControl::SetRoundTripDelay(1000000);
    Press(IDOK);
    ASSERT_TRUE(PumpUntil([this] { return LogCount() > 40; }, 20000));

    // Escape, as the dialog manager turns it into Cancel.
    PostKey(Item(IDC_LOG), VK_ESCAPE);
    ASSERT_TRUE(PumpUntil([&] { return watcher.Count() == 1; }, 5000));
    EXPECT_EQ("Stop uploading process before close application.", watcher.Texts()[0]);
    EXPECT_GT(nBefore, 0);
    EXPECT_EQ(nBefore.load(), nAfter.load());
    EXPECT_FALSE(m_pDlg->IsEnding());
    EXPECT_TRUE(::IsWindow(m_hDlg));
    EXPECT_EQ("Stop", Text(IDOK));

    // The worker goes on once the message is closed.
    const int nResumed = LogCount();
    EXPECT_TRUE(PumpUntil([&] { return LogCount() > nResumed + 10; }, 10000));

    // The caption's close box is refused the same way.
    ::SendMessageA(m_hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(PumpUntil([&] { return watcher.Count() == 2; }, 5000));
    EXPECT_EQ("Stop uploading process before close application.", watcher.Texts()[1]);
    EXPECT_FALSE(m_pDlg->IsEnding());

    Press(IDOK);
    EXPECT_EQ("Start", Text(IDOK));
}

TEST_F(MainDlg, CancelWhileIdleCloses)
{
    Press(IDCANCEL);
    EXPECT_TRUE(m_pDlg->IsEnding());
    EXPECT_EQ(IDCANCEL, m_pDlg->GetModalResult());
}

TEST_F(MainDlg, RadioButtonsWithTheMouseKeepTheName)
{
    TypeText(Item(IDC_OBJECTNAME), "my_pkg");
    ClickWithMouse(Item(IDC_RADIO_ALL));
    EXPECT_EQ(1, g_bAllObjects);
    EXPECT_EQ(1, m_pDlg->m_radioAll.GetCheckState());
    EXPECT_EQ(0, m_pDlg->m_radioOne.GetCheckState());
    EXPECT_EQ("", Text(IDC_OBJECTNAME));
    EXPECT_FALSE(Enabled(IDC_OBJECTNAME));
    EXPECT_FALSE(Enabled(IDC_PICK));
    ClickWithMouse(Item(IDC_RADIO_ONE));
    EXPECT_EQ(0, g_bAllObjects);
    EXPECT_EQ("MY_PKG", Text(IDC_OBJECTNAME));
    EXPECT_TRUE(Enabled(IDC_OBJECTNAME));
    EXPECT_TRUE(Enabled(IDC_PICK));
    // "All packages" twice saves the emptied name: the name is gone.
    ClickWithMouse(Item(IDC_RADIO_ALL));
    ClickWithMouse(Item(IDC_RADIO_ALL));
    ClickWithMouse(Item(IDC_RADIO_ONE));
    EXPECT_EQ("", Text(IDC_OBJECTNAME));
}

TEST_F(MainDlg, RadioButtonsWithTheArrowKeys)
{
    TypeText(Item(IDC_OBJECTNAME), "k_pkg");
    ::SetFocus(Item(IDC_RADIO_ONE));
    PostKey(Item(IDC_RADIO_ONE), VK_DOWN);
    PumpFor(50);
    EXPECT_EQ(1, g_bAllObjects);
    EXPECT_EQ(1, m_pDlg->m_radioAll.GetCheckState());
    EXPECT_EQ(0, m_pDlg->m_radioOne.GetCheckState());
    EXPECT_EQ("", Text(IDC_OBJECTNAME));
    PostKey(Item(IDC_RADIO_ALL), VK_UP);
    PumpFor(50);
    EXPECT_EQ(0, g_bAllObjects);
    EXPECT_EQ(1, m_pDlg->m_radioOne.GetCheckState());
    EXPECT_EQ("K_PKG", Text(IDC_OBJECTNAME));
    // The space bar checks the focused button.
    ::SetFocus(Item(IDC_RADIO_ALL));
    PostKey(Item(IDC_RADIO_ALL), VK_SPACE);
    PumpFor(50);
    EXPECT_EQ(1, g_bAllObjects);
}

TEST_F(MainDlg, PickerNeedsTheConnectParameters)
{
    MessageBoxWatcher watcher;
    TypeText(Item(IDC_USER), "scott");
    Press(IDC_PICK);
    EXPECT_EQ(std::vector<std::string>{"Invalid connect parameters"}, watcher.Texts());
}

TEST_F(MainDlg, PickerHandsBackTheNameAndTheFileName)
{
    std::vector<std::string> entries;
    EXPECT_EQ(1u, Pick("pickdb", "C:\\chosen\\before.sql", nullptr, nullptr, entries));
    const std::vector<std::string> expected{"A_PKG [PACKAGE]", "B_FUNC [FUNCTION]"};
    EXPECT_EQ(expected, entries);
    EXPECT_EQ("A_PKG", Text(IDC_OBJECTNAME));
    EXPECT_EQ("a_pkg.sql", Text(IDC_FILENAME));
    EXPECT_EQ("SCOTT", std::string(g_strUser));
    EXPECT_EQ("PICKDB", std::string(g_strDatabase));
}

TEST_F(MainDlg, CancelledPickerChangesNothing)
{
    MessageBoxWatcher picker(
        [&](HWND hPicker, const std::string&) { ::PostMessageA(hPicker, WM_COMMAND, IDCANCEL, 0); },
        "Select Object");
    Fill("scott", "tiger", "pickdb", "keep.sql", "mine");
    Press(IDC_PICK);
    EXPECT_EQ(1u, picker.Count());
    EXPECT_EQ("MINE", Text(IDC_OBJECTNAME));
    EXPECT_EQ("keep.sql", Text(IDC_FILENAME));
}

// The picked object is exported exactly as stored, whatever the field shows (the field
// upper-cases); a name the code page cannot show is shown with "?" and still exported exactly.
TEST_F(MainDlg, PickedNamesAreExportedExactlyAsStored)
{
    struct PickCase {
        const char* pszEntry;  // the picker's entry, as the system's code page shows it
        const char* pszLine;   // the object's source line
    };
    const PickCase kCases[] = {
        {"abc [PROCEDURE]", "procedure \"abc\" is begin null; end;\n"},
        {"ABC [PROCEDURE]", "procedure ABC is begin null; end;\n"},
        {"Mixed [PROCEDURE]", "procedure \"Mixed\" is begin null; end;\n"},
        {"?D [PROCEDURE]", "procedure \"dotted I\" is begin null; end;\n"},
        {"ID [PROCEDURE]", "procedure ID is begin null; end;\n"},
    };
    for (const PickCase& c : kCases) {
        SCOPED_TRACE(c.pszEntry);
        std::vector<std::string> entries;
        MessageBoxWatcher boxes;
        ASSERT_EQ(1u, Pick("casedb", OutputFile("placeholder.sql"), nullptr, c.pszEntry, entries));
        ASSERT_EQ(1, std::count(entries.begin(), entries.end(), c.pszEntry));
        const std::string strFile = OutputFile("picked.sql");
        ::SetWindowTextA(Item(IDC_FILENAME), strFile.c_str());
        Press(IDOK);
        ASSERT_TRUE(WaitForIdle());
        EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
        EXPECT_EQ(std::string("CREATE OR REPLACE ") + c.pszLine + "\n/\n", ReadFile(strFile));
    }
    // Typed, the name is upper-cased as Oracle folds it: "abc" exports ABC.
    MessageBoxWatcher boxes;
    const std::string strFile = OutputFile("typed.sql");
    Fill("scott", "tiger", "casedb", strFile, "abc");
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_EQ("CREATE OR REPLACE procedure ABC is begin null; end;\n\n/\n", ReadFile(strFile));
}

// A name of one character is picked and exported like any other (it once counted as no
// choice).
TEST_F(MainDlg, AOneCharacterPickIsExported)
{
    std::vector<std::string> entries;
    MessageBoxWatcher boxes;
    ASSERT_EQ(1u, Pick("onechar", "before.sql", "typed", "X [PROCEDURE]", entries));
    const std::vector<std::string> expected{"X [PROCEDURE]", "XY [PROCEDURE]"};
    EXPECT_EQ(expected, entries);
    EXPECT_EQ("X", Text(IDC_OBJECTNAME));
    EXPECT_EQ("x.sql", Text(IDC_FILENAME));
    const std::string strFile = OutputFile("x.sql");
    ::SetWindowTextA(Item(IDC_FILENAME), strFile.c_str());
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_EQ("CREATE OR REPLACE procedure X is begin null; end;\n\n/\n", ReadFile(strFile));
}

// While the picker lists over a slow link the main window answers, and Cancel closes the
// picker within a second with the fields unchanged.
TEST_F(MainDlg, TheWindowAnswersWhileThePickerListsAndCancelEndsTheWait)
{
    std::atomic<bool> bListingShown{false}, bAnswered{false}, bStillListing{false};
    std::atomic<DWORD> nClosedMs{~0u};
    const HWND hMain = m_hDlg;
    MessageBoxWatcher picker(
        [&](HWND hPicker, const std::string&) {
            HWND hOk = ::GetDlgItem(hPicker, IDOK);
            bListingShown =
                !::IsWindowEnabled(hOk) && ListLines(::GetDlgItem(hPicker, IDC_LOG)) ==
                                               std::vector<std::string>{CPackListDlg::kListingText};
            DWORD_PTR nResult = 0;
            bAnswered =
                ::SendMessageTimeoutA(hMain, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &nResult) != 0;
            bStillListing = !::IsWindowEnabled(hOk);
            const DWORD dwCancel = ::GetTickCount();
            ::PostMessageA(hPicker, WM_COMMAND, IDCANCEL, 0);
            while (::IsWindowVisible(hPicker) && ::GetTickCount() - dwCancel < 5000)
                ::Sleep(10);
            nClosedMs = ::GetTickCount() - dwCancel;
        },
        "Select Object");
    Fill("scott", "tiger", "pickdb", "keep.sql", "mine");
    OciLiteControl::SetRoundTripDelay(1000000);
    Press(IDC_PICK);
    OciLiteControl::SetRoundTripDelay(0);
    // The hook goes on a moment after the picker has closed.
    ASSERT_TRUE(PumpUntil([&] { return picker.Count() == 1; }, 10000));
    EXPECT_TRUE(bListingShown);
    EXPECT_TRUE(bAnswered);
    EXPECT_TRUE(bStillListing);
    EXPECT_LT(nClosedMs.load(), 1000u);
    EXPECT_EQ("MINE", Text(IDC_OBJECTNAME));
    EXPECT_EQ("keep.sql", Text(IDC_FILENAME));
}

// Failures whose reasons must reach the user: a worker or picker thread that cannot start
// says the system's reason and leaves the window idle; a Stop whose break thread cannot start
// still sends the break.
TEST_F(MainDlg, AThreadThatCannotStartSaysWhyAndTheWindowStaysIdle)
{
    const std::string strReason(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    {
        MessageBoxWatcher boxes;
        m_pDlg->SetThreadStarter(FailingThreadStarter(ERROR_NOT_ENOUGH_MEMORY));
        Fill("scott", "tiger", "jobdb", OutputFile("never.sql"), "c_proc");
        Press(IDOK);
        PumpFor(50);
        EXPECT_EQ(std::vector<std::string>{"System error! Restart application.\r\n" + strReason},
                  boxes.Texts());
        EXPECT_EQ("Start", Text(IDOK));
        ExpectParametersEnabled(true, true);
        EXPECT_EQ(0, g_bRunning);
        const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(strReason, lines.back());
    }
    {
        MessageBoxWatcher boxes;
        Press(IDC_PICK);
        EXPECT_EQ(std::vector<std::string>{strReason}, boxes.Texts());
        EXPECT_EQ("C_PROC", Text(IDC_OBJECTNAME));
    }
    // A running job stopped while no thread can start: the break travels on the window's own
    // thread, and the worker's call ends.
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    const std::string strTrace =
        std::string(szTemp) + "qm_ui_break_trace_" + std::to_string(::GetCurrentProcessId());
    ::DeleteFileA(strTrace.c_str());
    m_pDlg->SetThreadStarter(StartThread);
    Fill("scott", "tiger", "slowdb", OutputFile("stopped.sql"), nullptr);
    ClickWithMouse(Item(IDC_RADIO_ALL));
    OciLiteControl::SetRoundTripDelay(1000000);
    Press(IDOK);
    // Just after the logon the worker waits a whole round trip in its listing query.
    ASSERT_TRUE(PumpUntil(
        [this] {
            const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
            return std::find(lines.begin(), lines.end(), "Connected.") != lines.end();
        },
        20000));
    ASSERT_TRUE(OciLiteControl::SetTraceFile(strTrace));
    m_pDlg->SetThreadStarter(FailingThreadStarter(ERROR_NOT_ENOUGH_MEMORY));
    Press(IDOK);
    OciLiteControl::SetRoundTripDelay(0);
    OciLiteControl::SetTraceFile("");
    EXPECT_EQ("Start", Text(IDOK));
    std::ifstream trace(strTrace);
    const std::string strCalls((std::istreambuf_iterator<char>(trace)),
                               std::istreambuf_iterator<char>());
    trace.close();
    ::DeleteFileA(strTrace.c_str());
    EXPECT_NE(std::string::npos, strCalls.find("OCIBreak")) << strCalls;
}

// A password holding a letter outside the code page logs on: the fields are read as UTF-16
// and sent in UTF-8.
TEST_F(MainDlg, APasswordOutsideTheCodePageLogsOn)
{
    MessageBoxWatcher boxes;
    const std::string strFile = OutputFile("omega.sql");
    Fill("omega", "x", "casedb", strFile, "o_proc");
    ::SetWindowTextW(Item(IDC_PASSWORD), L"\x03a9mega");
    Press(IDOK);
    ASSERT_TRUE(WaitForIdle());
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    EXPECT_EQ("CREATE OR REPLACE procedure O_PROC is begin null; end;\n\n/\n", ReadFile(strFile));
}

// A device is refused before the logon, with the same lines as in qmexport.
TEST_F(MainDlg, ADeviceIsNoOutputFile)
{
    // "COM\xB9": COM with a superscript one, in the system's code page.
    for (const char* pszPath : {"NUL", "com1.sql", "C:\\out\\LPT1.txt", "C:\\out\\COM\xB9.sql"}) {
        SCOPED_TRACE(pszPath);
        MessageBoxWatcher boxes;
        Fill("scott", "wrong", "jobdb", pszPath, "a_pkg");
        Press(IDOK);
        ASSERT_TRUE(WaitForIdle());
        ASSERT_EQ(1u, boxes.Count());
        EXPECT_EQ(std::string("Error while create specified file.\r\n") + pszPath +
                      ": a device, not a file",
                  boxes.Texts().front());
    }
}

TEST(MainDlgFileName, ProposalIsLowerCaseAndFitsTheBuffer)
{
    EXPECT_EQ(CString("my_pkg.sql"), CquillmarkDlg::ProposedFileName("MY_PKG"));
    EXPECT_EQ(CString(".sql"), CquillmarkDlg::ProposedFileName(""));
    const CString strLong = CquillmarkDlg::ProposedFileName(CString('A', 300));
    EXPECT_EQ(CquillmarkDlg::kFileNameBufferSize - 1, strLong.GetLength());
    EXPECT_EQ(CString('a', 259), strLong);
    EXPECT_EQ(CString('b', 99) + ".sql", CquillmarkDlg::ProposedFileName(CString('B', 99)));
}

TEST_F(MainDlg, BrowseProposesTheObjectNameAndTakesThePath)
{
    std::string strProposed;
    const std::string strChosen = OutputFile("browse.sql");
    MessageBoxWatcher fileDialog(
        [&](HWND hFileDlg, const std::string&) {
            // The name field of the system's save-as dialog: a combo box (explorer style)
            // or a plain edit.
            HWND hName = ::GetDlgItem(hFileDlg, 0x47c);
            if (!hName)
                hName = ::GetDlgItem(hFileDlg, 0x480);
            strProposed = TextOf(hName);
            ::SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strChosen.c_str()));
        },
        "Save As");
    TypeText(Item(IDC_OBJECTNAME), "my_pkg");
    Press(IDC_BROWSE);
    EXPECT_EQ(1u, fileDialog.Count());
    EXPECT_EQ("my_pkg.sql", strProposed);
    EXPECT_EQ(strChosen, Text(IDC_FILENAME));
    EXPECT_EQ("MY_PKG", Text(IDC_OBJECTNAME));
}

// At the starting size every control is where the template put it; larger, the
// anchored ones follow; shrunk by more than 70 pixels they stop.
TEST_F(MainDlg, ResizeKeepsTheLayout)
{
    struct Place {
        int nID;
        RECT rcUnits;  // x, y, width, height in dialog units, as in the template
    };
    const Place places[] = {
        {IDC_USER, {150, 20, 170, 12}},         {IDC_OBJECTNAME, {84, 87, 225, 12}},
        {IDC_PICK, {313, 87, 14, 13}},          {IDC_BROWSE, {313, 102, 14, 13}},
        {IDC_LOG, {8, 119, 319, 67}},           {IDC_PROGRESS_OBJECT, {8, 196, 320, 7}},
        {IDC_PROGRESS_TOTAL, {8, 189, 320, 7}}, {IDOK, {223, 212, 50, 14}},
        {IDCANCEL, {278, 212, 50, 14}},         {IDC_GROUP_CONNECT, {84, 8, 243, 73}},
        {IDC_GROUP_FRAME, {3, 0, 331, 232}},    {IDC_MAKER, {12, 208, 64, 8}},
        {IDC_SYSDBA, {150, 67, 79, 10}},        {IDC_RADIO_ONE, {13, 16, 68, 10}},
    };
    auto actual = [this](int nID) {
        RECT rc;
        ::GetWindowRect(Item(nID), &rc);
        ::MapWindowPoints(nullptr, m_hDlg, reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    RECT rcClient;
    ::GetClientRect(m_hDlg, &rcClient);
    ::SendMessageA(m_hDlg, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rcClient.right, rcClient.bottom));
    for (const Place& place : places) {
        // The dialog manager converts the position and the size each on their own.
        RECT rcExpected = place.rcUnits;
        ::MapDialogRect(m_hDlg, &rcExpected);
        rcExpected.right += rcExpected.left;
        rcExpected.bottom += rcExpected.top;
        const RECT rc = actual(place.nID);
        EXPECT_EQ(rcExpected.left, rc.left) << place.nID;
        EXPECT_EQ(rcExpected.top, rc.top) << place.nID;
        EXPECT_EQ(rcExpected.right, rc.right) << place.nID;
        EXPECT_EQ(rcExpected.bottom, rc.bottom) << place.nID;
    }

    RECT rcStart[20];
    for (size_t i = 0; i < std::size(places); ++i)
        rcStart[i] = actual(places[i].nID);
    RECT rcWindow;
    ::GetWindowRect(m_hDlg, &rcWindow);
    const int cx = rcWindow.right - rcWindow.left, cy = rcWindow.bottom - rcWindow.top;
    ::SetWindowPos(m_hDlg, nullptr, 0, 0, cx + 100, cy + 60,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto shifted = [&](int nIndex, int dl, int dt, int dr, int db) {
        const RECT rc = actual(places[nIndex].nID);
        EXPECT_EQ(rcStart[nIndex].left + dl, rc.left) << places[nIndex].nID;
        EXPECT_EQ(rcStart[nIndex].top + dt, rc.top) << places[nIndex].nID;
        EXPECT_EQ(rcStart[nIndex].right + dr, rc.right) << places[nIndex].nID;
        EXPECT_EQ(rcStart[nIndex].bottom + db, rc.bottom) << places[nIndex].nID;
    };
    shifted(0, 0, 0, 100, 0);      // user name: wider
    shifted(1, 0, 0, 100, 0);      // object name: wider
    shifted(2, 100, 0, 100, 0);    // picker button: follows the right edge
    shifted(3, 100, 0, 100, 0);    // browse button
    shifted(4, 0, 0, 100, 60);     // log list: both ways
    shifted(5, 0, 60, 100, 60);    // lower bar: down and wider
    shifted(6, 0, 60, 100, 60);    // upper bar
    shifted(7, 100, 60, 100, 60);  // Start: the corner
    shifted(8, 100, 60, 100, 60);  // Cancel
    shifted(9, 0, 0, 100, 0);      // connect group: wider
    shifted(10, 0, 0, 100, 60);    // frame: both ways
    shifted(11, 0, 60, 0, 60);     // maker's name: down
    shifted(12, 0, 0, 0, 0);       // check box: not registered
    shifted(13, 0, 0, 0, 0);       // radio button: not registered

    ::SetWindowPos(m_hDlg, nullptr, 0, 0, cx - 120, cy - 100,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    shifted(7, -70, -70, -70, -70);
    shifted(4, 0, 0, -70, -70);

    ::SetWindowPos(m_hDlg, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (size_t i = 0; i < std::size(places); ++i)
        shifted(int(i), 0, 0, 0, 0);
}

// The worker's reports as the worker makes them: a thread bound to a job queues lines and
// progress; the dialog takes them in batches.
class FakeWorker {
public:
    // Runs on the test thread: a new job, as Start makes one.
    explicit FakeWorker(HWND hDialog) : m_nJob(JobControl::BeginJob())
    {
        ReportQueue::Instance().BeginJob(m_nJob, hDialog, g_uAddStrMsg);
        g_bRunning = 1;
    }
    ~FakeWorker()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    // Runs body on a thread of the job, as the worker's steps run.
    void Run(std::function<void()> body)
    {
        if (m_thread.joinable())
            m_thread.join();
        m_bDone = false;
        m_thread = std::thread([this, body] {
            CWorkerThreadJob job(m_nJob);
            body();
            m_bDone = true;
        });
    }
    bool Done() const { return m_bDone.load(); }
    void Join() { m_thread.join(); }

private:
    unsigned m_nJob;
    std::thread m_thread;
    std::atomic<bool> m_bDone{false};
};

TEST_F(MainDlg, BatchesKeepEveryLineInOrderAndEndTheJobWithTheirLastLine)
{
    ::SetWindowTextA(Item(IDOK), "Stop");
    g_nLogLines = 0;
    g_bPendingLine = 0;
    HANDLE hLastLine = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i)
        expected.push_back("line " + std::to_string(i));
    expected.push_back("held back across a batch");
    expected.push_back("");

    FakeWorker worker(m_hDlg);
    worker.Run([&] {
        for (int i = 0; i < 2999; ++i)
            AddLogText(CString(("line " + std::to_string(i) + "\n").c_str()), 1);
        // A line and the start of the next, then a pause long enough for the dialog to take a
        // batch, then its end: the held-back text joins its line across the batch edge.
        AddLogText("line 2999\nheld back", 1);
        ::Sleep(200);
        AddLogText(" across a batch\n", 1);
        ::WaitForSingleObject(hLastLine, 10000);
        AddLastLogLine("");
    });
    ASSERT_TRUE(PumpUntil([&] { return LogCount() == 3001; }, 10000));
    EXPECT_EQ("Stop", Text(IDOK));  // everything but the last line: still running
    ::SetEvent(hLastLine);
    bool bIdleWithoutLastLine = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!m_pDlg->IsRunning() && LogCount() != 3002)
                bIdleWithoutLastLine = true;
            return !m_pDlg->IsRunning();
        },
        10000));
    worker.Join();
    ::CloseHandle(hLastLine);
    EXPECT_FALSE(bIdleWithoutLastLine);
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_EQ(expected.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        ASSERT_EQ(expected[i], lines[i]) << "line " << i;
    EXPECT_EQ(3002, g_nLogLines);
    // The list, not drawn while a batch went in, is shown again.
    EXPECT_NE(0, ::GetWindowLongA(Item(IDC_LOG), GWL_STYLE) & WS_VISIBLE);
    // The newest line is in view.
    const int nTop = int(::SendMessageA(Item(IDC_LOG), LB_GETTOPINDEX, 0, 0));
    RECT rcList;
    ::GetClientRect(Item(IDC_LOG), &rcList);
    const int nItemHeight = int(::SendMessageA(Item(IDC_LOG), LB_GETITEMHEIGHT, 0, 0));
    EXPECT_LE(3001, nTop + rcList.bottom / nItemHeight);
}

TEST_F(MainDlg, BarsShowTheNewestProgressOfABatch)
{
    FakeWorker worker(m_hDlg);
    worker.Run([] {
        CJobSection section(CWorkerThreadJob::Current());
        ReportQueue::Instance().SetProgress(CWorkerThreadJob::Current(), 10, 5);
        ReportQueue::Instance().SetProgress(CWorkerThreadJob::Current(), 75, 20);
    });
    ASSERT_TRUE(PumpUntil(
        [&] {
            return worker.Done() &&
                   ::SendMessageA(Item(IDC_PROGRESS_OBJECT), PBM_GETPOS, 0, 0) == 75;
        },
        5000));
    EXPECT_EQ(20, int(::SendMessageA(Item(IDC_PROGRESS_TOTAL), PBM_GETPOS, 0, 0)));
    RequestWorkerStop();
}

// Stop drops what the stopped job queued and ends the log with the dialog's own line; a
// stopped worker that goes on queueing reaches neither this list nor a later job's.
TEST_F(MainDlg, StopDropsQueuedLinesOfTheStoppedJob)
{
    ::SetWindowTextA(Item(IDOK), "Stop");
    FakeWorker stopped(m_hDlg);
    HANDLE hGoOn = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> bQueued{false};
    stopped.Run([&] {
        {
            CJobSection section(CWorkerThreadJob::Current());
            ReportQueue::Instance().SetObjectsWritten(CWorkerThreadJob::Current(), 2);
        }
        AddLogText("queued before Stop\n", 1);
        bQueued = true;
        ::WaitForSingleObject(hGoOn, 10000);
        AddLogText("after Stop", 0);
    });
    // The dialog runs no messages until the user presses Stop: the line stays queued.
    for (int i = 0; i < 500 && !bQueued; ++i)
        ::Sleep(10);
    ASSERT_TRUE(bQueued);
    ::SendMessageA(m_hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(Item(IDOK)));
    EXPECT_EQ("Start", Text(IDOK));
    ::SetEvent(hGoOn);
    stopped.Join();
    PumpFor(150);
    EXPECT_EQ(
        std::vector<std::string>{
            "Stopped. The file holds the 2 complete objects written before Stop."},
        ListLines(Item(IDC_LOG)));

    // A later job sees nothing of the stopped worker either.
    FakeWorker next(m_hDlg);
    ::ResetEvent(hGoOn);
    stopped.Run([&] { AddLogText("stale\n", 1); });
    next.Run([&] { AddLogText("fresh\n", 1); });
    stopped.Join();
    ASSERT_TRUE(PumpUntil([&] { return next.Done() && LogCount() == 2; }, 5000));
    PumpFor(100);
    EXPECT_EQ((std::vector<std::string>{
                  "Stopped. The file holds the 2 complete objects written before Stop.", "fresh"}),
              ListLines(Item(IDC_LOG)));
    ::CloseHandle(hGoOn);
    RequestWorkerStop();
}

// The list keeps the newest lines only; its first line says how many went.
TEST_F(MainDlg, LogKeepsTheNewestHundredThousandLines)
{
    const int nTotal = CLogList::kMaxLines + 40000;
    FakeWorker worker(m_hDlg);
    worker.Run([&] {
        for (int i = 0; i < nTotal; ++i)
            AddLogText(CString(std::to_string(i).c_str()), 0);
    });
    ASSERT_TRUE(PumpUntil(
        [&] {
            const int nCount = LogCount();
            return worker.Done() && nCount > 0 &&
                   ListLines(Item(IDC_LOG)).back() == std::to_string(nTotal - 1);
        },
        60000));
    const std::vector<std::string> lines = ListLines(Item(IDC_LOG));
    ASSERT_LE(lines.size(), size_t(CLogList::kMaxLines + 1));
    ASSERT_GE(lines.size(), size_t(CLogList::kLinesAfterTrim));
    const long long nShown = static_cast<long long>(lines.size()) - 1;
    EXPECT_EQ(CLogList::DroppedText(nTotal - nShown), lines.front());
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i] != std::to_string(nTotal - nShown + static_cast<long long>(i) - 1)) {
            ADD_FAILURE() << "line " << i << " is " << lines[i];
            break;
        }
    }
    EXPECT_EQ(int(lines.size()), g_nLogLines);
    RequestWorkerStop();
}
