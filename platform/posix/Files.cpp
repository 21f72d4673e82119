// Files.cpp (POSIX): the file calls on UTF-8 paths. Links are looked at with lstat and never
// followed where something is written; names are compared as Windows compares them.
#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Text.h"
#include "platform/TextCase.h"

namespace {

std::string Native(const std::wstring& strPath)
{
    return FromWide(strPath, kUtf8CodePage);
}

std::wstring Wide(const char* pszPath)
{
    return ToWide(pszPath, int(std::char_traits<char>::length(pszPath)), kUtf8CodePage);
}

// Without any write permission, or one this process is refused: the file is not changed.
bool IsReadOnly(const std::string& strPath, const struct stat& info)
{
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
           (::access(strPath.c_str(), W_OK) != 0 && errno == EACCES);
}

Files::Status StatusOfInfo(const std::string& strPath, const struct stat& info)
{
    Files::Status status;
    if (S_ISLNK(info.st_mode)) {
        status.bLink = true;
        // Only to know it leads to a folder, as Windows marks a link to one.
        struct stat target {};
        status.bFolder = ::stat(strPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        return status;
    }
    status.bFolder = S_ISDIR(info.st_mode);
    status.bReadOnly = !status.bFolder && IsReadOnly(strPath, info);
    return status;
}

std::wstring FolderPart(const std::wstring& strPath, std::wstring& strName)
{
    const size_t nSlash = strPath.rfind(L'/');
    if (nSlash == std::wstring::npos) {
        strName = strPath;
        return L".";
    }
    strName = strPath.substr(nSlash + 1);
    return nSlash == 0 ? std::wstring(L"/") : strPath.substr(0, nSlash);
}

}  // namespace

namespace Files {

const size_t kMaxPath = PATH_MAX;
const wchar_t kSeparators[] = L"/";
const wchar_t kSeparator = L'/';

bool StatusOf(const std::wstring& strPath, Status& status, SystemError& nError)
{
    const std::string strNative = Native(strPath);
    struct stat info {};
    if (::lstat(strNative.c_str(), &info) != 0) {
        nError = SystemError(errno);
        return false;
    }
    status = StatusOfInfo(strNative, info);
    return true;
}

bool ListFolder(const std::wstring& strFolder, std::vector<Entry>& entries)
{
    entries.clear();
    std::string strNative = Native(strFolder.empty() ? std::wstring(L".") : strFolder);
    DIR* pDir = ::opendir(strNative.c_str());
    if (pDir == nullptr)
        return false;
    if (strNative.back() != '/')
        strNative += '/';
    while (const dirent* pEntry = ::readdir(pDir)) {
        const std::string strName = pEntry->d_name;
        if (strName == "." || strName == "..")
            continue;
        const std::string strPath = strNative + strName;
        struct stat info {};
        if (::lstat(strPath.c_str(), &info) != 0)
            continue;
        entries.push_back(Entry{Wide(strName.c_str()), StatusOfInfo(strPath, info)});
    }
    ::closedir(pDir);
    return true;
}

// The exact name first (one call), then the folder read for another case of it.
bool FindEntry(const std::wstring& strPath, Entry& entry)
{
    std::wstring strName;
    const std::wstring strFolder = FolderPart(strPath, strName);
    if (strName.empty())
        return false;
    Status status;
    SystemError nError = 0;
    if (StatusOf(strPath, status, nError)) {
        entry = Entry{strName, status};
        return true;
    }
    std::vector<Entry> entries;
    if (!ListFolder(strFolder, entries))
        return false;
    for (const Entry& candidate : entries) {
        if (SameIgnoringCase(candidate.strName, strName)) {
            entry = candidate;
            return true;
        }
    }
    return false;
}

SystemError CreateFolder(const std::wstring& strPath)
{
    return ::mkdir(Native(strPath).c_str(), 0777) == 0 ? 0 : SystemError(errno);
}

SystemError Rename(const std::wstring& strFrom, const std::wstring& strTo, bool bReplace)
{
    const std::string strNativeFrom = Native(strFrom);
    const std::string strNativeTo = Native(strTo);
    if (!bReplace) {
        // A link cannot be made over an existing name: the new name is taken whole, or not.
        if (::link(strNativeFrom.c_str(), strNativeTo.c_str()) == 0) {
            ::unlink(strNativeFrom.c_str());
            return 0;
        }
        if (errno == EEXIST)
            return EEXIST;
        struct stat info {};
        if (::lstat(strNativeTo.c_str(), &info) == 0)
            return EEXIST;
    }
    return ::rename(strNativeFrom.c_str(), strNativeTo.c_str()) == 0 ? 0 : SystemError(errno);
}

SystemError Remove(const std::wstring& strPath)
{
    return ::unlink(Native(strPath).c_str()) == 0 ? 0 : SystemError(errno);
}

bool FullPath(const std::wstring& strPath, std::wstring& strFull)
{
    if (strPath.empty())
        return false;
    if (strPath[0] == L'/') {
        strFull = strPath;
        return true;
    }
    char szFolder[PATH_MAX];
    if (::getcwd(szFolder, sizeof(szFolder)) == nullptr)
        return false;
    std::wstring strFolder = Wide(szFolder);
    if (strFolder.empty() || strFolder.back() != L'/')
        strFolder += L'/';
    std::wstring strRest = strPath;
    while (strRest.compare(0, 2, L"./") == 0)
        strRest.erase(0, 2);
    strFull = strRest == L"." ? strFolder : strFolder + strRest;
    return true;
}

std::wstring ExactNameFolder(const std::wstring&)
{
    return std::wstring();
}

// Names are at most NAME_MAX bytes, whatever the folder.
size_t HostNameLimit(bool)
{
    return NAME_MAX;
}

unsigned long ProcessId()
{
    return static_cast<unsigned long>(::getpid());
}

// ---- File ----

File File::Open(const std::wstring& strPath, Access access, Disposition disposition,
                SystemError& nError)
{
    int nFlags = O_CLOEXEC;
    switch (access) {
    case Access::Read:
        nFlags |= O_RDONLY;
        break;
    case Access::Write:
        nFlags |= O_WRONLY;
        break;
    case Access::Append:
        nFlags |= O_WRONLY | O_APPEND;
        break;
    case Access::ReadWrite:
        nFlags |= O_RDWR;
        break;
    }
    switch (disposition) {
    case Disposition::OpenExisting:
        break;
    case Disposition::CreateAlways:
        nFlags |= O_CREAT | O_TRUNC;
        break;
    case Disposition::CreateNew:
    case Disposition::CreateProbe:
        // O_EXCL: a link in the name's place is not followed either.
        nFlags |= O_CREAT | O_EXCL;
        break;
    }
    File file;
    const std::string strNative = Native(strPath);
    const int fd = ::open(strNative.c_str(), nFlags, 0666);
    if (fd < 0) {
        nError = SystemError(errno);
        return file;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        nError = EISDIR;
        return file;
    }
    file.m_nHandle = fd;
    file.m_strPath = strPath;
    if (disposition == Disposition::CreateProbe)
        file.DiscardOnClose();
    return file;
}

bool File::Write(const void* pData, size_t nSize, SystemError& nError)
{
    const char* pBytes = static_cast<const char*>(pData);
    size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t nWritten = ::write(int(m_nHandle), pBytes + nDone, nSize - nDone);
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            nError = SystemError(errno);
            return false;
        }
        if (nWritten == 0) {
            nError = ENOSPC;
            return false;
        }
        nDone += size_t(nWritten);
    }
    return true;
}

bool File::Read(void* pBuffer, size_t nSize, size_t& nRead, SystemError& nError)
{
    for (;;) {
        const ssize_t nGot = ::read(int(m_nHandle), pBuffer, nSize);
        if (nGot >= 0) {
            nRead = size_t(nGot);
            return true;
        }
        if (errno != EINTR) {
            nError = SystemError(errno);
            return false;
        }
    }
}

bool File::Size(std::uint64_t& nSize) const
{
    struct stat info {};
    if (::fstat(int(m_nHandle), &info) != 0)
        return false;
    nSize = std::uint64_t(info.st_size);
    return true;
}

bool File::SeekStart(SystemError& nError)
{
    if (::lseek(int(m_nHandle), 0, SEEK_SET) < 0) {
        nError = SystemError(errno);
        return false;
    }
    return true;
}

bool File::SeekEnd(std::int64_t& nEnd, SystemError& nError)
{
    const off_t nAt = ::lseek(int(m_nHandle), 0, SEEK_END);
    if (nAt < 0) {
        nError = SystemError(errno);
        return false;
    }
    nEnd = nAt;
    return true;
}

bool File::Truncate(std::int64_t nLength)
{
    return ::ftruncate(int(m_nHandle), off_t(nLength)) == 0 &&
           ::lseek(int(m_nHandle), off_t(nLength), SEEK_SET) >= 0;
}

// What the descriptor leads to now: the name the file system gave the file.
std::wstring File::HeldName() const
{
    char szPath[PATH_MAX + 1];
    const std::string strLink = "/proc/self/fd/" + std::to_string(m_nHandle);
    const ssize_t nLength = ::readlink(strLink.c_str(), szPath, PATH_MAX);
    if (nLength <= 0) {
        const size_t nSlash = m_strPath.rfind(L'/');
        return nSlash == std::wstring::npos ? m_strPath : m_strPath.substr(nSlash + 1);
    }
    szPath[nLength] = '\0';
    const std::wstring strPath = Wide(szPath);
    const size_t nSlash = strPath.rfind(L'/');
    return nSlash == std::wstring::npos ? strPath : strPath.substr(nSlash + 1);
}

// Removed by its name at once: nobody else opened it (it was made new), and the descriptor
// keeps what is written until it closes.
void File::DiscardOnClose()
{
    if (m_nHandle != kNone && !m_bDiscard)
        ::unlink(Native(m_strPath).c_str());
    m_bDiscard = true;
}

void File::Close()
{
    if (m_nHandle != kNone)
        ::close(int(m_nHandle));
    m_nHandle = kNone;
    m_bDiscard = false;
}

}  // namespace Files
