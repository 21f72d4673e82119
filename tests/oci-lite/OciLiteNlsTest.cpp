// The client character set through oci-lite: where NLS_LANG comes from (variable, registry,
// default US7ASCII), what OCIEnvNlsCreate's charset argument does, OCIAttrGet of
// OCI_ATTR_ENV_CHARSET_ID and OCINlsCharSetIdToName.
#include <gtest/gtest.h>

#include "support/TestSystem.h"
#include "tests/oci-lite/OciLiteHarness.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// GET_SAL's first line holds "Grüße" (UTF-8 in the file).
const char kFirstLineOfGetSal[] =
    "SELECT TEXT FROM USER_SOURCE WHERE NAME = 'GET_SAL' AND LINE = 1";

// The id OCIAttrGet reports for an environment; 0 when the call fails.
ub2 CharsetIdOf(const OciSession& session)
{
    ub2 id = 0;
    ub4 size = 0;
    if (session.api.AttrGet(session.env, OCI_HTYPE_ENV, &id, &size, kAttrEnvCharsetId,
                            session.err) != OCI_SUCCESS) {
        return 0;
    }
    return size == sizeof id ? id : 0;
}

// HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE\NLS_LANG for as long as it lives.
class ScopedRegistryNlsLang {
public:
    explicit ScopedRegistryNlsLang(const char* value) { m_set = testsys::SetSystemNlsLang(value); }
    ~ScopedRegistryNlsLang() { testsys::SetSystemNlsLang(nullptr); }
    bool IsSet() const { return m_set; }

private:
    bool m_set = false;
};

struct NlsLangCase {
    const char* nlsLang;  // null: unset
    ub2 id;
    const char* firstLine;  // GET_SAL's first line as the client receives it
};

const NlsLangCase kNlsLangCases[] = {
    {nullptr, 1, "FUNCTION GET_SAL RETURN NUMBER IS -- Gr??e\n"},
    {"AMERICAN_AMERICA", 1, "FUNCTION GET_SAL RETURN NUMBER IS -- Gr??e\n"},
    {"AMERICAN_AMERICA.US7ASCII", 1, "FUNCTION GET_SAL RETURN NUMBER IS -- Gr??e\n"},
    {"AMERICAN_AMERICA.AL32UTF8", 873,
     "FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xC3\xBC\xC3\x9F"
     "e\n"},
    {".UTF8", 871,
     "FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xC3\xBC\xC3\x9F"
     "e\n"},
    {"german_germany.we8mswin1252", 178,
     "FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xFC\xDF"
     "e\n"},
    {"GERMAN_AUSTRIA.WE8ISO8859P15", 46,
     "FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xFC\xDF"
     "e\n"},
    {"POLISH_POLAND.EE8MSWIN1250", 170,
     "FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xFC\xDF"
     "e\n"},
    {"RUSSIAN_RUSSIA.CL8MSWIN1251", 171, "FUNCTION GET_SAL RETURN NUMBER IS -- Gr??e\n"},
};

TEST(OciLiteNls, NlsLangVariableChoosesTheClientCharacterSet)
{
    for (const NlsLangCase& test : kNlsLangCases) {
        const char* label = test.nlsLang ? test.nlsLang : "(unset)";
        ScopedNls nls(test.nlsLang);
        OciSession session;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << label;
        EXPECT_EQ(test.id, CharsetIdOf(session)) << label;
        EXPECT_EQ((Rows{{test.firstLine}}), session.Query(kFirstLineOfGetSal, {}, 1)) << label;
    }
}

TEST(OciLiteNls, Us7AsciiClientSendsQuestionMarksForWhatItCannotHold)
{
    ScopedNls nls(nullptr);
    OciSession session;
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    // The bind arrives as "Gr??e", which no line holds; the literal '?' of a 7-bit text does.
    EXPECT_EQ((Rows{{"0"}}), session.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE TEXT LIKE :1",
                                           {"%Gr\xFC\xDF"
                                            "e%"},
                                           1));
    EXPECT_EQ((Rows{{"0"}}), session.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE TEXT LIKE :1",
                                           {"%Gr\xC3\xBC\xC3\x9F"
                                            "e%"},
                                           1));
    EXPECT_EQ((Rows{{"1"}}),
              session.Query("SELECT COUNT(1) FROM USER_SOURCE WHERE TEXT LIKE :1", {"%Gr%e%"}, 1));
}

TEST(OciLiteNls, RegistryValueServesWhenTheVariableIsUnset)
{
    ScopedRegistryNlsLang registry("AMERICAN_AMERICA.WE8MSWIN1252");
    if (!registry.IsSet())
        GTEST_SKIP() << "this system's client reads NLS_LANG from the environment only";
    {
        ScopedNls unset(nullptr);
        OciSession session;
        EXPECT_EQ(178, CharsetIdOf(session));
    }
    {
        ScopedNls variable("AMERICAN_AMERICA.UTF8");
        OciSession session;
        EXPECT_EQ(871, CharsetIdOf(session));  // the variable comes first
    }
}

struct NlsCreateCase {
    const char* nlsLang;
    ub2 charset;  // OCIEnvNlsCreate's argument
    ub2 id;       // the environment's client set
};

const NlsCreateCase kNlsCreateCases[] = {
    {"AMERICAN_AMERICA.US7ASCII", 873, 873},   {"AMERICAN_AMERICA.US7ASCII", 871, 871},
    {"AMERICAN_AMERICA.WE8MSWIN1252", 0, 178}, {nullptr, 0, 1},
    {"AMERICAN_AMERICA.AL32UTF8", 178, 178},   {"AMERICAN_AMERICA.AL32UTF8", 832, 832},
};

TEST(OciLiteNls, EnvNlsCreateTakesTheCharsetItIsGivenElseNlsLangs)
{
    for (const NlsCreateCase& test : kNlsCreateCases) {
        std::string label = std::string(test.nlsLang ? test.nlsLang : "(unset)") + " / " +
                            std::to_string(test.charset);
        ScopedNls nls(test.nlsLang);
        OciSession session(EnvOptions{true, OCI_THREADED, test.charset});
        ASSERT_NE(nullptr, session.env) << label;
        EXPECT_EQ(test.id, CharsetIdOf(session)) << label;
        ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture")) << label;
        EXPECT_EQ(1u, session.Query(kFirstLineOfGetSal, {}, 1).size()) << label;
    }
}

TEST(OciLiteNls, Utf8EnvironmentGetsTheStoredBytesWhateverNlsLangSays)
{
    ScopedNls nls("AMERICAN_AMERICA.US7ASCII");
    OciSession session(EnvOptions{true, OCI_DEFAULT, 873});
    ASSERT_EQ(OCI_SUCCESS, session.Logon("SCOTT", "TIGER", "fixture"));
    EXPECT_EQ((Rows{{"FUNCTION GET_SAL RETURN NUMBER IS -- Gr\xC3\xBC\xC3\x9F"
                     "e\n"}}),
              session.Query(kFirstLineOfGetSal, {}, 1));
}

TEST(OciLiteNls, EnvNlsCreateRefusesAnUnknownCharsetId)
{
    const OciApi& api = OciApi::Get();
    int handles = api.LiveHandles();
    OCIEnv* env = reinterpret_cast<OCIEnv*>(&handles);  // must be overwritten
    EXPECT_EQ(OCI_ERROR, api.EnvNlsCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0,
                                          nullptr, 9999, 0));
    EXPECT_EQ(nullptr, env);
    EXPECT_EQ(handles, api.LiveHandles());
}

const struct {
    ub2 id;
    const char* name;
} kCharsetNames[] = {
    {1, "US7ASCII"},        {31, "WE8ISO8859P1"},   {32, "EE8ISO8859P2"},  {41, "TH8TISASCII"},
    {45, "VN8MSWIN1258"},   {46, "WE8ISO8859P15"},  {170, "EE8MSWIN1250"}, {171, "CL8MSWIN1251"},
    {174, "EL8MSWIN1253"},  {175, "IW8MSWIN1255"},  {177, "TR8MSWIN1254"}, {178, "WE8MSWIN1252"},
    {179, "BLT8MSWIN1257"}, {560, "AR8MSWIN1256"},  {832, "JA16SJIS"},     {846, "KO16MSWIN949"},
    {852, "ZHS16GBK"},      {867, "ZHT16MSWIN950"}, {871, "UTF8"},         {873, "AL32UTF8"},
};

TEST(OciLiteNls, CharSetIdToNameKnowsOraclesIds)
{
    OciSession session;
    for (const auto& charset : kCharsetNames) {
        OraText name[32] = "untouched";
        EXPECT_EQ(OCI_SUCCESS,
                  session.api.NlsCharSetIdToName(session.env, name, sizeof name, charset.id))
            << charset.id;
        EXPECT_STREQ(charset.name, reinterpret_cast<const char*>(name)) << charset.id;
        // The name is a set NLS_LANG accepts, under the same id.
        ScopedNls nls((std::string("AMERICAN_AMERICA.") + charset.name).c_str());
        OciSession named;
        EXPECT_EQ(charset.id, CharsetIdOf(named)) << charset.name;
    }
}

TEST(OciLiteNls, CharSetIdToNameRefusesUnknownIdsShortBuffersAndForeignHandles)
{
    OciSession session;
    OraText name[32];
    EXPECT_EQ(OCI_ERROR, session.api.NlsCharSetIdToName(session.env, name, sizeof name, 9999));
    EXPECT_EQ(OCI_ERROR, session.api.NlsCharSetIdToName(session.env, name, 8, 873));  // "AL32UTF8"
    EXPECT_EQ(OCI_SUCCESS, session.api.NlsCharSetIdToName(session.env, name, 9, 873));
    EXPECT_EQ(OCI_INVALID_HANDLE,
              session.api.NlsCharSetIdToName(session.err, name, sizeof name, 1));
    EXPECT_EQ(OCI_INVALID_HANDLE, session.api.NlsCharSetIdToName(nullptr, name, sizeof name, 1));
}

TEST(OciLiteNls, AttrGetRefusesAttributesItDoesNotHave)
{
    OciSession session;
    ub2 id = 0;
    EXPECT_EQ(OCI_ERROR, session.api.AttrGet(session.env, OCI_HTYPE_ENV, &id, nullptr,
                                             OCI_ATTR_PREFETCH_ROWS, session.err));
    EXPECT_EQ(24315, session.LastError().code);
    EXPECT_EQ(OCI_INVALID_HANDLE, session.api.AttrGet(session.err, OCI_HTYPE_ENV, &id, nullptr,
                                                      kAttrEnvCharsetId, session.err));
}

}  // namespace
