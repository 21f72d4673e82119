// FolderTrustTest.cpp
//
// What a folder export may touch. The manifest is anyone's input (it is kept under version
// control): a table of hostile entries, each run through a whole-schema run and a run over a
// named object, with every file outside the folder and every file inside that is not ours
// checked unchanged byte for byte. Then: file names compared as the file system compares them
// (case twins that appear and disappear, in whole and named runs), names too long for one file
// name, read-only files, and a folder under an object's file name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Text.h"
#include "qmexport/FolderIndex.h"
#include "qmexport/ObjectFileNames.h"
#include "tests/qmexport/FolderSinkRun.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

const char kIgnored[] = "Ignored in .qmexport-files: ";

// The manifest a clean whole-schema run over kSchema leaves.
std::string SchemaManifest()
{
    return Manifest::Format({L"FUNC_B.fnc", L"PKG_A.pks", L"PKG_A.pkb", L"PROC_C.prc"});
}

// A folder to export into, inside a root that holds files the export must never touch, with
// files of the user's inside: a subfolder, a folder and a link named like object files, and
// files that are not objects' files or not named as this program names them.
class HostileFolder {
public:
    HostileFolder() : m_root("trust")
    {
        m_strFolder = m_root / "export/";
        MakeFolder(m_strFolder);
        MakeFolder(m_strFolder + "sub");
        MakeFolder(m_strFolder + "DIR_OBJ.prc");
        const std::map<std::string, std::string> files = {
            {m_root / "outside.pks", "outside\n"},
            {m_root / "victim.txt", "victim\n"},
            {m_strFolder + "user.txt", "mine\n"},
            {m_strFolder + "%41BC.prc", "not ours: we would name ABC's file ABC.prc\n"},
            {m_strFolder + "X.prc", "the user's X\n"},
            {m_strFolder + "USER.PKS", "upper-case extension\n"},
            {m_strFolder + NativePath("sub/inner.pks"), "inner\n"},
            {m_strFolder + NativePath("DIR_OBJ.prc/keep.txt"), "keep\n"},
        };
        for (const auto& file : files)
            WriteFile(file.first, file.second);
        m_bLink = MakeLink(m_root / "victim.txt", m_strFolder + "LINK_OBJ.prc");
        m_untouched = files;
    }

    const std::string& Folder() const { return m_strFolder; }
    const TempFolder& Root() const { return m_root; }
    bool HasLink() const { return m_bLink; }

    void ExpectUntouched() const
    {
        for (const auto& file : m_untouched)
            EXPECT_EQ(ReadFile(file.first), file.second) << file.first;
        const std::vector<std::string> rootFiles = {"outside.pks", "victim.txt"};
        EXPECT_EQ(ListFiles(m_root.Path()), rootFiles);
        if (m_bLink && IsLink(m_strFolder + "LINK_OBJ.prc")) {
            EXPECT_EQ(ReadFile(m_strFolder + "LINK_OBJ.prc"), "victim\n");
        }
    }

private:
    TempFolder m_root;
    std::string m_strFolder;
    bool m_bLink = false;
    std::map<std::string, std::string> m_untouched;
};

struct HostileEntry {
    const char* pszTitle;
    // The entry; a root-relative entry gets the root's path in front (see bUnderRoot).
    std::string strEntry;
    bool bUnderRoot;
    // How the notice shows it; null: as it is.
    const char* pszShown;
};

const HostileEntry kHostile[] = {
    {"traversal, backslash", "..\\outside.pks", false, nullptr},
    {"traversal, slash", "../outside.pks", false, nullptr},
    {"traversal to any file", "..\\victim.txt", false, nullptr},
    {"traversal inside a name", "sub\\..\\..\\outside.pks", false, nullptr},
    {"subfolder, backslash", "sub\\inner.pks", false, nullptr},
    {"subfolder, slash", "sub/inner.pks", false, nullptr},
    {"absolute path", "outside.pks", true, nullptr},
    {"drive-relative path", "C:outside.pks", false, nullptr},
    {"rooted path", "\\outside.pks", false, nullptr},
    {"UNC path", "\\\\host\\share\\x.pks", false, nullptr},
    {"device path", "\\\\?\\C:\\outside.pks", false, nullptr},
    {"stream", "X.prc:evil", false, nullptr},
    {"default stream", "X.prc::$DATA", false, nullptr},
    {"device name", "CON.pks", false, nullptr},
    {"device name in lower case", "com1.prc", false, nullptr},
    {"port with a superscript digit", "COM\xC2\xB9.prc", false, nullptr},
    {"printer with a superscript digit", "lpt\xC2\xB3.pks", false, nullptr},
    {"bare device", "NUL", false, nullptr},
    {"this folder", ".", false, nullptr},
    {"the parent folder", "..", false, nullptr},
    {"not an object's file", "user.txt", false, nullptr},
    {"an escape this program would not make", "%41BC.prc", false, nullptr},
    {"an extension in upper case", "USER.PKS", false, nullptr},
    {"trailing dot", "X.prc.", false, nullptr},
    {"trailing space", "X.prc ", false, nullptr},
    {"wildcard", "*.prc", false, nullptr},
    {"a folder named like an object's file", "DIR_OBJ.prc", false, nullptr},
    {"leading NUL", std::string("\0PKG.pks", 8), false, "\\x00PKG.pks"},
    {"binary junk", "\xFF\xFE\x01\x02junk.prc", false, "\\xFF\\xFE\\x01\\x02junk.prc"},
    {"a very long line", std::string(100000, 'A') + ".prc", false, nullptr},
};

std::string EntryText(const HostileEntry& entry, const HostileFolder& folder)
{
    return entry.bUnderRoot ? folder.Root().Path() + entry.strEntry : entry.strEntry;
}

std::string ShownText(const HostileEntry& entry, const HostileFolder& folder)
{
    if (entry.pszShown != nullptr)
        return entry.pszShown;
    const std::string strEntry = EntryText(entry, folder);
    return strEntry.size() > 300 ? strEntry.substr(0, 300) + "..." : strEntry;
}

// Every entry is left alone, dropped from the manifest and reported once; install.sql runs
// only this run's files.
void ExpectIgnored(const SinkRun& run, const HostileEntry& entry, const HostileFolder& folder)
{
    EXPECT_TRUE(run.bCompleted) << run.failure.strText.str();
    EXPECT_EQ(run.notices, std::vector<std::string>{kIgnored + ShownText(entry, folder)});
    EXPECT_EQ(ReadFile(folder.Folder() + "install.sql"), kInstall);
    EXPECT_EQ(ReadFile(folder.Folder() + ".qmexport-files"), SchemaManifest());
    folder.ExpectUntouched();
}

// "~", the first 16 bytes of the SHA-256 of the name in hex, the extension (the digests of the
// test's names, worked out beforehand).
std::string ShortTail(const std::string& strName, const char* pszExtension)
{
    const std::map<std::string, std::string> kDigests = {
        {std::string(100, '?'), "E9DD186A4734C63E2ED57E838EF54615"},
        {std::string(100, 'q'), "8FD9856B4B5B1B9F8EF8304723FB2DE9"},
    };
    return "~" + kDigests.at(strName) + "." + pszExtension;
}

}  // namespace

TEST(FolderTrustTest, HostileManifestEntriesTouchNothingAndAreDropped)
{
    for (const HostileEntry& entry : kHostile) {
        SCOPED_TRACE(entry.pszTitle);
        HostileFolder folder;
        const std::string strManifest = SchemaManifest() + EntryText(entry, folder) + "\n";
        WriteFile(folder.Folder() + ".qmexport-files", strManifest);
        ExpectIgnored(RunSink(folder.Folder(), kSchema), entry, folder);

        // A run over one named object reads the same manifest and adds nothing of it to
        // install.sql.
        WriteFile(folder.Folder() + ".qmexport-files", strManifest);
        ExpectIgnored(RunSink(folder.Folder(), {kSchema[0]}, false), entry, folder);
    }
}

// A link in place of an object's file: a whole run over a schema without the object leaves
// what it leads to alone, and a run that writes the object replaces the link by a file.
TEST(FolderTrustTest, ALinkNamedLikeAnObjectsFileIsNeverFollowed)
{
    HostileFolder folder;
    if (!folder.HasLink())
        GTEST_SKIP() << "no file links here";
    WriteFile(folder.Folder() + ".qmexport-files", SchemaManifest() + "LINK_OBJ.prc\n");
    ASSERT_TRUE(RunSink(folder.Folder(), kSchema).bCompleted);
    folder.ExpectUntouched();

    // A link named like a temporary file of a killed run is removed as such, never followed.
    ASSERT_TRUE(MakeLink(folder.Root() / "victim.txt", folder.Folder() + ".qmexport-4242-1.tmp"));
    ASSERT_TRUE(RunSink(folder.Folder(), kSchema).bCompleted);
    folder.ExpectUntouched();

    ASSERT_TRUE(MakeLink(folder.Root() / "victim.txt", folder.Folder() + "LINK_OBJ.prc") ||
                FileExists(folder.Folder() + "LINK_OBJ.prc"));
    std::vector<Block> withLinkObject = kSchema;
    withLinkObject.push_back(
        {"LINK_OBJ", "PROCEDURE", "CREATE OR REPLACE PROCEDURE LINK_OBJ IS BEGIN NULL; END;\n/\n"});
    ASSERT_TRUE(RunSink(folder.Folder(), withLinkObject).bCompleted);
    EXPECT_EQ(ReadFile(folder.Folder() + "LINK_OBJ.prc"), withLinkObject.back().strText);
    EXPECT_FALSE(IsLink(folder.Folder() + "LINK_OBJ.prc"));
    folder.ExpectUntouched();
}

TEST(FolderTrustTest, AFolderUnderAnObjectsFileNameStopsTheRunAndIsNotRecorded)
{
    HostileFolder folder;
    std::vector<Block> blocks = kSchema;
    blocks.push_back(
        {"DIR_OBJ", "PROCEDURE", "CREATE OR REPLACE PROCEDURE DIR_OBJ IS BEGIN NULL; END;\n/\n"});
    const SinkRun run = RunSink(folder.Folder(), blocks);
    EXPECT_FALSE(run.bWritten);
    ASSERT_EQ(run.failure.details.size(), 1u) << run.failure.strText.str();
    EXPECT_NE(run.failure.details[0].Find("DIR_OBJ.prc"), -1) << run.failure.details[0].str();
    EXPECT_EQ(ReadFile(folder.Folder() + ".qmexport-files").find("DIR_OBJ"), std::string::npos);
    folder.ExpectUntouched();
}

// The file system takes "abc.prc" and "ABC.prc" for one file: whatever twins appear or go,
// each object ends with one file of its own holding its block, under exactly its name, and
// install.sql calls each once.
TEST(FolderTrustTest, CaseTwinsAppearingAndGoingKeepOneFileEach)
{
    TempFolder folder("twins_runs");
    const Block lower = {"abc", "PROCEDURE", "abc's block\n/\n"};
    const Block upper = {"ABC", "PROCEDURE", "ABC's block\n/\n"};
    struct Step {
        std::vector<Block> blocks;
        bool bWholeSchema;
        std::map<std::string, std::string> files;
        const char* pszInstall;
    };
    const Step kSteps[] = {
        {{lower}, true, {{"abc.prc", lower.strText}}, "@@abc.prc\n"},
        {{upper, lower},
         true,
         {{"ABC.prc", upper.strText}, {"%61%62%63.prc", lower.strText}},
         "@@ABC.prc\n@@%61%62%63.prc\n"},
        {{lower}, true, {{"abc.prc", lower.strText}}, "@@abc.prc\n"},
        {{upper}, true, {{"ABC.prc", upper.strText}}, "@@ABC.prc\n"},
        {{lower},
         false,
         {{"ABC.prc", upper.strText}, {"%61%62%63.prc", lower.strText}},
         "@@ABC.prc\n@@%61%62%63.prc\n"},
    };
    for (const Step& step : kSteps) {
        SCOPED_TRACE(testing::Message() << "step " << (&step - kSteps));
        const SinkRun run = RunSink(folder.Path(), step.blocks, step.bWholeSchema);
        ASSERT_TRUE(run.bCompleted) << run.failure.strText.str();
        std::vector<std::string> expectedFiles = {".qmexport-files", "install.sql"};
        for (const auto& file : step.files) {
            expectedFiles.push_back(file.first);
            EXPECT_EQ(ReadFile(folder / file.first), file.second) << file.first;
        }
        std::sort(expectedFiles.begin(), expectedFiles.end());
        EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
        EXPECT_EQ(ReadFile(folder / "install.sql"),
                  std::string("SET DEFINE OFF\n") + step.pszInstall);
    }
}

// Two runs over one named object each, abc then ABC: abc's block moves to its marked name
// instead of being overwritten by ABC's.
TEST(FolderTrustTest, NamedRunsForCaseTwinsKeepBothBlocks)
{
    TempFolder folder("twins_named");
    const Block lower = {"abc", "PROCEDURE", "abc's block\n/\n"};
    const Block upper = {"ABC", "PROCEDURE", "ABC's block\n/\n"};
    ASSERT_TRUE(RunSink(folder.Path(), {lower}, false).bCompleted);
    ASSERT_TRUE(RunSink(folder.Path(), {upper}, false).bCompleted);
    const std::vector<std::string> expectedFiles = {"%61%62%63.prc", ".qmexport-files", "ABC.prc",
                                                    "install.sql"};
    EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
    EXPECT_EQ(ReadFile(folder / "ABC.prc"), upper.strText);
    EXPECT_EQ(ReadFile(folder / "%61%62%63.prc"), lower.strText);
    EXPECT_EQ(ReadFile(folder / "install.sql"), "SET DEFINE OFF\n@@ABC.prc\n@@%61%62%63.prc\n");
}

// A manifest entry that differs from this run's file only in case names the same file: it is
// not stale, and the file just written stays.
TEST(FolderTrustTest, AManifestEntryInAnotherCaseIsTheRunsOwnFile)
{
    TempFolder folder("manifest_case");
    WriteFile(folder / ".qmexport-files", "proc_c.prc\npkg_a.pks\n");
    WriteFile(folder / "proc_c.prc", "old\n");
    const SinkRun run = RunSink(folder.Path(), kSchema);
    ASSERT_TRUE(run.bCompleted) << run.failure.strText.str();
    EXPECT_EQ(ReadFile(folder / "PROC_C.prc"), kSchema[3].strText);
    EXPECT_EQ(ReadFile(folder / "install.sql"), kInstall);
    EXPECT_EQ(ReadFile(folder / ".qmexport-files"), SchemaManifest());
    const std::vector<std::string> expectedFiles = {".qmexport-files", "FUNC_B.fnc", "PKG_A.pkb",
                                                    "PKG_A.pks",       "PROC_C.prc", "install.sql"};
    EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
}

// Names whose escaped file name passes 255 units: the start of the escaped name, "~", 32 hex
// digits of the SHA-256 of the stored name, the extension. Each lands in a file of its own, runs in
// install.sql, and is removed when its object is gone.
TEST(FolderTrustTest, TooLongNamesAreShortenedUniquelyAndStayOurs)
{
    TempFolder folder("long_names");
    const std::string strQuestions(100, '?');
    const std::string strLower(100, 'q');
    const std::string strUpper(100, 'Q');
    const std::vector<Block> blocks = {
        {strQuestions, "PROCEDURE", "questions\n/\n"},
        {strUpper, "PROCEDURE", "upper\n/\n"},
        {strLower, "PROCEDURE", "lower\n/\n"},
        {"Z_AFTER", "PROCEDURE", "after\n/\n"},
    };
    const SinkRun run = RunSink(folder.Path(), blocks);
    ASSERT_TRUE(run.bCompleted) << run.failure.strText.str();
    EXPECT_EQ(run.nWritten, 4);

    std::string strQuestionFile;
    for (int i = 0; i < 72; ++i)
        strQuestionFile += "%3F";
    strQuestionFile += ShortTail(strQuestions, "prc");
    std::string strLowerFile;
    for (int i = 0; i < 72; ++i)
        strLowerFile += "%71";
    strLowerFile += ShortTail(strLower, "prc");
    EXPECT_EQ(strQuestionFile.size(), 253u);
    EXPECT_EQ(ReadFile(folder / strQuestionFile), "questions\n/\n");
    EXPECT_EQ(ReadFile(folder / strLowerFile), "lower\n/\n");
    EXPECT_EQ(ReadFile(folder / (strUpper + ".prc")), "upper\n/\n");
    EXPECT_EQ(ReadFile(folder / "Z_AFTER.prc"), "after\n/\n");
    const std::string strInstall = ReadFile(folder / "install.sql");
    for (const std::string& strFile : {strQuestionFile, strLowerFile, strUpper + ".prc"})
        EXPECT_NE(strInstall.find("@@" + strFile + "\n"), std::string::npos) << strFile;

    // Re-run unchanged, then without the long names: their files go.
    EXPECT_EQ(RunSink(folder.Path(), blocks).nChanged, 0);
    ASSERT_TRUE(RunSink(folder.Path(), {blocks[3]}).bCompleted);
    const std::vector<std::string> expectedFiles = {".qmexport-files", "Z_AFTER.prc",
                                                    "install.sql"};
    EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
}

// As --file refuses a read-only target: a read-only object file whose content would change
// stops the run there, naming it (files written before stay); an unchanged one is left alone.
TEST(FolderTrustTest, AReadOnlyFileIsNeverChanged)
{
    TempFolder folder("read_only");
    ASSERT_TRUE(RunSink(folder.Path(), kSchema).bCompleted);
    ASSERT_TRUE(MakeReadOnly(folder / "PKG_A.pks"));

    const SinkRun unchanged = RunSink(folder.Path(), kSchema);
    EXPECT_TRUE(unchanged.bCompleted) << unchanged.failure.strText.str();

    std::vector<Block> changed = kSchema;
    changed[0].strText =
        "CREATE OR REPLACE FUNCTION FUNC_B RETURN NUMBER IS\nBEGIN RETURN 2; END;\n/\n";
    changed[1].strText = "CREATE OR REPLACE PACKAGE PKG_A IS\n  X NUMBER;\nEND;\n/\n";
    const SinkRun run = RunSink(folder.Path(), changed);
    EXPECT_FALSE(run.bWritten);
    EXPECT_EQ(run.nWritten, 1);
    EXPECT_EQ(run.failure.strText.str(), "Error while write specified file.");
    EXPECT_EQ(run.failure.details,
              std::vector<CString>{CString((folder / "PKG_A.pks").c_str()) + ": " +
                                   SystemErrorText(SystemErrors::kAccessDenied)});
    EXPECT_EQ(ReadFile(folder / "PKG_A.pks"), kSchema[1].strText);
    EXPECT_EQ(ReadFile(folder / "FUNC_B.fnc"), changed[0].strText);
    EXPECT_TRUE(IsReadOnly(folder / "PKG_A.pks"));
}

// A file name within 255 UTF-16 units but over 255 bytes of UTF-8 (what Wine's host and
// Linux's file systems hold) is shortened like a long one: the run completes and the object's
// file is there under exactly the name FileName gives, the same on every system.
TEST(FolderTrustTest, AWriteCountsOnlyUnderItsExactName)
{
    TempFolder folder("exact_name");
    std::string strLower(70, 'a');
    for (int i = 0; i < 19; ++i)
        strLower += "\xE4\xB8\xAD";  // U+4E2D, three bytes in UTF-8
    std::string strUpper = std::string(70, 'A') + strLower.substr(70);
    const std::vector<Block> blocks = {{strUpper, "PROCEDURE", "upper\n/\n"},
                                       {strLower, "PROCEDURE", "lower\n/\n"}};
    // 70 escapes and 19 characters kept: 233 units, 271 bytes.
    const std::wstring strLowerFile =
        ObjectFileNames::FileName(strLower.c_str(), "PROCEDURE", true, 932);
    EXPECT_LE(FromWide(strLowerFile, kUtf8CodePage).size(), ObjectFileNames::kMaxFileNameBytes);
    EXPECT_NE(strLowerFile.find(L'~'), std::wstring::npos);

    // Where the code page holds the Chinese characters, so that they stay in the name.
    const SinkRun run = RunSink(folder.Path(), blocks, true, true, {}, {}, 932);
    EXPECT_TRUE(run.bCompleted) << run.failure.strText.str();
    const std::vector<std::string> files = ListFiles(folder.Path());
    EXPECT_NE(std::find(files.begin(), files.end(), Utf8(strLowerFile)), files.end())
        << testing::PrintToString(files);
}
