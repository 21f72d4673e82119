// FolderFiles.cpp
#include "qmexport/FolderFiles.h"

#include "qmexport/TemporaryFiles.h"

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

const wchar_t kTempPrefix[] = L".qmexport-";
const wchar_t kTempSuffix[] = L".tmp";

// Writes all bytes in pieces the API can take; false on a short or failed write.
bool WriteAll(HANDLE hFile, const std::string& strContent)
{
    size_t nDone = 0;
    while (nDone < strContent.size()) {
        const DWORD nPiece = DWORD(std::min<size_t>(strContent.size() - nDone, 1u << 24));
        DWORD nWritten = 0;
        if (!::WriteFile(hFile, strContent.data() + nDone, nPiece, &nWritten, nullptr) ||
            nWritten != nPiece)
            return false;
        nDone += nPiece;
    }
    return true;
}

bool FindEntry(const std::wstring& strPath, WIN32_FIND_DATAW& data)
{
    CFindHandle find(::FindFirstFileW(strPath.c_str(), &data));
    return find.IsValid();
}

// NtCreateFile, for a creation that compares names exactly: on Windows the file system still
// ignores case, under Wine no folder is searched for another case of a name it lacks.
struct NtUnicodeString {
    USHORT nLength;
    USHORT nMaximumLength;
    PWSTR pBuffer;
};
struct NtObjectAttributes {
    ULONG nLength;
    HANDLE hRootDirectory;
    NtUnicodeString* pObjectName;
    ULONG nAttributes;
    PVOID pSecurityDescriptor;
    PVOID pSecurityQualityOfService;
};
struct NtIoStatusBlock {
    union {
        LONG nStatus;
        PVOID pPointer;
    };
    ULONG_PTR nInformation;
};
using NtCreateFileFn = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, NtObjectAttributes*, NtIoStatusBlock*,
                                    PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(LONG);

constexpr ULONG kFileCreate = 2;
constexpr ULONG kFileNonDirectoryFile = 0x40;
constexpr ULONG kFileSynchronousIoNonalert = 0x20;

template <typename Fn>
Fn NtEntry(const char* pszName)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), pszName)));
}

// The path in the object manager's terms: "\??\C:\..." or "\??\UNC\server\...".
std::wstring NtPath(const std::wstring& strPath)
{
    if (strPath.compare(0, 4, L"\\\\?\\") == 0)
        return L"\\??\\" + strPath.substr(4);
    if (strPath.compare(0, 2, L"\\\\") == 0)
        return L"\\??\\UNC\\" + strPath.substr(2);
    return L"\\??\\" + strPath;
}

// The name the folder holds for an open file (its path's last part).
std::wstring NameOfHandle(HANDLE hFile)
{
    std::vector<unsigned char> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
    auto* pInfo = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!::GetFileInformationByHandleEx(hFile, FileNameInfo, pInfo, DWORD(buffer.size())))
        return std::wstring();
    const std::wstring strPath(pInfo->FileName, pInfo->FileNameLength / sizeof(wchar_t));
    const size_t nSlash = strPath.find_last_of(L"\\/");
    return nSlash == std::wstring::npos ? strPath : strPath.substr(nSlash + 1);
}

// A new file at exactly this path; INVALID_HANDLE_VALUE with the system's error otherwise.
HANDLE CreateNewExactly(const std::wstring& strPath, DWORD nAccess)
{
    static const NtCreateFileFn pfnCreate = NtEntry<NtCreateFileFn>("NtCreateFile");
    static const RtlNtStatusToDosErrorFn pfnError =
        NtEntry<RtlNtStatusToDosErrorFn>("RtlNtStatusToDosError");
    const bool bFullPath = strPath.size() > 2 && (strPath[1] == L':' || strPath[0] == L'\\');
    if (pfnCreate == nullptr || pfnError == nullptr || !bFullPath)
        return ::CreateFileW(strPath.c_str(), nAccess, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring strNtPath = NtPath(strPath);
    NtUnicodeString name{USHORT(strNtPath.size() * sizeof(wchar_t)),
                         USHORT(strNtPath.size() * sizeof(wchar_t)), &strNtPath[0]};
    NtObjectAttributes attributes{sizeof(NtObjectAttributes), nullptr, &name, 0, nullptr, nullptr};
    NtIoStatusBlock io{};
    HANDLE hFile = nullptr;
    const LONG nStatus = pfnCreate(&hFile, nAccess | SYNCHRONIZE | FILE_READ_ATTRIBUTES,
                                   &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, 0, kFileCreate,
                                   kFileNonDirectoryFile | kFileSynchronousIoNonalert, nullptr, 0);
    if (nStatus < 0) {
        ::SetLastError(pfnError(nStatus));
        return INVALID_HANDLE_VALUE;
    }
    return hFile;
}

}  // namespace

FolderFiles::FolderFiles(std::wstring strFolder, Mode mode)
    : m_strFolder(std::move(strFolder)), m_mode(mode)
{
    if (!m_strFolder.empty() && m_strFolder.back() != L'\\' && m_strFolder.back() != L'/')
        m_strFolder += L'\\';
}

bool FolderFiles::CreateFolder() const
{
    if (IsLookOnly())
        return true;
    // Every prefix that ends before a separator, from the outermost; existing ones are fine.
    for (size_t i = 0; i < m_strFolder.size(); ++i) {
        if (m_strFolder[i] != L'\\' && m_strFolder[i] != L'/')
            continue;
        const std::wstring strPart = m_strFolder.substr(0, i);
        if (strPart.empty() || strPart.back() == L':' || strPart.back() == L'\\' ||
            strPart.back() == L'/')
            continue;
        ::CreateDirectoryW(strPart.c_str(), nullptr);
    }
    const DWORD nAttributes = ::GetFileAttributesW(m_strFolder.c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderFiles::CanCreateFiles() const
{
    if (IsLookOnly())
        return true;
    const std::wstring strProbe =
        PathOf(std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-probe" +
               kTempSuffix);
    CHandle probe(::CreateFileW(strProbe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.IsValid();
}

void FolderFiles::RemoveLeftoverTemporaries()
{
    if (IsLookOnly())
        return;
    const std::wstring strPattern = PathOf(std::wstring(kTempPrefix) + L"*" + kTempSuffix);
    WIN32_FIND_DATAW data{};
    std::vector<std::wstring> names;
    {
        CFindHandle find(::FindFirstFileW(strPattern.c_str(), &data));
        if (!find.IsValid())
            return;
        do {
            if ((data.dwFileAttributes &
                 (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0)
                names.push_back(data.cFileName);
        } while (::FindNextFileW(find.Get(), &data));
    }
    for (const std::wstring& strName : names)
        RemoveSafely(strName);
}

void FolderFiles::Snapshot()
{
    m_entries.clear();
    WIN32_FIND_DATAW data{};
    CFindHandle find(::FindFirstFileW(PathOf(L"*").c_str(), &data));
    if (find.IsValid()) {
        do {
            const std::wstring strName = data.cFileName;
            if (strName != L"." && strName != L"..")
                m_entries[strName] = KnownEntry{strName, data.dwFileAttributes};
        } while (::FindNextFileW(find.Get(), &data));
    }
    m_bSnapshot = true;
}

void FolderFiles::Known(const std::wstring& strName, DWORD nAttributes)
{
    if (!m_bSnapshot)
        return;
    m_entries.erase(strName);
    m_entries[strName] = KnownEntry{strName, nAttributes};
}

void FolderFiles::Forget(const std::wstring& strName)
{
    if (m_bSnapshot)
        m_entries.erase(strName);
}

FolderFiles::Entry FolderFiles::Probe(const std::wstring& strName) const
{
    const auto pending = m_pending.find(strName);
    if (pending != m_pending.end())
        return pending->second ? Entry::File : Entry::Missing;
    return ProbeDisk(strName);
}

FolderFiles::Entry FolderFiles::ProbeDisk(const std::wstring& strName) const
{
    if (strName.find_first_of(L"*?") != std::wstring::npos)
        return Entry::Unusable;
    if (m_bSnapshot) {
        const auto it = m_entries.find(strName);
        if (it == m_entries.end())
            return Entry::Missing;
        const DWORD nAttributes = it->second.nAttributes;
        if ((nAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
            return Entry::Link;
        if ((nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return Entry::Folder;
        return Entry::File;
    }
    WIN32_FIND_DATAW data{};
    if (!FindEntry(PathOf(strName), data)) {
        // Found by its path but not listed under it: the file system cut or changed the name.
        return ::GetFileAttributesW(PathOf(strName).c_str()) == INVALID_FILE_ATTRIBUTES
                   ? Entry::Missing
                   : Entry::Unusable;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return Entry::Link;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Entry::Folder;
    return Entry::File;
}

std::wstring FolderFiles::ActualName(const std::wstring& strName) const
{
    if (m_bSnapshot) {
        const auto it = m_entries.find(strName);
        return it != m_entries.end() ? it->second.strName : std::wstring();
    }
    WIN32_FIND_DATAW data{};
    return FindEntry(PathOf(strName), data) ? std::wstring(data.cFileName) : std::wstring();
}

bool FolderFiles::Read(const std::wstring& strName, std::string& strContent) const
{
    const auto pending = m_pending.find(strName);
    if (pending != m_pending.end()) {
        if (!pending->second)
            return false;
        strContent = *pending->second;
        return true;
    }
    return ReadDisk(strName, strContent);
}

bool FolderFiles::ReadDisk(const std::wstring& strName, std::string& strContent) const
{
    CHandle file(::CreateFileW(PathOf(strName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1LL << 31))
        return false;
    strContent.assign(size_t(size.QuadPart), '\0');
    size_t nDone = 0;
    while (nDone < strContent.size()) {
        DWORD nRead = 0;
        if (!::ReadFile(file.Get(), &strContent[nDone], DWORD(strContent.size() - nDone), &nRead,
                        nullptr))
            return false;
        if (nRead == 0)
            break;
        nDone += nRead;
    }
    strContent.resize(nDone);
    return true;
}

CHandle FolderFiles::CreateExactly(const std::wstring& strName, DWORD nAccess)
{
    return CHandle(CreateNewExactly(PathOf(strName), nAccess));
}

CHandle FolderFiles::CreateTemporary(std::wstring& strTempName)
{
    for (int nAttempt = 0; nAttempt < 1000; ++nAttempt) {
        strTempName = std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++m_nTempSerial) + kTempSuffix;
        CHandle file = CreateExactly(strTempName, GENERIC_WRITE);
        if (file.IsValid())
            TemporaryFiles::Add(PathOf(strTempName));
        if (file.IsValid() ||
            (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    return CHandle();
}

FolderFiles::Change FolderFiles::Fail(DWORD nError)
{
    m_nLastError = nError;
    return Change::Failed;
}

bool FolderFiles::FixNameCase(const std::wstring& strName)
{
    const std::wstring strActual = ActualName(strName);
    if (strActual == strName)
        return true;
    // Some file systems keep the old name's case on a rename to another case of it; a detour
    // through a temporary name does not.
    std::wstring strTempName;
    if (!CreateTemporary(strTempName).IsValid())
        return false;
    if (!::MoveFileExW(PathOf(strActual).c_str(), PathOf(strTempName).c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
        m_nLastError = ::GetLastError();
        ::DeleteFileW(PathOf(strTempName).c_str());
        TemporaryFiles::Forget(PathOf(strTempName));
        return false;
    }
    // The temporary name now holds the user's file: a second Ctrl+C must not delete it.
    TemporaryFiles::Forget(PathOf(strTempName));
    if (!::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(), 0)) {
        m_nLastError = ::GetLastError();
        ::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strActual).c_str(), 0);
        return false;
    }
    Known(strName, FILE_ATTRIBUTE_NORMAL);
    return true;
}

FolderFiles::Change FolderFiles::Replace(const std::wstring& strName, const std::string& strContent)
{
    const Entry entry = Probe(strName);
    if (IsLookOnly()) {
        if (entry == Entry::Folder || (entry == Entry::Link && IsFolder(strName)))
            return Fail(ERROR_ALREADY_EXISTS);
        if (entry == Entry::Unusable)
            return Fail(ERROR_FILENAME_EXCED_RANGE);
        std::string strOld;
        const bool bPending = m_pending.count(strName) != 0;
        if (Read(strName, strOld) && strOld == strContent &&
            (bPending || ActualName(strName) == strName))
            return Change::Unchanged;
        m_pending[strName] = strContent;
        return Change::Written;
    }
    switch (entry) {
    case Entry::Folder:
        return Fail(ERROR_ALREADY_EXISTS);
    case Entry::Link:
        // A link to a folder cannot be renamed over, and removing it is not safe everywhere
        // (Wine removes the folder it leads to): it stays, as a folder would.
        if (IsFolder(strName))
            return Fail(ERROR_ALREADY_EXISTS);
        break;
    case Entry::Unusable:
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    case Entry::File: {
        std::string strOld;
        const bool bSame = Read(strName, strOld) && strOld == strContent;
        const DWORD nAttributes = ::GetFileAttributesW(PathOf(strName).c_str());
        if (nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_READONLY) != 0)
            return bSame ? Change::Unchanged : Fail(ERROR_ACCESS_DENIED);
        if (bSame) {
            if (ActualName(strName) == strName)
                return Change::Unchanged;
            return FixNameCase(strName) ? Change::Written : Change::Failed;
        }
        break;
    }
    case Entry::Missing:
        break;
    }

    // A new name is first taken by an empty file of exactly that name, which the complete
    // content then replaces: the folder never holds part of a block under an object's name.
    bool bCreated = false;
    if (entry == Entry::Missing) {
        CHandle placeholder = CreateExactly(strName, GENERIC_WRITE | DELETE);
        if (!placeholder.IsValid())
            return Fail(::GetLastError());
        if (NameOfHandle(placeholder.Get()) != strName) {
            // The file system made another name of it (a host that cuts long names): the file
            // goes again with its handle, and the name counts as one the folder cannot hold.
            FILE_DISPOSITION_INFO disposition{TRUE};
            ::SetFileInformationByHandle(placeholder.Get(), FileDispositionInfo, &disposition,
                                         sizeof(disposition));
            return Fail(ERROR_FILENAME_EXCED_RANGE);
        }
        bCreated = true;
    }
    std::wstring strTempName;
    CHandle temp = CreateTemporary(strTempName);
    if (!temp.IsValid()) {
        const DWORD nError = ::GetLastError();
        if (bCreated)
            ::DeleteFileW(PathOf(strName).c_str());
        return Fail(nError);
    }
    const bool bWritten = WriteAll(temp.Get(), strContent);
    m_nLastError = ::GetLastError();
    temp.Reset();
    if (!bWritten || !::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(),
                                    MOVEFILE_REPLACE_EXISTING)) {
        if (bWritten)
            m_nLastError = ::GetLastError();
        ::DeleteFileW(PathOf(strTempName).c_str());
        TemporaryFiles::Forget(PathOf(strTempName));
        if (bCreated)
            ::DeleteFileW(PathOf(strName).c_str());
        return Change::Failed;
    }
    TemporaryFiles::Forget(PathOf(strTempName));
    if (bCreated) {
        Known(strName, FILE_ATTRIBUTE_NORMAL);
        return Change::Written;
    }
    if (!m_bSnapshot && Probe(strName) != Entry::File) {
        // Renamed to something else than the name asked for: taken back, not counted.
        ::DeleteFileW(PathOf(strName).c_str());
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    }
    return FixNameCase(strName) ? Change::Written : Change::Failed;
}

bool FolderFiles::Append(const std::wstring& strName, const std::string& strText)
{
    if (IsLookOnly()) {
        const auto pending = m_pending.find(strName);
        if (pending != m_pending.end() && pending->second)
            *pending->second += strText;
        return true;
    }
    CHandle file(::CreateFileW(PathOf(strName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid() && WriteAll(file.Get(), strText))
        return true;
    m_nLastError = ::GetLastError();
    return false;
}

bool FolderFiles::Remove(const std::wstring& strName)
{
    if (Probe(strName) != Entry::File)
        return true;
    if (IsLookOnly()) {
        m_pending[strName] = std::nullopt;
        return true;
    }
    const DWORD nAttributes = ::GetFileAttributesW(PathOf(strName).c_str());
    if (nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
        m_nLastError = ERROR_ACCESS_DENIED;
        return false;
    }
    return RemoveSafely(strName);
}

bool FolderFiles::RemoveSafely(const std::wstring& strName)
{
    // Wine's DeleteFile removes what a link leads to, and shows a link to a file as a plain
    // file: an empty file of ours is renamed over the name first (a rename replaces a link,
    // never its target), and then removed.
    std::wstring strTempName;
    if (!CreateTemporary(strTempName).IsValid()) {
        m_nLastError = ::GetLastError();
        return false;
    }
    if (!::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(),
                       MOVEFILE_REPLACE_EXISTING)) {
        m_nLastError = ::GetLastError();
        ::DeleteFileW(PathOf(strTempName).c_str());
        return false;
    }
    if (::DeleteFileW(PathOf(strName).c_str())) {
        Forget(strName);
        return true;
    }
    m_nLastError = ::GetLastError();
    return false;
}

bool FolderFiles::IsFolder(const std::wstring& strName) const
{
    const DWORD nAttributes = ::GetFileAttributesW(PathOf(strName).c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<FolderFiles::Difference> FolderFiles::Differences() const
{
    std::vector<Difference> differences;
    for (const auto& pending : m_pending) {
        const bool bOnDisk =
            ProbeDisk(pending.first) == Entry::File || ProbeDisk(pending.first) == Entry::Link;
        if (pending.second) {
            differences.push_back(
                {bOnDisk ? Difference::Kind::Changed : Difference::Kind::Added, pending.first});
        } else if (bOnDisk) {
            differences.push_back({Difference::Kind::Removed, pending.first});
        }
    }
    return differences;
}
