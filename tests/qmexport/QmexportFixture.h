// QmexportFixture.h
//
// What the console exporter's tests share, on every system:
//   TempFolder  - a folder of its own under the temporary folder, removed with its files.
//   Schema      - writes an oci-lite database (users, objects, source lines) into the folder
//                 named by OCI_LITE_HOME, which the first use points at a private folder.
//   RunQmexport - runs qmexport as a process with the given arguments, environment changes and
//                 standard input, and collects its exit code and both outputs.
//   Files       - reading, writing and listing files, and their last-write times.
// Text is UTF-8 throughout: arguments, environment values, paths and file names (on Windows
// they are converted to UTF-16 for the system's calls). The system's own parts are in
// QmexportFixtureWindows.cpp and QmexportFixtureLinux.cpp.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/OciLiteSchema.h"

namespace QmexportTest {

constexpr const char kUser[] = "SCOTT";
constexpr const char kPassword[] = "tiger";

// The system the tests run on, for the rows that differ between systems.
#ifdef _WIN32
constexpr bool kOnWindows = true;
#else
constexpr bool kOnWindows = false;
#endif

// What separates a path's parts here: "\" on Windows, "/" elsewhere.
extern const char kSeparator[];
// The path with every "/" turned into kSeparator.
std::string NativePath(std::string strPath);

class TempFolder {
public:
    explicit TempFolder(const char* pszTag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with a trailing separator.
    const std::string& Path() const { return m_strPath; }
    // The folder's path without it, as a user would type it.
    std::string Bare() const { return m_strPath.substr(0, m_strPath.size() - 1); }
    // A path inside the folder; "/" in strName separates folders on every system.
    std::string operator/(const std::string& strName) const
    {
        return m_strPath + NativePath(strName);
    }

private:
    std::string m_strPath;
};

// An oci-lite database in DatabaseFolder(), with the user SCOTT/tiger.
class Schema : public OciLiteSchema {
public:
    explicit Schema(const char* pszDatabase);
};

// The folder of the databases (OCI_LITE_HOME), with a trailing separator.
std::string DatabaseFolder();

struct RunResult {
    // -1 when the process did not start or did not end in time.
    int nExitCode = -1;
    std::string strOut;
    std::string strErr;
};

// A running child, as the watch of RunOptions sees it.
using ProcessId = unsigned long;

struct RunOptions {
    // Environment changes for the child: a value, or kRemoveVariable to remove the variable.
    std::map<std::string, std::string> environment;
    // Standard input's content (the pipe is closed after it).
    std::string strInput;
    unsigned nTimeoutMs = 60000;
    // Runs every few milliseconds while the child runs, until it returns true (then no longer
    // called).
    bool (*pWhileRunning)(ProcessId nProcess, void* pContext) = nullptr;
    void* pContext = nullptr;
};

constexpr const char kRemoveVariable[] = "\x01";

// Runs qmexport with this command line (after the program's name), split into arguments by
// Windows' rules on every system: blanks separate, "..." holds blanks, \" is a quote. The
// password comes from QUILLMARK_PASSWORD ("tiger") unless options.environment says otherwise.
RunResult RunQmexport(const std::string& strArguments, const RunOptions& options = RunOptions());
// The command line split as above (what the child's argv holds after its name).
std::vector<std::string> SplitCommandLine(const std::string& strLine);

// Ctrl+C for the children started after the first call: true when this process can send it.
// On Windows the test then shares a console of its own with them (and ignores the Ctrl+C it
// sends itself); elsewhere nothing needs doing.
bool PrepareInterrupt();
// Ctrl+C to the child: SIGINT elsewhere than Windows, the console's Ctrl+C on Windows.
bool Interrupt(ProcessId nProcess);
// SIGTERM to the child; false on Windows, which has no such request for a console program.
bool Terminate(ProcessId nProcess);

// The environment variable, or empty.
std::string Variable(const char* pszName);
// The variable through which the system finds the client library (PATH on Windows,
// LD_LIBRARY_PATH elsewhere), its value without the folder of oci-lite, and what separates
// its folders.
extern const char kLibraryPathVariable[];
extern const char kLibraryPathSeparator[];
std::string LibraryPathWithoutOciLite();

std::string ReadFile(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strContent);
// A file or folder (a link counts, whatever it leads to).
bool FileExists(const std::string& strPath);
bool MakeFolder(const std::string& strPath);
// Removes a file, or a link without touching what it leads to.
void RemoveFile(const std::string& strPath);
// The names of the files in a folder (not its folders), sorted.
std::vector<std::string> ListFiles(const std::string& strFolder);
// Last-write time, comparable within a run; SetOldTime puts it at a fixed day in 2001.
std::uint64_t WriteTime(const std::string& strPath);
void SetOldTime(const std::string& strPath);
// Whether the file may not be changed (the read-only attribute on Windows, no write permission
// elsewhere), and taking that right away.
bool IsReadOnly(const std::string& strPath);
bool MakeReadOnly(const std::string& strPath);
// Whether the path is a symbolic link (or another reparse point on Windows).
bool IsLink(const std::string& strPath);
// Holds the file open so that no other open of it succeeds while it lives (Windows' open
// without sharing); IsHeld is false where the system has no such open (elsewhere than Windows)
// or the file could not be opened.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::string& strPath);
    ~ExclusiveHold();
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    bool IsHeld() const { return m_pHandle != nullptr; }

private:
    void* m_pHandle = nullptr;
};
// A symbolic link at strLink leading to strTarget; false when the system would not make one.
bool MakeLink(const std::string& strTarget, const std::string& strLink);
// Whether a folder takes the two names for one file: Windows' own comparison on Windows (case
// ignored); elsewhere the program's copy of it, the rule its folders keep on every system.
bool SameFileName(const std::wstring& strA, const std::wstring& strB);
// An expected file of the export engine's tests (the window's output for their databases).
std::string Expected(const char* pszName);
// An object's block as the export writes it, computed here from its source lines.
std::string BlockOf(const std::vector<std::string>& lines);

// UTF-8 as wide text (UTF-16 units), for the program's own classes that take wide paths and
// names, and back.
std::wstring Wide(const std::string& strText);
std::string Utf8(const std::wstring& strText);

}  // namespace QmexportTest
