// ClientProcessTest.cpp
//
// qmexport.exe against oci-lite as a real client would be set up on a desk: the character set
// its NLS_LANG names (the file is written in it, or the run ends naming the character it cannot
// hold), a German client's sort order, the account states at logon, and Ctrl+C while the run
// waits in a slow database call.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

std::wstring FileArgs(const std::string& strDatabase, const std::string& strFile,
                      const std::string& strMore = "")
{
    return Wide("--user SCOTT --database " + strDatabase + " --file \"" + strFile + "\"" + strMore);
}

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

// "Grüße" in UTF-8 and in Windows-1252; "日本" in UTF-8.
const char kWesternUtf8[] = "Gr\xC3\xBC\xC3\x9F"
                            "e";
const char kWestern1252[] = "Gr\xFC\xDF"
                            "e";
const char kJapaneseUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC";

struct CharsetCase {
    const char* pszTitle;
    // NLS_LANG for the child, or kRemoveVariable.
    const char* pszNlsLang;
    const char* pszText;
    DWORD nExitCode;
    // The file's second line, or (exit 1) the previous file kept.
    std::string strSecondLine;
    const char* pszErrorPart;
};

const char kPrevious[] = "-- the previous export\n";

}  // namespace

TEST(QmexportClientTest, TheFileIsWrittenInTheClientsCharacterSet)
{
    const CharsetCase kCases[] = {
        {"NLS_LANG set nowhere: UTF-8, nothing lost", kRemoveVariable, kJapaneseUtf8, 0,
         std::string("  -- ") + kJapaneseUtf8 + "\n", ""},
        {"a Western desk, Western text", "AMERICAN_AMERICA.WE8MSWIN1252", kWesternUtf8, 0,
         std::string("  -- ") + kWestern1252 + "\n", ""},
        {"a Western desk, Japanese text", "AMERICAN_AMERICA.WE8MSWIN1252", kJapaneseUtf8, 1,
         kPrevious,
         "A_PROC (PROCEDURE) line 2: the character U+65E5 cannot be written in WE8MSWIN1252; set "
         "NLS_LANG to a "
         "character set that holds it, such as AMERICAN_AMERICA.AL32UTF8\nA_PROC (PROCEDURE). The "
         "file was not "
         "changed."},
        {"a Unicode desk", "AMERICAN_AMERICA.AL32UTF8", kJapaneseUtf8, 0,
         std::string("  -- ") + kJapaneseUtf8 + "\n", ""},
    };
    TempFolder folder("charset");
    int nCase = 0;
    for (const CharsetCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        const std::string strDatabase = "QC_CHARSET" + std::to_string(nCase++);
        {
            Schema schema(strDatabase.c_str());
            schema.AddObject("A_PROC", "PROCEDURE",
                             {"PROCEDURE A_PROC IS\n", std::string("  -- ") + c.pszText + "\n",
                              "BEGIN NULL; END;\n"});
        }
        const std::string strFile = folder / (strDatabase + ".sql");
        WriteFile(strFile, kPrevious);
        RunOptions options;
        options.environment = {{"NLS_LANG", c.pszNlsLang}};
        const RunResult run = RunQmexport(FileArgs(strDatabase, strFile), options);
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        EXPECT_TRUE(Contains(run.strErr, c.pszErrorPart)) << run.strErr;
        if (c.nExitCode == 0) {
            EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS\n" +
                                             c.strSecondLine + "BEGIN NULL; END;\n\n/\n");
        } else {
            EXPECT_EQ(ReadFile(strFile), c.strSecondLine);
        }
    }
}

// The same schema gives the same file on every desk: names in their bytes' order.
TEST(QmexportClientTest, AGermanClientGetsTheNamesInByteOrder)
{
    {
        Schema schema("QC_GERMAN");
        schema.AddObject("a_pkg", "PROCEDURE", {"PROCEDURE \"a_pkg\" IS BEGIN NULL; END;\n"});
        schema.AddObject("B_PKG", "PROCEDURE", {"PROCEDURE B_PKG IS BEGIN NULL; END;\n"});
    }
    TempFolder folder("german");
    RunOptions options;
    options.environment = {{"NLS_LANG", "GERMAN_GERMANY.AL32UTF8"}};
    const RunResult run = RunQmexport(FileArgs("QC_GERMAN", folder / "out.sql"), options);
    ASSERT_EQ(run.nExitCode, 0u) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "out.sql"),
              "CREATE OR REPLACE PROCEDURE B_PKG IS BEGIN NULL; END;\n\n/\n"
              "CREATE OR REPLACE PROCEDURE \"a_pkg\" IS BEGIN NULL; END;\n\n/\n");
}

// SQL*Plus would take "&" for a substitution variable: a file whose blocks hold one begins with
// SET DEFINE OFF, decided before the first block, so a failed run's file begins the same way.
TEST(QmexportClientTest, AnAmpersandTurnsSubstitutionOff)
{
    const std::string strBlockA = "CREATE OR REPLACE PROCEDURE A_PROC IS\nBEGIN NULL; END;\n\n/\n";
    {
        Schema schema("QC_AMP");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS\n", "BEGIN NULL; END;\n"});
        schema.AddObject(
            "B_PROC", "PROCEDURE",
            {"PROCEDURE B_PROC IS\n", "  U VARCHAR2(9) := 'Q&A';\n", "BEGIN NULL; END;\n"});
        schema.AddObjectWithoutSource("C_PROC", "PROCEDURE");
    }
    TempFolder folder("amp");
    const RunResult failed = RunQmexport(FileArgs("QC_AMP", folder / "all.sql"));
    EXPECT_EQ(failed.nExitCode, 1u) << failed.strErr;
    EXPECT_EQ(ReadFile(folder / "all.sql"), "SET DEFINE OFF\n" + strBlockA +
                                                "CREATE OR REPLACE PROCEDURE B_PROC IS\n  U "
                                                "VARCHAR2(9) := 'Q&A';\nBEGIN NULL; END;\n\n/\n");

    const RunResult plain = RunQmexport(FileArgs("QC_AMP", folder / "a.sql", " --object A_PROC"));
    EXPECT_EQ(plain.nExitCode, 0u) << plain.strErr;
    EXPECT_EQ(ReadFile(folder / "a.sql"), strBlockA);
}

// Each account state at logon, with the password as stored and in another case.
TEST(QmexportClientTest, LogonOutcomes)
{
    struct LogonCase {
        const char* pszStatus;
        const char* pszPassword;
        DWORD nExitCode;
        const char* pszErrorPart;
    };
    const LogonCase kCases[] = {
        {"OPEN", "tiger", 0, ""},
        {"OPEN", "TIGER", 3, "ORA-01017"},
        {"EXPIRED(GRACE)", "tiger", 0, "ORA-28002: the password will expire within 7 days"},
        {"EXPIRED(GRACE)", "TIGER", 3, "ORA-01017"},
        {"LOCKED", "tiger", 3, "ORA-28000: the account is locked"},
        {"LOCKED(TIMED)", "tiger", 3, "ORA-28000: the account is locked"},
        {"EXPIRED", "tiger", 3, "ORA-28001: the password has expired"},
        {"EXPIRED & LOCKED", "tiger", 3, "ORA-28000: the account is locked"},
    };
    TempFolder folder("logon");
    int nCase = 0;
    for (const LogonCase& c : kCases) {
        SCOPED_TRACE(std::string(c.pszStatus) + " / " + c.pszPassword);
        const std::string strDatabase = "QC_LOGON" + std::to_string(nCase++);
        {
            Schema schema(strDatabase.c_str());
            schema.SetAccountStatus(kUser, c.pszStatus);
            schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
        }
        RunOptions options;
        options.environment = {{"QUILLMARK_PASSWORD", c.pszPassword}};
        // --quiet: the grace warning is printed all the same.
        const RunResult run = RunQmexport(
            FileArgs(strDatabase, folder / (strDatabase + ".sql"), " --quiet"), options);
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        EXPECT_TRUE(Contains(run.strErr, c.pszErrorPart)) << run.strErr;
        EXPECT_EQ(FileExists(folder / (strDatabase + ".sql")), c.nExitCode == 0);
    }
}

namespace {

BOOL WINAPI IgnoreControl(DWORD)
{
    return TRUE;
}

struct SlowCallWatch {
    std::string strTrace;
    // The trace line after which the call to break is under way.
    const char* pszAfter = "";
    ULONGLONG nSent = 0;
};

// Ctrl+C to every process of a console the test shares with its child, once the child's trace
// shows the call before the slow one done.
bool SendCtrlCWhenSlow(DWORD, void* pContext)
{
    auto* pWatch = static_cast<SlowCallWatch*>(pContext);
    if (!FileExists(pWatch->strTrace) || !Contains(ReadFile(pWatch->strTrace), pWatch->pszAfter))
        return false;
    ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    pWatch->nSent = ::GetTickCount64();
    return true;
}

}  // namespace

// A database call that would take a minute, or a round trip of several seconds over a slow
// link, ends at Ctrl+C: exit 130 long before the call would have returned, the previous file
// kept.
TEST(QmexportClientTest, CtrlCBreaksASlowCall)
{
    ::FreeConsole();
    ASSERT_TRUE(::AllocConsole());
    ::SetConsoleCtrlHandler(IgnoreControl, TRUE);
    {
        Schema schema("QC_SLOW");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    }
    struct SlowCase {
        const char* pszTitle;
        const char* pszVariable;
        const char* pszMicroseconds;
        const char* pszAfter;
        ULONGLONG nWithinMs;
    };
    const SlowCase kCases[] = {
        {"a statement's minute of server work", "OCI_LITE_SERVER_US", "60000000", "OCISessionBegin",
         30000},
        {"the attach over an 8 s link", "OCI_LITE_RTT_US", "8000000", "OCIAttrSet", 12000},
        {"the logon over an 8 s link", "OCI_LITE_RTT_US", "8000000", "OCIServerAttach", 12000},
    };
    int nCase = 0;
    for (const SlowCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        TempFolder folder(("slow" + std::to_string(nCase++)).c_str());
        WriteFile(folder / "out.sql", kPrevious);
        SlowCallWatch watch;
        watch.strTrace = folder / "trace.txt";
        watch.pszAfter = c.pszAfter;
        RunOptions options;
        options.environment = {{c.pszVariable, c.pszMicroseconds},
                               {"OCI_LITE_TRACE", watch.strTrace}};
        options.pWhileRunning = SendCtrlCWhenSlow;
        options.pContext = &watch;
        options.nTimeoutMs = 90000;
        const RunResult run = RunQmexport(FileArgs("QC_SLOW", folder / "out.sql"), options);
        EXPECT_EQ(run.nExitCode, 130u) << run.strErr;
        ASSERT_NE(watch.nSent, 0u);
        // The break waits for its own round trip, then nothing more: no logoff over the link.
        EXPECT_LT(::GetTickCount64() - watch.nSent, c.nWithinMs);
        EXPECT_EQ(ReadFile(folder / "out.sql"), kPrevious);
    }
}
