// QmexportFixture.cpp
#include "tests/qmexport/QmexportFixture.h"

#include "framework/Text.h"
#include "framework/UniqueHandle.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace QmexportTest {

namespace {

std::string TempRoot()
{
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    return szTemp;
}

// Removes a file, or a link in place of one without touching what it leads to (Wine's
// DeleteFile removes a link's target): a file of our own is renamed over it first.
void RemoveFile(const std::wstring& strPath)
{
    ::SetFileAttributesW(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::wstring strSpare = strPath + L".removing";
    CHandle spare(::CreateFileW(strSpare.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    spare.Reset();
    if (!::MoveFileExW(strSpare.c_str(), strPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        ::DeleteFileW(strSpare.c_str());
    ::DeleteFileW(strPath.c_str());
}

void RemoveTree(const std::wstring& strFolder)
{
    WIN32_FIND_DATAW data{};
    std::vector<std::pair<std::wstring, DWORD>> entries;
    {
        CFindHandle find(::FindFirstFileW((strFolder + L"*").c_str(), &data));
        if (find.IsValid()) {
            do {
                const std::wstring strName = data.cFileName;
                if (strName != L"." && strName != L"..")
                    entries.emplace_back(strName, data.dwFileAttributes);
            } while (::FindNextFileW(find.Get(), &data));
        }
    }
    for (const auto& entry : entries) {
        // A link to a folder is left alone: nothing here makes one, and removing it may remove
        // the folder it leads to.
        if ((entry.second & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            (entry.second & FILE_ATTRIBUTE_DIRECTORY) != 0)
            continue;
        if ((entry.second & FILE_ATTRIBUTE_DIRECTORY) != 0)
            RemoveTree(strFolder + entry.first + L"\\");
        else
            RemoveFile(strFolder + entry.first);
    }
    ::RemoveDirectoryW(strFolder.c_str());
}

// Runs once per process: the databases' folder, named in OCI_LITE_HOME for every child.
struct DatabaseHome {
    std::string strFolder;
    DatabaseHome()
    {
        strFolder = TempRoot() + "qm_qmexport_db_" + std::to_string(::GetCurrentProcessId()) + "\\";
        ::CreateDirectoryA(strFolder.c_str(), nullptr);
        ::SetEnvironmentVariableA("OCI_LITE_HOME",
                                  strFolder.substr(0, strFolder.size() - 1).c_str());
    }
    ~DatabaseHome() { RemoveTree(Wide(strFolder)); }
};

DatabaseHome& Home()
{
    static DatabaseHome home;
    return home;
}

// Reads a pipe to its end on a thread of its own.
class PipeReader {
public:
    explicit PipeReader(HANDLE hPipe) : m_hPipe(hPipe)
    {
        m_thread = std::thread([this] {
            try {
                char szBuffer[4096];
                DWORD nRead = 0;
                while (::ReadFile(m_hPipe, szBuffer, sizeof(szBuffer), &nRead, nullptr) &&
                       nRead != 0)
                    m_strText.append(szBuffer, nRead);
            } catch (...) {
            }
        });
    }
    ~PipeReader()
    {
        if (m_thread.joinable())
            m_thread.join();
        ::CloseHandle(m_hPipe);
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    std::string Finish()
    {
        m_thread.join();
        return m_strText;
    }

private:
    HANDLE m_hPipe;
    std::thread m_thread;
    std::string m_strText;
};

// Sets environment variables for the children started in its lifetime.
class EnvironmentChange {
public:
    explicit EnvironmentChange(const std::map<std::string, std::string>& changes)
    {
        for (const auto& change : changes) {
            char szOld[32768];
            const DWORD nLength =
                ::GetEnvironmentVariableA(change.first.c_str(), szOld, sizeof(szOld));
            m_old.emplace_back(change.first,
                               nLength != 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND,
                               std::string(szOld, nLength < sizeof(szOld) ? nLength : 0));
            ::SetEnvironmentVariableA(change.first.c_str(), change.second == kRemoveVariable
                                                                ? nullptr
                                                                : change.second.c_str());
        }
    }
    ~EnvironmentChange()
    {
        for (const auto& old : m_old)
            ::SetEnvironmentVariableA(std::get<0>(old).c_str(),
                                      std::get<1>(old) ? std::get<2>(old).c_str() : nullptr);
    }
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;

private:
    std::vector<std::tuple<std::string, bool, std::string>> m_old;
};

}  // namespace

// ---- TempFolder ----

TempFolder::TempFolder(const char* pszTag)
{
    static unsigned nSerial = 0;
    m_strPath = TempRoot() + "qm_qmexport_" + pszTag + "_" +
                std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++nSerial) + "\\";
    RemoveTree(Wide(m_strPath));
    ::CreateDirectoryA(m_strPath.c_str(), nullptr);
}

TempFolder::~TempFolder()
{
    RemoveTree(Wide(m_strPath));
}

// ---- Schema ----

std::string DatabaseFolder()
{
    return Home().strFolder;
}

Schema::Schema(const char* pszDatabase) : OciLiteSchema(DatabaseFolder(), pszDatabase)
{
    AddUser(kUser, kPassword, 0);
}

// ---- Processes ----

RunResult RunQmexport(const std::wstring& strArguments, const RunOptions& options)
{
    Home();
    std::map<std::string, std::string> environment{{"QUILLMARK_PASSWORD", kPassword}};
    for (const auto& change : options.environment)
        environment[change.first] = change.second;
    EnvironmentChange change(environment);

    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE hInRead = nullptr, hInWrite = nullptr, hOutRead = nullptr, hOutWrite = nullptr,
           hErrRead = nullptr, hErrWrite = nullptr;
    ::CreatePipe(&hInRead, &hInWrite, &inherit, 0);
    ::CreatePipe(&hOutRead, &hOutWrite, &inherit, 0);
    ::CreatePipe(&hErrRead, &hErrWrite, &inherit, 0);
    ::SetHandleInformation(hInWrite, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(hOutRead, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(hErrRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hInRead;
    si.hStdOutput = hOutWrite;
    si.hStdError = hErrWrite;
    std::wstring strProgram = Wide(QMEXPORT_EXE);
    std::replace(strProgram.begin(), strProgram.end(), L'/', L'\\');
    std::wstring strCommand = L"\"" + strProgram + L"\" " + strArguments;
    PROCESS_INFORMATION pi{};
    // Wine now and then loses a new process before it has started (ERROR_INTERNAL_ERROR, the
    // child gone with exit code 0 under load); nothing of the run has happened then, so the
    // start is tried again.
    BOOL bStarted = FALSE;
    for (int nAttempt = 0; nAttempt < 3 && !bStarted; ++nAttempt) {
        bStarted = ::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, TRUE,
                                    options.nCreationFlags, nullptr, nullptr, &si, &pi);
        if (!bStarted && ::GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    ::CloseHandle(hInRead);
    ::CloseHandle(hOutWrite);
    ::CloseHandle(hErrWrite);
    RunResult result;
    if (!bStarted) {
        ADD_FAILURE() << "qmexport.exe did not start: " << ::GetLastError();
        ::CloseHandle(hInWrite);
        ::CloseHandle(hOutRead);
        ::CloseHandle(hErrRead);
        return result;
    }
    PipeReader out(hOutRead);
    PipeReader err(hErrRead);
    if (!options.strInput.empty()) {
        DWORD nWritten = 0;
        ::WriteFile(hInWrite, options.strInput.data(), DWORD(options.strInput.size()), &nWritten,
                    nullptr);
    }
    ::CloseHandle(hInWrite);

    const DWORD nStart = ::GetTickCount();
    bool bWatching = options.pWhileRunning != nullptr;
    while (::WaitForSingleObject(pi.hProcess, bWatching ? 5 : 100) == WAIT_TIMEOUT) {
        if (bWatching && options.pWhileRunning(pi.dwProcessId, options.pContext))
            bWatching = false;
        if (::GetTickCount() - nStart > options.nTimeoutMs) {
            ADD_FAILURE() << "qmexport.exe did not end in time";
            ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, 10000);
            break;
        }
    }
    ::GetExitCodeProcess(pi.hProcess, &result.nExitCode);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    result.strOut = out.Finish();
    result.strErr = err.Finish();
    return result;
}

// ---- Files ----

std::wstring Wide(const std::string& strText)
{
    if (strText.empty())
        return std::wstring();
    const int nLength =
        ::MultiByteToWideChar(CP_ACP, 0, strText.data(), int(strText.size()), nullptr, 0);
    std::wstring strWide(size_t(nLength), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, strText.data(), int(strText.size()), &strWide[0], nLength);
    return strWide;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& strPath, const std::string& strContent)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strContent;
}

bool FileExists(const std::string& strPath)
{
    return ::GetFileAttributesA(strPath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> ListFiles(const std::string& strFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    CFindHandle find(::FindFirstFileA((strFolder + "*").c_str(), &data));
    if (!find.IsValid())
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(data.cFileName);
    } while (::FindNextFileA(find.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

std::uint64_t WriteTime(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(strPath.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void SetOldTime(const std::string& strPath)
{
    SYSTEMTIME day{2001, 6, 0, 15, 12, 0, 0, 0};
    FILETIME time{};
    ::SystemTimeToFileTime(&day, &time);
    HANDLE hFile =
        ::CreateFileA(strPath.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE) << strPath;
    ::SetFileTime(hFile, nullptr, nullptr, &time);
    ::CloseHandle(hFile);
}

std::string Expected(const char* pszName)
{
    const std::string strPath = std::string(EXPORT_TEST_EXPECTED_DIR) + "/" + pszName;
    if (!FileExists(strPath))
        ADD_FAILURE() << "missing expected file " << strPath;
    return ReadFile(strPath);
}

}  // namespace QmexportTest
