// ObjectFileNamesTest.cpp
//
// File names of a folder export: the escape rules one by one, their reversal, and that a set
// of awkward names gets files that stay apart on a case-insensitive file system.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

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
    {"AUX.X", "FUNCTION", false, L"%41UX.X.fnc"},
    {"CONSOLE", "FUNCTION", false, L"CONSOLE.fnc"},
    {"COM10", "FUNCTION", false, L"COM10.fnc"},
    {"abc", "PROCEDURE", true, L"%61%62%63.prc"},
    {"Abc", "PROCEDURE", true, L"A%62%63.prc"},
    {"ABC", "PROCEDURE", true, L"ABC.prc"},
    {"a_1", "PROCEDURE", true, L"%61_1.prc"},
    {"con", "PACKAGE", true, L"%63%6F%6E.pks"},
    {"VIEW_X", "VIEW", false, L""},
    // Names are UTF-8: files are named by their characters, escapes take the UTF-8 bytes.
    {"\xC3\x84PFEL", "PROCEDURE", false, L"\u00c4PFEL.prc"},
    {"\xC3\xA4pfel", "PROCEDURE", true, L"%C3%A4%70%66%65%6C.prc"},
    {"\xC3\x84pfel", "TYPE", true, L"\u00c4%70%66%65%6C.tps"},
    {"\xE4\xB8\xAD/\xE6\x96\x87", "TRIGGER", false, L"\u4e2d%2F\u6587.trg"},
    {"\xF0\x9F\x98\x80.", "FUNCTION", false, L"\U0001F600%2E.fnc"},
};

bool SameIgnoringCase(const std::wstring& a, const std::wstring& b)
{
    return ::CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

TEST(ObjectFileNamesTest, EscapesOnlyWhatAFolderCannotHold)
{
    for (const NameCase& entry : kNames) {
        SCOPED_TRACE(entry.pszName);
        EXPECT_EQ(ObjectFileNames::FileName(entry.pszName, entry.pszType, entry.bMarkCase),
                  entry.pszFile);
    }
}

TEST(ObjectFileNamesTest, EveryFileNameLeadsBackToItsObject)
{
    for (const NameCase& entry : kNames) {
        if (*entry.pszFile == L'\0')
            continue;
        SCOPED_TRACE(entry.pszName);
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(entry.pszFile, strName, strType));
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
        {"TYPE", L"tps"},    {"TYPE BODY", L"tpb"},    {"TRIGGER", L"trg"}};
    for (const auto& type : kTypes) {
        EXPECT_EQ(ObjectFileNames::ExtensionOf(type.first), type.second);
        EXPECT_EQ(ObjectFileNames::TypeOf(type.second).str(), type.first);
    }
    EXPECT_EQ(ObjectFileNames::TypeOf(L"PKS").str(), "PACKAGE");
    EXPECT_EQ(ObjectFileNames::TypeOf(L"Trg").str(), "TRIGGER");
    for (const char* pszType : {"VIEW", "TABLE", "JAVA SOURCE", "type", ""})
        EXPECT_TRUE(ObjectFileNames::ExtensionOf(pszType).empty()) << pszType;
}

TEST(CaseTwinsTest, OnlyNamesThatDifferInCaseAloneAreTwins)
{
    CaseTwins twins;
    for (const char* pszName : {"abc", "ABC", "Abc", "Solo", "PKG_A", "pkg_b", "PKG_B2"})
        twins.Add(pszName);
    twins.Add("abc");  // a package and its body: the same name twice is no twin
    const std::pair<const char*, bool> kExpected[] = {
        {"abc", true},    {"ABC", true},    {"Abc", true}, {"Solo", false},
        {"PKG_A", false}, {"pkg_b", false}, {"aBC", true}, {"none", false}};
    for (const auto& entry : kExpected)
        EXPECT_EQ(twins.HasTwin(entry.first), entry.second) << entry.first;
}

// A set of names that would clash on a case-insensitive file system as they are: each gets
// a file of its own, whatever order they come in.
TEST(CaseTwinsTest, TwinsAndDevicesKeepFilesOfTheirOwn)
{
    const char* const kSet[] = {"abc", "ABC", "Abc",  "aBc",  "con",      "CON",     "Con",
                                "x.",  "X.",  "x%2E", "X%2E", "\xC3\xA4", "\xC3\x84"};
    CaseTwins twins;
    for (const char* pszName : kSet)
        twins.Add(pszName);
    std::vector<std::wstring> files;
    for (const char* pszName : kSet)
        files.push_back(ObjectFileNames::FileName(pszName, "PROCEDURE", twins.HasTwin(pszName)));
    for (size_t i = 0; i < files.size(); ++i) {
        for (size_t j = i + 1; j < files.size(); ++j)
            EXPECT_FALSE(SameIgnoringCase(files[i], files[j])) << kSet[i] << " and " << kSet[j];
        CString strName;
        CString strType;
        ASSERT_TRUE(ObjectFileNames::ObjectOf(files[i], strName, strType));
        EXPECT_EQ(strName.str(), kSet[i]);
    }
}
