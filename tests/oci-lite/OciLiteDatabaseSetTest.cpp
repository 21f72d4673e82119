// The database's own settings (database_properties): its character set decides LENGTHB,
// SUBSTRB and the bytes a column is described at, and a client of another set sizes its
// buffers for the widest expansion of each of those bytes; CURSOR_SHARING=FORCE turns a
// statement's literals into binds before it is described, unless the statement carries the
// CURSOR_SHARING_EXACT hint. And Oracle's LIKE ... ESCAPE, which refuses an escape followed by
// anything but "%", "_" or itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct ValueCase {
    const char* database;
    const char* sql;
    const char* value;
};

// "é€¿a" is 8 bytes in UTF-8 and 4 in WE8MSWIN1252; "日本ｱa" (the katakana half-width) is 10 in
// UTF-8 and 6 in JA16SJIS.
const ValueCase kValueCases[] = {
    {"fixture",
     "SELECT LENGTHB('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a') FROM DUAL",
     "8"},
    {"we8",
     "SELECT LENGTHB('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a') FROM DUAL",
     "4"},
    {"we8",
     "SELECT SUBSTRB('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a',2,2) FROM DUAL",
     "\xE2\x82\xAC\xC2\xBF"},
    {"we8",
     "SELECT SUBSTRB('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a',-2) FROM DUAL",
     "\xC2\xBF"
     "a"},
    {"fixture",
     "SELECT LENGTHB('\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1"
     "a') FROM DUAL",
     "10"},
    {"sjis",
     "SELECT LENGTHB('\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1"
     "a') FROM DUAL",
     "6"},
    // A character the byte range would split is left out whole.
    {"sjis",
     "SELECT COALESCE(SUBSTRB('\xE6\x97\xA5\xE6\x9C\xAC"
     "a',2,2),'-') FROM DUAL",
     "-"},
    {"sjis",
     "SELECT SUBSTRB('\xE6\x97\xA5\xE6\x9C\xAC"
     "a',3,3) FROM DUAL",
     "\xE6\x9C\xAC"
     "a"},
    {"sjis",
     "SELECT SUBSTRB('\xE6\x97\xA5\xE6\x9C\xAC"
     "a',-1,1) FROM DUAL",
     "a"},
    // INSTR counts characters, whatever the set's bytes; an empty text is NULL.
    {"fixture",
     "SELECT INSTR('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a','a') FROM DUAL",
     "4"},
    {"we8",
     "SELECT INSTR('\xC3\xA9\xE2\x82\xAC\xC2\xBF"
     "a','\xE2\x82\xAC\xC2\xBF') FROM DUAL",
     "2"},
    {"sjis",
     "SELECT INSTR('\xE6\x97\xA5\xE6\x9C\xAC\xEF\xBD\xB1"
     "a\xEF\xBD\xB1','\xEF\xBD\xB1') FROM DUAL",
     "3"},
    {"fixture", "SELECT INSTR('abcab','ba') FROM DUAL", "0"},
    {"fixture", "SELECT COALESCE(INSTR('abc',''),-1) FROM DUAL", "-1"},
    {"fixture", "SELECT COALESCE(INSTR(NULL,'a'),-1) FROM DUAL", "-1"},
    // The stored line "... -- Grüße\n": 45 bytes in UTF-8, 43 in WE8MSWIN1252.
    {"fixture", "SELECT LENGTHB(TEXT) FROM USER_SOURCE WHERE NAME = 'GET_SAL' AND LINE = 1", "45"},
    {"we8", "SELECT LENGTHB(TEXT) FROM USER_SOURCE WHERE NAME = 'GET_SAL' AND LINE = 1", "43"},
    // Text the database set cannot hold arrives there as its replacement character.
    {"we8", "SELECT '\xE6\x97\xA5' FROM DUAL", "\xC2\xBF"},
    {"sjis", "SELECT '\xE2\x82\xAC' FROM DUAL", "\xEF\xBC\x9F"},
    // Cursor sharing changes how a statement is described, not what it gives.
    {"force",
     "SELECT SUBSTRB(TEXT,1,7) || 'x' FROM USER_SOURCE WHERE NAME = 'HR_UTIL' AND LINE = 2",
     "END;x"},
};

TEST(OciLiteDatabaseSet, ByteFunctionsCountTheDatabaseSetsBytes)
{
    for (const ValueCase& test : kValueCases) {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", test.database)) << test.database;
        sword status = OCI_SUCCESS;
        const Rows rows = session.Query(test.sql, {}, 1, &status);
        EXPECT_EQ(OCI_NO_DATA, status) << test.database << ": " << test.sql;
        EXPECT_EQ((Rows{{test.value}}), rows) << test.database << ": " << test.sql;
    }
}

TEST(OciLiteDatabaseSet, ADatabaseSetNoServerHasFailsTheLogon)
{
    OciSession session;
    EXPECT_EQ(OCI_ERROR, session.Logon("SCOTT", "TIGER", "badset"));
    EXPECT_EQ(12715, session.LastError().code);
}

struct TripCase {
    const char* database;
    const char* nlsLang;
    const char* sql;
    size_t rows;
    unsigned trips;
    const char* user = "SCOTT";
    const char* password = "TIGER";
    ub4 prefetchMemory = 100;
};

const char kNarrowNames[] = "SELECT SUBSTRB(NAME,1,10) FROM USER_SOURCE";
const char kNarrowNamesExact[] =
    "SELECT /*+ CURSOR_SHARING_EXACT */ SUBSTRB(NAME,1,10) FROM USER_SOURCE";

// A 100-byte prefetch memory limit. A SUBSTRB(NAME,1,10) row weighs 10 bytes in a client of
// the database's own set (ten a trip), 40 in an AL32UTF8 client of a single-byte or
// double-byte database (each database byte may be a character of up to four bytes: two a
// trip), and 4,000 once cursor sharing made the literal a bind (one a trip).
const TripCase kTripCases[] = {
    {"fixture", "AMERICAN_AMERICA.AL32UTF8", kNarrowNames, 11, 2},
    {"we8", "AMERICAN_AMERICA.AL32UTF8", kNarrowNames, 11, 6},
    {"we8", "AMERICAN_AMERICA.WE8MSWIN1252", kNarrowNames, 11, 2},
    {"sjis", "AMERICAN_AMERICA.AL32UTF8", kNarrowNames, 10, 5},
    {"sjis", "JAPANESE_JAPAN.JA16SJIS", kNarrowNames, 10, 1},
    {"force", "AMERICAN_AMERICA.AL32UTF8", kNarrowNames, 11, 11},
    {"force", "AMERICAN_AMERICA.AL32UTF8", kNarrowNamesExact, 11, 2},
    {"fixture", "AMERICAN_AMERICA.AL32UTF8", kNarrowNamesExact, 11, 2},
    // A NUMBER weighs its 22 bytes in any client set: two rows in 44 bytes a trip.
    {"views_we8", "AMERICAN_AMERICA.AL32UTF8", "SELECT TEXT_LENGTH FROM USER_VIEWS", 3, 2, "VIEWER",
     "Tiger", 44},
    {"views_we8", "AMERICAN_AMERICA.AL32UTF8", "SELECT COLUMN_ID FROM USER_TAB_COLUMNS", 3, 2,
     "VIEWER", "Tiger", 44},
};

TEST(OciLiteDatabaseSet, ClientBuffersAndCursorSharingDecideTheTripsOfANarrowRead)
{
    for (const TripCase& test : kTripCases) {
        const std::string label = std::string(test.database) + " " + test.nlsLang + " " + test.sql;
        ScopedNls nls(test.nlsLang);
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon(test.user, test.password, test.database)) << label;
        const OciApi& api = session.api;
        OCIStmt* stmt = session.Prepare(test.sql);
        ub4 prefetchRows = 1000;
        ub4 prefetchMemory = test.prefetchMemory;
        ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetchRows, sizeof(ub4),
                                           OCI_ATTR_PREFETCH_ROWS, session.err));
        ASSERT_EQ(OCI_SUCCESS, api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetchMemory, sizeof(ub4),
                                           OCI_ATTR_PREFETCH_MEMORY, session.err));
        char value[64] = {};
        ub2 length = 0;
        OCIDefine* define = nullptr;
        ASSERT_EQ(OCI_SUCCESS, api.DefineByPos(stmt, &define, session.err, 1, value, sizeof value,
                                               SQLT_CHR, nullptr, &length, nullptr, OCI_DEFAULT));
        const unsigned before = api.RoundTrips();
        std::vector<std::string> names;
        sword status =
            api.StmtExecute(session.svc, stmt, session.err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        while (status == OCI_SUCCESS) {
            names.emplace_back(value, length);
            status = api.StmtFetch(stmt, session.err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        }
        EXPECT_EQ(OCI_NO_DATA, status) << label;
        EXPECT_EQ(test.rows, names.size()) << label;
        EXPECT_EQ(test.trips, api.RoundTrips() - before) << label;
        api.HandleFree(stmt, OCI_HTYPE_STMT);
    }
}

struct LikeCase {
    const char* pattern;
    const char* escape;
    const char* count;  // of rows: "1" or "0"; null: the statement fails
    sb4 code;           // its Oracle error
};

// The text matched is "A_B%C\D".
const LikeCase kLikeCases[] = {
    {"A\\_B\\%C\\\\D", "\\", "1", 0}, {"A\\_B%", "\\", "1", 0},     {"A_B%", "\\", "1", 0},
    {"AXB%", "\\", "0", 0},           {"a%", "\\", "0", 0},         {"A#_B#%C\\D", "#", "1", 0},
    {"%\\D", "\\", nullptr, 1424},    {"%\\\\D", "\\", "1", 0},     {"A\\B%", "\\", nullptr, 1424},
    {"A_B%\\", "\\", nullptr, 1424},  {"%", "\\\\", nullptr, 1425},
};

TEST(OciLiteDatabaseSet, LikeRefusesAnEscapeBeforeAnythingButAWildcardOrItself)
{
    for (const char* database : {"fixture", "force"}) {
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", database));
        for (const LikeCase& test : kLikeCases) {
            const std::string label = std::string(database) + " " + test.pattern;
            sword status = OCI_SUCCESS;
            const Rows rows =
                session.Query(std::string("SELECT COUNT(1) FROM DUAL WHERE :1 LIKE :2 ESCAPE '") +
                                  test.escape + "'",
                              {"A_B%C\\D", test.pattern}, 1, &status);
            if (test.count != nullptr) {
                EXPECT_EQ((Rows{{test.count}}), rows) << label;
            } else {
                EXPECT_EQ(OCI_ERROR, status) << label;
                EXPECT_EQ(test.code, session.LastError().code) << label;
            }
        }
    }
}

}  // namespace
