// ProcessTest.cpp
//
// qmexport.exe run as a script runs it: a process with its own standard handles, against
// oci-lite databases this test writes. The single file compared with the window's expected
// output, the folder's files and install.sql, re-runs into the same folder, escaped names,
// every exit code, both ways of giving the password, and a stop in the middle of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "qmexport/ConsoleReporter.h"
#include "qmexport/FolderOutput.h"
#include "tests/qmexport/QmexportFixture.h"
#include "QuillmarkVersion.h"
#include "framework/Text.h"

using namespace QmexportTest;

namespace {

struct Object {
    const char* pszName;
    const char* pszType;
    std::vector<std::string> lines;
};

// The schema of the engine's all-objects test (tests/export/expected/all_objects.sql), in
// listing order; the table adds a view and a table, which are never exported.
const std::vector<Object> kAllObjects = {
    {"FUNC_B",
     "FUNCTION",
     {"FUNCTION FUNC_B RETURN NUMBER IS\n", "BEGIN\n", "  RETURN 1;\n", "END;"}},
    {"PKG_A", "PACKAGE", {"PACKAGE PKG_A IS\n", "  PROCEDURE RUN;\n", "END PKG_A;\n"}},
    {"PKG_A",
     "PACKAGE BODY",
     {"PACKAGE BODY PKG_A IS\n", "  PROCEDURE RUN IS\n", "  BEGIN\n", "    NULL;\n", "  END RUN;\n",
      "END PKG_A;\n"}},
    {"PROC_C", "PROCEDURE", {"PROCEDURE PROC_C IS\n", "BEGIN\n", "  NULL;\n", "END;\n", "/\n"}},
    {"PROC_D", "PROCEDURE", {"PROCEDURE PROC_D IS\n", "BEGIN\n", "  NULL;\n", "END; /* done */\n"}},
};

const char kAllObjectsInstall[] =
    "SET DEFINE OFF\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@PROC_C.prc\n@@PROC_D.prc\n@@PKG_A.pkb\n";

void AddAll(Schema& schema, const std::vector<Object>& objects)
{
    // Bodies and later names first, so that only the listing's order can put them right.
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        schema.AddObject(it->pszName, it->pszType, it->lines);
}

void AddAllObjects(Schema& schema)
{
    AddAll(schema, kAllObjects);
    schema.AddObject("A_VIEW", "VIEW", {"SELECT 1 FROM DUAL\n"});
    schema.AddObjectWithoutSource("A_TABLE", "TABLE");
}

std::string Args(const std::string& strDatabase, const std::string& strTarget)
{
    return "--user SCOTT --database " + strDatabase + " " + strTarget;
}

std::string Quoted(const std::string& strPath)
{
    std::string strArg = strPath;
    if (!strArg.empty() && strArg.back() == kSeparator[0])
        strArg.pop_back();
    return "\"" + strArg + "\"";
}

std::string DirArgs(const std::string& strDatabase, const TempFolder& folder)
{
    return Args(strDatabase, "--dir ") + Quoted(folder.Path());
}

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

}  // namespace

TEST(QmexportProcessTest, SingleFileIsTheWindowsFile)
{
    Schema schema("QX_ALL");
    AddAllObjects(schema);
    TempFolder folder("single");
    WriteFile(folder / "all.sql", "an older export\n");

    const RunResult run = RunQmexport(Args("QX_ALL", "--file ") + Quoted(folder / "all.sql"));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "all.sql"), Expected("all_objects.sql"));
    // Not a console: one line per object on standard error, nothing on standard output.
    EXPECT_EQ(run.strOut, "");
    EXPECT_TRUE(Contains(run.strErr, "[1/5] FUNCTION FUNC_B (4 lines)\n")) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "[5/5] PROCEDURE PROC_D (4 lines)\n")) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "Exported 5 objects")) << run.strErr;
    EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"all.sql"});
}

TEST(QmexportProcessTest, NamedObjectsAreWrittenInTurnSpecificationBeforeBody)
{
    Schema schema("QX_PKG");
    AddAll(schema, {kAllObjects[1], kAllObjects[2]});
    schema.AddObject("PKG_OTHER", "PACKAGE", {"PACKAGE PKG_OTHER IS\n", "END;\n"});
    TempFolder folder("named");

    const RunResult run =
        RunQmexport(Args("QX_PKG", "--quiet --object PKG_A --file ") + Quoted(folder / "p.sql"));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "p.sql"), Expected("package.sql"));
    EXPECT_EQ(run.strErr, "");
}

TEST(QmexportProcessTest, StoredBytesAndLineEndsPassThroughToBothModes)
{
    Schema schema("QX_BYTES");
    const std::vector<Object> objects = {
        {"PROC_M",
         "PROCEDURE",
         {"PROCEDURE PROC_M IS\n",
          "  -- Gr\xc3\xbc\xc3\x9f"
          "e, \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e, \xc2\xa9\n",
          "BEGIN NULL; END;\n"}},
        {"PROC_R", "PROCEDURE", {"PROCEDURE PROC_R IS\r\n", "BEGIN NULL; END;\r\n"}},
    };
    AddAll(schema, objects);
    TempFolder folder("bytes");

    EXPECT_EQ(RunQmexport(Args("QX_BYTES", "--object PROC_M --file ") + Quoted(folder / "m.sql"))
                  .nExitCode,
              0);
    EXPECT_EQ(ReadFile(folder / "m.sql"), Expected("multibyte.sql"));
    EXPECT_EQ(RunQmexport(Args("QX_BYTES", "--object PROC_R --file ") + Quoted(folder / "r.sql"))
                  .nExitCode,
              0);
    EXPECT_EQ(ReadFile(folder / "r.sql"), Expected("crlf.sql"));

    TempFolder out("bytes_dir");
    EXPECT_EQ(RunQmexport(DirArgs("QX_BYTES", out)).nExitCode, 0);
    EXPECT_EQ(ReadFile(out / "PROC_M.prc"), Expected("multibyte.sql"));
    EXPECT_EQ(ReadFile(out / "PROC_R.prc"), Expected("crlf.sql"));
}

TEST(QmexportProcessTest, FolderHoldsOneFilePerObjectAndTheInstallScript)
{
    Schema schema("QX_DIR");
    AddAllObjects(schema);
    TempFolder folder("dir");

    const RunResult run = RunQmexport(DirArgs("QX_DIR", folder));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    const std::vector<std::string> expectedFiles = {".qmexport-files", "FUNC_B.fnc", "PKG_A.pkb",
                                                    "PKG_A.pks",       "PROC_C.prc", "PROC_D.prc",
                                                    "install.sql"};
    EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
    const char* const kFiles[] = {"FUNC_B.fnc", "PKG_A.pks", "PKG_A.pkb", "PROC_C.prc",
                                  "PROC_D.prc"};
    std::string strJoined;
    for (size_t i = 0; i < kAllObjects.size(); ++i) {
        EXPECT_EQ(ReadFile(folder / kFiles[i]), BlockOf(kAllObjects[i].lines)) << kFiles[i];
        strJoined += ReadFile(folder / kFiles[i]);
    }
    // The files in listing order are the single file, byte for byte.
    EXPECT_EQ(strJoined, Expected("all_objects.sql"));
    EXPECT_EQ(ReadFile(folder / "install.sql"), kAllObjectsInstall);
}

TEST(QmexportProcessTest, ASecondRunThatChangesNothingTouchesNoFile)
{
    Schema schema("QX_RERUN");
    AddAllObjects(schema);
    TempFolder folder("rerun");
    ASSERT_EQ(RunQmexport(DirArgs("QX_RERUN", folder)).nExitCode, 0);
    const std::vector<std::string> files = ListFiles(folder.Path());
    for (const std::string& strFile : files)
        SetOldTime(folder / strFile);
    const std::uint64_t nOld = WriteTime(folder / "install.sql");

    const RunResult run = RunQmexport(DirArgs("QX_RERUN", folder));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ListFiles(folder.Path()), files);
    for (const std::string& strFile : files)
        EXPECT_EQ(WriteTime(folder / strFile), nOld) << strFile;
}

TEST(QmexportProcessTest, ADroppedObjectsFileIsRemovedAndOtherFilesStay)
{
    Schema schema("QX_DROP");
    AddAllObjects(schema);
    TempFolder folder("drop");
    ASSERT_EQ(RunQmexport(DirArgs("QX_DROP", folder)).nExitCode, 0);
    WriteFile(folder / "README.md", "our schema\n");
    WriteFile(folder / "HAND_MADE.prc", "-- not exported\n");
    WriteFile(folder / ".gitignore", "*.log\n");
    SetOldTime(folder / "PKG_A.pks");
    const std::uint64_t nOld = WriteTime(folder / "PKG_A.pks");

    schema.Drop("PROC_D", "PROCEDURE");
    const RunResult run = RunQmexport(DirArgs("QX_DROP", folder));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_FALSE(FileExists(folder / "PROC_D.prc"));
    EXPECT_EQ(ReadFile(folder / "README.md"), "our schema\n");
    EXPECT_EQ(ReadFile(folder / "HAND_MADE.prc"), "-- not exported\n");
    EXPECT_EQ(ReadFile(folder / ".gitignore"), "*.log\n");
    EXPECT_EQ(WriteTime(folder / "PKG_A.pks"), nOld);
    EXPECT_EQ(ReadFile(folder / "install.sql"),
              "SET DEFINE OFF\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@PROC_C.prc\n@@PKG_A.pkb\n");
}

TEST(QmexportProcessTest, AwkwardNamesGetReversibleEscapesAndFilesOfTheirOwn)
{
    Schema schema("QX_NAMES");
    const std::vector<Object> objects = {
        {"A/B", "PROCEDURE", {"PROCEDURE \"A/B\" IS BEGIN NULL; END;\n"}},
        {"ABC", "PROCEDURE", {"PROCEDURE ABC IS BEGIN NULL; END;\n"}},
        {"CON", "PACKAGE", {"PACKAGE CON IS\n", "END;\n"}},
        {"CON", "PACKAGE BODY", {"PACKAGE BODY CON IS\n", "END;\n"}},
        {"Solo", "FUNCTION", {"FUNCTION \"Solo\" RETURN NUMBER IS BEGIN RETURN 1; END;\n"}},
        {"TRAIL.", "FUNCTION", {"FUNCTION \"TRAIL.\" RETURN NUMBER IS BEGIN RETURN 1; END;\n"}},
        {"abc", "PROCEDURE", {"PROCEDURE \"abc\" IS BEGIN NULL; END;\n"}},
    };
    AddAll(schema, objects);
    TempFolder folder("names");

    const RunResult run = RunQmexport(DirArgs("QX_NAMES", folder));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    const char* const kFiles[] = {"A%2FB.prc", "ABC.prc",      "%43ON.pks",    "%43ON.pkb",
                                  "Solo.fnc",  "TRAIL%2E.fnc", "%61%62%63.prc"};
    for (size_t i = 0; i < objects.size(); ++i)
        EXPECT_EQ(ReadFile(folder / kFiles[i]), BlockOf(objects[i].lines)) << kFiles[i];
    EXPECT_EQ(ListFiles(folder.Path()).size(), objects.size() + 2);
    EXPECT_EQ(ReadFile(folder / "install.sql"),
              "SET DEFINE "
              "OFF\n@@%43ON.pks\n@@Solo.fnc\n@@TRAIL%2E.fnc\n@@A%2FB.prc\n@@ABC.prc\n@@%61%62%63."
              "prc\n@@%43ON.pkb\n");
}

namespace {

struct ExitCase {
    const char* pszTitle;
    std::string strArguments;
    std::map<std::string, std::string> environment;
    int nExitCode;
    std::string strErrorPart;  // in standard error
};

}  // namespace

TEST(QmexportProcessTest, EveryExitCode)
{
    Schema schema("QX_CODES");
    AddAll(schema, {kAllObjects[0], kAllObjects[3]});
    schema.AddObjectWithoutSource("Z_EMPTY", "PROCEDURE");
    TempFolder folder("codes");
    WriteFile(folder / "plain.txt", "x");
    const std::string strOut = " --file \"" + (folder / "out.sql") + "\"";
    const std::string strPath = LibraryPathWithoutOciLite();
    // The system refuses a folder under /sys whoever asks: its reason, not "not found".
    const std::string strRefusedFolder =
        NativePath(kOnWindows ? "Z:/sys/qm-refused/out" : "/sys/qm-refused/out");
    const std::string strRefused =
        "Error while create specified folder.\n" + strRefusedFolder + kSeparator + ": " +
        SystemErrorText(kOnWindows ? 5 /* ERROR_ACCESS_DENIED */ : 1 /* EPERM */).str();
    const char* const pszNoLibrary =
        kOnWindows
            ? "Can't load oci.dll\nNo OCI.DLL is on the PATH"
            : "Can't load libclntsh.so\nlibclntsh.so: cannot open shared object file: No such file "
              "or directory: install Oracle Instant Client and add its folder to LD_LIBRARY_PATH";

    const ExitCase kCases[] = {
        {"help", "--help", {}, 0, ""},
        {"version", "--version", {}, 0, ""},
        {"done", Args("QX_CODES", "--object FUNC_B" + strOut), {}, 0, "Exported 1 objects"},
        {"user name in lower case",
         "--user scott --database qx_codes --object FUNC_B" + strOut,
         {},
         0,
         ""},
        {"password in upper case",
         Args("QX_CODES", strOut),
         {{"QUILLMARK_PASSWORD", "TIGER"}},
         3,
         "ORA-01017"},
        {"no arguments", "", {}, 2, "usage: qmexport"},
        {"password argument", Args("QX_CODES", "--password tiger" + strOut), {}, 2, "never taken"},
        {"unknown option", Args("QX_CODES", "--all" + strOut), {}, 2, "unknown option --all"},
        {"both targets", Args("QX_CODES", "--dir x" + strOut), {}, 2, "exclude each other"},
        {"wrong password",
         Args("QX_CODES", strOut),
         {{"QUILLMARK_PASSWORD", "wrong"}},
         3,
         "ORA-01017"},
        {"unknown database", Args("QX_NOWHERE", strOut), {}, 3, "ORA-12154"},
        {"no client library",
         Args("QX_CODES", strOut),
         {{kLibraryPathVariable, strPath}},
         3,
         pszNoLibrary},
        {"client of the other bitness",
         Args("QX_CODES", strOut),
         {{kLibraryPathVariable, strPath + kLibraryPathSeparator + OTHER_BITNESS_OCI_DIR}},
         3,
         !kOnWindows ? std::string("Can't load libclntsh.so\n") + OTHER_BITNESS_OCI_DIR +
                           "/libclntsh.so is a library for x86 (32-bit) and this program is for "
                           "x86-64: install the x86-64 Oracle Instant Client"
         : sizeof(void*) == 8 ? "Can't load oci.dll\nOCI.DLL on the PATH is a 32-bit library and "
                                "Quillmark is 64-bit: install the 64-bit Oracle client, or use the "
                                "32-bit Quillmark\n"
                              : "Can't load oci.dll\nOCI.DLL on the PATH is a 64-bit library and "
                                "Quillmark is 32-bit: install the 32-bit Oracle client, or use the "
                                "64-bit Quillmark\n"},
        {"object not found",
         Args("QX_CODES", "--object NOPE" + strOut),
         {},
         1,
         "Object not found."},
        {"object without source", Args("QX_CODES", strOut), {}, 1, "Source doesn't exists."},
        {"failed fetch",
         Args("QX_CODES", "--object FUNC_B --object PROC_C" + strOut),
         {{"OCI_LITE_FAIL_AT", "16"}},
         1,
         "ORA-03113"},
        {"folder is a file",
         Args("QX_CODES", "--dir \"" + (folder / "plain.txt") + "\""),
         {},
         1,
         "Error while create specified folder."},
        {"folder the system refuses to create",
         Args("QX_CODES", "--dir " + strRefusedFolder),
         {},
         1,
         strRefused},
        {"no password to read",
         Args("QX_CODES", strOut),
         {{"QUILLMARK_PASSWORD", kRemoveVariable}},
         3,
         "qmexport: the password cannot be read: standard input ended before a password line"},
        {"file in a missing folder",
         Args("QX_CODES", "--file \"" + (folder / "no/such/f.sql") + "\""),
         {},
         1,
         ""},
    };
    for (const ExitCase& entry : kCases) {
        SCOPED_TRACE(entry.pszTitle);
        RunOptions options;
        options.environment = entry.environment;
        const RunResult run = RunQmexport(entry.strArguments, options);
        EXPECT_EQ(run.nExitCode, entry.nExitCode) << run.strErr;
        EXPECT_TRUE(Contains(run.strErr, entry.strErrorPart)) << run.strErr;
        if (entry.nExitCode == 2) {
            EXPECT_TRUE(Contains(run.strErr, "usage: qmexport")) << run.strErr;
        }
        if (std::string(entry.pszTitle) == "help") {
            EXPECT_TRUE(Contains(run.strOut, "usage: qmexport")) << run.strOut;
        }
        if (std::string(entry.pszTitle) == "version") {
            EXPECT_EQ(run.strOut, "qmexport " QUILLMARK_VERSION "\n");
            EXPECT_EQ(run.strErr, "");
        }
        EXPECT_FALSE(Contains(run.strOut + run.strErr, "tiger"));
    }
    EXPECT_EQ(ReadFile(folder / "plain.txt"), "x");
}

TEST(QmexportProcessTest, PasswordFromTheEnvironmentOrTheFirstLineOfStandardInput)
{
    Schema schema("QX_PASS");
    AddAll(schema, {kAllObjects[0]});
    TempFolder folder("pass");
    const std::string strArgs = Args("QX_PASS", "--file ") + Quoted(folder / "f.sql");

    struct PasswordCase {
        const char* pszTitle;
        const char* pszVariable;  // kRemoveVariable: not set
        const char* pszInput;
        int nExitCode;
    };
    const PasswordCase kCases[] = {
        {"environment", "tiger", "", 0},
        {"environment wins over input", "tiger", "wrong\n", 0},
        {"environment wrong", "wrong", "tiger\n", 3},
        {"input with CR LF", kRemoveVariable, "tiger\r\nmore lines\n", 0},
        {"input with LF", kRemoveVariable, "tiger\n", 0},
        {"input without a line end", kRemoveVariable, "tiger", 0},
        {"input wrong", kRemoveVariable, "tigers\n", 3},
        {"no input at all", kRemoveVariable, "", 3},
    };
    for (const PasswordCase& entry : kCases) {
        SCOPED_TRACE(entry.pszTitle);
        RunOptions options;
        options.environment["QUILLMARK_PASSWORD"] = entry.pszVariable;
        options.strInput = entry.pszInput;
        const RunResult run = RunQmexport(strArgs, options);
        EXPECT_EQ(run.nExitCode, entry.nExitCode) << run.strErr;
        EXPECT_FALSE(Contains(run.strOut + run.strErr, "tiger")) << run.strErr;
    }
}

namespace {

// A schema slow enough to stop in the middle: many objects, each round trip delayed.
std::vector<Object> ManyObjects(int nCount)
{
    // The names live as long as the program, as the literal names of the other tables do.
    static std::vector<std::string> names;
    names.reserve(1000);
    std::vector<Object> objects;
    for (int i = 0; i < nCount; ++i) {
        char szName[32];
        std::snprintf(szName, sizeof(szName), "PROC_%03d", i);
        if (size_t(i) >= names.size())
            names.push_back(szName);
        objects.push_back(
            {names[size_t(i)].c_str(),
             "PROCEDURE",
             {std::string("PROCEDURE ") + szName + " IS\n", "BEGIN\n", "  NULL;\n", "END;\n"}});
    }
    return objects;
}

// What a stopped folder run must leave: whole files only, each named in the manifest.
void ExpectOnlyCompleteFiles(const TempFolder& folder, const std::vector<Object>& objects,
                             size_t& nFiles)
{
    const std::string strManifest = ReadFile(folder / ".qmexport-files");
    nFiles = 0;
    for (const std::string& strFile : ListFiles(folder.Path())) {
        EXPECT_EQ(strFile.find(".tmp"), std::string::npos) << strFile;
        if (strFile == ".qmexport-files" || strFile == "install.sql")
            continue;
        ++nFiles;
        EXPECT_TRUE(Contains(strManifest, strFile + "\n")) << strFile;
        const std::string strName = strFile.substr(0, strFile.find('.'));
        for (const Object& object : objects) {
            if (strName == object.pszName) {
                EXPECT_EQ(ReadFile(folder / strFile), BlockOf(object.lines)) << strFile;
            }
        }
    }
}

struct StopWatch {
    std::string strFirstFile;
    bool (*pSend)(ProcessId nProcess) = nullptr;
    bool bSent = false;
};

// Runs while the child runs: once its first object file is there, the stop.
bool StopAfterFirstFile(ProcessId nProcess, void* pContext)
{
    auto* pWatch = static_cast<StopWatch*>(pContext);
    if (!FileExists(pWatch->strFirstFile))
        return false;
    pWatch->bSent = pWatch->pSend(nProcess);
    return true;
}

// Stops the run after the object of index nStopAfter is written, as Ctrl+C would.
class StoppingReporter : public ConsoleReporter {
public:
    StoppingReporter(std::atomic<bool>& stop, const ExportSink& sink, int nStopAfter)
        : ConsoleReporter(stop, ProgressStyle::Quiet, nullptr, sink), m_stop(stop),
          m_nStopAfter(nStopAfter)
    {}
    void ObjectWritten(const ExportObjectId& object, int nIndex, int nLines) override
    {
        ConsoleReporter::ObjectWritten(object, nIndex, nLines);
        if (nIndex == m_nStopAfter)
            m_stop = true;
    }

private:
    std::atomic<bool>& m_stop;
    int m_nStopAfter;
};

}  // namespace

// Ctrl+C ends the run at the next step: exit code 130, whole files only. So does SIGTERM, which
// CI runners send when a job is cancelled, with exit code 143 (Linux alone has it).
TEST(QmexportProcessTest, CtrlCLeavesOnlyCompleteFiles)
{
    const struct {
        const char* pszTitle;
        bool (*pSend)(ProcessId nProcess);
        int nExitCode;
        bool bOnWindows;
    } kStops[] = {
        {"Ctrl+C", Interrupt, 130, true},
        {"SIGTERM", Terminate, 143, false},
    };
    Schema schema("QX_STOP");
    // Enough objects that the run, which reads them in arrays of rows, is still writing when
    // the stop sent after the first file arrives, also on a busy machine.
    const std::vector<Object> objects = ManyObjects(400);
    AddAll(schema, objects);
    ASSERT_TRUE(PrepareInterrupt()) << "no console for this test";
    for (const auto& stop : kStops) {
        if (kOnWindows && !stop.bOnWindows)
            continue;
        SCOPED_TRACE(stop.pszTitle);
        TempFolder folder("stop");
        StopWatch watch;
        watch.strFirstFile = folder / "PROC_000.prc";
        watch.pSend = stop.pSend;
        RunOptions options;
        options.environment["OCI_LITE_RTT_US"] = "20000";
        options.pWhileRunning = StopAfterFirstFile;
        options.pContext = &watch;
        const RunResult run = RunQmexport(DirArgs("QX_STOP", folder), options);
        ASSERT_TRUE(watch.bSent) << "the stop was not sent";
        EXPECT_EQ(run.nExitCode, stop.nExitCode) << run.strErr;
        EXPECT_TRUE(Contains(run.strErr, "Stopped. The folder holds the ")) << run.strErr;
        size_t nFiles = 0;
        ExpectOnlyCompleteFiles(folder, objects, nFiles);
        EXPECT_GE(nFiles, 1u);
        EXPECT_LT(nFiles, objects.size());
        EXPECT_FALSE(FileExists(folder / "install.sql"));
    }
}

// The same stop in this process, through the reporter's flag, with the real engine and the
// folder sink: the run ends after the object it was writing, and a later run completes.
TEST(QmexportProcessTest, StopFlagEndsTheRunBetweenTwoWholeFiles)
{
    Schema schema("QX_STOP_IN");
    const std::vector<Object> objects = ManyObjects(12);
    AddAll(schema, objects);
    TempFolder folder("stop_in");
    ExportParams params;
    params.strUser = kUser;
    params.strPassword = kPassword;
    params.strDatabase = "QX_STOP_IN";
    {
        FolderOutput sink(Wide(folder.Path()), true);
        std::atomic<bool> stop{false};
        StoppingReporter reporter(stop, sink, 4);
        const ExportEnding outcome = RunExport(params, sink, reporter);
        EXPECT_EQ(outcome.result, ExportResult::Stopped);
        EXPECT_EQ(sink.WrittenCount(), 5);
        EXPECT_EQ(sink.StateText().str(),
                  "The folder holds the 5 complete objects written before it.");
    }
    size_t nFiles = 0;
    ExpectOnlyCompleteFiles(folder, objects, nFiles);
    EXPECT_EQ(nFiles, 5u);
    EXPECT_FALSE(FileExists(folder / "install.sql"));

    FolderOutput sink(Wide(folder.Path()), true);
    std::atomic<bool> stop{false};
    ConsoleReporter reporter(stop, ProgressStyle::Quiet, nullptr, sink);
    EXPECT_EQ(RunExport(params, sink, reporter).result, ExportResult::Done);
    ExpectOnlyCompleteFiles(folder, objects, nFiles);
    EXPECT_EQ(nFiles, objects.size());
}
