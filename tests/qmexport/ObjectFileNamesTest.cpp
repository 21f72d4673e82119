// ObjectFileNamesTest.cpp
//
// File names of a folder export: the escape rules one by one, their reversal, that a set of
// awkward names gets files that stay apart on a case-insensitive file system, that a file name
// depends on nothing but the object (and its case twins of the same type), and that
// install.sql's code page holds every file name exactly.
#include <gtest/gtest.h>

#include <iterator>

#include <algorithm>
#include <set>
#include <string>

#include "platform/Text.h"
#include "tests/qmexport/QmexportFixture.h"
#include "qmexport/ObjectFileNames.h"

namespace {

struct NameCase {
    const char* pszName;
    const char* pszType;
    bool bMarkCase;
    const wchar_t* pszFile;
};

const NameCase kNames[] = {
    {"PKG_A", "PACKAGE", false, L"PKG_A.pks"},
    {"PKG_A", "PACKAGE BODY", false, L"PKG_A.pkb"},
    {"PROC$1#", "PROCEDURE", false, L"PROC$1#.prc"},
    {"FUNC_B", "FUNCTION", false, L"FUNC_B.fnc"},
    {"Mixed Case", "PROCEDURE", false, L"Mixed Case.prc"},
    {"A/B", "PROCEDURE", false, L"A%2FB.prc"},
    {"A\\B:C*D?E\"F<G>H|I", "FUNCTION", false, L"A%5CB%3AC%2AD%3FE%22F%3CG%3EH%7CI.fnc"},
    {"TAB\tX", "PROCEDURE", false, L"TAB%09X.prc"},
    {"100%", "FUNCTION", false, L"100%25.fnc"},
    {"%41", "FUNCTION", false, L"%2541.fnc"},
    {"TRAIL.", "PROCEDURE", false, L"TRAIL%2E.prc"},
    {"TRAIL ", "PROCEDURE", false, L"TRAIL%20.prc"},
    {"A..", "PROCEDURE", false, L"A.%2E.prc"},
    {"MID.DOT", "PROCEDURE", false, L"MID.DOT.prc"},
    {"CON", "PACKAGE", false, L"%43ON.pks"},
    {"con", "PACKAGE", false, L"%63on.pks"},
    {"NUL", "PROCEDURE", false, L"%4EUL.prc"},
    {"COM1", "FUNCTION", false, L"%43OM1.fnc"},
    {"LPT9", "FUNCTION", false, L"%4CPT9.fnc"},
    {"COM\xC2\xB9", "PROCEDURE", false, L"%43OM\u00B9.prc"},
    {"lpt\xC2\xB2", "PROCEDURE", false, L"%6Cpt\u00B2.prc"},
    {"LPT\xC2\xB3.X", "FUNCTION", false, L"%4CPT\u00B3.X.fnc"},
    {"AUX.X", "FUNCTION", false, L"%41UX.X.fnc"},
    {"CONSOLE", "FUNCTION", false, L"CONSOLE.fnc"},
    {"COM10", "FUNCTION", false, L"COM10.fnc"},
    {"abc", "PROCEDURE", true, L"%61%62%63.prc"},
    {"Abc", "PROCEDURE", true, L"A%62%63.prc"},
    {"ABC", "PROCEDURE", true, L"ABC.prc"},
    {"a_1", "PROCEDURE", true, L"%61_1.prc"},
    {"con", "PACKAGE", true, L"%63%6F%6E.pks"},
    {"MVIEW_X", "MATERIALIZED VIEW", false, L""},
    {"EMP_V", "VIEW", false, L"EMP_V.vw"},
    // Names are UTF-8: files are named by their characters, escapes take the UTF-8 bytes.
    {"\xC3\x84PFEL", "PROCEDURE", false, L"\u00c4PFEL.prc"},
    {"\xC3\xA4pfel", "PROCEDURE", true, L"%C3%A4%70%66%65%6C.prc"},
    {"\xC3\x84pfel", "TYPE", true, L"\u00c4%70%66%65%6C.tps"},
    // A name's own "~" is escaped: only a shortened name holds one.
    {"A~1", "PROCEDURE", false, L"A%7E1.prc"},
    {"PROCED~1", "PROCEDURE", false, L"PROCED%7E1.prc"},
};

// Where the system's code page is Windows-1252 (Windows only: elsewhere names are judged
// against UTF-8, see kUtf8Names).
const NameCase kWesternNames[] = {
    // Windows-1252 holds neither Chinese nor the emoji: they are escaped like forbidden ones.
    {"\xE4\xB8\xAD/\xE6\x96\x87", "TRIGGER", false, L"%E4%B8%AD%2F%E6%96%87.trg"},
    {"\xF0\x9F\x98\x80.", "FUNCTION", false, L"%F0%9F%98%80%2E.fnc"},
    // Best fit would make these I and O: escaped, so install.sql names them exactly.
    {"\xC4\xB0"
     "D",
     "PROCEDURE", false, L"%C4%B0D.prc"},
    {"\xCE\xA9mega", "FUNCTION", false, L"%CE%A9mega.fnc"},
};

// The same names where the system's code page is Japanese (932): Chinese characters stay,
// letters 932 lacks are escaped.
const NameCase kJapaneseNames[] = {
    {"\xE4\xB8\xAD/\xE6\x96\x87", "TRIGGER", false, L"\u4e2d%2F\u6587.trg"},
    {"\xE6\x97\xA5\xE6\x9C\xAC", "PROCEDURE", false, L"\u65e5\u672c.prc"},
    {"\xC3\x84PFEL", "PROCEDURE", false, L"%C3%84PFEL.prc"},
    {"\xF0\x9F\x98\x80", "FUNCTION", false, L"%F0%9F%98%80.fnc"},
};

// Under --ascii-names every character beyond ASCII is escaped, whatever the system; UTF-8 (the
// code page on Linux) holds every character, a pair of surrogates included.
const NameCase kAsciiNames[] = {
    {"\xC3\x84PFEL", "PROCEDURE", false, L"%C3%84PFEL.prc"},
    {"\xE6\x97\xA5\xE6\x9C\xAC", "PROCEDURE", false, L"%E6%97%A5%E6%9C%AC.prc"},
    {"PLAIN_Name", "FUNCTION", false, L"PLAIN_Name.fnc"},
};
const NameCase kUtf8Names[] = {
    {"\xC3\x84PFEL", "PROCEDURE", false, L"\u00c4PFEL.prc"},
    {"\xE4\xB8\xAD/\xE6\x96\x87", "TRIGGER", false, L"\u4e2d%2F\u6587.trg"},
    {"\xF0\x9F\x98\x80", "FUNCTION", false, L"\xD83D\xDE00.fnc"},
};

const unsigned kWestern = 1252;
const unsigned kJapanese = 932;

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return QmexportTest::SameFileName(a, b);
}

}  // namespace

TEST(ObjectFileNamesTest, EscapesOnlyWhatAFolderCannotHold)
{
    for (const NameCase& entry : kNames) {
        SCOPED_TRACE(entry.pszName);
        EXPECT_EQ(
            ObjectFileNames::FileName(entry.pszName, entry.pszType, entry.bMarkCase, kWestern),
            entry.pszFile);
    }
    // The code pages of Windows' desks are Windows' alone.
    if (!QmexportTest::kOnWindows)
        return;
    const auto roundTrip = [](const NameCase& entry, unsigned nCodePage) {
        SCOPED_TRACE(entry.pszName);
        EXPECT_EQ(
            ObjectFileNames::FileName(entry.pszName, entry.pszType, entry.bMarkCase, nCodePage),
            entry.pszFile);
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(entry.pszFile, strName, strType, nCodePage));
        EXPECT_EQ(strName.str(), entry.pszName);
    };
    for (const NameCase& entry : kWesternNames)
        roundTrip(entry, kWestern);
    for (const NameCase& entry : kJapaneseNames)
        roundTrip(entry, kJapanese);
}

TEST(ObjectFileNamesTest, AsciiAndUtf8NamesEscapeAlikeEverywhere)
{
    const struct {
        const NameCase* pCases;
        size_t nCases;
        unsigned nCodePage;
    } tables[] = {{kAsciiNames, std::size(kAsciiNames), kAsciiCodePage},
                  {kUtf8Names, std::size(kUtf8Names), kUtf8CodePage}};
    for (const auto& table : tables) {
        for (size_t i = 0; i < table.nCases; ++i) {
            const NameCase& entry = table.pCases[i];
            SCOPED_TRACE(entry.pszName);
            EXPECT_EQ(ObjectFileNames::FileName(entry.pszName, entry.pszType, entry.bMarkCase,
                                                table.nCodePage),
                      entry.pszFile);
            CString strName;
            CString strType;
            ASSERT_TRUE(
                ObjectFileNames::ObjectOf(entry.pszFile, strName, strType, table.nCodePage));
            EXPECT_EQ(strName.str(), entry.pszName);
        }
    }
    // A folder written under one choice is still this program's under the other.
    EXPECT_TRUE(ObjectFileNames::IsOwnFileName(L"%C3%84PFEL.prc", nullptr, kWestern));
    EXPECT_TRUE(ObjectFileNames::IsOwnFileName(L"\u00c4PFEL.prc", nullptr, kAsciiCodePage));
}

TEST(ObjectFileNamesTest, EveryFileNameLeadsBackToItsObject)
{
    for (const NameCase& entry : kNames) {
        if (*entry.pszFile == L'\0')
            continue;
        SCOPED_TRACE(entry.pszName);
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(entry.pszFile, strName, strType, kWestern));
        EXPECT_EQ(strName.str(), entry.pszName);
        EXPECT_EQ(strType.str(), entry.pszType);
    }
}

TEST(ObjectFileNamesTest, OtherFilesAreNoObjectsFiles)
{
    for (const wchar_t* pszFile : {L"install.sql", L".qmexport-files", L"notes.txt", L"PKG.pks.bak",
                                   L"%ZZ.prc", L"A%4.prc", L".pks", L"README"}) {
        CString strName;
        CString strType;
        EXPECT_FALSE(ObjectFileNames::ObjectOf(pszFile, strName, strType)) << pszFile;
    }
}

TEST(ObjectFileNamesTest, ExtensionsAndTypesMatchBothWays)
{
    const std::pair<const char*, const wchar_t*> kTypes[] = {
        {"PACKAGE", L"pks"}, {"PACKAGE BODY", L"pkb"}, {"PROCEDURE", L"prc"}, {"FUNCTION", L"fnc"},
        {"TYPE", L"tps"},    {"TYPE BODY", L"tpb"},    {"TRIGGER", L"trg"},   {"VIEW", L"vw"}};
    for (const auto& type : kTypes) {
        EXPECT_EQ(ObjectFileNames::ExtensionOf(type.first), type.second);
        EXPECT_EQ(ObjectFileNames::TypeOf(type.second).str(), type.first);
    }
    EXPECT_EQ(ObjectFileNames::TypeOf(L"PKS").str(), "PACKAGE");
    EXPECT_EQ(ObjectFileNames::TypeOf(L"Trg").str(), "TRIGGER");
    for (const char* pszType : {"MATERIALIZED VIEW", "TABLE", "JAVA SOURCE", "type", "view", ""})
        EXPECT_TRUE(ObjectFileNames::ExtensionOf(pszType).empty()) << pszType;
}

TEST(CaseTwinsTest, OnlyNamesThatDifferInCaseAloneAreTwins)
{
    CaseTwins twins;
    for (const char* pszName : {"abc", "ABC", "Abc", "Solo", "PKG_A", "pkg_b", "PKG_B2"})
        twins.Add(pszName, "PROCEDURE");
    twins.Add("abc", "PROCEDURE");  // told twice: no twin of itself
    // Another type's files have another extension: a type ABC2 beside a procedure abc2 is no
    // twin.
    twins.Add("ABC2", "TYPE");
    twins.Add("abc2", "PROCEDURE");
    const std::pair<const char*, bool> kExpected[] = {
        {"abc", true},    {"ABC", true}, {"Abc", true},   {"Solo", false}, {"PKG_A", false},
        {"pkg_b", false}, {"aBC", true}, {"none", false}, {"abc2", false}};
    for (const auto& entry : kExpected)
        EXPECT_EQ(twins.HasTwin(entry.first, "PROCEDURE"), entry.second) << entry.first;
    EXPECT_FALSE(twins.HasTwin("ABC2", "TYPE"));
    EXPECT_FALSE(twins.HasTwin("abc", "FUNCTION"));
}

// A set of names that would clash on a case-insensitive file system as they are: each gets
// a file of its own, whatever order they come in.
TEST(CaseTwinsTest, TwinsAndDevicesKeepFilesOfTheirOwn)
{
    const char* const kSet[] = {"abc", "ABC", "Abc",  "aBc",  "con",      "CON",     "Con",
                                "x.",  "X.",  "x%2E", "X%2E", "\xC3\xA4", "\xC3\x84"};
    FolderNaming naming(kWestern);
    for (const char* pszName : kSet)
        naming.Add(pszName, "PROCEDURE");
    std::vector<std::wstring> files;
    for (const char* pszName : kSet)
        files.push_back(naming.FileOf(pszName, "PROCEDURE"));
    for (size_t i = 0; i < files.size(); ++i) {
        for (size_t j = i + 1; j < files.size(); ++j)
            EXPECT_FALSE(SameIgnoringCase(files[i], files[j])) << kSet[i] << " and " << kSet[j];
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(files[i], strName, strType, kWestern));
        EXPECT_EQ(strName.str(), kSet[i]);
    }
}

// Names that shorten alike (the same long start, a name spelled like a shortened one, the two
// names an FNV-1a 32 collision of earlier versions gave one file) keep files of their own, in
// either order, and every shortened name is one of ours.
TEST(ObjectFileNamesTest, ShortenedNamesNeverMeet)
{
    const std::string strLong(242, 'A');
    const std::string strShortLike =
        strLong + "~" + std::string("4826896A");  // spelled like a shortened name of old
    const std::vector<std::string> kSet = {strLong + "B",
                                           strLong + "C",
                                           strShortLike,
                                           strLong + std::string(20, 'Q'),
                                           strLong + "~",
                                           std::string(120, '?') + "1",
                                           std::string(120, '?') + "2"};
    std::vector<std::wstring> files;
    for (const std::string& strName : kSet) {
        const std::wstring strFile =
            ObjectFileNames::FileName(strName.c_str(), "PROCEDURE", false, kWestern);
        EXPECT_LE(strFile.size(), ObjectFileNames::kMaxFileName);
        ObjectFileNames::ParsedFileName parsed;
        ASSERT_TRUE(ObjectFileNames::IsOwnFileName(strFile, &parsed, kWestern)) << strName;
        EXPECT_EQ(parsed.strType.str(), "PROCEDURE");
        for (const std::wstring& strOther : files)
            EXPECT_FALSE(SameIgnoringCase(strFile, strOther)) << strName;
        files.push_back(strFile);
    }
    // The literal "~" of a name is never the shortened name's mark.
    const std::wstring strOwn =
        ObjectFileNames::FileName(strShortLike.c_str(), "PROCEDURE", false, kWestern);
    EXPECT_EQ(strOwn.find(L"~4826896A"), std::wstring::npos);
}

// A name kept as its own characters may fit 255 units and still pass 255 bytes of UTF-8 (what
// Linux's file systems take): it is shortened by the bytes, on every system alike, and the file
// an earlier version named by units alone is still known as the object's.
TEST(ObjectFileNamesTest, NamesAreKeptWithin255BytesOfUtf8)
{
    std::string strCjk;
    for (int i = 0; i < 100; ++i)
        strCjk += "\xE6\x97\xA5";  // 100 characters, 300 bytes
    std::string strEmoji;
    for (int i = 0; i < 63; ++i)
        strEmoji += "\xF0\x9F\x98\x80";  // 126 units, 252 bytes
    const struct {
        std::string strName;
        bool bShortened;
    } kRows[] = {{strCjk, true},
                 {strCjk.substr(0, 3 * 83), false},  // 249 bytes with ".prc": 253
                 {strCjk.substr(0, 3 * 84), true},   // 256
                 {strEmoji, true},
                 {strEmoji.substr(0, 4 * 62), false}};
    std::vector<std::wstring> files;
    for (const auto& row : kRows) {
        const std::wstring strFile =
            ObjectFileNames::FileName(row.strName.c_str(), "PROCEDURE", false, kUtf8CodePage);
        const std::string strBytes = FromWide(strFile, kUtf8CodePage);
        EXPECT_LE(strFile.size(), ObjectFileNames::kMaxFileName);
        EXPECT_LE(strBytes.size(), ObjectFileNames::kMaxFileNameBytes);
        ObjectFileNames::ParsedFileName parsed;
        ASSERT_TRUE(ObjectFileNames::IsOwnFileName(strFile, &parsed, kUtf8CodePage));
        EXPECT_EQ(parsed.bShortened, row.bShortened) << strBytes;
        // A shortened name keeps as much of the start as fits, whole characters only.
        EXPECT_EQ(row.strName.compare(0, parsed.strName.str().size(), parsed.strName.str()), 0);
        if (row.bShortened)
            EXPECT_GT(strBytes.size() + 4, ObjectFileNames::kMaxFileNameBytes) << strBytes;
        for (const std::wstring& strOther : files)
            EXPECT_FALSE(SameIgnoringCase(strFile, strOther)) << strBytes;
        files.push_back(strFile);

        // The name by units alone, as written before: known, and the object's.
        const std::wstring strUnitsOnly = ToWide(row.strName, kUtf8CodePage) + L".prc";
        const std::vector<std::wstring> formers =
            ObjectFileNames::FormerFileNames(row.strName.c_str(), "PROCEDURE", kUtf8CodePage);
        EXPECT_NE(std::find(formers.begin(), formers.end(), strUnitsOnly), formers.end());
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(strUnitsOnly, strName, strType, kUtf8CodePage));
        EXPECT_EQ(strName.str(), row.strName);
    }
}

// A file name depends on the object and whether it has a case twin of its type: the same in
// every run, and the names earlier runs may have given it are known, so a run can remove them.
TEST(ObjectFileNamesTest, FormerNamesIncludeTheOtherMarkingAndEarlierRules)
{
    const std::vector<std::wstring> formers =
        ObjectFileNames::FormerFileNames("abc~x", "PROCEDURE", kWestern);
    for (const wchar_t* pszFile : {L"abc%7Ex.prc", L"%61%62%63%7E%78.prc", L"abc~x.prc"}) {
        EXPECT_NE(std::find(formers.begin(), formers.end(), pszFile), formers.end()) << pszFile;
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(pszFile, strName, strType, kWestern));
        EXPECT_EQ(strName.str(), "abc~x");
    }
    // A file written where the code page held the character is still recognised.
    CString strName;
    CString strType;
    EXPECT_TRUE(ObjectFileNames::ObjectOf(L"\u65e5.prc", strName, strType, kWestern));
    EXPECT_EQ(strName.str(), "\xE6\x97\xA5");
}
