// QmexportFixtureWindows.cpp
//
// The fixture's system part on Windows (and Wine): wide calls for every path, CreateProcessW
// with pipes for the child, the console's Ctrl+C.
#include "tests/qmexport/QmexportFixtureSystem.h"

#include <windows.h>

#include <algorithm>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "framework/UniqueHandle.h"

namespace QmexportTest {

const char kSeparator[] = "\\";
const char kLibraryPathVariable[] = "PATH";
const char kLibraryPathSeparator[] = ";";

namespace {

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
            const std::wstring strName = Wide(change.first);
            std::vector<wchar_t> old(32768, L'\0');
            const DWORD nLength =
                ::GetEnvironmentVariableW(strName.c_str(), old.data(), DWORD(old.size()));
            m_old.emplace_back(strName, nLength != 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND,
                               std::wstring(old.data(), nLength < old.size() ? nLength : 0));
            ::SetEnvironmentVariableW(strName.c_str(), change.second == kRemoveVariable
                                                           ? nullptr
                                                           : Wide(change.second).c_str());
        }
    }
    ~EnvironmentChange()
    {
        for (const auto& old : m_old)
            ::SetEnvironmentVariableW(std::get<0>(old).c_str(),
                                      std::get<1>(old) ? std::get<2>(old).c_str() : nullptr);
    }
    EnvironmentChange(const EnvironmentChange&) = delete;
    EnvironmentChange& operator=(const EnvironmentChange&) = delete;

private:
    std::vector<std::tuple<std::wstring, bool, std::wstring>> m_old;
};

// Runs on the console's thread for the test's own Ctrl+C: the test goes on.
BOOL WINAPI IgnoreControl(DWORD)
{
    return TRUE;
}

}  // namespace

// ---- The system part ----

namespace SystemPart {

std::string TempRoot()
{
    wchar_t szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    return Utf8(szTemp);
}

std::string ProcessTag()
{
    return std::to_string(::GetCurrentProcessId());
}

void SetVariable(const char* pszName, const std::string& strValue)
{
    ::SetEnvironmentVariableW(Wide(pszName).c_str(), Wide(strValue).c_str());
}

void RemoveTree(const std::string& strFolder)
{
    WIN32_FIND_DATAW data{};
    std::vector<std::pair<std::string, DWORD>> entries;
    {
        CFindHandle find(::FindFirstFileW(Wide(strFolder + "*").c_str(), &data));
        if (find.IsValid()) {
            do {
                const std::wstring strName = data.cFileName;
                if (strName != L"." && strName != L"..")
                    entries.emplace_back(Utf8(strName), data.dwFileAttributes);
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
            RemoveTree(strFolder + entry.first + "\\");
        else
            RemoveFile(strFolder + entry.first);
    }
    ::RemoveDirectoryW(Wide(strFolder).c_str());
}

RunResult Run(const std::string& strProgram, const std::string& strArguments,
              const std::map<std::string, std::string>& environment, const RunOptions& options)
{
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
    std::wstring strCommand = L"\"" + Wide(NativePath(strProgram)) + L"\" " + Wide(strArguments);
    PROCESS_INFORMATION pi{};
    // Wine now and then loses a new process before it has started (ERROR_INTERNAL_ERROR, the
    // child gone with exit code 0 under load); nothing of the run has happened then, so the
    // start is tried again.
    BOOL bStarted = FALSE;
    for (int nAttempt = 0; nAttempt < 3 && !bStarted; ++nAttempt) {
        bStarted = ::CreateProcessW(nullptr, &strCommand[0], nullptr, nullptr, TRUE, 0, nullptr,
                                    nullptr, &si, &pi);
        if (!bStarted && ::GetLastError() != ERROR_INTERNAL_ERROR)
            break;
    }
    ::CloseHandle(hInRead);
    ::CloseHandle(hOutWrite);
    ::CloseHandle(hErrWrite);
    RunResult result;
    if (!bStarted) {
        ADD_FAILURE() << strProgram << " did not start: " << ::GetLastError();
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

    const ULONGLONG nStart = ::GetTickCount64();
    bool bWatching = options.pWhileRunning != nullptr;
    bool bEnded = true;
    while (::WaitForSingleObject(pi.hProcess, bWatching ? 5 : 100) == WAIT_TIMEOUT) {
        if (bWatching && options.pWhileRunning(pi.dwProcessId, options.pContext))
            bWatching = false;
        if (::GetTickCount64() - nStart > options.nTimeoutMs) {
            ADD_FAILURE() << strProgram << " did not end in time";
            ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, 10000);
            bEnded = false;
            break;
        }
    }
    DWORD nExitCode = 0;
    ::GetExitCodeProcess(pi.hProcess, &nExitCode);
    result.nExitCode = bEnded ? int(nExitCode) : -1;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    result.strOut = out.Finish();
    result.strErr = err.Finish();
    return result;
}

}  // namespace SystemPart

// ---- Ctrl+C ----

bool PrepareInterrupt()
{
    static const bool bReady = [] {
        ::FreeConsole();
        if (!::AllocConsole())
            return false;
        ::SetConsoleCtrlHandler(IgnoreControl, TRUE);
        return true;
    }();
    return bReady;
}

bool Interrupt(ProcessId)
{
    // Every process of the console: the child, and this one, which ignores it.
    return ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE;
}

bool Terminate(ProcessId)
{
    return false;
}

// ---- The environment ----

std::string Variable(const char* pszName)
{
    std::vector<wchar_t> value(32768, L'\0');
    const DWORD nLength =
        ::GetEnvironmentVariableW(Wide(pszName).c_str(), value.data(), DWORD(value.size()));
    return nLength < value.size() ? Utf8(std::wstring(value.data(), nLength)) : std::string();
}

// ---- Files ----

std::string ReadFile(const std::string& strPath)
{
    CHandle file(::CreateFileW(Wide(strPath).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    std::string strContent;
    if (!file.IsValid())
        return strContent;
    char szBuffer[65536];
    DWORD nRead = 0;
    while (::ReadFile(file.Get(), szBuffer, sizeof(szBuffer), &nRead, nullptr) && nRead != 0)
        strContent.append(szBuffer, nRead);
    return strContent;
}

void WriteFile(const std::string& strPath, const std::string& strContent)
{
    CHandle file(::CreateFileW(Wide(strPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD nWritten = 0;
    if (!file.IsValid() ||
        !::WriteFile(file.Get(), strContent.data(), DWORD(strContent.size()), &nWritten, nullptr) ||
        nWritten != strContent.size())
        ADD_FAILURE() << "could not write " << strPath << ": " << ::GetLastError();
}

bool FileExists(const std::string& strPath)
{
    return ::GetFileAttributesW(Wide(strPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool MakeFolder(const std::string& strPath)
{
    return ::CreateDirectoryW(Wide(strPath).c_str(), nullptr) != FALSE;
}

// Wine's DeleteFile removes a link's target: a file of our own is renamed over the link first.
void RemoveFile(const std::string& strPath)
{
    const std::wstring strWide = Wide(strPath);
    ::SetFileAttributesW(strWide.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::wstring strSpare = strWide + L".removing";
    CHandle spare(::CreateFileW(strSpare.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    spare.Reset();
    if (!::MoveFileExW(strSpare.c_str(), strWide.c_str(), MOVEFILE_REPLACE_EXISTING))
        ::DeleteFileW(strSpare.c_str());
    ::DeleteFileW(strWide.c_str());
}

std::vector<std::string> ListFiles(const std::string& strFolder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAW data{};
    CFindHandle find(::FindFirstFileW(Wide(strFolder + "*").c_str(), &data));
    if (!find.IsValid())
        return names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(Utf8(data.cFileName));
    } while (::FindNextFileW(find.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

std::uint64_t WriteTime(const std::string& strPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Wide(strPath).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

void SetOldTime(const std::string& strPath)
{
    SYSTEMTIME day{2001, 6, 0, 15, 12, 0, 0, 0};
    FILETIME time{};
    ::SystemTimeToFileTime(&day, &time);
    CHandle file(::CreateFileW(Wide(strPath).c_str(), FILE_WRITE_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << strPath;
    ::SetFileTime(file.Get(), nullptr, nullptr, &time);
}

bool IsReadOnly(const std::string& strPath)
{
    const DWORD nAttributes = ::GetFileAttributesW(Wide(strPath).c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool MakeReadOnly(const std::string& strPath)
{
    return ::SetFileAttributesW(Wide(strPath).c_str(), FILE_ATTRIBUTE_READONLY) != FALSE;
}

bool SameFileName(const std::wstring& strA, const std::wstring& strB)
{
    return ::CompareStringOrdinal(strA.c_str(), int(strA.size()), strB.c_str(), int(strB.size()),
                                  TRUE) == CSTR_EQUAL;
}

bool IsLink(const std::string& strPath)
{
    const DWORD nAttributes = ::GetFileAttributesW(Wide(strPath).c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES &&
           (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

ExclusiveHold::ExclusiveHold(const std::string& strPath)
{
    const HANDLE hFile = ::CreateFileW(Wide(strPath).c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile != INVALID_HANDLE_VALUE)
        m_pHandle = hFile;
}

ExclusiveHold::~ExclusiveHold()
{
    if (m_pHandle != nullptr)
        ::CloseHandle(m_pHandle);
}

// Under Wine, whose links are the host's, the host's ln makes one when CreateSymbolicLink
// does not.
bool MakeLink(const std::string& strTarget, const std::string& strLink)
{
    if (::CreateSymbolicLinkW(Wide(strLink).c_str(), Wide(strTarget).c_str(),
                              0x2 /* unprivileged */) &&
        FileExists(strLink))
        return true;
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto pUnixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (pUnixName == nullptr)
        return false;
    char* pszTarget = pUnixName(Wide(strTarget).c_str());
    const std::string strFolder = strLink.substr(0, strLink.rfind('\\') + 1);
    char* pszFolder = pUnixName(Wide(strFolder).c_str());
    if (pszTarget == nullptr || pszFolder == nullptr)
        return false;
    std::wstring strCommand = L"/bin/ln -s \"" + Wide(pszTarget) + L"\" \"" + Wide(pszFolder) +
                              Wide(strLink.substr(strFolder.size())) + L"\"";
    ::HeapFree(::GetProcessHeap(), 0, pszTarget);
    ::HeapFree(::GetProcessHeap(), 0, pszFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(L"Z:\\bin\\ln", &strCommand[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, 10000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    // The host's process is not the handle's: wait for the link itself to show.
    for (int i = 0; i < 500 && !FileExists(strLink); ++i)
        ::Sleep(10);
    return FileExists(strLink);
}

}  // namespace QmexportTest
