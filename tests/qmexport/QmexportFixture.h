// QmexportFixture.h
//
// What the console exporter's tests share:
//   TempFolder  - a folder of its own under the temporary folder, removed with its files.
//   Schema      - writes an oci-lite database (users, objects, source lines) into the folder
//                 named by OCI_LITE_HOME, which the first use points at a private folder.
//   QmexportRun - runs qmexport.exe as a process with the given arguments, environment
//                 changes and standard input, and collects its exit code and both outputs.
//   Files       - reading, writing and listing files, and their last-write times.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "support/OciLiteSchema.h"

namespace QmexportTest {

constexpr const char kUser[] = "SCOTT";
constexpr const char kPassword[] = "tiger";

class TempFolder {
public:
    explicit TempFolder(const char* pszTag);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path with a trailing "\".
    const std::string& Path() const { return m_strPath; }
    std::string operator/(const std::string& strName) const { return m_strPath + strName; }

private:
    std::string m_strPath;
};

// An oci-lite database in DatabaseFolder(), with the user SCOTT/tiger.
class Schema : public OciLiteSchema {
public:
    explicit Schema(const char* pszDatabase);
};

// The folder of the databases (OCI_LITE_HOME), with a trailing "\".
std::string DatabaseFolder();

struct RunResult {
    DWORD nExitCode = STILL_ACTIVE;
    std::string strOut;
    std::string strErr;
};

struct RunOptions {
    // Environment changes for the child: a value, or "\x01" to remove the variable.
    std::map<std::string, std::string> environment;
    // Standard input's content (the pipe is closed after it).
    std::string strInput;
    DWORD nTimeoutMs = 60000;
    // Runs while the child runs, until it returns true (then no longer called).
    bool (*pWhileRunning)(DWORD nProcessId, void* pContext) = nullptr;
    void* pContext = nullptr;
    DWORD nCreationFlags = 0;
};

constexpr const char kRemoveVariable[] = "\x01";

// Runs qmexport.exe with this command line (after the program's name). The password comes
// from QUILLMARK_PASSWORD ("tiger") unless options.environment says otherwise.
RunResult RunQmexport(const std::wstring& strArguments, const RunOptions& options = RunOptions());

std::wstring Wide(const std::string& strText);
std::string ReadFile(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strContent);
bool FileExists(const std::string& strPath);
// The names of the files in a folder, sorted.
std::vector<std::string> ListFiles(const std::string& strFolder);
// Last-write time; SetOldTime puts it at a fixed day in 2001.
std::uint64_t WriteTime(const std::string& strPath);
void SetOldTime(const std::string& strPath);
// An expected file of the export engine's tests (the window's output for their databases).
std::string Expected(const char* pszName);

}  // namespace QmexportTest
