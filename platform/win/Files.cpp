// Files.cpp (Windows): the wide file calls.
#include "platform/Files.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Text.h"

namespace {

Files::Status StatusOfAttributes(DWORD nAttributes)
{
    Files::Status status;
    status.bFolder = (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    status.bLink = (nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    status.bReadOnly = (nAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return status;
}

HANDLE Native(std::intptr_t nHandle)
{
    return reinterpret_cast<HANDLE>(nHandle);
}

}  // namespace

namespace Files {

const size_t kMaxPath = MAX_PATH;
const wchar_t kSeparators[] = L"\\/";
const wchar_t kSeparator = L'\\';

bool StatusOf(const std::wstring& strPath, Status& status, SystemError& nError)
{
    const DWORD nAttributes = ::GetFileAttributesW(strPath.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES) {
        nError = ::GetLastError();
        return false;
    }
    status = StatusOfAttributes(nAttributes);
    return true;
}

bool ListFolder(const std::wstring& strFolder, std::vector<Entry>& entries)
{
    entries.clear();
    std::wstring strPattern = strFolder;
    if (!strPattern.empty() && strPattern.back() != L'\\' && strPattern.back() != L'/')
        strPattern += L'\\';
    strPattern += L'*';
    WIN32_FIND_DATAW data{};
    HANDLE hFind = ::FindFirstFileW(strPattern.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    do {
        const std::wstring strName = data.cFileName;
        if (strName != L"." && strName != L"..")
            entries.push_back(Entry{strName, StatusOfAttributes(data.dwFileAttributes)});
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    return true;
}

bool FindEntry(const std::wstring& strPath, Entry& entry)
{
    WIN32_FIND_DATAW data{};
    HANDLE hFind = ::FindFirstFileW(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    ::FindClose(hFind);
    entry = Entry{data.cFileName, StatusOfAttributes(data.dwFileAttributes)};
    return true;
}

SystemError CreateFolder(const std::wstring& strPath)
{
    return ::CreateDirectoryW(strPath.c_str(), nullptr) ? ERROR_SUCCESS : ::GetLastError();
}

SystemError Rename(const std::wstring& strFrom, const std::wstring& strTo, bool bReplace)
{
    return ::MoveFileExW(strFrom.c_str(), strTo.c_str(), bReplace ? MOVEFILE_REPLACE_EXISTING : 0)
               ? ERROR_SUCCESS
               : ::GetLastError();
}

SystemError Remove(const std::wstring& strPath)
{
    return ::DeleteFileW(strPath.c_str()) ? ERROR_SUCCESS : ::GetLastError();
}

bool FullPath(const std::wstring& strPath, std::wstring& strFull)
{
    if (strPath.empty())
        return false;
    const DWORD nSize = ::GetFullPathNameW(strPath.c_str(), 0, nullptr, nullptr);
    if (nSize == 0)
        return false;
    std::vector<wchar_t> buffer(nSize + 1);
    const DWORD nLength =
        ::GetFullPathNameW(strPath.c_str(), DWORD(buffer.size()), buffer.data(), nullptr);
    if (nLength == 0 || nLength >= buffer.size())
        return false;
    strFull.assign(buffer.data(), nLength);
    return true;
}

// Under Wine, the folder's path in the host's own terms ("\\?\unix\home\...\"): a name opened
// there is taken exactly as written, where a Windows path makes Wine read the whole folder
// for another case of every name the folder lacks. Empty elsewhere.
std::wstring ExactNameFolder(const std::wstring& strFolder)
{
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    const auto pfnUnixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (pfnUnixName == nullptr || strFolder.empty())
        return std::wstring();
    char* pszUnix = pfnUnixName(strFolder.c_str());
    if (pszUnix == nullptr)
        return std::wstring();
    std::wstring strHost = ToWide(pszUnix, int(std::strlen(pszUnix)), CP_UTF8);
    ::HeapFree(::GetProcessHeap(), 0, pszUnix);
    if (strHost.empty() || strHost[0] != L'/')
        return std::wstring();
    for (wchar_t& ch : strHost) {
        if (ch == L'/')
            ch = L'\\';
    }
    if (strHost.back() != L'\\')
        strHost += L'\\';
    return L"\\\\?\\unix" + strHost;
}

// The host's names are at most 255 bytes: a longer one would fail or be cut.
size_t HostNameLimit(bool bExactNameFolder)
{
    return bExactNameFolder ? 255 : 0;
}

unsigned long ProcessId()
{
    return ::GetCurrentProcessId();
}

// ---- File ----

File File::Open(const std::wstring& strPath, Access access, Disposition disposition,
                SystemError& nError)
{
    DWORD nAccess = GENERIC_READ;
    DWORD nShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD nFlags = FILE_ATTRIBUTE_NORMAL;
    if (access == Access::Write)
        nAccess = GENERIC_WRITE;
    if (access == Access::ReadWrite)
        nAccess = GENERIC_READ | GENERIC_WRITE;
    if (access == Access::Append) {
        nAccess = FILE_APPEND_DATA;
        nShare = FILE_SHARE_READ | FILE_SHARE_DELETE;
    }
    DWORD nCreate = OPEN_EXISTING;
    switch (disposition) {
    case Disposition::OpenExisting:
        break;
    case Disposition::CreateAlways:
        nCreate = CREATE_ALWAYS;
        break;
    case Disposition::CreateNew:
        // DELETE, so that a file that turned out wrong can go with its handle.
        nCreate = CREATE_NEW;
        nAccess |= DELETE;
        nShare = 0;
        break;
    case Disposition::CreateProbe:
        nCreate = CREATE_NEW;
        nAccess |= DELETE;
        nShare = 0;
        nFlags = FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE;
        break;
    }
    File file;
    HANDLE hFile =
        ::CreateFileW(strPath.c_str(), nAccess, nShare, nullptr, nCreate, nFlags, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        nError = ::GetLastError();
        return file;
    }
    file.m_nHandle = reinterpret_cast<std::intptr_t>(hFile);
    file.m_strPath = strPath;
    return file;
}

// In pieces the API takes; anything short of all the bytes is a failure.
bool File::Write(const void* pData, size_t nSize, SystemError& nError)
{
    const char* pBytes = static_cast<const char*>(pData);
    size_t nDone = 0;
    while (nDone < nSize) {
        const DWORD nPiece = DWORD(std::min<size_t>(nSize - nDone, 1u << 24));
        DWORD nWritten = 0;
        if (!::WriteFile(Native(m_nHandle), pBytes + nDone, nPiece, &nWritten, nullptr)) {
            nError = ::GetLastError();
            return false;
        }
        if (nWritten != nPiece) {
            nError = ERROR_DISK_FULL;
            return false;
        }
        nDone += nPiece;
    }
    return true;
}

bool File::Read(void* pBuffer, size_t nSize, size_t& nRead, SystemError& nError)
{
    DWORD nGot = 0;
    if (!::ReadFile(Native(m_nHandle), pBuffer, DWORD(std::min<size_t>(nSize, 1u << 30)), &nGot,
                    nullptr)) {
        nError = ::GetLastError();
        return false;
    }
    nRead = nGot;
    return true;
}

bool File::Size(std::uint64_t& nSize) const
{
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Native(m_nHandle), &size))
        return false;
    nSize = std::uint64_t(size.QuadPart);
    return true;
}

bool File::SeekStart(SystemError& nError)
{
    LARGE_INTEGER zero{};
    if (!::SetFilePointerEx(Native(m_nHandle), zero, nullptr, FILE_BEGIN)) {
        nError = ::GetLastError();
        return false;
    }
    return true;
}

bool File::SeekEnd(std::int64_t& nEnd, SystemError& nError)
{
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    if (!::SetFilePointerEx(Native(m_nHandle), zero, &end, FILE_END)) {
        nError = ::GetLastError();
        return false;
    }
    nEnd = end.QuadPart;
    return true;
}

bool File::Truncate(std::int64_t nLength)
{
    LARGE_INTEGER position{};
    position.QuadPart = nLength;
    return ::SetFilePointerEx(Native(m_nHandle), position, nullptr, FILE_BEGIN) &&
           ::SetEndOfFile(Native(m_nHandle));
}

std::wstring File::HeldName() const
{
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto* pInfo = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(Native(m_nHandle), FileNameInfo, pInfo,
                                        DWORD(buffer.size())))
        return std::wstring();
    const std::wstring strPath(pInfo->FileName, pInfo->FileNameLength / sizeof(wchar_t));
    const size_t nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? strPath : strPath.substr(nSlash + 1);
}

void File::DiscardOnClose()
{
    FILE_DISPOSITION_INFO disposition{TRUE};
    ::SetFileInformationByHandle(Native(m_nHandle), FileDispositionInfo, &disposition,
                                 sizeof(disposition));
}

void File::Close()
{
    if (m_nHandle != kNone)
        ::CloseHandle(Native(m_nHandle));
    m_nHandle = kNone;
}

}  // namespace Files
