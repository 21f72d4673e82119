// The secure external password store through oci-lite: where the client finds sqlnet.ora,
// which of its lines name a wallet, what an OCI_CRED_EXT logon gives for each credential, and
// the session user's name as SYS_CONTEXT and USER tell it.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const char kStandardSqlnet[] =
    "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n"
    "SQLNET.WALLET_OVERRIDE = TRUE\n";

const char kWallet[] = "# connect string, user, password\n"
                       "accounts OPENED Tiger\n"
                       "  # a comment after blanks\n"
                       "fixture SCOTT TIGER\n";
// A "#" that does not begin its line belongs to its field.
const char kHashWallet[] = "accounts HASHED Ti#ger#1\n";
const char kHashAfterFieldsWallet[] = "accounts OPENED Tiger # not a comment\n";
const char kGraceWallet[] = "accounts GRACE Tiger\n";
const char kLockedWallet[] = "accounts LOCKED Tiger\n";
const char kWrongPasswordWallet[] = "accounts OPENED tiger\n";
const char kTwoFieldsWallet[] = "accounts OPENED\n";
// The first line for a connect string counts.
const char kTwiceWallet[] = "\n  # first\n\taccounts\tGRACE  Tiger\naccounts OPENED Tiger\n";

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::string Replaced(std::string text, const std::string& folder)
{
    const std::string mark = "%WALLET%";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark))
        text.replace(at, mark.size(), folder);
    return text;
}

// A TNS_ADMIN folder with sqlnet.ora (null: none) and a wallet folder with the wallet text
// (null: none); TNS_ADMIN names it while the object lives.
class ScopedStore {
public:
    ScopedStore(const char* sqlnet, const char* wallet)
    {
        static int serial = 0;
        m_admin = FixtureHome() + "/admin" + std::to_string(++serial);
        const std::string walletFolder = m_admin + "/wallet dir";
        testsys::MakeFolder(m_admin);
        testsys::MakeFolder(walletFolder);
        if (sqlnet != nullptr)
            WriteText(m_admin + "/sqlnet.ora", Replaced(sqlnet, walletFolder));
        if (wallet != nullptr)
            WriteText(walletFolder + "/oci-lite-wallet.txt", wallet);
        testsys::SetVariable("TNS_ADMIN", m_admin.c_str());
    }
    ~ScopedStore() { testsys::SetVariable("TNS_ADMIN", nullptr); }
    ScopedStore(const ScopedStore&) = delete;
    ScopedStore& operator=(const ScopedStore&) = delete;

private:
    std::string m_admin;
};

struct ExternalCase {
    const char* label;
    const char* sqlnet;
    const char* wallet;
    const char* database;
    bool sysdba;
    sword status;
    sb4 code;
    const char* sessionUser;  // when logged on
};

const ExternalCase kCases[] = {
    {"credential", kStandardSqlnet, kWallet, "accounts", false, OCI_SUCCESS, 0, "OPENED"},
    {"second database", kStandardSqlnet, kWallet, "fixture", false, OCI_SUCCESS, 0, "SCOTT"},
    {"keywords in any case, blanks, breaks and comments",
     "# the wallet\nwallet_location=\n  ( source =(method= file)# file based\n"
     "   (Method_Data =\n (directory =\n %WALLET% )\n)\n )\n\n  sqlnet.wallet_override\n=\ntrue\n",
     kWallet, "accounts", false, OCI_SUCCESS, 0, "OPENED"},
    {"among the client's other settings",
     "SQLNET.AUTHENTICATION_SERVICES= (NTS)\n"
     "NAMES.DIRECTORY_PATH= (TNSNAMES, EZCONNECT)\n"
     "ADR_BASE = C:\\app\\Program Files\\oracle\n"
     "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = \"%WALLET%\")))\n"
     "SQLNET.WALLET_OVERRIDE = TRUE\n",
     kWallet, "accounts", false, OCI_SUCCESS, 0, "OPENED"},
    {"unbalanced parenthesis",
     "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%))\n"
     "SQLNET.WALLET_OVERRIDE = TRUE\n",
     kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"grace period warns", kStandardSqlnet, kGraceWallet, "accounts", false, OCI_SUCCESS_WITH_INFO,
     28002, "GRACE"},
    {"first line counts", kStandardSqlnet, kTwiceWallet, "accounts", false, OCI_SUCCESS_WITH_INFO,
     28002, "GRACE"},
    {"locked account", kStandardSqlnet, kLockedWallet, "accounts", false, OCI_ERROR, 28000,
     nullptr},
    {"stored password wrong", kStandardSqlnet, kWrongPasswordWallet, "accounts", false, OCI_ERROR,
     1017, nullptr},
    {"no credential for the connect string", kStandardSqlnet, kGraceWallet, "fixture", false,
     OCI_ERROR, 1017, nullptr},
    {"connect string in another case", kStandardSqlnet, kWallet, "ACCOUNTS", false, OCI_ERROR, 1017,
     nullptr},
    {"line without three fields", kStandardSqlnet, kTwoFieldsWallet, "accounts", false, OCI_ERROR,
     1017, nullptr},
    {"no override",
     "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n",
     kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"override false",
     "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n"
     "SQLNET.WALLET_OVERRIDE = FALSE\n",
     kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"override commented out",
     "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n"
     "# SQLNET.WALLET_OVERRIDE = TRUE\n",
     kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"no wallet location", "SQLNET.WALLET_OVERRIDE = TRUE\n", kWallet, "accounts", false, OCI_ERROR,
     1017, nullptr},
    {"method not a file",
     "WALLET_LOCATION = (SOURCE = (METHOD = MCS) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n"
     "SQLNET.WALLET_OVERRIDE = TRUE\n",
     kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"password holding #", kStandardSqlnet, kHashWallet, "accounts", false, OCI_SUCCESS, 0,
     "HASHED"},
    {"# after the fields is a fourth field", kStandardSqlnet, kHashAfterFieldsWallet, "accounts",
     false, OCI_ERROR, 1017, nullptr},
    {"parentheses nested 10,000 deep", nullptr, kWallet, "accounts", false, OCI_ERROR, 1017,
     nullptr},
    {"nested deeper than the client reads", nullptr, kWallet, "accounts", false, OCI_ERROR, 1017,
     nullptr},
    {"no sqlnet.ora", nullptr, kWallet, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"no wallet file", kStandardSqlnet, nullptr, "accounts", false, OCI_ERROR, 1017, nullptr},
    {"SYSDBA with a credential", kStandardSqlnet, kWallet, "fixture", true, OCI_ERROR, 1031,
     nullptr},
    {"SYSDBA without a wallet", nullptr, nullptr, "fixture", true, OCI_ERROR, 1031, nullptr},
};

// The standard sqlnet.ora with its METHOD_DATA nested levels deeper: (A = (A = ... )).
std::string DeepSqlnet(int nLevels)
{
    std::string strDeep;
    for (int i = 0; i < nLevels; ++i)
        strDeep += "(A = ";
    strDeep += "x";
    strDeep += std::string(size_t(nLevels), ')');
    return "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%) " +
           strDeep + "))\nSQLNET.WALLET_OVERRIDE = TRUE\n";
}

TEST(OciLiteWallet, ExternalLogonTakesTheStoresCredentialForTheConnectString)
{
    const std::string strVeryDeep = DeepSqlnet(10000);
    const std::string strDeepest = DeepSqlnet(63);
    for (ExternalCase test : kCases) {
        if (test.label == std::string("parentheses nested 10,000 deep"))
            test.sqlnet = strVeryDeep.c_str();
        if (test.label == std::string("nested deeper than the client reads"))
            test.sqlnet = strDeepest.c_str();
        ScopedStore store(test.sqlnet, test.wallet);
        OciSession session;
        EXPECT_EQ(test.status, session.LogonExternal(test.database, test.sysdba)) << test.label;
        OraRecord record = session.LastError();
        EXPECT_EQ(test.code, test.code == 0 ? 0 : record.code) << test.label;
        if (test.sessionUser == nullptr) {
            EXPECT_EQ("OCISessionBegin", session.failedCall) << test.label;
            continue;
        }
        EXPECT_EQ((Rows{{test.sessionUser}}),
                  session.Query("SELECT SYS_CONTEXT('USERENV', 'SESSION_USER') FROM DUAL", {}, 1))
            << test.label;
    }
}

// 64 levels in all are read: the standard file with 62 more.
TEST(OciLiteWallet, ParametersNestedToTheLimitAreRead)
{
    ScopedStore store(DeepSqlnet(62).c_str(), kWallet);
    OciSession session;
    EXPECT_EQ(OCI_SUCCESS, session.LogonExternal("accounts"));
}

TEST(OciLiteWallet, ExternalLogonCountsItsRoundTrip)
{
    ScopedStore store(kStandardSqlnet, kWallet);
    OciSession session;
    session.api.ResetCounters();
    ASSERT_EQ(OCI_SUCCESS, session.LogonExternal("fixture"));
    // The attach and the session begin.
    EXPECT_EQ(2u, session.api.RoundTrips());
    EXPECT_EQ((Rows{{"SCOTT"}}), session.Query("SELECT USER FROM DUAL", {}, 1));
}

TEST(OciLiteWallet, SqlnetBesideTheLibraryCountsWithoutTnsAdmin)
{
    const std::string folder = testsys::LibraryFolder(OciApi::Get().module);
    ASSERT_FALSE(folder.empty());
    const std::string network = folder + "/network";
    const std::string admin = network + "/admin";
    const bool madeNetwork = testsys::MakeFolder(network);
    const bool madeAdmin = testsys::MakeFolder(admin);
    ASSERT_TRUE(madeAdmin) << "network/admin already exists beside " << testsys::kClientLibraryName;
    const std::string walletFolder = FixtureHome() + "/beside-wallet";
    testsys::MakeFolder(walletFolder);
    WriteText(walletFolder + "/oci-lite-wallet.txt", "accounts OPENED Tiger\n");
    WriteText(admin + "/sqlnet.ora", Replaced(kStandardSqlnet, walletFolder));
    testsys::SetVariable("TNS_ADMIN", nullptr);
    {
        OciSession session;
        EXPECT_EQ(OCI_SUCCESS, session.LogonExternal("accounts"));
    }
    {
        // TNS_ADMIN, when set, is the only place looked at.
        ScopedStore empty(nullptr, nullptr);
        OciSession session;
        EXPECT_EQ(OCI_ERROR, session.LogonExternal("accounts"));
        EXPECT_EQ(1017, session.LastError().code);
    }
    std::remove((admin + "/sqlnet.ora").c_str());
    testsys::RemoveFolder(admin);
    if (madeNetwork)
        testsys::RemoveFolder(network);
}

struct ContextCase {
    const char* sql;
    const char* user;
    bool sysdba;
    const char* value;  // null: the query fails
    sb4 code;
};

const ContextCase kContextCases[] = {
    {"SELECT SYS_CONTEXT('USERENV','SESSION_USER') FROM DUAL", "SCOTT", false, "SCOTT", 0},
    {"select sys_context('userenv', 'session_user') from dual", "BLAKE", false, "BLAKE", 0},
    {"SELECT SYS_CONTEXT('USERENV','CURRENT_SCHEMA') FROM DUAL", "SCOTT", false, "SCOTT", 0},
    {"SELECT USER FROM DUAL", "SCOTT", false, "SCOTT", 0},
    {"SELECT user FROM DUAL", "SYS", true, "SYS", 0},
    {"SELECT SYS_CONTEXT('USERENV','SESSION_USER') FROM DUAL", "ADMIN", true, "SYS", 0},
    {"SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_NAME <> USER", "SCOTT", false, "6", 0},
    {"SELECT SYS_CONTEXT('USERENV','NO_SUCH_THING') FROM DUAL", "SCOTT", false, nullptr, 2003},
    {"SELECT COALESCE(SYS_CONTEXT('MY_CTX','X'), 'none') FROM DUAL", "SCOTT", false, "none", 0},
};

TEST(OciLiteWallet, SessionUserFromSysContextAndUser)
{
    for (const ContextCase& test : kContextCases) {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon(test.user,
                                             test.user == std::string("SCOTT")   ? "TIGER"
                                             : test.user == std::string("BLAKE") ? "Paper"
                                             : test.user == std::string("SYS")   ? "ORACLE"
                                                                                 : "secret",
                                             "fixture", test.sysdba))
            << test.sql;
        sword status = OCI_SUCCESS;
        Rows rows = session.Query(test.sql, {}, 1, &status);
        if (test.value == nullptr) {
            EXPECT_EQ(OCI_ERROR, status) << test.sql;
            EXPECT_EQ(test.code, session.LastError().code) << test.sql;
        } else {
            EXPECT_EQ((Rows{{test.value}}), rows) << test.sql;
        }
    }
}

}  // namespace
