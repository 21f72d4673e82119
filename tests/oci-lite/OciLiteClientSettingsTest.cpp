// The client settings a desk may have, through oci-lite as through the real client: the
// console and Japanese character sets by Oracle's ids, the client's own conversion
// (OCINlsCharSetConvert and OCICharSetConversionIsReplacementUsed), an NLS_LANG the client
// cannot read (ORA-12705 at the environment), and NLS_COMP=LINGUISTIC with a _CI sort, from the
// environment or ALTER SESSION.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

struct Conversion {
    OCINlsCharSetConvertFn convert = nullptr;
    OCICharSetConversionIsReplacementUsedFn replacementUsed = nullptr;

    Conversion()
    {
        OciApi::Get();
        void* library = OciApi::Get().module;
        convert = reinterpret_cast<OCINlsCharSetConvertFn>(
            testsys::FindSymbol(library, "OCINlsCharSetConvert"));
        replacementUsed = reinterpret_cast<OCICharSetConversionIsReplacementUsedFn>(
            testsys::FindSymbol(library, "OCICharSetConversionIsReplacementUsed"));
    }
};

// NLS_COMP for the environments made while it lives.
class ScopedNlsComp {
public:
    explicit ScopedNlsComp(const char* value) { testsys::SetVariable("NLS_COMP", value); }
    ~ScopedNlsComp() { testsys::SetVariable("NLS_COMP", nullptr); }
};

struct ConvertCase {
    const char* title;
    ub2 to;
    std::string utf8;
    std::string converted;
    bool replaced;
};

const ConvertCase kConvertCases[] = {
    {"US8PC437", 4,
     "Gr\xC3\xBC\xC3\x9F"
     "e",
     "Gr\x81\xE1"
     "e",
     false},
    {"WE8PC850", 10,
     "Gr\xC3\xBC\xC3\x9F"
     "e",
     "Gr\x81\xE1"
     "e",
     false},
    {"WE8PC858, the euro", 28, "\xE2\x82\xAC", "\xD5", false},
    {"WE8PC858, the dotless i it lacks", 28, "\xC4\xB1", "?", true},
    {"EE8PC852", 150, "\xC5\x81\xC3\xB3\x64\xC5\xBA", "\x9D\xA2\x64\xAB", false},
    {"RU8PC866", 152, "\xD0\x9F\xD1\x80\xD0\xB8", "\x8F\xE0\xA8", false},
    {"JA16SJIS, the wave dash", 832, "\xE3\x80\x9C", "\x81\x60", false},
    // The Japanese sets' replacement character is the full-width question mark.
    {"JA16SJIS, the fullwidth tilde it lacks", 832, "\xEF\xBD\x9E", "\x81\x48", true},
    {"JA16SJIS, a real full-width question mark", 832, "\xEF\xBC\x9F", "\x81\x48", false},
    {"JA16SJISTILDE, the fullwidth tilde", 838, "\xEF\xBD\x9E", "\x81\x60", false},
    {"JA16SJISTILDE, the wave dash it lacks", 838, "\xE3\x80\x9C", "\x81\x48", true},
    {"US7ASCII", 1, "a\xC3\xA4z", "a?z", true},
    // WE8MSWIN1252 and the West European ISO sets replace with the inverted question mark, a
    // character they also hold: only the flag tells the two apart.
    {"WE8MSWIN1252, Japanese", 178, "x\xE6\x97\xA5", "x\xBF", true},
    {"WE8MSWIN1252, a real inverted question mark", 178, "x\xC2\xBF", "x\xBF", false},
    {"WE8ISO8859P1, the euro it lacks", 31, "\xE2\x82\xAC", "\xBF", true},
    {"WE8ISO8859P15, the euro", 46, "\xE2\x82\xAC", "\xA4", false},
    {"EE8MSWIN1250, Japanese", 170, "\xE6\x97\xA5", "?", true},
    {"AL32UTF8 to itself", 873, "\xE6\x97\xA5", "\xE6\x97\xA5", false},
};

}  // namespace

TEST(OciLiteClientSettings, ConsoleAndJapaneseSetsAreKnownByOraclesIds)
{
    const struct {
        ub2 id;
        const char* name;
    } kSets[] = {{4, "US8PC437"},   {10, "WE8PC850"},  {28, "WE8PC858"},      {150, "EE8PC852"},
                 {152, "RU8PC866"}, {832, "JA16SJIS"}, {838, "JA16SJISTILDE"}};
    for (const auto& set : kSets) {
        ScopedNls nls((std::string("AMERICAN_AMERICA.") + set.name).c_str());
        OciSession session(EnvOptions{true, OCI_THREADED, 0});
        ASSERT_NE(nullptr, session.env) << set.name;
        ub2 id = 0;
        ASSERT_EQ(OCI_SUCCESS, session.api.AttrGet(session.env, OCI_HTYPE_ENV, &id, nullptr,
                                                   kAttrEnvCharsetId, session.err));
        EXPECT_EQ(set.id, id) << set.name;
        char name[32] = {};
        ASSERT_EQ(OCI_SUCCESS, session.api.NlsCharSetIdToName(
                                   session.env, reinterpret_cast<OraText*>(name), sizeof name, id));
        EXPECT_STREQ(set.name, name);
    }
}

TEST(OciLiteClientSettings, TheClientConvertsAndSaysWhenItReplaced)
{
    Conversion conversion;
    ASSERT_NE(nullptr, conversion.convert);
    ASSERT_NE(nullptr, conversion.replacementUsed);
    ScopedNls nls("AMERICAN_AMERICA.AL32UTF8");
    OciSession session(EnvOptions{true, OCI_THREADED, 873});
    for (const ConvertCase& c : kConvertCases) {
        char buffer[64] = {};
        size_t written = 0;
        ASSERT_EQ(OCI_SUCCESS,
                  conversion.convert(session.env, session.err, c.to, buffer, sizeof buffer, 873,
                                     c.utf8.data(), c.utf8.size(), &written))
            << c.title;
        EXPECT_EQ(c.converted, std::string(buffer, written)) << c.title;
        EXPECT_EQ(c.replaced ? 1 : 0, conversion.replacementUsed(session.env)) << c.title;
    }
    // Back from JA16SJIS: 0x8160 is the wave dash there, the fullwidth tilde in JA16SJISTILDE.
    char back[8] = {};
    size_t written = 0;
    ASSERT_EQ(OCI_SUCCESS, conversion.convert(session.env, session.err, 873, back, sizeof back, 832,
                                              "\x81\x60", 2, &written));
    EXPECT_EQ("\xE3\x80\x9C", std::string(back, written));
    ASSERT_EQ(OCI_SUCCESS, conversion.convert(session.env, session.err, 873, back, sizeof back, 838,
                                              "\x81\x60", 2, &written));
    EXPECT_EQ("\xEF\xBD\x9E", std::string(back, written));
    // An id the client does not know, and a target too small for the result.
    EXPECT_EQ(OCI_ERROR, conversion.convert(session.env, session.err, 9999, back, sizeof back, 873,
                                            "a", 1, &written));
    EXPECT_EQ(12715, session.LastError().code);
    EXPECT_EQ(OCI_ERROR,
              conversion.convert(session.env, session.err, 178, back, 2, 873, "abc", 3, &written));
    EXPECT_EQ(0u, written);
}

// The real client refuses the environment: the handle it hands back carries ORA-12705 and is
// good for nothing but OCIErrorGet and OCIHandleFree.
TEST(OciLiteClientSettings, AnUnreadableNlsLangRefusesTheEnvironment)
{
    const char* const kUnreadable[] = {"AMERICAN_AMERICA.WE8MSWIN1252X", "AMERICAN_AMERICA.",
                                       "AMERICA_AMERICAN.AL32UTF8", "AMERICAN_NOWHERE.AL32UTF8",
                                       "AMERICAN-AMERICA.AL32UTF8"};
    const OciApi& api = OciApi::Get();
    for (const char* value : kUnreadable) {
        ScopedNls nls(value);
        for (ub2 charset : {ub2(0), ub2(873)}) {
            OCIEnv* env = nullptr;
            EXPECT_EQ(OCI_ERROR, api.EnvNlsCreate(&env, OCI_THREADED, nullptr, nullptr, nullptr,
                                                  nullptr, 0, nullptr, charset, charset))
                << value;
            ASSERT_NE(nullptr, env) << value;
            sb4 code = 0;
            char text[256] = {};
            EXPECT_EQ(OCI_SUCCESS,
                      api.ErrorGet(env, 1, nullptr, &code, reinterpret_cast<OraText*>(text),
                                   sizeof text, OCI_HTYPE_ENV));
            EXPECT_EQ(12705, code) << value;
            EXPECT_STREQ(
                "ORA-12705: Cannot access NLS data files or invalid environment specified\n", text);
            void* child = nullptr;
            EXPECT_EQ(OCI_INVALID_HANDLE,
                      api.HandleAlloc(env, &child, OCI_HTYPE_ERROR, 0, nullptr));
            EXPECT_EQ(OCI_SUCCESS, api.HandleFree(env, OCI_HTYPE_ENV));
        }
    }
    ScopedNls readable(".AL32UTF8");
    OciSession session(EnvOptions{true, OCI_THREADED, 0});
    EXPECT_NE(nullptr, session.err);
}

// NLS_COMP=LINGUISTIC with BINARY_CI: =, IN, LIKE and GROUP BY ignore case; BINARY compares
// bytes; ALTER SESSION changes it for that session alone.
TEST(OciLiteClientSettings, LinguisticComparisonFollowsTheSortAndAlterSession)
{
    const char kEquals[] = "SELECT COUNT(1) FROM USER_OBJECTS WHERE OBJECT_NAME = 'emp_api'";
    const char kIn[] = "SELECT COUNT(1) FROM USER_OBJECTS WHERE OBJECT_NAME IN ('emp_api')";
    const char kLike[] = "SELECT COUNT(1) FROM USER_OBJECTS WHERE OBJECT_NAME LIKE 'emp%'";
    // Every name twice, once as stored and once in lower case: as many groups as names, or twice
    // as many.
    const char kGroups[] = "SELECT COUNT(1) FROM (SELECT N FROM (SELECT OBJECT_NAME N FROM "
                           "USER_OBJECTS UNION ALL SELECT LOWER(OBJECT_NAME) FROM USER_OBJECTS) "
                           "GROUP BY N)";
    const char kNames[] = "SELECT COUNT(DISTINCT OBJECT_NAME) FROM USER_OBJECTS";
    Rows binaryEquals;
    Rows names;
    {
        ScopedNls nls("AMERICAN_AMERICA.AL32UTF8");
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
        binaryEquals = session.Query(kEquals, {}, 1);
        EXPECT_EQ((Rows{{"0"}}), binaryEquals);
        EXPECT_EQ((Rows{{"0"}}), session.Query(kIn, {}, 1));
        EXPECT_EQ((Rows{{"0"}}), session.Query(kLike, {}, 1));
        names = session.Query(kNames, {}, 1);
        ASSERT_EQ(1u, names.size());
        EXPECT_EQ(std::to_string(2 * std::stoi(names[0][0])), session.Query(kGroups, {}, 1)[0][0]);
    }
    ScopedNls nls("AMERICAN_AMERICA.AL32UTF8", "BINARY_CI");
    ScopedNlsComp comp("LINGUISTIC");
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    EXPECT_EQ((Rows{{"2"}}), session.Query(kEquals, {}, 1));  // EMP_API's package and body
    EXPECT_EQ((Rows{{"2"}}), session.Query(kIn, {}, 1));
    EXPECT_NE((Rows{{"0"}}), session.Query(kLike, {}, 1));
    EXPECT_EQ(names, session.Query(kGroups, {}, 1));
    // Another session of the same environment is not touched by this one's ALTER SESSION.
    EXPECT_EQ(OCI_SUCCESS,
              session.Execute("ALTER SESSION SET NLS_COMP = BINARY NLS_SORT = BINARY"));
    EXPECT_EQ((Rows{{"0"}}), session.Query(kEquals, {}, 1));
    EXPECT_EQ((Rows{{"0"}}), session.Query(kLike, {}, 1));
    OciSession other;
    ASSERT_EQ(OCI_SUCCESS, other.Logon("SCOTT", "TIGER", "fixture"));
    EXPECT_EQ((Rows{{"2"}}), other.Query(kEquals, {}, 1));
    EXPECT_EQ(OCI_SUCCESS, session.Execute("ALTER SESSION SET NLS_COMP = LINGUISTIC"));
    EXPECT_EQ((Rows{{"0"}}), session.Query(kEquals, {}, 1));  // NLS_SORT stays BINARY
    EXPECT_EQ(OCI_SUCCESS, session.Execute("alter session set nls_sort = 'BINARY_CI'"));
    EXPECT_EQ((Rows{{"2"}}), session.Query(kEquals, {}, 1));
    // Nothing else is changed by ALTER SESSION.
    EXPECT_EQ(OCI_ERROR, session.Execute("ALTER SESSION SET NLS_DATE_FORMAT = 'YYYY'"));
    EXPECT_EQ(2248, session.LastError().code);
    EXPECT_EQ(OCI_ERROR, session.Execute("ALTER SESSION SET NLS_COMP = SOMETIMES"));
    EXPECT_EQ(12705, session.LastError().code);
}
