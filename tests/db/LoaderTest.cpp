// LoaderTest.cpp: what the database layer does when "OCI.DLL" is missing, of the other bitness
// or incomplete.
//
// Once a process has loaded an OCI.DLL it keeps it, so these cases run in processes of their
// own. The same program runs five times (see CMakeLists.txt): with no OCI.DLL on the search
// path, with one of the other bitness, and with each of the three stub libraries, named by
// QM_DB_STUB. Each test runs only in the process it is meant for and skips itself in the others.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "db/DBConnect.h"
#include "db/DBStmt.h"

namespace {

// The stub this process was started with: "", "other-bitness", "lacks-detach", "lacks-fetch" or
// "no-records".
std::string StubKind()
{
    char szValue[64] = "";
    DWORD nLength = GetEnvironmentVariableA("QM_DB_STUB", szValue, sizeof szValue);
    return (nLength > 0 && nLength < sizeof szValue) ? szValue : "";
}

// How many calls reached the stub so far (-1 when no stub is loaded).
long StubCalls()
{
    HMODULE hStub = GetModuleHandleA("OCI.DLL");
    if (hStub == nullptr)
        return -1;
    using CountFn = long(__cdecl*)();
    auto pfn = reinterpret_cast<CountFn>(
        reinterpret_cast<void (*)(void)>(GetProcAddress(hStub, "OciStubCallCount")));
    return pfn != nullptr ? pfn() : -1;
}

// True when this process was started for the given stub kind.
bool RunsHere(const char* pszKind)
{
    return StubKind() == pszKind;
}

constexpr bool k64Bit = sizeof(void*) == 8;

const char* const kNoLibraryText =
    k64Bit ? "Can't load oci.dll\nNo OCI.DLL is on the PATH: install the 64-bit Oracle client "
             "and put its folder on the PATH"
           : "Can't load oci.dll\nNo OCI.DLL is on the PATH: install the 32-bit Oracle client "
             "and put its folder on the PATH";

}  // namespace

TEST(MissingLibrary, LogonFailsWithCantLoadAndMinusOne)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    ASSERT_EQ(GetModuleHandleA("OCI.DLL"), nullptr);
    DBConnect connection;
    bool bThrown = false;
    try {
        connection.Connect("scott", "tiger", "QMTEST");
    } catch (const DBConnect::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_STREQ(connection.GetErrorText(), kNoLibraryText);
    EXPECT_EQ(connection.GetErrorCode(), -1);
    EXPECT_EQ(GetModuleHandleA("OCI.DLL"), nullptr);
}

TEST(MissingLibrary, SysdbaLogonFailsTheSameWay)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    DBConnect connection;
    EXPECT_THROW(connection.ConnectAsSysdba("sys", "pw", "QMTEST"), DBConnect::OtherException);
    EXPECT_STREQ(connection.GetErrorText(), kNoLibraryText);
    EXPECT_EQ(connection.GetErrorCode(), -1);
}

TEST(MissingLibrary, ResetAndDisconnectDoNothing)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    DBConnect connection;
    EXPECT_THROW(connection.Connect("scott", "tiger", "QMTEST"), DBConnect::OtherException);
    EXPECT_EQ(connection.ResetErrorHandle(), 0);
    connection.Disconnect();
    EXPECT_STREQ(connection.GetErrorText(), kNoLibraryText);
    EXPECT_EQ(connection.GetErrorCode(), -1);
}

TEST(MissingLibrary, StatementOnThatConnectionFailsWithCantLoad)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    DBConnect connection;
    EXPECT_THROW(connection.Connect("scott", "tiger", "QMTEST"), DBConnect::OtherException);
    bool bThrown = false;
    try {
        DBStmt stmt(connection, "SELECT 1 FROM DUAL");
    } catch (const DBStmt::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_STREQ(connection.GetErrorText(), kNoLibraryText);
    EXPECT_EQ(connection.GetErrorCode(), -1);
}

TEST(MissingLibrary, StatementOnAConnectionThatNeverLoggedOnFails)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    DBConnect connection;
    EXPECT_THROW(DBStmt(connection, "SELECT 1 FROM DUAL"), DBStmt::OtherException);
}

TEST(OtherBitness, LogonNamesBothBitnessesAndWhatToInstall)
{
    if (!RunsHere("other-bitness"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=other-bitness";
    const char* const pszExpected =
        k64Bit ? "Can't load oci.dll\nOCI.DLL on the PATH is a 32-bit library and Quillmark is "
                 "64-bit: install the 64-bit Oracle client, or use the 32-bit Quillmark"
               : "Can't load oci.dll\nOCI.DLL on the PATH is a 64-bit library and Quillmark is "
                 "32-bit: install the 32-bit Oracle client, or use the 64-bit Quillmark";
    for (bool bSysdba : {false, true}) {
        SCOPED_TRACE(bSysdba ? "as SYSDBA" : "normal");
        DBConnect connection;
        EXPECT_THROW(bSysdba ? connection.ConnectAsSysdba("sys", "pw", "QMTEST")
                             : connection.Connect("scott", "tiger", "QMTEST"),
                     DBConnect::OtherException);
        EXPECT_STREQ(connection.GetErrorText(), pszExpected);
        EXPECT_EQ(connection.GetErrorCode(), -1);
        EXPECT_THROW(DBStmt(connection, "SELECT 1 FROM DUAL"), DBStmt::OtherException);
        EXPECT_STREQ(connection.GetErrorText(), pszExpected);
    }
    EXPECT_EQ(GetModuleHandleA("OCI.DLL"), nullptr);
}

TEST(StubWithoutServerDetach, LogonNamesTheMissingEntryPointAndCallsNothing)
{
    if (!RunsHere("lacks-detach"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=lacks-detach";
    DBConnect connection;
    bool bThrown = false;
    try {
        connection.Connect("scott", "tiger", "QMTEST");
    } catch (const DBConnect::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_STREQ(connection.GetErrorText(), "OCI.DLL lacks the entry point OCIServerDetach");
    EXPECT_EQ(connection.GetErrorCode(), -1);
    // The library was loaded and kept, but not a single entry point was called.
    EXPECT_NE(GetModuleHandleA("OCI.DLL"), nullptr);
    EXPECT_EQ(StubCalls(), 0);
}

TEST(StubWithoutServerDetach, NothingIsCalledAfterwardsEither)
{
    if (!RunsHere("lacks-detach"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=lacks-detach";
    {
        DBConnect connection;
        EXPECT_THROW(connection.ConnectAsSysdba("sys", "pw", "QMTEST"), DBConnect::OtherException);
        EXPECT_EQ(connection.ResetErrorHandle(), 0);
        connection.Disconnect();
        EXPECT_THROW(DBStmt(connection, "SELECT 1 FROM DUAL"), DBStmt::OtherException);
        EXPECT_STREQ(connection.GetErrorText(), "OCI.DLL lacks the entry point OCIServerDetach");
    }
    EXPECT_EQ(StubCalls(), 0);
}

TEST(StubWithoutStmtFetch, LogonWorksButTheStatementNamesTheMissingEntryPoint)
{
    if (!RunsHere("lacks-fetch"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=lacks-fetch";
    DBConnect connection;
    ASSERT_NO_THROW(connection.Connect("scott", "tiger", "QMTEST"));
    EXPECT_EQ(connection.GetErrorCode(), 0);
    bool bThrown = false;
    try {
        DBStmt stmt(connection, "SELECT 1 FROM DUAL");
    } catch (const DBStmt::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_STREQ(connection.GetErrorText(), "OCI.DLL lacks the entry point OCIStmtFetch");
    EXPECT_EQ(connection.GetErrorCode(), -1);
    connection.Disconnect();
}

TEST(StubWithoutRecords, NoDataWithoutARecordStillEndsTheResult)
{
    if (!RunsHere("no-records"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=no-records";
    DBConnect connection;
    ASSERT_NO_THROW(connection.Connect("scott", "tiger", "QMTEST"));
    DBStmt stmt(connection, "SELECT OBJECT_NAME FROM USER_OBJECTS ");
    char szName[100] = "";
    stmt.DefineString(1, szName, sizeof szName);
    EXPECT_NO_THROW(stmt.Fetch()) << "the execution delivers the first row";
    bool bThrown = false;
    try {
        stmt.Fetch();
    } catch (const DBStmt::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown) << "a fetch loop must end even when the library leaves no record";
    EXPECT_EQ(stmt.GetErrorCode(), 1403);
    EXPECT_STREQ(stmt.GetErrorText(), "ORA-01403: no data found\n");
}

TEST(StubWithoutRecords, AFailureWithoutARecordIsNeverTakenForSuccess)
{
    if (!RunsHere("no-records"))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=no-records";
    DBConnect connection;
    ASSERT_NO_THROW(connection.Connect("scott", "tiger", "QMTEST"));
    DBStmt stmt(connection, "SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1 ");
    EXPECT_THROW(stmt.BindString(1, "X", 1), DBStmt::OtherException);
    EXPECT_EQ(stmt.GetErrorCode(), -1);
    EXPECT_STREQ(stmt.GetErrorText(), "OCIBindByPos failed without a diagnostic record");

    DBConnect dba;
    EXPECT_THROW(dba.ConnectAsSysdba("sys", "pw", "QMTEST"), DBConnect::OtherException);
    EXPECT_EQ(dba.GetErrorCode(), -1);
    EXPECT_STREQ(dba.GetErrorText(), "OCISessionBegin failed without a diagnostic record");
}
