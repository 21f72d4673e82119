// Text order through oci-lite: NLS_LANG's language and NLS_SORT decide how ORDER BY sorts text,
// NLSSORT(x, 'NLS_SORT=BINARY') sorts by the bytes whatever they say, and comparisons stay
// exact either way.
#include <gtest/gtest.h>

#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows Column(std::initializer_list<const char*> values)
{
    Rows rows;
    for (const char* value : values)
        rows.push_back({value});
    return rows;
}

// SORTER's object names by their UTF-8 bytes.
const Rows kBinaryOrder = Column({"A2", "ALPHA", "Beta", "EMPLOYEE", "EMP_API", "Zeta", "_HIDDEN",
                                  "a1", "alpha", "gamma", "\xC3\x89mile"});
// Without case and accents first, punctuation before digits before letters, then the bytes.
const Rows kLinguisticOrder = Column({"_HIDDEN", "a1", "A2", "ALPHA", "alpha", "Beta",
                                      "\xC3\x89mile", "EMP_API", "EMPLOYEE", "gamma", "Zeta"});

struct SortCase {
    const char* nlsLang;
    const char* nlsSort;  // null: unset
    const Rows* order;
};

const SortCase kSortCases[] = {
    {"AMERICAN_AMERICA.AL32UTF8", nullptr, &kBinaryOrder},
    {".AL32UTF8", nullptr, &kBinaryOrder},
    {"GERMAN_GERMANY.AL32UTF8", nullptr, &kLinguisticOrder},
    {"FRENCH_FRANCE.AL32UTF8", nullptr, &kLinguisticOrder},
    {"GERMAN_GERMANY.AL32UTF8", "BINARY", &kBinaryOrder},
    {"GERMAN_GERMANY.AL32UTF8", "binary", &kBinaryOrder},
    {"AMERICAN_AMERICA.AL32UTF8", "GERMAN", &kLinguisticOrder},
};

TEST(OciLiteSort, LanguageAndNlsSortDecideTheOrderOfText)
{
    for (const SortCase& test : kSortCases) {
        std::string label = std::string(test.nlsLang) + " / " + (test.nlsSort ? test.nlsSort : "-");
        ScopedNls nls(test.nlsLang, test.nlsSort);
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting")) << label;
        EXPECT_EQ(*test.order,
                  session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY OBJECT_NAME", {}, 1))
            << label;
        // The session's own sort, asked for explicitly, agrees.
        EXPECT_EQ(*test.order,
                  session.Query(
                      "SELECT OBJECT_NAME FROM USER_OBJECTS ORDER BY NLSSORT(OBJECT_NAME)", {}, 1))
            << label;
    }
}

TEST(OciLiteSort, NlsSortFunctionNamesTheOrderWhateverTheSession)
{
    const char* const languages[] = {"AMERICAN_AMERICA.AL32UTF8", "GERMAN_GERMANY.AL32UTF8"};
    for (const char* language : languages) {
        ScopedNls nls(language);
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting")) << language;
        EXPECT_EQ(kBinaryOrder, session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS "
                                              "ORDER BY NLSSORT(OBJECT_NAME, 'NLS_SORT=BINARY')",
                                              {}, 1))
            << language;
        EXPECT_EQ(kLinguisticOrder,
                  session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS "
                                "ORDER BY NLSSORT(OBJECT_NAME, 'NLS_SORT=GERMAN')",
                                {}, 1))
            << language;
    }
}

TEST(OciLiteSort, LinguisticSessionStillComparesAndGroupsExactly)
{
    ScopedNls nls("GERMAN_GERMANY.AL32UTF8");
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting"));
    EXPECT_EQ(
        Column({"alpha"}),
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME = :1", {"alpha"}, 1));
    EXPECT_EQ(Column({"11"}),
              session.Query("SELECT COUNT(DISTINCT OBJECT_NAME) FROM USER_OBJECTS", {}, 1));
    EXPECT_EQ(
        Column({"ALPHA", "alpha"}),
        session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE OBJECT_NAME LIKE '%LPHA' OR "
                      "OBJECT_NAME LIKE '%lpha' ORDER BY 1",
                      {}, 1));
}

TEST(OciLiteSort, NlsSortOfNullIsNullAndABadParameterIs12702)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting"));
    EXPECT_EQ(
        Column({"1"}),
        session.Query("SELECT COUNT(1) FROM DUAL WHERE NLSSORT(NULL, 'NLS_SORT=BINARY') IS NULL",
                      {}, 1));
    const char* const bad[] = {"SELECT NLSSORT(DUMMY, 'BINARY') FROM DUAL",
                               "SELECT NLSSORT(DUMMY, 'NLS_SORT=') FROM DUAL",
                               "SELECT NLSSORT(DUMMY, 'NLS_COMP=BINARY') FROM DUAL"};
    for (const char* sql : bad) {
        sword status = OCI_SUCCESS;
        session.Query(sql, {}, 1, &status);
        EXPECT_EQ(OCI_ERROR, status) << sql;
        OraRecord record = session.LastError();
        EXPECT_EQ(12702, record.code) << sql;
        EXPECT_EQ("ORA-12702: invalid NLS parameter string used in SQL function\n", record.text)
            << sql;
    }
}

// A parameter that is no literal is read on every row: the sort it names, or ORA-12702 from the
// row whose parameter is bad, after the rows before it.
TEST(OciLiteSort, NlsSortReadsAParameterThatChangesFromRowToRow)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting"));
    EXPECT_EQ(Column({"alpha"}),
              session.Query("SELECT OBJECT_NAME FROM USER_OBJECTS WHERE NLSSORT(OBJECT_NAME, "
                            "CASE WHEN OBJECT_NAME = 'alpha' THEN 'NLS_SORT=GERMAN' ELSE "
                            "'NLS_SORT=BINARY' END) <> NLSSORT(OBJECT_NAME, 'NLS_SORT=BINARY')",
                            {}, 1));
    sword status = OCI_SUCCESS;
    const Rows rows = session.Query(
        "SELECT N FROM (SELECT 'a' N FROM DUAL UNION ALL SELECT 'b' FROM DUAL UNION ALL SELECT "
        "'c' FROM DUAL) WHERE NLSSORT(N, CASE WHEN N = 'b' THEN 'NLS_SORT' ELSE "
        "'NLS_SORT=BINARY' END) IS NOT NULL",
        {}, 1, &status);
    EXPECT_EQ(OCI_ERROR, status);
    EXPECT_EQ(12702, session.LastError().code);
    EXPECT_EQ(Column({"a"}), rows);
}

TEST(OciLiteSort, InstrFindsTextInTheSessionsViews)
{
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SORTER", "Sorter", "sorting"));
    EXPECT_EQ(
        (Rows{{"9", "0"}}),
        session.Query("SELECT INSTR(TEXT, 'alpha'), INSTR(TEXT, 'ALPHA') FROM USER_SOURCE", {}, 2));
}

}  // namespace
