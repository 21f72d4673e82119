// QmexportFixtureLinux.cpp
//
// The fixture's system part on Linux: paths are UTF-8 bytes as they are, the child is started
// with posix_spawn and pipes for its standard handles, Ctrl+C is SIGINT.
#include "tests/qmexport/QmexportFixtureSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/TextCase.h"

extern char** environ;

namespace QmexportTest {

const char kSeparator[] = "/";
const char kLibraryPathVariable[] = "LD_LIBRARY_PATH";
const char kLibraryPathSeparator[] = ":";

namespace {

// A descriptor, closed once.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int nFd) : m_nFd(nFd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_nFd; }
    void Close()
    {
        if (m_nFd >= 0)
            ::close(m_nFd);
        m_nFd = -1;
    }

private:
    int m_nFd = -1;
};

// The child's environment: this process's, with the changes.
std::vector<std::string> ChildEnvironment(const std::map<std::string, std::string>& changes)
{
    std::vector<std::string> variables;
    for (char** ppVariable = environ; *ppVariable != nullptr; ++ppVariable) {
        const std::string strVariable = *ppVariable;
        const std::string strName = strVariable.substr(0, strVariable.find('='));
        if (changes.count(strName) == 0)
            variables.push_back(strVariable);
    }
    for (const auto& change : changes) {
        if (change.second != kRemoveVariable)
            variables.push_back(change.first + "=" + change.second);
    }
    return variables;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& str : strings)
        pointers.push_back(&str[0]);
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

// ---- The system part ----

namespace SystemPart {

std::string TempRoot()
{
    const char* pszTemp = std::getenv("TMPDIR");
    std::string strFolder = pszTemp != nullptr && *pszTemp != '\0' ? pszTemp : "/tmp";
    while (strFolder.size() > 1 && strFolder.back() == '/')
        strFolder.pop_back();
    return strFolder + "/";
}

std::string ProcessTag()
{
    return std::to_string(::getpid());
}

void SetVariable(const char* pszName, const std::string& strValue)
{
    ::setenv(pszName, strValue.c_str(), 1);
}

void RemoveTree(const std::string& strFolder)
{
    std::vector<std::string> names;
    if (DIR* pDir = ::opendir(strFolder.c_str())) {
        while (const dirent* pEntry = ::readdir(pDir)) {
            const std::string strName = pEntry->d_name;
            if (strName != "." && strName != "..")
                names.push_back(strName);
        }
        ::closedir(pDir);
    }
    for (const std::string& strName : names) {
        const std::string strPath = strFolder + strName;
        struct stat status = {};
        if (::lstat(strPath.c_str(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode)) {
            ::chmod(strPath.c_str(), 0700);
            RemoveTree(strPath + "/");
        } else {
            ::unlink(strPath.c_str());
        }
    }
    ::rmdir(strFolder.c_str());
}

RunResult Run(const std::string& strProgram, const std::string& strArguments,
              const std::map<std::string, std::string>& environment, const RunOptions& options)
{
    // A child gone before reading its input would raise SIGPIPE at the write: ignored here
    // (never in the child, see below).
    static const bool bPipeSignalIgnored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)bPipeSignalIgnored;
    RunResult result;
    std::vector<std::string> args = SplitCommandLine(strArguments);
    args.insert(args.begin(), strProgram);
    std::vector<std::string> variables = ChildEnvironment(environment);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(variables);

    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
        ::pipe2(err, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipes: " << std::strerror(errno);
        return result;
    }
    Descriptor inRead(in[0]), inWrite(in[1]), outRead(out[0]), outWrite(out[1]), errRead(err[0]),
        errWrite(err[1]);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outWrite.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.Get(), STDERR_FILENO);
    // The child starts with every signal at its default and none blocked, whatever this
    // process does with them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults, none;
    sigfillset(&defaults);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    pid_t child = -1;
    const int nSpawned =
        ::posix_spawn(&child, strProgram.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    inRead.Close();
    outWrite.Close();
    errWrite.Close();
    if (nSpawned != 0) {
        ADD_FAILURE() << strProgram << " did not start: " << std::strerror(nSpawned);
        return result;
    }

    // Standard input is written as the child reads it, both outputs read as they come, until
    // both end; the child's end is waited for besides.
    size_t nInput = 0;
    if (options.strInput.empty())
        inWrite.Close();
    const auto start = std::chrono::steady_clock::now();
    bool bWatching = options.pWhileRunning != nullptr;
    bool bOutOpen = true, bErrOpen = true, bExited = false;
    int nStatus = 0;
    while (bOutOpen || bErrOpen || !bExited) {
        pollfd fds[3] = {
            {outRead.Get(), POLLIN, 0}, {errRead.Get(), POLLIN, 0}, {inWrite.Get(), POLLOUT, 0}};
        if (!bOutOpen)
            fds[0].fd = -1;
        if (!bErrOpen)
            fds[1].fd = -1;
        ::poll(fds, 3, bWatching ? 5 : 50);
        char szBuffer[4096];
        for (int i = 0; i < 2; ++i) {
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
                continue;
            const ssize_t nRead = ::read(fds[i].fd, szBuffer, sizeof(szBuffer));
            if (nRead > 0)
                (i == 0 ? result.strOut : result.strErr).append(szBuffer, size_t(nRead));
            else if (nRead == 0 || errno != EINTR)
                (i == 0 ? bOutOpen : bErrOpen) = false;
        }
        if ((fds[2].revents & (POLLOUT | POLLERR | POLLHUP)) != 0) {
            const ssize_t nWritten = ::write(inWrite.Get(), options.strInput.data() + nInput,
                                             options.strInput.size() - nInput);
            if (nWritten > 0)
                nInput += size_t(nWritten);
            if (nWritten <= 0 || nInput == options.strInput.size())
                inWrite.Close();
        }
        if (!bExited) {
            const pid_t nDone = ::waitpid(child, &nStatus, WNOHANG);
            bExited = nDone == child || nDone < 0;
        }
        if (!bExited && bWatching && options.pWhileRunning(ProcessId(child), options.pContext))
            bWatching = false;
        if (std::chrono::steady_clock::now() - start >
            std::chrono::milliseconds(options.nTimeoutMs)) {
            ADD_FAILURE() << strProgram << " did not end in time";
            if (!bExited) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &nStatus, 0);
            }
            return result;
        }
    }
    if (WIFEXITED(nStatus))
        result.nExitCode = WEXITSTATUS(nStatus);
    else if (WIFSIGNALED(nStatus))
        result.nExitCode = 128 + WTERMSIG(nStatus);  // as a shell reports it
    return result;
}

}  // namespace SystemPart

// ---- Ctrl+C ----

bool PrepareInterrupt()
{
    return true;
}

bool Interrupt(ProcessId nProcess)
{
    return ::kill(pid_t(nProcess), SIGINT) == 0;
}

bool Terminate(ProcessId nProcess)
{
    return ::kill(pid_t(nProcess), SIGTERM) == 0;
}

// ---- The environment ----

std::string Variable(const char* pszName)
{
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? pszValue : "";
}

// ---- Files ----

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
    out.close();
    if (!out)
        ADD_FAILURE() << "could not write " << strPath;
}

bool FileExists(const std::string& strPath)
{
    struct stat status = {};
    return ::lstat(strPath.c_str(), &status) == 0;
}

bool MakeFolder(const std::string& strPath)
{
    return ::mkdir(strPath.c_str(), 0777) == 0;
}

void RemoveFile(const std::string& strPath)
{
    ::unlink(strPath.c_str());
}

std::vector<std::string> ListFiles(const std::string& strFolder)
{
    std::vector<std::string> names;
    DIR* pDir = ::opendir(strFolder.c_str());
    if (pDir == nullptr)
        return names;
    while (const dirent* pEntry = ::readdir(pDir)) {
        struct stat status = {};
        const std::string strName = pEntry->d_name;
        if (::lstat((strFolder + strName).c_str(), &status) == 0 && !S_ISDIR(status.st_mode))
            names.push_back(strName);
    }
    ::closedir(pDir);
    std::sort(names.begin(), names.end());
    return names;
}

std::uint64_t WriteTime(const std::string& strPath)
{
    struct stat status = {};
    if (::stat(strPath.c_str(), &status) != 0)
        return 0;
    return std::uint64_t(status.st_mtim.tv_sec) * 1000000000u +
           std::uint64_t(status.st_mtim.tv_nsec);
}

void SetOldTime(const std::string& strPath)
{
    std::tm day = {};
    day.tm_year = 2001 - 1900;
    day.tm_mon = 5;
    day.tm_mday = 15;
    day.tm_hour = 12;
    const timespec times[2] = {{::timegm(&day), 0}, {::timegm(&day), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, strPath.c_str(), times, 0), 0) << strPath;
}

bool IsReadOnly(const std::string& strPath)
{
    struct stat status = {};
    return ::stat(strPath.c_str(), &status) == 0 &&
           (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool MakeReadOnly(const std::string& strPath)
{
    struct stat status = {};
    return ::stat(strPath.c_str(), &status) == 0 &&
           ::chmod(strPath.c_str(), status.st_mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SameFileName(const std::wstring& strA, const std::wstring& strB)
{
    return SameIgnoringCase(strA, strB);
}

bool IsLink(const std::string& strPath)
{
    struct stat status = {};
    return ::lstat(strPath.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

// Linux has no open that keeps others out (advisory locks do not stop a read).
ExclusiveHold::ExclusiveHold(const std::string&) {}

ExclusiveHold::~ExclusiveHold() = default;

bool MakeLink(const std::string& strTarget, const std::string& strLink)
{
    return ::symlink(strTarget.c_str(), strLink.c_str()) == 0;
}

}  // namespace QmexportTest
