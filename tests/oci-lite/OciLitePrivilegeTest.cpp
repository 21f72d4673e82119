// Privileges through oci-lite: a session reads its USER_OBJECTS, USER_SOURCE and DUAL and nothing
// else; every write, to a temporary object too, fails with ORA-16000 and changes nothing.
#include <gtest/gtest.h>

#include "support/TestSystem.h"
#include "tests/oci-lite/LoggedOnSession.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct RefusedCase {
    const char* sql;
    sb4 code;
};

// Reads past the session's views: each names something the session has no grant on.
const RefusedCase kHiddenReads[] = {
    {"SELECT name,password,sysdba FROM users", 942},
    {"SELECT COUNT(*) FROM users", 942},
    {"SELECT owner,name,text FROM main.source WHERE owner='SYS'", 942},
    {"SELECT owner,name,text FROM source", 942},
    {"SELECT 1 FROM source", 942},
    {"SELECT owner,object_name FROM objects", 942},
    {"SELECT COUNT(*) FROM objects", 942},
    {"SELECT TEXT FROM temp.USER_SOURCE", 942},
    {"SELECT OBJECT_NAME FROM \"main\".\"USER_OBJECTS\"", 942},
    {"SELECT OBJECT_NAME FROM main.USER_OBJECTS", 942},
    {"SELECT name FROM sqlite_master", 942},
    {"SELECT sql FROM sqlite_temp_master", 942},
    {"SELECT COUNT(*) FROM temp.sqlite_master", 942},
    {"SELECT name FROM pragma_table_info('users')", 942},
    {"WITH USER_SOURCE AS (SELECT text FROM source) SELECT TEXT FROM USER_SOURCE", 942},
    {"SELECT TEXT FROM USER_SOURCE WHERE NAME IN (SELECT name FROM source WHERE owner='SYS')", 942},
    {"SELECT (SELECT password FROM users WHERE name='SYS')", 942},
    {"SELECT TEXT FROM SCOTT.USER_SOURCE", 942},
};

// Statements that are not reads at all and need privileges no session has.
const RefusedCase kPrivileged[] = {
    {"PRAGMA table_info(users)", 1031},
    {"PRAGMA writable_schema", 1031},
    {"ATTACH DATABASE 'other.sqlite' AS other", 1031},
    {"EXPLAIN SELECT OBJECT_NAME FROM USER_OBJECTS", 1031},
};

// Writes: the database is read-only to every session, its temporary part included.
const char* const kWrites[] = {
    "CREATE TEMP TABLE scratch(x)",
    "CREATE TEMPORARY TABLE scratch AS SELECT TEXT FROM USER_SOURCE",
    "CREATE TEMP VIEW peek AS SELECT 1 AS x",
    "CREATE TEMP TRIGGER t AFTER INSERT ON objects BEGIN SELECT 1; END",
    "CREATE TABLE scratch(x)",
    "CREATE INDEX source_name ON source(name)",
    "INSERT INTO objects(owner,object_name,object_type) VALUES('SCOTT','X','PACKAGE')",
    "UPDATE users SET password='x' WHERE name='SYS'",
    "DELETE FROM source",
    "REPLACE INTO users VALUES('EVE','x',1)",
    "WITH a AS (SELECT 1) INSERT INTO users SELECT 'EVE','x',1 FROM a",
    "WITH a AS (SELECT 1) DELETE FROM temp.USER_SOURCE",
    "DROP VIEW temp.USER_SOURCE",
    "DROP VIEW USER_OBJECTS",
    "CREATE TEMP VIEW USER_SOURCE AS SELECT name, type, line, text FROM source",
    "ALTER TABLE users RENAME TO people",
    "DROP TABLE users",
    "VACUUM",
    "VACUUM INTO 'copy.sqlite'",
    "ANALYZE",
    "REINDEX",
};

class OciLitePrivileges : public LoggedOnSession {
protected:
    // What the session sees of its own: it must not change whatever was tried before.
    void ExpectOwnViewsIntact()
    {
        EXPECT_EQ((Rows{{"6"}}), session.Query("SELECT COUNT(1) FROM USER_OBJECTS", {}, 1));
        EXPECT_EQ((Rows{{"11"}}), session.Query("SELECT COUNT(1) FROM USER_SOURCE", {}, 1));
    }
};

TEST_F(OciLitePrivileges, BaseTablesAndQualifiedNamesDoNotExistForTheSession)
{
    for (const RefusedCase& test : kHiddenReads) {
        sword status = OCI_SUCCESS;
        Rows rows = session.Query(test.sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << test.sql;
        EXPECT_TRUE(rows.empty()) << test.sql;
        OraRecord record = session.LastError();
        EXPECT_EQ(test.code, record.code) << test.sql;
        EXPECT_EQ("ORA-00942: table or view does not exist\n", record.text) << test.sql;
    }
}

TEST_F(OciLitePrivileges, PragmasAttachAndExplainNeedAPrivilege)
{
    for (const RefusedCase& test : kPrivileged) {
        sword status = session.Execute(test.sql);
        EXPECT_EQ(OCI_ERROR, status) << test.sql;
        EXPECT_EQ(test.code, session.LastError().code) << test.sql;
    }
}

TEST_F(OciLitePrivileges, EveryWriteGets16000AndChangesNothing)
{
    for (const char* sql : kWrites) {
        EXPECT_EQ(OCI_ERROR, session.Execute(sql)) << sql;
        OraRecord record = session.LastError();
        EXPECT_EQ(16000, record.code) << sql;
        EXPECT_EQ("ORA-16000: database open for read-only access\n", record.text) << sql;
    }
    ExpectOwnViewsIntact();
    sword status = OCI_SUCCESS;
    session.Query("SELECT x FROM scratch", {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(942, session.LastError().code);
    EXPECT_FALSE(testsys::IsFile(FixtureHome() + "/copy.sqlite"));
    EXPECT_FALSE(testsys::IsFile("copy.sqlite"));
}

TEST_F(OciLitePrivileges, WritesStayRefusedWhateverTheirSpelling)
{
    const char* const spellings[] = {
        "  /* first */ -- and a line comment\n create temp table scratch(x)",
        "(INSERT INTO objects VALUES('SCOTT','X','PACKAGE','VALID'))",
        "Create Temp View USER_OBJECTS AS SELECT * FROM objects",
    };
    for (const char* sql : spellings) {
        EXPECT_EQ(OCI_ERROR, session.Execute(sql)) << sql;
        EXPECT_EQ(16000, session.LastError().code) << sql;
    }
    ExpectOwnViewsIntact();
}

TEST_F(OciLitePrivileges, OwnViewsAndDualAreReadableInAnyQueryShape)
{
    struct ReadCase {
        const char* sql;
        Rows rows;
    };
    const ReadCase reads[] = {
        {"SELECT DUMMY FROM DUAL", {{"X"}}},
        {"SELECT 1 + 1 FROM dual", {{"2"}}},
        {"SELECT COUNT(*) FROM USER_SOURCE WHERE NAME = 'EMP_API'", {{"6"}}},
        {"SELECT 1 FROM USER_OBJECTS WHERE OBJECT_NAME = 'GET_SAL'", {{"1"}}},
        {"WITH s AS (SELECT NAME FROM USER_SOURCE WHERE TYPE = 'FUNCTION') SELECT COUNT(*) FROM s",
         {{"2"}}},
        {"SELECT COUNT(*) FROM (SELECT DISTINCT NAME FROM USER_SOURCE)", {{"4"}}},
        {"SELECT o.OBJECT_TYPE FROM USER_OBJECTS o JOIN USER_SOURCE s ON s.NAME = o.OBJECT_NAME "
         "AND s.TYPE = o.OBJECT_TYPE WHERE s.LINE = 2 AND o.OBJECT_NAME = 'GET_SAL'",
         {{"FUNCTION"}}},
        {"SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME NOT IN "
         "(SELECT NAME FROM USER_SOURCE) ORDER BY 1",
         {{"EMP_TRG"}}},
        {"SELECT temp_name FROM (SELECT OBJECT_NAME AS temp_name FROM USER_OBJECTS) "
         "WHERE temp_name = 'HR_UTIL'",
         {{"HR_UTIL"}}},
    };
    for (const ReadCase& read : reads) {
        sword status = OCI_SUCCESS;
        EXPECT_EQ(read.rows, session.Query(read.sql, {}, 1, &status)) << read.sql;
        EXPECT_EQ(OCI_NO_DATA, status) << read.sql;
    }
}

TEST(OciLitePrivilegesSysdba, SysSeesOnlySysObjectsAndCannotReadPasswordsEither)
{
    OciSession sys;
    ASSERT_EQ(OCI_SUCCESS, sys.Logon("ADMIN", "secret", "fixture", true)) << sys.failedCall;
    sword status = OCI_SUCCESS;
    Rows rows = sys.Query("SELECT name,password FROM users", {}, 2, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(942, sys.LastError().code);
    EXPECT_EQ((Rows{{"DBMS_LITE"}}), sys.Query("SELECT NAME FROM USER_SOURCE", {}, 1));
    EXPECT_EQ(OCI_ERROR, sys.Execute("DELETE FROM source WHERE owner <> 'SYS'"));
    EXPECT_EQ(16000, sys.LastError().code);
}

}  // namespace
