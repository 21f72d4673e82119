// OciLiteFixture.cpp: fixture database, oci-lite's testing exports and trace capture.
#include "tests/db/OciLiteFixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <stdexcept>

#include "oci-lite/OciLiteTesting.h"
#include "sqlite3.h"
#include "support/TestSystem.h"

namespace DbTest {

namespace {

std::string g_strHome;

// The fixture's rows: two accounts (one allowed SYSDBA), objects of SCOTT and of SYS, and their
// source lines. AAA_LONG_NAME_PKG sorts first and is longer than the small buffers the
// truncation tests define.
const char kSchema[] =
    "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT, sysdba INTEGER);"
    "CREATE TABLE objects(owner TEXT, object_name TEXT, object_type TEXT, status TEXT);"
    "CREATE TABLE source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);"
    "INSERT INTO users VALUES('SCOTT','tiger',0),('SYSMAN','manager',1);"
    "INSERT INTO objects VALUES"
    " ('SCOTT','AAA_LONG_NAME_PKG','PACKAGE','VALID'),"
    " ('SCOTT','FN_C','FUNCTION','VALID'),"
    " ('SCOTT','PKG_A','PACKAGE','VALID'),"
    " ('SCOTT','PKG_A','PACKAGE BODY','VALID'),"
    " ('SCOTT','PROC_B','PROCEDURE','VALID'),"
    " ('SCOTT','TAB_D','TABLE','VALID'),"
    " ('SYS','SYS_PKG','PACKAGE','VALID');"
    "INSERT INTO source VALUES"
    " ('SCOTT','AAA_LONG_NAME_PKG','PACKAGE',1,'package AAA_LONG_NAME_PKG is' || char(10)),"
    " ('SCOTT','AAA_LONG_NAME_PKG','PACKAGE',2,'end;'),"
    " ('SCOTT','FN_C','FUNCTION',1,'function FN_C return number is begin return 1; end;'),"
    " ('SCOTT','PKG_A','PACKAGE',1,'package PKG_A is' || char(10)),"
    " ('SCOTT','PKG_A','PACKAGE',2,'  procedure p;' || char(10)),"
    " ('SCOTT','PKG_A','PACKAGE',3,'end;'),"
    " ('SCOTT','PKG_A','PACKAGE BODY',1,'package body PKG_A is procedure p is begin null; end;' || "
    "char(10)),"
    " ('SCOTT','PKG_A','PACKAGE BODY',2,'end;' || char(10)),"
    " ('SCOTT','PROC_B','PROCEDURE',1,'procedure PROC_B is begin null; end;'),"
    " ('SYS','SYS_PKG','PACKAGE',1,'package SYS_PKG is end;');";

// Runs when a testing export is needed: the oci-lite library that the search path gives, loaded
// the same way the layer loads it (and so the very same library).
void* Export(const char* pszName)
{
    void* pLibrary = testsys::LoadLibraryByName(testsys::kClientLibraryName);
    if (pLibrary == nullptr)
        throw std::runtime_error(std::string(testsys::kClientLibraryName) +
                                 " (oci-lite) is not on the search path");
    void* pfn = testsys::FindSymbol(pLibrary, pszName);
    if (pfn == nullptr)
        throw std::runtime_error(std::string(testsys::kClientLibraryName) +
                                 " lacks the testing export " + pszName);
    return pfn;
}

template <typename Fn>
Fn TestingExport(const char* pszName)
{
    return reinterpret_cast<Fn>(Export(pszName));
}

// Registered once: removes the fixture folder when the whole program is done.
class FixtureCleanup : public ::testing::Environment {
public:
    void TearDown() override { FixtureDatabase::Remove(); }
};

::testing::Environment* const g_pCleanup = ::testing::AddGlobalTestEnvironment(new FixtureCleanup);

}  // namespace

void FixtureDatabase::Ensure()
{
    if (!g_strHome.empty())
        return;
    std::string strHome = testsys::TempFolder() + "/qm_db_tests_" + testsys::ProcessTag();
    testsys::MakeFolder(strHome);
    std::string strFile = strHome + "/qmtest.sqlite";
    std::remove(strFile.c_str());

    sqlite3* pDb = nullptr;
    if (sqlite3_open_v2(strFile.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        throw std::runtime_error("cannot create the fixture database");
    char* pszError = nullptr;
    int nResult = sqlite3_exec(pDb, kSchema, nullptr, nullptr, &pszError);
    std::string strError = pszError != nullptr ? pszError : "";
    sqlite3_free(pszError);
    sqlite3_close(pDb);
    if (nResult != SQLITE_OK)
        throw std::runtime_error("cannot fill the fixture database: " + strError);

    testsys::SetVariable("OCI_LITE_HOME", strHome.c_str());
    g_strHome = strHome;
}

void FixtureDatabase::Remove()
{
    if (g_strHome.empty())
        return;
    std::remove((g_strHome + "/qmtest.sqlite").c_str());
    testsys::RemoveFolder(g_strHome);
    g_strHome.clear();
}

int OciLite::LiveHandles()
{
    return TestingExport<OciLiteLiveHandlesFn>("OciLiteLiveHandles")();
}

unsigned OciLite::RoundTrips()
{
    return TestingExport<OciLiteRoundTripsFn>("OciLiteRoundTrips")();
}

unsigned OciLite::CallCount()
{
    return TestingExport<OciLiteCallCountFn>("OciLiteCallCount")();
}

void OciLite::ResetCounters()
{
    TestingExport<OciLiteResetCountersFn>("OciLiteResetCounters")();
}

void OciLite::SetFailAt(unsigned nCall)
{
    TestingExport<OciLiteSetFailAtFn>("OciLiteSetFailAt")(nCall);
}

bool OciLite::SetTraceFile(const char* pszPath)
{
    return TestingExport<OciLiteSetTraceFileFn>("OciLiteSetTraceFile")(pszPath) == 1;
}

TraceCapture::TraceCapture()
{
    static int nSerial = 0;
    m_strPath = testsys::TempFolder() + "/qmt-" + testsys::ProcessTag() + "-" +
                std::to_string(++nSerial) + ".txt";
    OciLite::SetTraceFile(m_strPath.c_str());
}

TraceCapture::~TraceCapture()
{
    if (!m_bStopped)
        OciLite::SetTraceFile("");
    std::remove(m_strPath.c_str());
}

std::vector<std::string> TraceCapture::Stop()
{
    OciLite::SetTraceFile("");
    m_bStopped = true;
    std::vector<std::string> lines;
    std::ifstream file(m_strPath, std::ios::binary);
    const std::regex serial("#[0-9]+");
    std::string strLine;
    while (std::getline(file, strLine)) {
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        lines.push_back(std::regex_replace(strLine, serial, ""));
    }
    return lines;
}

std::vector<std::string> LinesOf(const std::vector<std::string>& lines, const char* pszEntryPoint)
{
    std::vector<std::string> matching;
    const std::string strPrefix = std::string(pszEntryPoint) + " ";
    for (const std::string& strLine : lines) {
        if (strLine.compare(0, strPrefix.size(), strPrefix) == 0)
            matching.push_back(strLine);
    }
    return matching;
}

}  // namespace DbTest
