// LoaderTest.cpp: what the database layer does when the client library (OCI.DLL,
// libclntsh.so) is missing, built for another machine or incomplete.
//
// Once a process has loaded a client library it keeps it, so these cases run in processes of
// their own. The same program runs five times (see CMakeLists.txt): with no client library on
// the search path, with one of another machine, and with each of the three stub libraries,
// named by QM_DB_STUB. Each test runs only in the process it is meant for and skips itself in
// the others. The messages are one table of rows per system: Windows' are the program's own
// texts, exactly; Linux's hold the loader's reason (dlerror), which is the system's wording, so
// their rows name the parts the message must hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "support/TestSystem.h"

namespace {

// The stub this process was started with: "", "other-bitness", "lacks-detach", "lacks-fetch" or
// "no-records".
std::string StubKind()
{
    const char* pszValue = std::getenv("QM_DB_STUB");
    return pszValue != nullptr ? pszValue : "";
}

// The client library, when this process has loaded it.
void* LoadedClient()
{
    return testsys::LoadedLibrary(testsys::kClientLibraryName);
}

// How many calls reached the stub so far (-1 when no stub is loaded).
long StubCalls()
{
    void* pStub = LoadedClient();
    if (pStub == nullptr)
        return -1;
    using CountFn = long(__cdecl*)();
    auto pfn = reinterpret_cast<CountFn>(testsys::FindSymbol(pStub, "OciStubCallCount"));
    return pfn != nullptr ? pfn() : -1;
}

// True when this process was started for the given stub kind.
bool RunsHere(const char* pszKind)
{
    return StubKind() == pszKind;
}

constexpr bool k64Bit = sizeof(void*) == 8;

// One message as a system gives it: the exact text, or (empty) the parts it must hold in order.
struct MessageRow {
    std::string strLibrary;  // the system's client library, testsys::kClientLibraryName
    bool b64Bit;
    std::string strExact;
    std::vector<std::string> parts;
};

// The row of this system and bitness (copied: the rows may be a temporary table).
MessageRow RowHere(const std::vector<MessageRow>& rows)
{
    for (const MessageRow& row : rows) {
        if (row.strLibrary == testsys::kClientLibraryName && row.b64Bit == k64Bit)
            return row;
    }
    return {"", false, "(no row for this system)", {}};
}

::testing::AssertionResult Matches(const MessageRow& row, const char* pszText)
{
    const std::string strText = pszText != nullptr ? pszText : "";
    if (!row.strExact.empty()) {
        if (strText == row.strExact)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << "\"" << strText << "\" is not \"" << row.strExact << "\"";
    }
    size_t nAt = 0;
    for (const std::string& strPart : row.parts) {
        const size_t nFound = strText.find(strPart, nAt);
        if (nFound == std::string::npos)
            return ::testing::AssertionFailure()
                   << "\"" << strText << "\" lacks \"" << strPart << "\" (in order)";
        nAt = nFound + strPart.size();
    }
    return ::testing::AssertionSuccess();
}

// No client library on the search path.
const std::vector<MessageRow> kNoLibrary = {
    {"OCI.DLL",
     true,
     "Can't load oci.dll\nNo OCI.DLL is on the PATH: install the 64-bit Oracle client and put its "
     "folder on the PATH",
     {}},
    {"OCI.DLL",
     false,
     "Can't load oci.dll\nNo OCI.DLL is on the PATH: install the 32-bit Oracle client and put its "
     "folder on the PATH",
     {}},
    {"libclntsh.so",
     true,
     "",
     {"Can't load libclntsh.so\n", "libclntsh.so", "cannot open shared object file",
      "install Oracle Instant Client and add its folder to LD_LIBRARY_PATH"}},
};

// A client library of another machine on the search path.
const std::vector<MessageRow> kOtherMachine = {
    {"OCI.DLL",
     true,
     "Can't load oci.dll\nOCI.DLL on the PATH is a 32-bit library and Quillmark is 64-bit: "
     "install the 64-bit Oracle client, or use the 32-bit Quillmark",
     {}},
    {"OCI.DLL",
     false,
     "Can't load oci.dll\nOCI.DLL on the PATH is a 64-bit library and Quillmark is 32-bit: "
     "install the 32-bit Oracle client, or use the 64-bit Quillmark",
     {}},
    {"libclntsh.so",
     true,
     "",
     {"Can't load libclntsh.so\n", "other-bitness-oci/libclntsh.so", "32-bit", "LD_LIBRARY_PATH"}},
};

// A client library without an entry point the layer calls.
std::vector<MessageRow> LacksEntryPoint(const char* pszEntryPoint)
{
    const std::string strWindows = std::string("OCI.DLL lacks the entry point ") + pszEntryPoint;
    return {{"OCI.DLL", true, strWindows, {}},
            {"OCI.DLL", false, strWindows, {}},
            {"libclntsh.so", true, "", {"lacks the entry point ", pszEntryPoint}}};
}

}  // namespace

TEST(MissingLibrary, LogonFailsWithCantLoadAndMinusOne)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    ASSERT_EQ(LoadedClient(), nullptr);
    DBConnect connection;
    bool bThrown = false;
    try {
        connection.Connect("scott", "tiger", "QMTEST");
    } catch (const DBConnect::OtherException&) {
        bThrown = true;
    }
    EXPECT_TRUE(bThrown);
    EXPECT_TRUE(Matches(RowHere(kNoLibrary), connection.GetErrorText()));
    EXPECT_EQ(connection.GetErrorCode(), -1);
    EXPECT_EQ(LoadedClient(), nullptr);
}

TEST(MissingLibrary, SysdbaLogonFailsTheSameWay)
{
    if (!RunsHere(""))
        GTEST_SKIP() << "belongs to the run with QM_DB_STUB=";
    DBConnect connection;
    EXPECT_THROW(connection.ConnectAsSysdba("sys", "pw", "QMTEST"), DBConnect::OtherException);
    EXPECT_TRUE(Matches(RowHere(kNoLibrary), connection.GetErrorText()));
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
    EXPECT_TRUE(Matches(RowHere(kNoLibrary), connection.GetErrorText()));
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
    EXPECT_TRUE(Matches(RowHere(kNoLibrary), connection.GetErrorText()));
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
    const MessageRow expected = RowHere(kOtherMachine);
    for (bool bSysdba : {false, true}) {
        SCOPED_TRACE(bSysdba ? "as SYSDBA" : "normal");
        DBConnect connection;
        EXPECT_THROW(bSysdba ? connection.ConnectAsSysdba("sys", "pw", "QMTEST")
                             : connection.Connect("scott", "tiger", "QMTEST"),
                     DBConnect::OtherException);
        EXPECT_TRUE(Matches(expected, connection.GetErrorText()));
        EXPECT_EQ(connection.GetErrorCode(), -1);
        EXPECT_THROW(DBStmt(connection, "SELECT 1 FROM DUAL"), DBStmt::OtherException);
        EXPECT_TRUE(Matches(expected, connection.GetErrorText()));
    }
    EXPECT_EQ(LoadedClient(), nullptr);
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
    EXPECT_TRUE(Matches(RowHere(LacksEntryPoint("OCIServerDetach")), connection.GetErrorText()));
    EXPECT_EQ(connection.GetErrorCode(), -1);
    // The library was loaded and kept, but not a single entry point was called.
    EXPECT_NE(LoadedClient(), nullptr);
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
        EXPECT_TRUE(
            Matches(RowHere(LacksEntryPoint("OCIServerDetach")), connection.GetErrorText()));
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
    EXPECT_TRUE(Matches(RowHere(LacksEntryPoint("OCIStmtFetch")), connection.GetErrorText()));
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
