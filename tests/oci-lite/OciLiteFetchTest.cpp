// Fetching through oci-lite: what each define type delivers, truncation, NULLs, the end of the
// rows, binds, and the exact queries the program sends.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/oci-lite/LoggedOnSession.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

class OciLiteFetch : public LoggedOnSession {
protected:
    sword Define(OCIStmt* stmt, ub4 position, void* buffer, sb4 size, ub2 type, sb2* ind = nullptr,
                 ub2* rlen = nullptr, ub2* rcode = nullptr)
    {
        OCIDefine* define = nullptr;
        return api.DefineByPos(stmt, &define, session.err, position, buffer, size, type, ind, rlen,
                               rcode, OCI_DEFAULT);
    }
    sword Bind(OCIStmt* stmt, ub4 position, const std::string& value)
    {
        OCIBind* bind = nullptr;
        return api.BindByPos(stmt, &bind, session.err, position, const_cast<char*>(value.data()),
                             static_cast<sb4>(value.size()), SQLT_CHR, nullptr, nullptr, nullptr, 0,
                             nullptr, OCI_DEFAULT);
    }
    sword Execute(OCIStmt* stmt)
    {
        return api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    }
    sword Fetch(OCIStmt* stmt)
    {
        return api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    }
};

TEST_F(OciLiteFetch, ExecuteDeliversTheFirstRowAndFetchTheNext)
{
    OCIStmt* stmt = session.Prepare(
        "SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_TYPE = 'PACKAGE' ORDER BY OBJECT_NAME");
    char name[100];
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 1, name, sizeof name, SQLT_STR));
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_STREQ("EMP_API", name);
    ASSERT_EQ(OCI_SUCCESS, Fetch(stmt));
    EXPECT_STREQ("HR_UTIL", name);
    EXPECT_EQ(OCI_NO_DATA, Fetch(stmt));
    OraRecord record = session.LastError();
    EXPECT_EQ(1403, record.code);
    EXPECT_EQ("ORA-01403: no data found\n", record.text);
}

TEST_F(OciLiteFetch, QueryWithoutRowsGivesNoDataAtExecute)
{
    OCIStmt* stmt =
        session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = 'NONE'");
    char name[100] = "untouched";
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 1, name, sizeof name, SQLT_STR));
    EXPECT_EQ(OCI_NO_DATA, Execute(stmt));
    EXPECT_EQ(1403, session.LastError().code);
    EXPECT_STREQ("untouched", name);
}

TEST_F(OciLiteFetch, FetchingPastTheEndIsOutOfSequence)
{
    OCIStmt* stmt =
        session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = 'NONE'");
    char name[100];
    Define(stmt, 1, name, sizeof name, SQLT_STR);
    EXPECT_EQ(OCI_NO_DATA, Execute(stmt));
    EXPECT_EQ(OCI_ERROR, Fetch(stmt));
    EXPECT_EQ(1002, session.LastError().code);
}

TEST_F(OciLiteFetch, StrIsZeroTerminatedAndChrIsNot)
{
    OCIStmt* stmt = session.Prepare(
        "SELECT OBJECT_NAME, OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = 'HR_UTIL'");
    char str[16], chr[16];
    std::memset(str, 'x', sizeof str);
    std::memset(chr, 'x', sizeof chr);
    ub2 strLength = 0, chrLength = 0;
    Define(stmt, 1, str, sizeof str, SQLT_STR, nullptr, &strLength);
    Define(stmt, 2, chr, sizeof chr, SQLT_CHR, nullptr, &chrLength);
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ(std::string("HR_UTIL\0xxxxxxxx", 16), std::string(str, 16));
    EXPECT_EQ(std::string("HR_UTILxxxxxxxxx", 16), std::string(chr, 16));
    EXPECT_EQ(7, strLength);
    EXPECT_EQ(7, chrLength);
}

TEST_F(OciLiteFetch, IntDeliversFourBytes)
{
    OCIStmt* stmt = session.Prepare("SELECT COUNT(1), -5 FROM USER_OBJECTS");
    unsigned char buffer[12];
    std::memset(buffer, 0xAA, sizeof buffer);
    int negative = 0;
    ub2 length = 0;
    Define(stmt, 1, buffer + 4, 4, SQLT_INT, nullptr, &length);
    Define(stmt, 2, &negative, 4, SQLT_INT);
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    int count;
    std::memcpy(&count, buffer + 4, 4);
    EXPECT_EQ(6, count);
    EXPECT_EQ(4, length);
    EXPECT_EQ(-5, negative);
    for (int i : {0, 1, 2, 3, 8, 9, 10, 11})
        EXPECT_EQ(0xAA, buffer[i]) << i;
}

TEST_F(OciLiteFetch, IntFromTextThatIsNoNumberGives1722)
{
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS");
    int value = 0;
    Define(stmt, 1, &value, 4, SQLT_INT);
    EXPECT_EQ(OCI_ERROR, Execute(stmt));
    EXPECT_EQ(1722, session.LastError().code);
}

TEST_F(OciLiteFetch, LongValueIsCutWithAWarningAndTheRowIsDelivered)
{
    OCIStmt* stmt = session.Prepare(
        "SELECT TEXT, TEXT FROM USER_SOURCE WHERE NAME = 'EMP_API' AND TYPE = 'PACKAGE' ORDER BY "
        "LINE");
    char chr[5], str[5];
    ub2 chrLength = 0, strLength = 0, chrCode = 0;
    sb2 chrIndicator = 0;
    Define(stmt, 1, chr, sizeof chr, SQLT_CHR, &chrIndicator, &chrLength, &chrCode);
    Define(stmt, 2, str, sizeof str, SQLT_STR, nullptr, &strLength);
    EXPECT_EQ(OCI_SUCCESS_WITH_INFO, Execute(stmt));
    OraRecord record = session.LastError();
    EXPECT_EQ(24345, record.code);
    EXPECT_EQ("ORA-24345: A Truncation or null fetch error occurred\n", record.text);
    EXPECT_EQ("PACKA", std::string(chr, 5));
    EXPECT_EQ(5, chrLength);
    EXPECT_EQ(19, chrIndicator);  // the original length
    EXPECT_EQ(1406, chrCode);
    EXPECT_STREQ("PACK", str);
    EXPECT_EQ(4, strLength);
    // The next row is delivered normally.
    EXPECT_EQ(OCI_SUCCESS_WITH_INFO, Fetch(stmt));
    EXPECT_EQ("  PRO", std::string(chr, 5));
}

TEST_F(OciLiteFetch, ValueThatFitsLeavesNoWarning)
{
    OCIStmt* stmt = session.Prepare(
        "SELECT TEXT FROM USER_SOURCE WHERE NAME = 'EMP_API' AND TYPE = 'PACKAGE' AND LINE = 3");
    char chr[12];
    Define(stmt, 1, chr, sizeof chr, SQLT_CHR);
    EXPECT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ("END EMP_API;", std::string(chr, 12));
}

TEST_F(OciLiteFetch, NullWithoutIndicatorGives1405)
{
    OCIStmt* stmt = session.Prepare("SELECT TEXT FROM USER_SOURCE WHERE NAME = 'RAISE_SAL'");
    char text[50] = "before";
    Define(stmt, 1, text, sizeof text, SQLT_STR);
    EXPECT_EQ(OCI_ERROR, Execute(stmt));
    OraRecord record = session.LastError();
    EXPECT_EQ(1405, record.code);
    EXPECT_EQ("ORA-01405: fetched column value is NULL\n", record.text);
}

TEST_F(OciLiteFetch, RowWithANullDoesNotEndTheResult)
{
    OCIStmt* stmt =
        session.Prepare("SELECT NAME, TEXT FROM USER_SOURCE WHERE NAME IN ('HR_UTIL', 'RAISE_SAL') "
                        "ORDER BY NAME DESC, LINE");
    char name[32], text[64];
    Define(stmt, 1, name, sizeof name, SQLT_STR);
    Define(stmt, 2, text, sizeof text, SQLT_STR);
    EXPECT_EQ(OCI_ERROR, Execute(stmt));  // RAISE_SAL's only line is NULL
    EXPECT_EQ(1405, session.LastError().code);
    EXPECT_STREQ("RAISE_SAL", name);      // the row's other columns arrived
    ASSERT_EQ(OCI_SUCCESS, Fetch(stmt));  // and the result goes on
    EXPECT_STREQ("HR_UTIL", name);
    EXPECT_STREQ("PACKAGE HR_UTIL AS\n", text);
    EXPECT_EQ(1405, session.LastError().code);  // the record stays until replaced
}

TEST_F(OciLiteFetch, NullWithIndicatorIsMinusOne)
{
    OCIStmt* stmt = session.Prepare("SELECT TEXT FROM USER_SOURCE WHERE NAME = 'RAISE_SAL'");
    char text[50] = "before";
    sb2 indicator = 0;
    Define(stmt, 1, text, sizeof text, SQLT_STR, &indicator);
    EXPECT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ(-1, indicator);
    EXPECT_STREQ("before", text);
}

TEST_F(OciLiteFetch, PlaceholdersBindByPosition)
{
    OCIStmt* stmt =
        session.Prepare("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ");
    std::string name = "EMP_API", type = "PACKAGE BODY";
    int count = -1;
    ASSERT_EQ(OCI_SUCCESS, Bind(stmt, 1, name));
    ASSERT_EQ(OCI_SUCCESS, Bind(stmt, 2, type));
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 1, &count, 4, SQLT_INT));
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ(3, count);
}

TEST_F(OciLiteFetch, BindBufferIsReadAtExecute)
{
    OCIStmt* stmt = session.Prepare("SELECT COUNT(1) FROM USER_OBJECTS WHERE OBJECT_NAME = :1");
    char name[16] = "XXXXXXX";
    int count = -1;
    OCIBind* bind = nullptr;
    api.BindByPos(stmt, &bind, session.err, 1, name, 7, SQLT_CHR, nullptr, nullptr, nullptr, 0,
                  nullptr, OCI_DEFAULT);
    Define(stmt, 1, &count, 4, SQLT_INT);
    std::memcpy(name, "GET_SAL", 7);
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ(1, count);
}

TEST_F(OciLiteFetch, UnboundPlaceholderGives1008)
{
    OCIStmt* stmt =
        session.Prepare("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2");
    int count = 0;
    Bind(stmt, 1, "EMP_API");
    Define(stmt, 1, &count, 4, SQLT_INT);
    EXPECT_EQ(OCI_ERROR, Execute(stmt));
    EXPECT_EQ(1008, session.LastError().code);
}

TEST_F(OciLiteFetch, LengthCountsCharactersAndTheStoredBytesArrive)
{
    Rows rows = session.Query(
        "SELECT LENGTH(TEXT), TEXT FROM USER_SOURCE WHERE NAME = :1 AND LINE = 1", {"GET_SAL"}, 2);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("43", rows[0][0]);        // "Grüße" is 5 characters
    EXPECT_EQ(45u, rows[0][1].size());  // and 7 bytes in UTF-8
    EXPECT_EQ("FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xC3\xBC\xC3\x9F"
              "e\n",
              rows[0][1]);
}

TEST(OciLiteCharset, NlsLangClientGetsTextInItsOwnCharacterSet)
{
    ScopedNls nls("AMERICAN_AMERICA.WE8MSWIN1252");
    OciSession session;  // the environment takes NLS_LANG when it is created
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    Rows rows = session.Query(
        "SELECT LENGTH(TEXT), TEXT FROM USER_SOURCE WHERE NAME = :1 AND LINE = 1", {"GET_SAL"}, 2);
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ("43", rows[0][0]);
    EXPECT_EQ("FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xFC\xDF"
              "e\n",
              rows[0][1]);  // 5 bytes in 1252
    EXPECT_EQ((Rows{{"1"}}), session.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE TEXT LIKE :1",
                                           {"%Gr\xFC\xDF"
                                            "e%"},
                                           1));
}

TEST_F(OciLiteFetch, ComparisonsAreCaseSensitive)
{
    EXPECT_TRUE(
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1", {"emp_api"}, 1)
            .empty());
    EXPECT_EQ(
        2u,
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1", {"EMP_API"}, 1)
            .size());
    EXPECT_TRUE(
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME LIKE 'emp%'", {}, 1)
            .empty());
}

TEST_F(OciLiteFetch, ArrayFetchFillsConsecutiveElements)
{
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY OBJECT_NAME");
    char names[4][16] = {};
    ub2 lengths[4] = {};
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 1, names, 16, SQLT_STR, nullptr, lengths));
    // Execute only (no rows), then fetch four at a time.
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtExecute(session.svc, stmt, session.err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
    ASSERT_EQ(OCI_SUCCESS, api.StmtFetch(stmt, session.err, 4, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_STREQ("EMP_API", names[0]);
    EXPECT_STREQ("EMP_API", names[1]);
    EXPECT_STREQ("EMP_TRG", names[2]);
    EXPECT_STREQ("GET_SAL", names[3]);
    EXPECT_EQ(7, lengths[3]);
    // Two rows remain: they arrive, and the short batch ends the result.
    EXPECT_EQ(OCI_NO_DATA, api.StmtFetch(stmt, session.err, 4, OCI_FETCH_NEXT, OCI_DEFAULT));
    EXPECT_STREQ("HR_UTIL", names[0]);
    EXPECT_STREQ("RAISE_SAL", names[1]);
    EXPECT_EQ(1403, session.LastError().code);
}

// Rows of texts, NULLs and numbers in turn, some held back by the prefetch memory limit, each
// arrive as themselves: nothing of a longer value before it stays in a shorter one or a NULL.
TEST_F(OciLiteFetch, ValuesOfEveryKindAndLengthInTurnArriveAsThemselves)
{
    OCIStmt* stmt = session.Prepare(
        "SELECT 'the first value, longer than any after it', 1 FROM DUAL UNION ALL "
        "SELECT NULL, 22 FROM DUAL UNION ALL SELECT 'b', NULL FROM DUAL UNION ALL "
        "SELECT 'a value again, long', -333 FROM DUAL UNION ALL SELECT NULL, NULL FROM DUAL");
    ub4 prefetchRows = 2;
    ub4 prefetchMemory = 1;  // each trip carries one row and holds the next back
    ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetchRows, 0,
                                       OCI_ATTR_PREFETCH_ROWS, session.err));
    ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetchMemory, 0,
                                       OCI_ATTR_PREFETCH_MEMORY, session.err));
    char texts[2][64] = {};
    char numbers[2][8] = {};
    sb2 textIndicators[2] = {};
    sb2 numberIndicators[2] = {};
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 1, texts, sizeof texts[0], SQLT_STR, textIndicators));
    ASSERT_EQ(OCI_SUCCESS, Define(stmt, 2, numbers, sizeof numbers[0], SQLT_STR, numberIndicators));
    ASSERT_EQ(OCI_SUCCESS,
              api.StmtExecute(session.svc, stmt, session.err, 0, 0, nullptr, nullptr, OCI_DEFAULT));
    Rows rows;
    sword status = OCI_SUCCESS;
    while (status == OCI_SUCCESS) {
        status = api.StmtFetch(stmt, session.err, 2, OCI_FETCH_NEXT, OCI_DEFAULT);
        ub4 fetched = 0;
        api.AttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, session.err);
        for (ub4 i = 0; i < fetched; ++i) {
            rows.push_back({textIndicators[i] == -1 ? "<null>" : texts[i],
                            numberIndicators[i] == -1 ? "<null>" : numbers[i]});
        }
    }
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ((Rows{{"the first value, longer than any after it", "1"},
                    {"<null>", "22"},
                    {"b", "<null>"},
                    {"a value again, long", "-333"},
                    {"<null>", "<null>"}}),
              rows);
}

TEST_F(OciLiteFetch, OnlyFetchNextIsAccepted)
{
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS");
    char name[32];
    Define(stmt, 1, name, sizeof name, SQLT_STR);
    ASSERT_EQ(OCI_SUCCESS, Execute(stmt));
    EXPECT_EQ(OCI_ERROR, api.StmtFetch(stmt, session.err, 1, OCI_FETCH_PRIOR, OCI_DEFAULT));
    EXPECT_EQ(24391, session.LastError().code);
}

TEST_F(OciLiteFetch, FetchBeforeExecuteIsRefused)
{
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS");
    char name[32];
    Define(stmt, 1, name, sizeof name, SQLT_STR);
    EXPECT_EQ(OCI_ERROR, Fetch(stmt));
    EXPECT_EQ(24338, session.LastError().code);
}

TEST_F(OciLiteFetch, ExecuteOfAQueryWithoutDefinesIsRefused)
{
    OCIStmt* stmt = session.Prepare("SELECT OBJECT_NAME FROM USER_OBJECTS");
    EXPECT_EQ(OCI_ERROR, Execute(stmt));
    EXPECT_EQ(24374, session.LastError().code);
}

// The queries the export and the picker send, character for character.
TEST_F(OciLiteFetch, ProgramListingQueryForAllObjects)
{
    sword status;
    Rows rows =
        session.Query("SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
                      "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  ORDER BY OBJECT_NAME ",
                      {}, 2, &status);
    EXPECT_EQ(OCI_NO_DATA, status);
    // The body row was stored before the package row: with the order left open, it comes first.
    EXPECT_EQ((Rows{{"EMP_API", "PACKAGE BODY"},
                    {"EMP_API", "PACKAGE"},
                    {"GET_SAL", "FUNCTION"},
                    {"HR_UTIL", "PACKAGE"},
                    {"RAISE_SAL", "PROCEDURE"}}),
              rows);
}

TEST_F(OciLiteFetch, ProgramListingQueryForOneObject)
{
    sword status;
    Rows rows = session.Query(
        "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
        "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  AND OBJECT_NAME = :1  ORDER BY "
        "OBJECT_NAME ",
        {"EMP_API"}, 2, &status);
    EXPECT_EQ(OCI_NO_DATA, status);
    EXPECT_EQ((Rows{{"EMP_API", "PACKAGE BODY"}, {"EMP_API", "PACKAGE"}}), rows);
    EXPECT_TRUE(
        session
            .Query("SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
                   "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  AND OBJECT_NAME = :1  "
                   "ORDER BY OBJECT_NAME ",
                   {"EMP_TRG"}, 2)
            .empty());
}

TEST_F(OciLiteFetch, ProgramListingSortedByNameAndType)
{
    Rows rows = session.Query(
        "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
        "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION')  ORDER BY OBJECT_NAME,OBJECT_TYPE ",
        {}, 2);
    ASSERT_EQ(5u, rows.size());
    EXPECT_EQ((std::vector<std::string>{"EMP_API", "PACKAGE"}), rows[0]);
    EXPECT_EQ((std::vector<std::string>{"EMP_API", "PACKAGE BODY"}), rows[1]);
}

TEST_F(OciLiteFetch, ProgramPickerQuery)
{
    Rows rows =
        session.Query("SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
                      "('PACKAGE','PROCEDURE','FUNCTION') ",
                      {}, 2);
    EXPECT_EQ((Rows{{"HR_UTIL", "PACKAGE"},
                    {"EMP_API", "PACKAGE"},
                    {"GET_SAL", "FUNCTION"},
                    {"RAISE_SAL", "PROCEDURE"}}),
              rows);
}

TEST_F(OciLiteFetch, ProgramCountAndTextQueries)
{
    OCIStmt* count =
        session.Prepare("SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ");
    std::string name = "EMP_API", type = "PACKAGE BODY";
    int lines = 0;
    Bind(count, 1, name);
    Bind(count, 2, type);
    Define(count, 1, &lines, 4, SQLT_INT);
    ASSERT_EQ(OCI_SUCCESS, Execute(count));
    ASSERT_EQ(3, lines);

    OCIStmt* text = session.Prepare(
        "SELECT TEXT,LENGTH(TEXT) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ORDER BY LINE ");
    static char buffer[5000];
    int length = 0;
    Bind(text, 1, name);
    Bind(text, 2, type);
    Define(text, 1, buffer, sizeof buffer, SQLT_CHR);
    Define(text, 2, &length, 4, SQLT_INT);
    std::string collected;
    for (int j = 0; j < lines; ++j) {
        std::memset(buffer, 0, sizeof buffer);
        ASSERT_EQ(OCI_SUCCESS, j == 0 ? Execute(text) : Fetch(text)) << j;
        buffer[length] = '\0';
        collected += buffer;
    }
    EXPECT_EQ("PACKAGE BODY EMP_API AS\n  PROCEDURE hire(p_name VARCHAR2) IS BEGIN NULL; END;\nEND "
              "EMP_API;",
              collected);
}

}  // namespace

// LENGTHB and SUBSTRB count the database's bytes (UTF-8 here): a character SUBSTRB's range
// would split is left out whole, and what would be empty is NULL, as in Oracle.
TEST_F(OciLiteFetch, ByteFunctionsCountBytesAndNeverSplitACharacter)
{
    struct Case {
        const char* expression;
        const char* expected;
    };
    // "\xE2\x82\xAC" is the euro sign, three bytes.
    const Case kCases[] = {
        {"LENGTHB('abc')", "3"},
        {"LENGTHB('a\xE2\x82\xAC')", "4"},
        {"LENGTHB('')", "<null>"},
        {"LENGTHB(NULL)", "<null>"},
        {"SUBSTRB('abcdef',1,3)", "abc"},
        {"SUBSTRB('abcdef',0,2)", "ab"},
        {"SUBSTRB('abcdef',-2,5)", "ef"},
        {"SUBSTRB('abcdef',3)", "cdef"},
        {"SUBSTRB('abcdef',1,0)", "<null>"},
        {"SUBSTRB('abcdef',7,2)", "<null>"},
        {"SUBSTRB('a\xE2\x82\xAC' || 'b',1,3)", "a"},
        {"SUBSTRB('a\xE2\x82\xAC' || 'b',1,4)", "a\xE2\x82\xAC"},
        {"SUBSTRB('a\xE2\x82\xAC' || 'b',3,9)", "b"},
        {"SUBSTRB(NULL,1,3)", "<null>"},
    };
    for (const Case& test : kCases) {
        sword status = OCI_SUCCESS;
        const Rows rows = session.Query(std::string("SELECT COALESCE(") + test.expression +
                                            " || '','<null>') FROM DUAL",
                                        {}, 1, &status);
        ASSERT_EQ(1u, rows.size()) << test.expression << ": " << session.LastError().text;
        EXPECT_EQ(test.expected, rows[0][0]) << test.expression;
    }
}
