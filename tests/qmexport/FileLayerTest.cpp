// FileLayerTest.cpp
//
// The folder's file layer on this system, one table: each row sets a folder up (plain files,
// another case of a name, a file without write permission, links to a file or a folder
// outside, a folder), makes one change through FolderFiles (replace or remove), and reads back
// the change's outcome and what the folder and the outside hold afterwards. Every row runs
// with the folder read once beforehand (as an export does) and without. Links are made with
// the system's own call; where it cannot make them the link rows are skipped, saying so.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "framework/Text.h"
#include "platform/Files.h"
#include "qmexport/FolderFiles.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& strBytes)
{
    std::ofstream(path, std::ios::binary) << strBytes;
}

// A folder of its own for one case (and a sibling "outside" for link targets), gone afterwards.
class Scratch {
public:
    explicit Scratch(const std::string& strName)
    {
        m_root = fs::temp_directory_path() /
                 ("qm-file-layer-" + std::to_string(Files::ProcessId()) + "-" + strName);
        fs::remove_all(m_root);
        fs::create_directories(Folder());
        fs::create_directories(Outside());
    }
    ~Scratch()
    {
        std::error_code error;
        // Write permission back first: a folder holding a read-only file must still go.
        for (const auto& entry : fs::recursive_directory_iterator(m_root, error)) {
            if (!entry.is_symlink())
                fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, error);
        }
        fs::remove_all(m_root, error);
    }
    fs::path Folder() const { return m_root / "folder"; }
    fs::path Outside() const { return m_root / "outside"; }
    std::wstring FolderW() const { return Folder().wstring(); }

    // The names the folder holds, sorted.
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(Folder()))
            names.insert(entry.path().filename().u8string());
        return names;
    }

private:
    fs::path m_root;
};

bool MakeLink(const fs::path& target, const fs::path& link, bool bFolder)
{
    std::error_code error;
    if (bFolder)
        fs::create_directory_symlink(target, link, error);
    else
        fs::create_symlink(target, link, error);
    return !error && fs::is_symlink(fs::symlink_status(link));
}

void MakeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

const char kOld[] = "old\n";
const char kNew[] = "new\n";

enum class Action { Replace, Remove };

// Every row changes the same name, PKG_A.pks.
const wchar_t kFile[] = L"PKG_A.pks";

struct Row {
    const char* pszName;
    // Sets the folder up; false when the system cannot (the row is skipped).
    bool (*setUp)(const Scratch&);
    Action action;
    // What a replacement writes.
    const char* pszContent;
    FolderFiles::Change expectedChange;  // for Replace
    bool bExpectedRemoved;               // for Remove
    // Whether the folder still holds the name afterwards, and its bytes then (null: not a file).
    bool bExpectedHeld;
    const char* pszExpectedContent;
    // The outside file's bytes afterwards (a link's target), when there is one.
    const char* pszExpectedOutside;
};

Row Replace(const char* pszName, bool (*setUp)(const Scratch&), const char* pszContent,
            FolderFiles::Change change, const char* pszHeld, const char* pszOutside = nullptr)
{
    return {pszName, setUp, Action::Replace, pszContent, change, false, true, pszHeld, pszOutside};
}

Row Remove(const char* pszName, bool (*setUp)(const Scratch&), bool bRemoved)
{
    return {pszName,
            setUp,
            Action::Remove,
            nullptr,
            FolderFiles::Change::Written,
            bRemoved,
            !bRemoved,
            bRemoved ? nullptr : kOld,
            nullptr};
}

bool PlainFile(const Scratch& scratch)
{
    WriteBytes(scratch.Folder() / "PKG_A.pks", kOld);
    return true;
}

bool OtherCase(const Scratch& scratch)
{
    WriteBytes(scratch.Folder() / "pkg_a.pks", kOld);
    return true;
}

bool ReadOnlyFile(const Scratch& scratch)
{
    PlainFile(scratch);
    MakeReadOnly(scratch.Folder() / "PKG_A.pks");
    return true;
}

bool LinkToFile(const Scratch& scratch)
{
    WriteBytes(scratch.Outside() / "secret.txt", kOld);
    return MakeLink(scratch.Outside() / "secret.txt", scratch.Folder() / "PKG_A.pks", false);
}

bool LinkToFolder(const Scratch& scratch)
{
    WriteBytes(scratch.Outside() / "secret.txt", kOld);
    return MakeLink(scratch.Outside(), scratch.Folder() / "PKG_A.pks", true);
}

bool FolderUnderTheName(const Scratch& scratch)
{
    fs::create_directory(scratch.Folder() / "PKG_A.pks");
    return true;
}

bool Nothing(const Scratch&)
{
    return true;
}

using C = FolderFiles::Change;

const Row kRows[] = {
    Replace("NewFile", Nothing, kNew, C::Written, kNew),
    Replace("SameContentIsLeftAlone", PlainFile, kOld, C::Unchanged, kOld),
    Replace("NewContentReplaces", PlainFile, kNew, C::Written, kNew),
    Replace("AnotherCaseIsTheSameFileAndTakesTheExactName", OtherCase, kNew, C::Written, kNew),
    Replace("AnotherCaseWithTheSameContentIsRenamed", OtherCase, kOld, C::Written, kOld),
    Replace("ReadOnlyFileIsNeverChanged", ReadOnlyFile, kNew, C::Failed, kOld),
    Replace("ReadOnlyFileWithTheSameContentIsUnchanged", ReadOnlyFile, kOld, C::Unchanged, kOld),
    Replace("LinkToAFileIsReplacedNotWrittenThrough", LinkToFile, kNew, C::Written, kNew, kOld),
    Replace("LinkToAFolderStays", LinkToFolder, kNew, C::Failed, nullptr, kOld),
    Replace("FolderUnderTheNameStays", FolderUnderTheName, kNew, C::Failed, nullptr),
    Remove("RemoveAPlainFile", PlainFile, true),
    Remove("RemoveAnotherCase", OtherCase, true),
    Remove("ReadOnlyFileIsNotRemoved", ReadOnlyFile, false),
};

class FileLayerTest : public ::testing::TestWithParam<std::tuple<Row, bool>> {};

TEST_P(FileLayerTest, ChangesOnlyWhatTheRowSays)
{
    const Row& row = std::get<0>(GetParam());
    const bool bSnapshot = std::get<1>(GetParam());
    Scratch scratch(std::string(row.pszName) + (bSnapshot ? "-snapshot" : ""));
    if (!row.setUp(scratch)) {
        GTEST_SKIP() << "this system cannot make the row's folder (links)";
    }

    FolderFiles files(scratch.FolderW());
    if (bSnapshot)
        files.Snapshot();
    if (row.action == Action::Replace) {
        EXPECT_EQ(files.Replace(kFile, row.pszContent), row.expectedChange);
    } else {
        EXPECT_EQ(files.Remove(kFile), row.bExpectedRemoved);
    }

    // No temporary file is left behind, nothing else appears, and the name is the exact one.
    const std::set<std::string> expectedNames =
        row.bExpectedHeld ? std::set<std::string>{"PKG_A.pks"} : std::set<std::string>{};
    EXPECT_EQ(scratch.Names(), expectedNames);
    if (row.pszExpectedContent != nullptr && row.bExpectedHeld) {
        const fs::path held = scratch.Folder() / "PKG_A.pks";
        EXPECT_FALSE(fs::is_symlink(fs::symlink_status(held)));
        EXPECT_EQ(ReadBytes(held), row.pszExpectedContent);
    }
    if (row.pszExpectedOutside != nullptr) {
        EXPECT_EQ(ReadBytes(scratch.Outside() / "secret.txt"), row.pszExpectedOutside);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FileLayerTest,
                         ::testing::Combine(::testing::ValuesIn(kRows), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<FileLayerTest::ParamType>& info) {
                             return std::string(std::get<0>(info.param).pszName) +
                                    (std::get<1>(info.param) ? "_Snapshot" : "");
                         });

// Probe finds a file whatever the case of the name asked for, and says what it is.
TEST(FileLayerProbe, NamesAreComparedIgnoringCase)
{
    Scratch scratch("probe");
    WriteBytes(scratch.Folder() / "Pkg_A.pks", kOld);
    fs::create_directory(scratch.Folder() / "SUB.pks");
    for (bool bSnapshot : {false, true}) {
        FolderFiles files(scratch.FolderW());
        if (bSnapshot)
            files.Snapshot();
        EXPECT_EQ(files.Probe(L"PKG_A.PKS"), FolderFiles::Entry::File) << bSnapshot;
        EXPECT_EQ(files.Probe(L"sub.pks"), FolderFiles::Entry::Folder) << bSnapshot;
        EXPECT_EQ(files.Probe(L"OTHER.pks"), FolderFiles::Entry::Missing) << bSnapshot;
        std::string strContent;
        EXPECT_TRUE(files.Read(L"pkg_a.pks", strContent)) << bSnapshot;
        EXPECT_EQ(strContent, kOld);
    }
}

// A folder and its missing parents are made; a file where a folder should be is the reason.
TEST(FileLayerFolders, CreateFolderMakesParentsAndNamesAFileInTheWay)
{
    Scratch scratch("folders");
    const fs::path deep = scratch.Folder() / "a" / "b" / "c";
    FolderFiles files(deep.wstring());
    EXPECT_EQ(files.CreateFolder(), SystemErrors::kNone);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(files.CanCreateFiles(), SystemErrors::kNone);
    EXPECT_TRUE(fs::is_empty(deep));

    WriteBytes(scratch.Folder() / "file", kOld);
    FolderFiles blocked((scratch.Folder() / "file" / "sub").wstring());
    EXPECT_NE(blocked.CreateFolder(), SystemErrors::kNone);
    EXPECT_EQ(ReadBytes(scratch.Folder() / "file"), kOld);
}

}  // namespace
