// FolderFiles.cpp
#include "qmexport/FolderFiles.h"

#include "qmexport/TemporaryFiles.h"

#include <algorithm>
#include <cstring>
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

// Under Wine, the folder's path in the host's own terms ("\\?\unix\home\...\"): a name opened
// there is taken exactly as written, where a Windows path makes Wine read the whole folder
// for another case of every name the folder lacks. Empty elsewhere.
std::wstring HostPathOf(const std::wstring& strFolder)
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

// The folders a path to a folder passes through, itself included, from the outermost: every
// prefix that ends before a separator, apart from a drive ("C:") and the empty ones before
// doubled or leading separators.
std::vector<std::wstring> FolderPrefixes(const std::wstring& strFolder)
{
    std::vector<std::wstring> prefixes;
    for (size_t i = 0; i < strFolder.size(); ++i) {
        if (strFolder[i] != L'\\' && strFolder[i] != L'/')
            continue;
        std::wstring strPart = strFolder.substr(0, i);
        if (strPart.empty() || strPart.back() == L':' || strPart.back() == L'\\' ||
            strPart.back() == L'/')
            continue;
        prefixes.push_back(std::move(strPart));
    }
    return prefixes;
}

}  // namespace

FolderFiles::FolderFiles(std::wstring strFolder, Mode mode)
    : m_strFolder(std::move(strFolder)), m_mode(mode)
{
    if (!m_strFolder.empty() && m_strFolder.back() != L'\\' && m_strFolder.back() != L'/')
        m_strFolder += L'\\';
}

DWORD FolderFiles::CreateFolder() const
{
    if (IsLookOnly()) {
        // The export would create the missing folders; under a file it cannot, and fails with
        // the reason the folder's own attributes then give.
        for (const std::wstring& strPart : FolderPrefixes(m_strFolder)) {
            const DWORD nAttributes = ::GetFileAttributesW(strPart.c_str());
            if (nAttributes == INVALID_FILE_ATTRIBUTES)
                return ERROR_SUCCESS;
            if ((nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                if (::GetFileAttributesW(m_strFolder.c_str()) != INVALID_FILE_ATTRIBUTES)
                    return ERROR_PATH_NOT_FOUND;
                const DWORD nError = ::GetLastError();
                return nError != ERROR_SUCCESS ? nError : ERROR_PATH_NOT_FOUND;
            }
        }
        return ERROR_SUCCESS;
    }
    // Existing folders are fine; the reason is the first refused creation's own, taken at the
    // call.
    DWORD nRefused = ERROR_SUCCESS;
    for (const std::wstring& strPart : FolderPrefixes(m_strFolder)) {
        if (!::CreateDirectoryW(strPart.c_str(), nullptr)) {
            const DWORD nError = ::GetLastError();
            // The first refusal is the cause: the deeper ones only follow from it.
            if (nError != ERROR_ALREADY_EXISTS && nRefused == ERROR_SUCCESS)
                nRefused = nError;
        }
    }
    const DWORD nAttributes = ::GetFileAttributesW(m_strFolder.c_str());
    if (nAttributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD nError = ::GetLastError();
        return nRefused != ERROR_SUCCESS ? nRefused : nError;
    }
    if ((nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return ERROR_DIRECTORY;
    return ERROR_SUCCESS;
}

DWORD FolderFiles::CanCreateFiles() const
{
    if (IsLookOnly())
        return ERROR_SUCCESS;
    const std::wstring strProbe =
        PathOf(std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-probe" +
               kTempSuffix);
    CHandle probe(::CreateFileW(strProbe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.IsValid() ? ERROR_SUCCESS : ::GetLastError();
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
    m_strHostFolder = HostPathOf(m_strFolder);
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

bool FolderFiles::Holds(const std::wstring& strName, const std::string& strContent) const
{
    const auto pending = m_pending.find(strName);
    if (pending != m_pending.end())
        return pending->second && *pending->second == strContent;
    return DiskHolds(strName, strContent);
}

bool FolderFiles::DiskHolds(const std::wstring& strName, const std::string& strContent) const
{
    CHandle file(::CreateFileW(PathOf(strName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) ||
        static_cast<unsigned long long>(size.QuadPart) != strContent.size())
        return false;
    char buffer[65536];
    size_t nDone = 0;
    for (;;) {
        DWORD nRead = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof(buffer), &nRead, nullptr))
            return false;
        if (nRead == 0)
            return nDone == strContent.size();
        if (nDone + nRead > strContent.size() ||
            std::memcmp(buffer, strContent.data() + nDone, nRead) != 0)
            return false;
        nDone += nRead;
    }
}

CHandle FolderFiles::CreateExactly(const std::wstring& strName, DWORD nAccess)
{
    const std::wstring strPath =
        m_strHostFolder.empty() ? PathOf(strName) : m_strHostFolder + strName;
    return CHandle(::CreateFileW(strPath.c_str(), nAccess, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
}

CHandle FolderFiles::CreateTemporary(std::wstring& strTempName)
{
    for (int nAttempt = 0; nAttempt < 1000; ++nAttempt) {
        strTempName = std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++m_nTempSerial) + kTempSuffix;
        CHandle file = CreateExactly(strTempName, GENERIC_WRITE);
        if (file.IsValid()) {
            TemporaryFiles::Add(PathOf(strTempName));
            return file;
        }
        m_nLastError = ::GetLastError();
        if (m_nLastError != ERROR_FILE_EXISTS && m_nLastError != ERROR_ALREADY_EXISTS)
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
    CloseAppended(strName);
    const Entry entry = Probe(strName);
    if (IsLookOnly()) {
        if (entry == Entry::Folder || (entry == Entry::Link && IsFolder(strName)))
            return Fail(ERROR_ALREADY_EXISTS);
        if (entry == Entry::Unusable)
            return Fail(ERROR_FILENAME_EXCED_RANGE);
        const bool bPending = m_pending.count(strName) != 0;
        if (Holds(strName, strContent) && (bPending || ActualName(strName) == strName))
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
        const bool bSame = Holds(strName, strContent);
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

    if (entry == Entry::Missing)
        return CreateNew(strName, strContent);

    std::wstring strTempName;
    CHandle temp = CreateTemporary(strTempName);
    if (!temp.IsValid())
        return Change::Failed;
    const bool bWritten = WriteAll(temp.Get(), strContent);
    m_nLastError = ::GetLastError();
    temp.Reset();
    if (!bWritten || !::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(),
                                    MOVEFILE_REPLACE_EXISTING)) {
        if (bWritten)
            m_nLastError = ::GetLastError();
        ::DeleteFileW(PathOf(strTempName).c_str());
        TemporaryFiles::Forget(PathOf(strTempName));
        return Change::Failed;
    }
    TemporaryFiles::Forget(PathOf(strTempName));
    if (!m_bSnapshot && Probe(strName) != Entry::File) {
        // Renamed to something else than the name asked for: taken back, not counted.
        ::DeleteFileW(PathOf(strName).c_str());
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    }
    return FixNameCase(strName) ? Change::Written : Change::Failed;
}

// A name the folder does not hold yet: the file is created under exactly that name and written
// in one go (a run stopped by Ctrl+C or Stop never cuts a write; one that is killed leaves the
// file in the manifest, and the next run writes it whole).
FolderFiles::Change FolderFiles::CreateNew(const std::wstring& strName,
                                           const std::string& strContent)
{
    // The host's names are at most 255 bytes: a longer one would fail or be cut.
    if (!m_strHostFolder.empty() && FromWide(strName, CP_UTF8).size() > 255)
        return Fail(ERROR_FILENAME_EXCED_RANGE);
    CHandle file = CreateExactly(strName, GENERIC_WRITE | DELETE);
    if (!file.IsValid())
        return Fail(::GetLastError());
    DWORD nError = 0;
    if (m_strHostFolder.empty() && NameOfHandle(file.Get()) != strName)
        nError = ERROR_FILENAME_EXCED_RANGE;  // the file system made another name of it
    else if (!WriteAll(file.Get(), strContent))
        nError = ::GetLastError();
    if (nError != 0) {
        // Nothing of it stays: the file goes with its handle.
        FILE_DISPOSITION_INFO disposition{TRUE};
        ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition,
                                     sizeof(disposition));
        return Fail(nError);
    }
    Known(strName, FILE_ATTRIBUTE_NORMAL);
    return Change::Written;
}

bool FolderFiles::Append(const std::wstring& strName, const std::string& strText)
{
    if (IsLookOnly()) {
        const auto pending = m_pending.find(strName);
        if (pending != m_pending.end() && pending->second)
            *pending->second += strText;
        return true;
    }
    // The file stays open for the next line: a folder of many new files appends many lines.
    if (!m_append.IsValid() || m_strAppendName != strName) {
        m_append = CHandle(::CreateFileW(PathOf(strName).c_str(), FILE_APPEND_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        m_strAppendName = strName;
    }
    if (m_append.IsValid() && WriteAll(m_append.Get(), strText))
        return true;
    m_nLastError = ::GetLastError();
    m_append.Reset();
    return false;
}

void FolderFiles::CloseAppended(const std::wstring& strName)
{
    if (m_append.IsValid() && ObjectFileNames::SameFileName(strName, m_strAppendName))
        m_append.Reset();
}

bool FolderFiles::Remove(const std::wstring& strName)
{
    CloseAppended(strName);
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
    if (!CreateTemporary(strTempName).IsValid())
        return false;
    const bool bMoved = ::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(),
                                      MOVEFILE_REPLACE_EXISTING) != 0;
    if (!bMoved) {
        m_nLastError = ::GetLastError();
        ::DeleteFileW(PathOf(strTempName).c_str());
    }
    TemporaryFiles::Forget(PathOf(strTempName));
    if (!bMoved)
        return false;
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
            // Written over and over while the run went on, and left as it was after all.
            if (bOnDisk && DiskHolds(pending.first, *pending.second) &&
                ActualName(pending.first) == pending.first)
                continue;
            differences.push_back(
                {bOnDisk ? Difference::Kind::Changed : Difference::Kind::Added, pending.first});
        } else if (bOnDisk) {
            differences.push_back({Difference::Kind::Removed, pending.first});
        }
    }
    return differences;
}
