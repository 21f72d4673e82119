// FolderIndexTest.cpp
//
// The manifest's text both ways and install.sql's order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmexport/FolderIndex.h"

TEST(ManifestTest, FormatThenParseGivesTheSameFiles)
{
    const FileNameSet files = {L"PKG_A.pks", L"A%2FB.prc", L"Mixed Case.fnc", L"\u00c4PFEL.prc"};
    const std::string strText = Manifest::Format(files);
    EXPECT_EQ(strText[0], '#');
    FileNameSet parsed;
    for (const std::string& strEntry : Manifest::Parse(strText)) {
        std::wstring strFile;
        EXPECT_TRUE(Manifest::FileNameOf(strEntry, strFile)) << strEntry;
        parsed.insert(strFile);
    }
    EXPECT_EQ(std::vector<std::wstring>(parsed.begin(), parsed.end()),
              std::vector<std::wstring>(files.begin(), files.end()));
    EXPECT_NE(strText.find("\xC3\x84PFEL.prc\n"), std::string::npos) << "UTF-8 on disk";
}

TEST(ManifestTest, ParseSkipsCommentsBlankLinesAndACutLastLine)
{
    const std::pair<const char*, std::vector<std::string>> kCases[] = {
        {"", {}},
        {"# header\n", {}},
        {"A.prc\nB.pks\n", {"A.prc", "B.pks"}},
        {"A.prc\r\n\r\nB.pks\r\n", {"A.prc", "B.pks"}},
        {"A.prc\nB.pk", {"A.prc"}},
        {"# x\nA.prc\n#B.pks\n", {"A.prc"}},
    };
    for (const auto& entry : kCases)
        EXPECT_EQ(Manifest::Parse(entry.first), entry.second) << entry.first;
}

TEST(InstallScriptTest, TypesSpecificationsFunctionsProceduresBodiesThenTriggersEachByName)
{
    const FileNameSet files = {L"Z_PKG.pkb",   L"Z_PKG.pks",   L"A_PKG.pkb",     L"A_PKG.pks",
                               L"B_PROC.prc",  L"A_PROC.prc",  L"Y_FUNC.fnc",    L"C_FUNC.fnc",
                               L"install.sql", L"notes.txt",   L"%61%62%63.prc", L"ABC.prc",
                               L"My Proc.prc", L"T_AUDIT.trg", L"A_TRG.trg",     L"Z_TYPE.tps",
                               L"B_TYPE.tps",  L"Z_TYPE.tpb",  L"B_TYPE.tpb",    L"M_PKG.pkb",
                               L"M_PKG.pks"};
    EXPECT_EQ(InstallScript::Text(files), "SET DEFINE OFF\n"
                                          "@@B_TYPE.tps\n"
                                          "@@Z_TYPE.tps\n"
                                          "@@A_PKG.pks\n"
                                          "@@M_PKG.pks\n"
                                          "@@Z_PKG.pks\n"
                                          "@@C_FUNC.fnc\n"
                                          "@@Y_FUNC.fnc\n"
                                          "@@ABC.prc\n"
                                          "@@A_PROC.prc\n"
                                          "@@B_PROC.prc\n"
                                          "@@\"My Proc.prc\"\n"
                                          "@@%61%62%63.prc\n"
                                          "@@A_PKG.pkb\n"
                                          "@@B_TYPE.tpb\n"
                                          "@@M_PKG.pkb\n"
                                          "@@Z_PKG.pkb\n"
                                          "@@Z_TYPE.tpb\n"
                                          "@@A_TRG.trg\n"
                                          "@@T_AUDIT.trg\n");
}

// SQL*Plus would otherwise ask for a value for every "&" in the source.
TEST(InstallScriptTest, NoObjectsOnlyTurnsSubstitutionOff)
{
    EXPECT_EQ(InstallScript::Text({}), "SET DEFINE OFF\n");
    EXPECT_EQ(InstallScript::Text({L"install.sql", L".qmexport-files"}), "SET DEFINE OFF\n");
}

// Entries are bytes anyone may have written: only UTF-8 text names a file, and a message
// shows an entry without control characters and not at any length.
TEST(ManifestTest, OnlyUtf8EntriesNameFilesAndEntriesAreShownSafely)
{
    std::wstring strFile;
    EXPECT_TRUE(Manifest::FileNameOf("\xC3\x84PFEL.prc", strFile));
    EXPECT_EQ(strFile, L"\u00c4PFEL.prc");
    for (const char* pszEntry : {"\xFF\xFE.prc", "A\xC3.prc", "\xED\xA0\x80.prc"})
        EXPECT_FALSE(Manifest::FileNameOf(pszEntry, strFile)) << pszEntry;

    const std::pair<std::string, std::string> kShown[] = {
        {"..\\victim.txt", "..\\victim.txt"},
        {"\xC3\x84PFEL.prc", "\xC3\x84PFEL.prc"},
        {std::string("\0A\tB\x1B.prc", 9), "\\x00A\\x09B\\x1B.prc"},
        {"\xFF\xC3\x84", "\\xFF\\xC3\\x84"},
        {std::string(100000, 'x'), std::string(300, 'x') + "..."},
    };
    for (const auto& entry : kShown)
        EXPECT_EQ(Manifest::Shown(entry.first), entry.second);
}
