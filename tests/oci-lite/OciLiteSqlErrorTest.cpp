// SQL failures through oci-lite come back as the nearest Oracle errors, at execute.
#include <gtest/gtest.h>

#include "tests/oci-lite/LoggedOnSession.h"

namespace {

class OciLiteSqlError : public LoggedOnSession {
protected:
    // Runs sql and returns the error record of its execute.
    OraRecord Run(const std::string& sql)
    {
        sword status = OCI_SUCCESS;
        session.Query(sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << sql;
        return session.LastError();
    }
};

TEST_F(OciLiteSqlError, UnknownTableGives942)
{
    OraRecord record = Run("SELECT OBJECT_NAME FROM ALL_THINGS");
    EXPECT_EQ(942, record.code);
    EXPECT_EQ("ORA-00942: table or view does not exist\n", record.text);
}

TEST_F(OciLiteSqlError, UnknownColumnGives904NamingIt)
{
    OraRecord record = Run("SELECT object_nom FROM USER_OBJECTS");
    EXPECT_EQ(904, record.code);
    EXPECT_EQ("ORA-00904: \"OBJECT_NOM\": invalid identifier\n", record.text);
}

TEST_F(OciLiteSqlError, UnknownFunctionGives904)
{
    EXPECT_EQ(904, Run("SELECT NOSUCHFN(OBJECT_NAME) FROM USER_OBJECTS").code);
}

TEST_F(OciLiteSqlError, NoStatementAtAllGives900)
{
    OraRecord record = Run("SELEC OBJECT_NAME FROM USER_OBJECTS");
    EXPECT_EQ(900, record.code);
    EXPECT_EQ("ORA-00900: invalid SQL statement\n", record.text);
}

TEST_F(OciLiteSqlError, BrokenStatementGives933)
{
    OraRecord record =
        Run("SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY OBJECT_NAME garbage words");
    EXPECT_EQ(933, record.code);
    EXPECT_EQ("ORA-00933: SQL command not properly ended\n", record.text);
    EXPECT_EQ(933, Run("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE").code);
}

TEST_F(OciLiteSqlError, SecondStatementInTheTextIsRefused)
{
    EXPECT_EQ(933, Run("SELECT OBJECT_NAME FROM USER_OBJECTS; SELECT 1").code);
}

TEST_F(OciLiteSqlError, WritesAreRefused)
{
    sword status;
    session.Query("DELETE FROM objects", {}, 0, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(16000, session.LastError().code);
    // The data is still there.
    EXPECT_EQ(6u, session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS", {}, 1).size());
}

TEST_F(OciLiteSqlError, OtherFilesCannotBeAttached)
{
    sword status;
    session.Query("ATTACH DATABASE 'x.sqlite' AS other", {}, 0, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_NE(0, session.LastError().code);
}

TEST_F(OciLiteSqlError, PrepareReportsNothingAndExecuteReportsTheFailure)
{
    sb4 code = 4711;
    OCIStmt* stmt = session.Prepare("THIS IS NOT SQL");
    EXPECT_EQ(OCI_NO_DATA,
              session.api.ErrorGet(session.err, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR));
    EXPECT_EQ(4711, code);
    char value[10];
    OCIDefine* define = nullptr;
    session.api.DefineByPos(stmt, &define, session.err, 1, value, sizeof value, SQLT_STR, nullptr,
                            nullptr, nullptr, OCI_DEFAULT);
    EXPECT_EQ(OCI_ERROR, session.api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr,
                                                 nullptr, OCI_DEFAULT));
    EXPECT_EQ(900, session.LastError().code);
}

}  // namespace
