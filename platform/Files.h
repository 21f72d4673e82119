// Files.h
//
// The file system as the engine uses it, one implementation per system. Paths and names are
// wide text (platform/Text.h); a path's separators may be "\" or "/" on Windows, "/" elsewhere.
//   File       - one open file, owned: closed once, when it goes.
//   StatusOf   - what a path names, a link never followed.
//   ListFolder - a folder's entries with their status.
//   FindEntry  - the entry a folder holds for a name, compared as Windows compares names (case
//                ignored), so that a folder is the same folder on every system.
//   Rename, Remove, CreateFolder, FullPath - one call each, failing with the system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace Files {

// The longest path the engine writes to (Windows' MAX_PATH there; the system's limit elsewhere).
extern const size_t kMaxPath;
// The characters that separate a path's parts ("\\/" on Windows, "/" elsewhere), and the one
// the engine puts between a folder and a name.
extern const wchar_t kSeparators[];
extern const wchar_t kSeparator;
inline bool IsSeparator(wchar_t ch)
{
    for (const wchar_t* p = kSeparators; *p != L'\0'; ++p) {
        if (*p == ch)
            return true;
    }
    return false;
}

struct Status {
    // A folder, or a link that leads to one.
    bool bFolder = false;
    // A symbolic link (or another reparse point); its target is never written through.
    bool bLink = false;
    // A file this program must not change: read-only on Windows, without write permission
    // elsewhere.
    bool bReadOnly = false;
};

// What is at the path, links not followed; false with the system's reason when nothing is.
bool StatusOf(const std::wstring& strPath, Status& status, SystemError& nError);

struct Entry {
    std::wstring strName;
    Status status;
};

// Every entry of the folder but "." and ".."; false when it cannot be read.
bool ListFolder(const std::wstring& strFolder, std::vector<Entry>& entries);
// The entry the folder of strPath holds under its last part, case ignored: its name as the
// folder holds it. False when there is none.
bool FindEntry(const std::wstring& strPath, Entry& entry);

SystemError CreateFolder(const std::wstring& strPath);
// bReplace: an existing file (or link) at strTo is replaced, never written through; otherwise
// the rename fails when strTo exists.
SystemError Rename(const std::wstring& strFrom, const std::wstring& strTo, bool bReplace);
// Removes a file (a link itself, never its target).
SystemError Remove(const std::wstring& strPath);
bool FullPath(const std::wstring& strPath, std::wstring& strFull);

// Where new files of the folder are created by their exact names (under Wine, the folder's
// path on the host, where names are exact); empty when the folder's own path does that.
std::wstring ExactNameFolder(const std::wstring& strFolder);
// The longest file name the folder's host takes, in bytes of UTF-8; 0: no limit but the
// file name rules'.
size_t HostNameLimit(bool bExactNameFolder);

unsigned long ProcessId();

class File {
public:
    enum class Access { Read, Write, Append, ReadWrite };
    enum class Disposition {
        OpenExisting,
        // Fails when the name is taken.
        CreateNew,
        // A new file, or the existing one emptied.
        CreateAlways,
        // A new file that goes again when closed: only to see that the folder takes one.
        CreateProbe,
    };

    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // New files take the system's default permissions (the umask's, elsewhere than Windows).
    static File Open(const std::wstring& strPath, Access access, Disposition disposition,
                     SystemError& nError);

    bool IsOpen() const { return m_nHandle != kNone; }
    // Every byte, or false with the reason (a short write is a full disk).
    bool Write(const void* pData, size_t nSize, SystemError& nError);
    // Up to nSize bytes; nRead 0 at the end of the file.
    bool Read(void* pBuffer, size_t nSize, size_t& nRead, SystemError& nError);
    bool Size(std::uint64_t& nSize) const;
    // Moves to the first byte.
    bool SeekStart(SystemError& nError);
    // Moves to the end; nEnd is where that is.
    bool SeekEnd(std::int64_t& nEnd, SystemError& nError);
    // Cuts the file at nLength and moves there.
    bool Truncate(std::int64_t nLength);
    // The name the folder holds for the open file (its path's last part); empty when unknown.
    std::wstring HeldName() const;
    // Nothing of the file stays once it is closed.
    void DiscardOnClose();
    void Close();

private:
    static constexpr std::intptr_t kNone = -1;
    // A HANDLE on Windows, a file descriptor elsewhere.
    std::intptr_t m_nHandle = kNone;
    // Where it was opened (for what the descriptor cannot tell elsewhere than Windows).
    std::wstring m_strPath;
    bool m_bDiscard = false;
};

// The file (an open one from where it stands) in pieces of up to kReadPiece bytes, in order,
// each handed to piece, which may end the reading by answering false (and set nError); false
// with the reason taken at the call that failed.
constexpr size_t kReadPiece = 64 * 1024;
using Piece = std::function<bool(const char* pBytes, size_t nLength)>;
bool ReadPieces(const std::wstring& strPath, const Piece& piece, SystemError& nError);
bool ReadPieces(File& file, const Piece& piece, SystemError& nError);

}  // namespace Files
