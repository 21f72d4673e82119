// Helpers of the user-interface tests: environment, message pump, oci-lite's testing
// exports, input helpers.
#include "tests/ui/UiTestSupport.h"

#include <cstdio>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

#include "db/DBConnect.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "oci-lite/OciLiteTesting.h"
#include "support/OciLiteSchema.h"

namespace UiTest {

namespace {

// The application object of the test program: dialogs find their resources and the
// worker its main window through it.
CWinApp g_testApp;

std::string g_strHome;

// The fixture databases, one per connect string. Every one has SCOTT/tiger and OTHER/OTHER.
struct Fixture {
    const char* pszName;
    void (*fill)(OciLiteSchema& schema);
};

const Fixture kFixtures[] = {
    // Nothing of SCOTT's to list: a table of his and another user's procedure.
    {"emptydb",
     [](OciLiteSchema& schema) {
         schema.AddObjectWithoutSource("EMP", "TABLE");
         schema.AddObjectWithoutSource("C_PROC", "PROCEDURE", "OTHER");
     }},
    // A package with a body, a function, a table, and another user's procedure.
    {"pickdb",
     [](OciLiteSchema& schema) {
         schema.AddObjectWithoutSource("B_FUNC", "FUNCTION");
         schema.AddObjectWithoutSource("A_PKG", "PACKAGE BODY");
         schema.AddObjectWithoutSource("A_PKG", "PACKAGE");
         schema.AddObjectWithoutSource("EMP", "TABLE");
         schema.AddObjectWithoutSource("C_PROC", "PROCEDURE", "OTHER");
     }},
    // A quoted name with a blank and brackets of its own.
    {"odddb",
     [](OciLiteSchema& schema) { schema.AddObjectWithoutSource("ODD [NAME]", "PROCEDURE"); }},
    // One row whose name cannot be fetched (NULL) between two good ones.
    {"nullone",
     [](OciLiteSchema& schema) {
         schema.AddObjectWithoutSource("A_PKG", "PACKAGE");
         schema.AddObjectWithoutSource(nullptr, "PROCEDURE");
         schema.AddObjectWithoutSource("Z_FUNC", "FUNCTION");
     }},
    // Many such rows in a row.
    {"nullmany",
     [](OciLiteSchema& schema) {
         schema.Begin();
         schema.AddObjectWithoutSource("A_PKG", "PACKAGE");
         for (int i = 0; i < 50; ++i)
             schema.AddObjectWithoutSource(nullptr, "PROCEDURE");
         schema.AddObjectWithoutSource("Z_FUNC", "FUNCTION");
         schema.Commit();
     }},
    // Names that differ only in case or in a letter the code page lacks (U+0130), and a user
    // whose password holds a letter outside the code page (U+03A9).
    {"casedb",
     [](OciLiteSchema& schema) {
         schema.AddUser("OMEGA", "\xCE\xA9mega", 0);
         schema.AddObject("abc", "PROCEDURE", {"procedure \"abc\" is begin null; end;\n"});
         schema.AddObject("ABC", "PROCEDURE", {"procedure ABC is begin null; end;\n"});
         schema.AddObject("Mixed", "PROCEDURE", {"procedure \"Mixed\" is begin null; end;\n"});
         schema.AddObject("\xC4\xB0"
                          "D",
                          "PROCEDURE", {"procedure \"dotted I\" is begin null; end;\n"});
         schema.AddObject("ID", "PROCEDURE", {"procedure ID is begin null; end;\n"});
         schema.AddObject("O_PROC", "PROCEDURE", {"procedure O_PROC is begin null; end;\n"},
                          "OMEGA");
     }},
    // A procedure whose name is one character, beside a longer name that begins with it.
    {"onechar",
     [](OciLiteSchema& schema) {
         schema.AddObject("X", "PROCEDURE", {"procedure X is begin null; end;\n"});
         schema.AddObject("XY", "PROCEDURE", {"procedure XY is begin null; end;\n"});
     }},
    // A small schema to export.
    {"jobdb",
     [](OciLiteSchema& schema) {
         schema.AddObject("C_PROC", "PROCEDURE",
                          {"procedure C_PROC is\n", "begin null; end;\n", "/"});
         schema.AddObject("A_PKG", "PACKAGE", {"package A_PKG is\n", "  procedure p;\n", "end;"});
         schema.AddObject(
             "A_PKG", "PACKAGE BODY",
             {"package body A_PKG is\n", "  procedure p is begin null; end;\n", "end;\n"});
         schema.AddObject("B_FUNC", "FUNCTION",
                          {"function B_FUNC return number is\n", "begin return 1; end;"});
         schema.AddObjectWithoutSource("EMP", "TABLE");
     }},
    // A name of Oracle's full 128 bytes, and two names longer than any name Oracle holds, even in
    // UTF-8 (512 bytes), that share their first 512 bytes: neither may pass as the cut name.
    {"longnames",
     [](OciLiteSchema& schema) {
         schema.AddObject(std::string(128, 'L').c_str(), "PROCEDURE",
                          {"procedure long_one is begin null; end;\n"});
         schema.AddObjectWithoutSource((std::string(512, 'M') + "_ONE").c_str(), "PROCEDURE");
         schema.AddObjectWithoutSource((std::string(512, 'M') + "_TWO").c_str(), "PROCEDURE");
     }},
    // Many objects of lines near the longest a source line can be: the source is read as wide
    // as its widest line, so it arrives in several round trips (its rows pass the client's
    // prefetch memory), and with a slow link the job runs long enough to be stopped.
    {"slowdb",
     [](OciLiteSchema& schema) {
         schema.Begin();
         for (int i = 1; i <= 60; ++i) {
             char szName[8];
             std::snprintf(szName, sizeof szName, "P%03d", i);
             std::vector<std::string> lines;
             for (int j = 1; j <= 100; ++j)
                 lines.push_back("  -- line " + std::to_string(j) + " of " + szName + " " +
                                 std::string(3900, 'x') + "\n");
             schema.AddObject(szName, "PROCEDURE", lines);
         }
         schema.Commit();
     }},
};

void CreateFixture(const std::string& strFolder, const Fixture& fixture)
{
    OciLiteSchema schema(strFolder + "\\", fixture.pszName);
    schema.AddUser("SCOTT", "tiger", 0);
    schema.AddUser("OTHER", "OTHER", 0);
    fixture.fill(schema);
}

void RemoveFolder(const std::string& strFolder)
{
    WIN32_FIND_DATAA data;
    HANDLE hFind = ::FindFirstFileA((strFolder + "\\*").c_str(), &data);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                ::DeleteFileA((strFolder + "\\" + data.cFileName).c_str());
        } while (::FindNextFileA(hFind, &data));
        ::FindClose(hFind);
    }
    ::RemoveDirectoryA(strFolder.c_str());
}

// Made once for the whole program: the common controls (the progress bars), and the
// fixture folder that oci-lite reads at every logon.
class UiTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc{};
        icc.dwSize = sizeof(icc);
        icc.dwICC = ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS;
        ::InitCommonControlsEx(&icc);

        char szTemp[MAX_PATH];
        ::GetTempPathA(MAX_PATH, szTemp);
        g_strHome = std::string(szTemp) + "qm_ui_tests_" + std::to_string(::GetCurrentProcessId());
        ::CreateDirectoryA(g_strHome.c_str(), nullptr);
        for (const Fixture& fixture : kFixtures)
            CreateFixture(g_strHome, fixture);
        ::SetEnvironmentVariableA("OCI_LITE_HOME", g_strHome.c_str());

        // The run beside an OCI.DLL of the other bitness has no oci-lite to warm up.
        char szValue[8] = "";
        if (::GetEnvironmentVariableA("QM_UI_OTHER_BITNESS", szValue, sizeof szValue) != 0)
            return;
        // Keep oci-lite loaded for the whole run and let it read its settings once now,
        // so that a delay set later through its testing exports stays in force.
        ::LoadLibraryA("OCI.DLL");
        DBConnect connection;
        try {
            connection.Connect("SCOTT", "tiger", "EMPTYDB");
            connection.Disconnect();
        } catch (const DBConnect::OtherException&) {
            ADD_FAILURE() << "warm-up logon failed: " << connection.GetErrorText();
        }
    }
    void TearDown() override
    {
        if (!g_strHome.empty())
            RemoveFolder(g_strHome);
    }
};

::testing::Environment* const g_pEnvironment =
    ::testing::AddGlobalTestEnvironment(new UiTestEnvironment);

FARPROC OciExport(const char* pszName)
{
    HMODULE hLibrary = ::LoadLibraryA("OCI.DLL");
    if (!hLibrary)
        throw std::runtime_error("OCI.DLL (oci-lite) is not on the search path");
    FARPROC pfn = ::GetProcAddress(hLibrary, pszName);
    if (!pfn)
        throw std::runtime_error(std::string("OCI.DLL lacks ") + pszName);
    return pfn;
}

template <typename Fn>
Fn OciFunction(const char* pszName)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(OciExport(pszName)));
}

}  // namespace

std::string FixtureHome()
{
    return g_strHome;
}

void PumpFor(int nMilliseconds)
{
    PumpUntil([] { return false; }, nMilliseconds);
}

bool PumpUntil(const std::function<bool()>& done, int nTimeoutMilliseconds)
{
    const DWORD dwStart = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            HWND hRoot = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
            if (hRoot && CWnd::PreTranslateTree(hRoot, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (int(::GetTickCount() - dwStart) >= nTimeoutMilliseconds)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void TypeText(HWND hWnd, const char* pszText)
{
    for (const char* p = pszText; *p; ++p)
        ::SendMessageA(hWnd, WM_CHAR, WPARAM(static_cast<unsigned char>(*p)), 1);
}

std::string TextOf(HWND hWnd)
{
    const int nLength = ::GetWindowTextLengthA(hWnd);
    std::string strText(size_t(nLength) + 1, '\0');
    const int nCopied = ::GetWindowTextA(hWnd, &strText[0], nLength + 1);
    strText.resize(size_t(nCopied > 0 ? nCopied : 0));
    return strText;
}

void ClickWithMouse(HWND hButton)
{
    RECT rc;
    ::GetClientRect(hButton, &rc);
    const LPARAM lPoint = MAKELPARAM(rc.right / 2, rc.bottom / 2);
    ::SendMessageA(hButton, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    ::SendMessageA(hButton, WM_LBUTTONUP, 0, lPoint);
}

void PostKey(HWND hWnd, WPARAM nKey)
{
    ::PostMessageA(hWnd, WM_KEYDOWN, nKey, 1);
    ::PostMessageA(hWnd, WM_KEYUP, nKey, LPARAM(0xC0000001));
}

std::vector<std::string> ListLines(HWND hList)
{
    std::vector<std::string> lines;
    const int nCount = int(::SendMessageA(hList, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        const int nLength = int(::SendMessageA(hList, LB_GETTEXTLEN, WPARAM(i), 0));
        std::string strLine(size_t(nLength > 0 ? nLength : 0) + 1, '\0');
        ::SendMessageA(hList, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(&strLine[0]));
        strLine.resize(size_t(nLength > 0 ? nLength : 0));
        lines.push_back(strLine);
    }
    return lines;
}

bool WaitForPickerList(HWND hPicker, int nTimeoutMilliseconds)
{
    const DWORD dwStart = ::GetTickCount();
    while (!::IsWindowEnabled(::GetDlgItem(hPicker, IDOK))) {
        if (!::IsWindow(hPicker) || int(::GetTickCount() - dwStart) >= nTimeoutMilliseconds)
            return false;
        ::Sleep(10);
    }
    return true;
}

ThreadStarter FailingThreadStarter(DWORD nError)
{
    return [nError](std::function<void()>) {
        ThreadStart start;
        start.nError = nError;
        return start;
    };
}

namespace OciLiteControl {

void SetRoundTripDelay(unsigned nMicroseconds)
{
    OciFunction<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay")(nMicroseconds);
}

void SetFailAt(unsigned n)
{
    OciFunction<OciLiteSetFailAtFn>("OciLiteSetFailAt")(n);
}

void ResetCounters()
{
    OciFunction<OciLiteResetCountersFn>("OciLiteResetCounters")();
}

unsigned CallCount()
{
    return OciFunction<OciLiteCallCountFn>("OciLiteCallCount")();
}

bool SetTraceFile(const std::string& strPath)
{
    return OciFunction<OciLiteSetTraceFileFn>("OciLiteSetTraceFile")(strPath.c_str()) != 0;
}

std::vector<std::string> CountedCallsOfTrace(const std::string& strPath)
{
    static const char* const kCounted[] = {"OCIAttrGet",      "OCIAttrSet",      "OCIServerAttach",
                                           "OCIServerDetach", "OCISessionBegin", "OCISessionEnd",
                                           "OCIStmtPrepare",  "OCIBindByPos",    "OCIDefineByPos",
                                           "OCIStmtExecute",  "OCIStmtFetch"};
    std::vector<std::string> calls;
    std::ifstream in(strPath);
    std::string strLine;
    while (std::getline(in, strLine)) {
        const std::string strName = strLine.substr(0, strLine.find(' '));
        for (const char* pszCounted : kCounted) {
            if (strName == pszCounted)
                calls.push_back(strName);
        }
    }
    return calls;
}

}  // namespace OciLiteControl

ScopedWallet::ScopedWallet(const char* pszConnect, const char* pszUser, const char* pszPassword)
{
    char szTemp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, szTemp);
    m_strFolder = std::string(szTemp) + "qm-ui-wallet-" + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(m_strFolder.c_str(), nullptr);
    auto write = [](const std::string& strPath, const std::string& strText) {
        FILE* pFile = std::fopen(strPath.c_str(), "wb");
        if (pFile != nullptr) {
            std::fwrite(strText.data(), 1, strText.size(), pFile);
            std::fclose(pFile);
        }
    };
    write(m_strFolder + "\\sqlnet.ora",
          "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = " + m_strFolder +
              ")))\nSQLNET.WALLET_OVERRIDE = TRUE\n");
    write(m_strFolder + "\\oci-lite-wallet.txt",
          std::string(pszConnect) + " " + pszUser + " " + pszPassword + "\n");
    ::SetEnvironmentVariableA("TNS_ADMIN", m_strFolder.c_str());
}

ScopedWallet::~ScopedWallet()
{
    ::SetEnvironmentVariableA("TNS_ADMIN", nullptr);
    ::DeleteFileA((m_strFolder + "\\sqlnet.ora").c_str());
    ::DeleteFileA((m_strFolder + "\\oci-lite-wallet.txt").c_str());
    ::RemoveDirectoryA(m_strFolder.c_str());
}

}  // namespace UiTest
