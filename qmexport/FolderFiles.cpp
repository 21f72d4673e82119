// FolderFiles.cpp
#include "qmexport/FolderFiles.h"

#include "qmexport/TemporaryFiles.h"

#include "platform/TextCase.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

using Files::File;

const wchar_t kTempPrefix[] = L".qmexport-";
const wchar_t kTempSuffix[] = L".tmp";

// Whether a name is one of this program's temporary files (case ignored, as a folder's
// pattern matches names).
bool IsTemporaryName(const std::wstring& strName)
{
    const size_t nPrefix = std::wcslen(kTempPrefix);
    const size_t nSuffix = std::wcslen(kTempSuffix);
    return strName.size() >= nPrefix + nSuffix &&
           SameIgnoringCase(strName.substr(0, nPrefix), kTempPrefix) &&
           SameIgnoringCase(strName.substr(strName.size() - nSuffix), kTempSuffix);
}

// The folders a path to a folder passes through, itself included, from the outermost: every
// prefix that ends before a separator, apart from a drive ("C:") and the empty ones before
// doubled or leading separators.
std::vector<std::wstring> FolderPrefixes(const std::wstring& strFolder)
{
    std::vector<std::wstring> prefixes;
    for (size_t i = 0; i < strFolder.size(); ++i) {
        if (!Files::IsSeparator(strFolder[i]))
            continue;
        std::wstring strPart = strFolder.substr(0, i);
        if (strPart.empty() || strPart.back() == L':' || Files::IsSeparator(strPart.back()))
            continue;
        prefixes.push_back(std::move(strPart));
    }
    return prefixes;
}

// What a name this program has just written holds: a plain file.
Files::Status PlainFile()
{
    return Files::Status();
}

}  // namespace

FolderFiles::FolderFiles(std::wstring strFolder, Mode mode)
    : m_strFolder(std::move(strFolder)), m_mode(mode)
{
    if (!m_strFolder.empty() && !Files::IsSeparator(m_strFolder.back()))
        m_strFolder += Files::kSeparator;
}

SystemError FolderFiles::CreateFolder() const
{
    Files::Status status;
    SystemError nError = 0;
    if (IsLookOnly()) {
        // The export would create the missing folders; under a file it cannot, and fails with
        // the reason the folder's own status then gives. A part the system will not look at
        // for another reason (a name too long for it) fails the export too, unless the folder
        // itself is there (a server's name alone in a network path cannot be looked at).
        SystemError nRefused = SystemErrors::kNone;
        for (const std::wstring& strPart : FolderPrefixes(m_strFolder)) {
            if (!Files::StatusOf(strPart, status, nError)) {
                if (nError == SystemErrors::kFileNotFound || nError == SystemErrors::kPathNotFound)
                    return SystemErrors::kNone;
                if (nRefused == SystemErrors::kNone)
                    nRefused = nError;
                continue;
            }
            if (!status.bFolder) {
                if (Files::StatusOf(m_strFolder, status, nError))
                    return SystemErrors::kPathNotFound;
                return nError != SystemErrors::kNone ? nError : SystemErrors::kPathNotFound;
            }
        }
        if (nRefused != SystemErrors::kNone && !Files::StatusOf(m_strFolder, status, nError))
            return nRefused;
        return SystemErrors::kNone;
    }
    // Existing folders are fine; the reason is the first refused creation's own, taken at the
    // call.
    SystemError nRefused = SystemErrors::kNone;
    for (const std::wstring& strPart : FolderPrefixes(m_strFolder)) {
        const SystemError nCreate = Files::CreateFolder(strPart);
        // The first refusal is the cause: the deeper ones only follow from it.
        if (nCreate != SystemErrors::kNone && nCreate != SystemErrors::kAlreadyExists &&
            nRefused == SystemErrors::kNone)
            nRefused = nCreate;
    }
    if (!Files::StatusOf(m_strFolder, status, nError))
        return nRefused != SystemErrors::kNone ? nRefused : nError;
    if (!status.bFolder)
        return SystemErrors::kNotFolder;
    return SystemErrors::kNone;
}

SystemError FolderFiles::CanCreateFiles() const
{
    if (IsLookOnly())
        return SystemErrors::kNone;
    const std::wstring strProbe = PathOf(
        std::wstring(kTempPrefix) + std::to_wstring(Files::ProcessId()) + L"-probe" + kTempSuffix);
    SystemError nError = SystemErrors::kNone;
    const File probe =
        File::Open(strProbe, File::Access::Write, File::Disposition::CreateProbe, nError);
    return probe.IsOpen() ? SystemErrors::kNone : nError;
}

void FolderFiles::RemoveLeftoverTemporaries()
{
    if (IsLookOnly())
        return;
    std::vector<Files::Entry> entries;
    if (!Files::ListFolder(m_strFolder, entries))
        return;
    std::vector<std::wstring> names;
    for (const Files::Entry& entry : entries) {
        if (IsTemporaryName(entry.strName) && !entry.status.bFolder && !entry.status.bLink)
            names.push_back(entry.strName);
    }
    for (const std::wstring& strName : names)
        RemoveSafely(strName);
}

void FolderFiles::Snapshot()
{
    m_strHostFolder = Files::ExactNameFolder(m_strFolder);
    m_entries.clear();
    std::vector<Files::Entry> entries;
    Files::ListFolder(m_strFolder, entries);
    for (const Files::Entry& entry : entries)
        m_entries[entry.strName] = KnownEntry{entry.strName, entry.status};
    m_bSnapshot = true;
}

void FolderFiles::Known(const std::wstring& strName, const Files::Status& status)
{
    if (!m_bSnapshot)
        return;
    m_entries.erase(strName);
    m_entries[strName] = KnownEntry{strName, status};
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
        const Files::Status& status = it->second.status;
        if (status.bLink)
            return Entry::Link;
        if (status.bFolder)
            return Entry::Folder;
        return Entry::File;
    }
    Files::Entry found;
    if (!Files::FindEntry(PathOf(strName), found)) {
        // Found by its path but not listed under it: the file system cut or changed the name.
        Files::Status status;
        SystemError nError = 0;
        return Files::StatusOf(PathOf(strName), status, nError) ? Entry::Unusable : Entry::Missing;
    }
    if (found.status.bLink)
        return Entry::Link;
    if (found.status.bFolder)
        return Entry::Folder;
    return Entry::File;
}

std::wstring FolderFiles::ActualName(const std::wstring& strName) const
{
    if (m_bSnapshot) {
        const auto it = m_entries.find(strName);
        return it != m_entries.end() ? it->second.strName : std::wstring();
    }
    Files::Entry found;
    return Files::FindEntry(PathOf(strName), found) ? found.strName : std::wstring();
}

std::wstring FolderFiles::PathOfHeld(const std::wstring& strName) const
{
    const std::wstring strHeld = ActualName(strName);
    return PathOf(strHeld.empty() ? strName : strHeld);
}

bool FolderFiles::Read(const std::wstring& strName, std::string& strContent) const
{
    if (m_unheld.count(strName) != 0)
        return false;
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
    File file = File::Open(PathOfHeld(strName), File::Access::Read, File::Disposition::OpenExisting,
                           m_nLastError);
    std::uint64_t nSize = 0;
    if (!file.IsOpen() || !file.Size(nSize) || nSize > (1ULL << 31))
        return false;
    strContent.assign(size_t(nSize), '\0');
    size_t nDone = 0;
    while (nDone < strContent.size()) {
        size_t nRead = 0;
        if (!file.Read(&strContent[nDone], strContent.size() - nDone, nRead, m_nLastError))
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
    if (m_unheld.count(strName) != 0)
        return false;
    const auto pending = m_pending.find(strName);
    if (pending != m_pending.end())
        return pending->second && *pending->second == strContent;
    return DiskHolds(strName, strContent);
}

bool FolderFiles::DiskHolds(const std::wstring& strName, const std::string& strContent) const
{
    File file = File::Open(PathOfHeld(strName), File::Access::Read, File::Disposition::OpenExisting,
                           m_nLastError);
    std::uint64_t nSize = 0;
    if (!file.IsOpen() || !file.Size(nSize) || nSize != strContent.size())
        return false;
    char buffer[65536];
    size_t nDone = 0;
    for (;;) {
        size_t nRead = 0;
        if (!file.Read(buffer, sizeof(buffer), nRead, m_nLastError))
            return false;
        if (nRead == 0)
            return nDone == strContent.size();
        if (nDone + nRead > strContent.size() ||
            std::memcmp(buffer, strContent.data() + nDone, nRead) != 0)
            return false;
        nDone += nRead;
    }
}

File FolderFiles::CreateExactly(const std::wstring& strName)
{
    const std::wstring strPath =
        m_strHostFolder.empty() ? PathOf(strName) : m_strHostFolder + strName;
    return File::Open(strPath, File::Access::Write, File::Disposition::CreateNew, m_nLastError);
}

File FolderFiles::CreateTemporary(std::wstring& strTempName)
{
    for (int nAttempt = 0; nAttempt < 1000; ++nAttempt) {
        strTempName = std::wstring(kTempPrefix) + std::to_wstring(Files::ProcessId()) + L"-" +
                      std::to_wstring(++m_nTempSerial) + kTempSuffix;
        File file = CreateExactly(strTempName);
        if (file.IsOpen()) {
            TemporaryFiles::Add(PathOf(strTempName));
            return file;
        }
        if (m_nLastError != SystemErrors::kFileExists &&
            m_nLastError != SystemErrors::kAlreadyExists)
            return file;
    }
    return File();
}

FolderFiles::Change FolderFiles::Fail(SystemError nError)
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
    if (!CreateTemporary(strTempName).IsOpen())
        return false;
    SystemError nError = Files::Rename(PathOf(strActual), PathOf(strTempName), true);
    if (nError != SystemErrors::kNone) {
        m_nLastError = nError;
        Files::Remove(PathOf(strTempName));
        TemporaryFiles::Forget(PathOf(strTempName));
        return false;
    }
    // The temporary name now holds the user's file: a second Ctrl+C must not delete it.
    TemporaryFiles::Forget(PathOf(strTempName));
    nError = Files::Rename(PathOf(strTempName), PathOf(strName), false);
    if (nError != SystemErrors::kNone) {
        m_nLastError = nError;
        Files::Rename(PathOf(strTempName), PathOf(strActual), false);
        return false;
    }
    Known(strName, PlainFile());
    return true;
}

FolderFiles::Change FolderFiles::Replace(const std::wstring& strName, const std::string& strContent)
{
    CloseAppended(strName);
    const Entry entry = Probe(strName);
    const bool bSame = entry != Entry::Folder && entry != Entry::Unusable &&
                       (IsLookOnly() || entry == Entry::File) && Holds(strName, strContent);
    if (const std::optional<Change> settled = Settled(strName, entry, bSame))
        return *settled;
    if (IsLookOnly()) {
        m_pending[strName] = strContent;
        m_unheld.erase(strName);
        return Change::Written;
    }
    if (entry == Entry::Missing)
        return CreateNew(strName, strContent);

    std::wstring strTempName;
    File temp = CreateTemporary(strTempName);
    if (!temp.IsOpen())
        return Change::Failed;
    const bool bWritten = temp.Write(strContent.data(), strContent.size(), m_nLastError);
    temp.Close();
    if (!bWritten) {
        RemoveTemporary(strTempName);
        return Change::Failed;
    }
    return RenameOver(strName, strTempName, false);
}

std::optional<FolderFiles::Change> FolderFiles::Settled(const std::wstring& strName, Entry entry,
                                                        bool bSame)
{
    // A link to a folder cannot be renamed over, and removing it is not safe everywhere (Wine
    // removes the folder it leads to): it stays, as a folder would.
    if (entry == Entry::Folder || (entry == Entry::Link && IsFolder(strName)))
        return Fail(SystemErrors::kAlreadyExists);
    if (entry == Entry::Unusable)
        return Fail(SystemErrors::kNameTooLong);
    if (IsLookOnly()) {
        const bool bPending = m_pending.count(strName) != 0;
        if (bSame && (bPending || ActualName(strName) == strName))
            return Change::Unchanged;
        return std::nullopt;
    }
    if (entry != Entry::File)
        return std::nullopt;
    Files::Status status;
    SystemError nError = 0;
    if (Files::StatusOf(PathOfHeld(strName), status, nError) && status.bReadOnly)
        return bSame ? Change::Unchanged : Fail(SystemErrors::kAccessDenied);
    if (!bSame)
        return std::nullopt;
    if (ActualName(strName) == strName)
        return Change::Unchanged;
    return FixNameCase(strName) ? Change::Written : Change::Failed;
}

bool FolderFiles::FitsHost(const std::wstring& strName) const
{
    const size_t nHostLimit = Files::HostNameLimit(!m_strHostFolder.empty());
    return nHostLimit == 0 || FromWide(strName, kUtf8CodePage).size() <= nHostLimit;
}

// Renamed over what the folder holds under the name, in whatever case it holds it, or to the
// new name.
FolderFiles::Change FolderFiles::RenameOver(const std::wstring& strName,
                                            const std::wstring& strTempName, bool bNew)
{
    const SystemError nRename =
        Files::Rename(PathOf(strTempName), bNew ? PathOf(strName) : PathOfHeld(strName), !bNew);
    if (nRename != SystemErrors::kNone) {
        m_nLastError = nRename;
        RemoveTemporary(strTempName);
        return Change::Failed;
    }
    TemporaryFiles::Forget(PathOf(strTempName));
    if (!m_bSnapshot && Probe(strName) != Entry::File) {
        // Renamed to something else than the name asked for: taken back, not counted.
        Files::Remove(PathOf(strName));
        return Fail(SystemErrors::kNameTooLong);
    }
    if (bNew)
        Known(strName, PlainFile());
    return FixNameCase(strName) ? Change::Written : Change::Failed;
}

void FolderFiles::RemoveTemporary(const std::wstring& strTempName)
{
    Files::Remove(PathOf(strTempName));
    TemporaryFiles::Forget(PathOf(strTempName));
}

bool FolderFiles::BeginPieces(const std::wstring& strName)
{
    AbandonPieces();
    CloseAppended(strName);
    m_pieces.bActive = true;
    m_pieces.strName = strName;
    const auto pending = m_pending.find(strName);
    if (m_unheld.count(strName) != 0 || (pending != m_pending.end() && !pending->second)) {
        m_pieces.bSame = false;
        m_pieces.bComparedWithDisk = false;
    } else if (pending != m_pending.end()) {
        m_pieces.pOldPending = &*pending->second;
        m_pieces.bComparedWithDisk = false;
    } else {
        m_pieces.old = File::Open(PathOfHeld(strName), File::Access::Read,
                                  File::Disposition::OpenExisting, m_nLastError);
        m_pieces.bSame = m_pieces.old.IsOpen();
    }
    // Nothing is written while the pieces are the file's own content.
    if (IsLookOnly() || m_pieces.bSame || StartTemporary(0))
        return true;
    AbandonPieces();
    return false;
}

// The temporary file is begun with the first bytes the pieces matched so far, copied from the
// file (the file is the user's: were it written to meanwhile, its new bytes would be copied).
bool FolderFiles::StartTemporary(std::uint64_t nMatched)
{
    m_pieces.temp = CreateTemporary(m_pieces.strTempName);
    if (!m_pieces.temp.IsOpen()) {
        m_pieces.strTempName.clear();
        return false;
    }
    if (nMatched == 0)
        return true;
    File old = File::Open(PathOfHeld(m_pieces.strName), File::Access::Read,
                          File::Disposition::OpenExisting, m_nLastError);
    if (!old.IsOpen())
        return false;
    char buffer[65536];
    while (nMatched > 0) {
        size_t nRead = 0;
        if (!old.Read(buffer, size_t(std::min<std::uint64_t>(sizeof(buffer), nMatched)), nRead,
                      m_nLastError))
            return false;
        if (nRead == 0) {
            m_nLastError = SystemErrors::kFileNotFound;
            return false;
        }
        if (!m_pieces.temp.Write(buffer, nRead, m_nLastError))
            return false;
        nMatched -= nRead;
    }
    return true;
}

bool FolderFiles::AddPiece(const char* pBytes, size_t nLength)
{
    if (!m_pieces.bActive)
        return false;
    PieceReplacement& pieces = m_pieces;
    const std::uint64_t nMatched = pieces.nCompared;
    if (pieces.bSame && pieces.pOldPending != nullptr) {
        const std::string& strOld = *pieces.pOldPending;
        pieces.bSame = strOld.size() >= pieces.nCompared + nLength &&
                       std::memcmp(strOld.data() + pieces.nCompared, pBytes, nLength) == 0;
    } else if (pieces.bSame) {
        // In small reads: the comparison holds no second copy of the piece.
        char buffer[65536];
        size_t nDone = 0;
        SystemError nError = 0;
        while (pieces.bSame && nDone < nLength) {
            size_t nRead = 0;
            pieces.bSame =
                pieces.old.Read(buffer, std::min(sizeof(buffer), nLength - nDone), nRead, nError) &&
                nRead > 0 && std::memcmp(buffer, pBytes + nDone, nRead) == 0;
            nDone += nRead;
        }
    }
    pieces.nCompared += nLength;
    if (!pieces.bSame)
        pieces.old.Close();
    if (IsLookOnly() || pieces.bSame)
        return true;
    if ((pieces.temp.IsOpen() || StartTemporary(nMatched)) &&
        pieces.temp.Write(pBytes, nLength, m_nLastError))
        return true;
    if (m_nLastError == SystemErrors::kNone)
        m_nLastError = SystemErrors::kDiskFull;
    AbandonPieces();
    return false;
}

bool FolderFiles::PiecesEndTogether()
{
    if (!m_pieces.bSame)
        return false;
    if (m_pieces.pOldPending != nullptr)
        return m_pieces.nCompared == m_pieces.pOldPending->size();
    char ch = 0;
    size_t nRead = 0;
    SystemError nError = 0;
    return m_pieces.old.Read(&ch, 1, nRead, nError) && nRead == 0;
}

FolderFiles::Change FolderFiles::EndPieces()
{
    if (!m_pieces.bActive)
        return Fail(SystemErrors::kFileNotFound);
    const std::wstring strName = m_pieces.strName;
    const bool bSame = PiecesEndTogether();
    const bool bSameAsDisk = bSame && m_pieces.bComparedWithDisk;
    const Entry entry = Probe(strName);
    std::optional<Change> settled = Settled(strName, entry, bSame);
    if (!settled && IsLookOnly()) {
        m_pending[strName] = std::string();
        m_unheld[strName] = bSameAsDisk;
        settled = Change::Written;
    }
    if (!settled && entry == Entry::Missing && !FitsHost(strName))
        settled = Fail(SystemErrors::kNameTooLong);
    // Every piece matched the file, which goes on: the content is the file's first bytes.
    if (!settled && !m_pieces.temp.IsOpen() && !StartTemporary(m_pieces.nCompared))
        settled = Change::Failed;
    const std::wstring strTempName = m_pieces.strTempName;
    m_pieces = PieceReplacement();
    if (settled) {
        if (!strTempName.empty())
            RemoveTemporary(strTempName);
        return *settled;
    }
    return RenameOver(strName, strTempName, entry == Entry::Missing);
}

void FolderFiles::AbandonPieces()
{
    if (!m_pieces.bActive)
        return;
    const std::wstring strTempName = m_pieces.strTempName;
    m_pieces = PieceReplacement();
    if (!strTempName.empty())
        RemoveTemporary(strTempName);
}

// A name the folder does not hold yet: the file is created under exactly that name and written
// in one go (a run stopped by Ctrl+C or Stop never cuts a write; one that is killed leaves the
// file in the manifest, and the next run writes it whole).
FolderFiles::Change FolderFiles::CreateNew(const std::wstring& strName,
                                           const std::string& strContent)
{
    if (!FitsHost(strName))
        return Fail(SystemErrors::kNameTooLong);
    File file = CreateExactly(strName);
    if (!file.IsOpen())
        return Change::Failed;
    SystemError nError = SystemErrors::kNone;
    if (m_strHostFolder.empty() && file.HeldName() != strName)
        nError = SystemErrors::kNameTooLong;  // the file system made another name of it
    else if (!file.Write(strContent.data(), strContent.size(), nError) && nError == 0)
        nError = SystemErrors::kDiskFull;
    if (nError != SystemErrors::kNone) {
        // Nothing of it stays: the file goes with its handle.
        file.DiscardOnClose();
        return Fail(nError);
    }
    Known(strName, PlainFile());
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
    if (!m_append.IsOpen() || m_strAppendName != strName) {
        m_append = File::Open(PathOf(strName), File::Access::Append,
                              File::Disposition::OpenExisting, m_nLastError);
        m_strAppendName = strName;
    }
    if (m_append.IsOpen() && m_append.Write(strText.data(), strText.size(), m_nLastError))
        return true;
    m_append.Close();
    return false;
}

void FolderFiles::CloseAppended(const std::wstring& strName)
{
    if (m_append.IsOpen() && ObjectFileNames::SameFileName(strName, m_strAppendName))
        m_append.Close();
}

bool FolderFiles::Remove(const std::wstring& strName)
{
    CloseAppended(strName);
    if (Probe(strName) != Entry::File)
        return true;
    if (IsLookOnly()) {
        m_pending[strName] = std::nullopt;
        m_unheld.erase(strName);
        return true;
    }
    Files::Status status;
    SystemError nError = 0;
    if (Files::StatusOf(PathOfHeld(strName), status, nError) && status.bReadOnly) {
        m_nLastError = SystemErrors::kAccessDenied;
        return false;
    }
    return RemoveSafely(strName);
}

bool FolderFiles::RemoveSafely(const std::wstring& strName)
{
    // Wine's DeleteFile removes what a link leads to, and shows a link to a file as a plain
    // file: an empty file of ours is renamed over the name first (a rename replaces a link,
    // never its target), and then removed.
    const std::wstring strTarget = PathOfHeld(strName);
    std::wstring strTempName;
    if (!CreateTemporary(strTempName).IsOpen())
        return false;
    const SystemError nMoved = Files::Rename(PathOf(strTempName), strTarget, true);
    if (nMoved != SystemErrors::kNone) {
        m_nLastError = nMoved;
        Files::Remove(PathOf(strTempName));
    }
    TemporaryFiles::Forget(PathOf(strTempName));
    if (nMoved != SystemErrors::kNone)
        return false;
    const SystemError nRemoved = Files::Remove(strTarget);
    if (nRemoved == SystemErrors::kNone) {
        Forget(strName);
        return true;
    }
    m_nLastError = nRemoved;
    return false;
}

bool FolderFiles::IsFolder(const std::wstring& strName) const
{
    Files::Status status;
    SystemError nError = 0;
    return Files::StatusOf(PathOfHeld(strName), status, nError) && status.bFolder;
}
std::vector<FolderFiles::Difference> FolderFiles::Differences() const
{
    std::vector<Difference> differences;
    for (const auto& pending : m_pending) {
        const bool bOnDisk =
            ProbeDisk(pending.first) == Entry::File || ProbeDisk(pending.first) == Entry::Link;
        if (pending.second) {
            // Written over and over while the run went on, and left as it was after all.
            const auto unheld = m_unheld.find(pending.first);
            const bool bAsOnDisk = unheld != m_unheld.end()
                                       ? unheld->second
                                       : DiskHolds(pending.first, *pending.second);
            if (bOnDisk && bAsOnDisk && ActualName(pending.first) == pending.first)
                continue;
            differences.push_back(
                {bOnDisk ? Difference::Kind::Changed : Difference::Kind::Added, pending.first});
        } else if (bOnDisk) {
            differences.push_back({Difference::Kind::Removed, pending.first});
        }
    }
    return differences;
}
