// Accounts through oci-lite: the logon outcome each account state gives, case-sensitive
// passwords, and the DBA_ views that only the dictionary's readers see.
#include <gtest/gtest.h>

#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct LogonCase {
    const char* user;
    const char* password;
    sword status;      // of the whole logon (OCISessionBegin's status when it fails or warns)
    sb4 code;          // the record left, 0 for none
    const char* text;  // its text
};

const LogonCase kLogons[] = {
    {"OPENED", "Tiger", OCI_SUCCESS, 0, ""},
    {"GRACE", "Tiger", OCI_SUCCESS_WITH_INFO, 28002,
     "ORA-28002: the password will expire within 7 days\n"},
    {"LOCKED", "Tiger", OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    {"TIMED", "Tiger", OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    {"EXPIRED", "Tiger", OCI_ERROR, 28001, "ORA-28001: the password has expired\n"},
    {"BOTH", "Tiger", OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    {"GRACELOCK", "Tiger", OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    {"EXPTIMED", "Tiger", OCI_ERROR, 28000, "ORA-28000: the account is locked\n"},
    // A wrong password says nothing about the account.
    {"LOCKED", "wrong", OCI_ERROR, 1017, "ORA-01017: invalid username/password; logon denied\n"},
    {"EXPIRED", "wrong", OCI_ERROR, 1017, "ORA-01017: invalid username/password; logon denied\n"},
    {"GRACE", "wrong", OCI_ERROR, 1017, "ORA-01017: invalid username/password; logon denied\n"},
    // Passwords are compared case-sensitively.
    {"OPENED", "tiger", OCI_ERROR, 1017, "ORA-01017: invalid username/password; logon denied\n"},
    {"OPENED", "TIGER", OCI_ERROR, 1017, "ORA-01017: invalid username/password; logon denied\n"},
};

TEST(OciLiteAccounts, EachAccountStateGivesOraclesLogonOutcome)
{
    for (const LogonCase& test : kLogons) {
        std::string label = std::string(test.user) + "/" + test.password;
        OciSession session;
        EXPECT_EQ(test.status, session.Logon(test.user, test.password, "accounts")) << label;
        if (test.status != OCI_SUCCESS) {
            EXPECT_EQ("OCISessionBegin", session.failedCall) << label;
        }
        OraRecord record = session.LastError();
        EXPECT_EQ(test.code == 0 ? OCI_NO_DATA : OCI_SUCCESS, record.status) << label;
        EXPECT_EQ(test.code, record.code) << label;
        EXPECT_EQ(test.text, record.text) << label;
    }
}

TEST(OciLiteAccounts, SessionInItsGracePeriodIsUsableAndKeepsTheWarning)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS_WITH_INFO, session.Logon("GRACE", "Tiger", "accounts"));
    // Setting the session on the service context afterwards succeeded without clearing it.
    EXPECT_EQ(28002, session.LastError().code);
    EXPECT_EQ((Rows{{"GRACE_FN", "FUNCTION", "INVALID"}}),
              session.Query("SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM USER_OBJECTS", {}, 3));
    EXPECT_EQ(OCI_SUCCESS, session.Logoff());
}

TEST(OciLiteAccounts, DatabaseWithoutTheColumnsLogsEveryoneOnAsOpen)
{
    // fixture.sqlite has neither account_status nor select_any_dictionary.
    OciSession session;
    EXPECT_EQ(OCI_SUCCESS, session.Logon("BLAKE", "Paper", "fixture"));
    EXPECT_EQ(OCI_NO_DATA, session.LastError().status);
    sword status = OCI_SUCCESS;
    session.Query("SELECT COUNT(*) FROM DBA_OBJECTS", {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(942, session.LastError().code);
}

// The dictionary views as a reader sees them: every owner's rows.
const char kAllObjects[] =
    "SELECT OWNER, OBJECT_NAME, OBJECT_TYPE, STATUS FROM DBA_OBJECTS ORDER BY OWNER, OBJECT_NAME";
const char kAllSource[] =
    "SELECT OWNER, NAME, TYPE, LINE, TEXT FROM DBA_SOURCE ORDER BY OWNER, NAME, TYPE, LINE";

const Rows kEveryObject = {{"GRACE", "GRACE_FN", "FUNCTION", "INVALID"},
                           {"OPENED", "OPEN_PKG", "PACKAGE", "VALID"},
                           {"SYS", "SYS_PKG", "PACKAGE", "VALID"}};
const Rows kEverySourceLine = {{"GRACE", "GRACE_FN", "FUNCTION", "1",
                                "FUNCTION GRACE_FN RETURN NUMBER IS BEGIN RETURN 1; END;"},
                               {"OPENED", "OPEN_PKG", "PACKAGE", "1", "PACKAGE OPEN_PKG AS\n"},
                               {"OPENED", "OPEN_PKG", "PACKAGE", "2", "END;"},
                               {"SYS", "SYS_PKG", "PACKAGE", "1", "PACKAGE SYS_PKG AS END;"}};

TEST(OciLiteAccounts, DictionaryReaderSeesEveryOwnersRowsInTheDbaViews)
{
    OciSession reader;
    ASSERT_EQ(OCI_SUCCESS, reader.Logon("READER", "Tiger", "accounts")) << reader.failedCall;
    EXPECT_EQ(kEveryObject, reader.Query(kAllObjects, {}, 4));
    EXPECT_EQ(kEverySourceLine, reader.Query(kAllSource, {}, 5));
    // Its own views still hold only its own rows (none).
    EXPECT_EQ((Rows{{"0"}}), reader.Query("SELECT COUNT(*) FROM USER_OBJECTS", {}, 1));
}

TEST(OciLiteAccounts, SysdbaSessionSeesTheDbaViews)
{
    const struct {
        const char* database;
        const char* user;
        const char* password;
    } logons[] = {{"accounts", "SYS", "Oracle"}, {"fixture", "ADMIN", "secret"}};
    for (const auto& logon : logons) {
        OciSession sys;
        ASSERT_EQ(OCI_SUCCESS, sys.Logon(logon.user, logon.password, logon.database, true))
            << logon.database;
        sword status = OCI_SUCCESS;
        Rows owners = sys.Query("SELECT DISTINCT OWNER FROM DBA_SOURCE ORDER BY 1", {}, 1, &status);
        EXPECT_EQ(OCI_NO_DATA, status) << logon.database;
        EXPECT_GE(owners.size(), 3u) << logon.database;
    }
}

TEST(OciLiteAccounts, OtherSessionsFindNoDbaViewsAndNothingElseNew)
{
    OciSession user;
    ASSERT_EQ(OCI_SUCCESS, user.Logon("OPENED", "Tiger", "accounts"));
    const struct {
        const char* sql;
        sb4 code;
    } queries[] = {
        {"SELECT COUNT(*) FROM DBA_OBJECTS", 942}, {"SELECT TEXT FROM DBA_SOURCE", 942},
        {"SELECT COUNT(*) FROM ALL_OBJECTS", 942}, {"SELECT select_any_dictionary FROM users", 942},
        {"SELECT OWNER FROM USER_OBJECTS", 904},
    };
    for (const auto& query : queries) {
        sword status = OCI_SUCCESS;
        Rows rows = user.Query(query.sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << query.sql;
        EXPECT_TRUE(rows.empty()) << query.sql;
        EXPECT_EQ(query.code, user.LastError().code) << query.sql;
    }
}

}  // namespace
