// FolderFiles.h
//
// File operations of a folder export, each one whole or not at all:
//   FolderFiles - reads, replaces and removes files of one folder by name. A replacement is
//                 written to a temporary file of its own (".qmexport-<process>-<n>.tmp"),
//                 flushed and renamed over the old file, so the old file is either untouched
//                 or replaced by the complete new one, and a link in its place is replaced,
//                 never followed; content equal to the file's is not written at all, so its
//                 time stamp stays. A replacement counts only once the folder holds the file
//                 under exactly its name (a file system that cuts long names, or keeps the
//                 case of the file replaced, does not pass unnoticed). A read-only file is
//                 never changed or removed, nor a folder or a link to one. Nothing is ever
//                 removed through a link: a file is removed by renaming a file of ours over
//                 it first.
//                 Made to look only (Mode::LookOnly), it changes nothing on disk, not even a
//                 temporary file: the folder is taken as it is (or as empty when it does not
//                 exist), replacements and removals are kept in memory, where later probes
//                 and reads see them, and Differences() lists them against the disk.
//                 What the folder holds is read once (Snapshot) and kept up to date with this
//                 object's own changes, and a new file is created under its exact name: no
//                 name the folder lacks is ever looked up by a path that ignores case, which
//                 under Wine (which ignores case by reading the whole folder) would make a
//                 folder of n files cost n * n; there new files are created through the
//                 folder's host path, where names are exact.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/Text.h"
#include "platform/Files.h"
#include "qmexport/ObjectFileNames.h"

class FolderFiles {
public:
    enum class Change { Unchanged, Written, Failed };
    // What the folder holds under a name, links not followed. Unusable: a name the folder
    // cannot hold as it is (a wildcard, or a file system that cuts it).
    enum class Entry { Missing, File, Folder, Link, Unusable };

    enum class Mode { Write, LookOnly };

    // What a look-only run would have changed in one file.
    struct Difference {
        enum class Kind { Added, Changed, Removed } kind;
        std::wstring strName;
    };

    // strFolder: the folder's path, with or without a trailing separator.
    explicit FolderFiles(std::wstring strFolder, Mode mode = Mode::Write);

    const std::wstring& Folder() const { return m_strFolder; }
    std::wstring PathOf(const std::wstring& strName) const { return m_strFolder + strName; }

    // Creates the folder and any missing parents: 0 when it exists afterwards, otherwise the
    // system's reason, taken at the call that failed (a refused creation's own).
    SystemError CreateFolder() const;
    // Whether a new file can be created in the folder (a temporary one, removed again): 0, or
    // the creation's reason.
    SystemError CanCreateFiles() const;
    // Removes temporary files an earlier run of this program left behind when it was killed.
    void RemoveLeftoverTemporaries();
    // Reads what the folder holds; from then on Probe answers from it (and this object's own
    // changes) rather than from the file system.
    void Snapshot();

    Entry Probe(const std::wstring& strName) const;

    // The content of a file; false when it cannot be read (missing included).
    bool Read(const std::wstring& strName, std::string& strContent) const;
    // Replaces the file with this content unless it holds exactly that already. Fails on a
    // folder or a link to one, and on a read-only file whose content would change.
    Change Replace(const std::wstring& strName, const std::string& strContent);
    // A replacement whose content comes in pieces, too large to be held whole: BeginPieces,
    // AddPiece for each, then EndPieces (which answers as Replace would for the whole content)
    // or AbandonPieces. The pieces are compared with what the file holds as they come; writing,
    // they go to a temporary file of their own from the first difference on (begun with the
    // file's bytes they matched), which EndPieces renames over the file: content that is the
    // file's already writes nothing. Looking only, they are not kept: a later Read of the file
    // fails.
    bool BeginPieces(const std::wstring& strName);
    bool AddPiece(const char* pBytes, size_t nLength);
    Change EndPieces();
    void AbandonPieces();
    // Appends to a file in one write. Only for a file this object replaced before: a file found
    // in the folder may be a link that leads out of it.
    bool Append(const std::wstring& strName, const std::string& strText);
    // Removes a regular file; true when none is left under the name (a folder or link there is
    // not this program's and stays). A read-only file is not removed.
    bool Remove(const std::wstring& strName);

    bool IsLookOnly() const { return m_mode == Mode::LookOnly; }

    // The system's error number of the last failure, for messages.
    SystemError LastError() const { return m_nLastError; }

    // In look-only mode: the files whose content or presence would differ from the disk's,
    // in the order of their names.
    std::vector<Difference> Differences() const;

private:
    // A new file under exactly this name; fails when the name is taken.
    Files::File CreateExactly(const std::wstring& strName);
    Files::File CreateTemporary(std::wstring& strTempName);
    Change CreateNew(const std::wstring& strName, const std::string& strContent);
    // What a replacement comes to before anything is written, given what the folder holds
    // under the name and whether that is the new content already: the answer, or nullopt when
    // the content is to be written.
    std::optional<Change> Settled(const std::wstring& strName, Entry entry, bool bSame);
    // Whether the host takes the name: its names have a limit of their own in bytes, past
    // which a name fails or is cut.
    bool FitsHost(const std::wstring& strName) const;
    // The temporary file, written and closed, renamed over what the folder holds under the
    // name (any case of it), or to the name when bNew; removed when that fails.
    Change RenameOver(const std::wstring& strName, const std::wstring& strTempName, bool bNew);
    // Removes a temporary file of this run's.
    void RemoveTemporary(const std::wstring& strTempName);
    // Closes the file Append keeps open when it is this one.
    void CloseAppended(const std::wstring& strName);
    void Known(const std::wstring& strName, const Files::Status& status);
    void Forget(const std::wstring& strName);
    // The name the folder gives the file found under strName; empty when there is none.
    std::wstring ActualName(const std::wstring& strName) const;
    // The path of what the folder holds under strName (its own case of the name), or of the
    // name itself when it holds nothing: where a system that compares names exactly finds it.
    std::wstring PathOfHeld(const std::wstring& strName) const;
    // Gives a file that the folder holds under another case of the name exactly this name.
    bool FixNameCase(const std::wstring& strName);
    Change Fail(SystemError nError);
    bool RemoveSafely(const std::wstring& strName);
    bool IsFolder(const std::wstring& strName) const;

    Entry ProbeDisk(const std::wstring& strName) const;
    bool ReadDisk(const std::wstring& strName, std::string& strContent) const;
    // Whether the file holds exactly strContent (its pending content in a look-only run), read
    // in pieces: a comparison never holds the file beside the content.
    bool Holds(const std::wstring& strName, const std::string& strContent) const;
    bool DiskHolds(const std::wstring& strName, const std::string& strContent) const;

    std::wstring m_strFolder;
    // The folder's entries by name as the file system compares them: the name it holds, and
    // its attributes. Only once Snapshot has run.
    struct KnownEntry {
        std::wstring strName;
        Files::Status status;
    };
    bool m_bSnapshot = false;
    // Where new files are created by their exact names (Wine's host path of the folder); empty:
    // the folder's own path.
    std::wstring m_strHostFolder;
    std::map<std::wstring, KnownEntry, ObjectFileNames::FileNameLess> m_entries;
    // The file Append writes to, kept open between its lines.
    Files::File m_append;
    std::wstring m_strAppendName;
    Mode m_mode;
    // Look-only: the content each replaced file would have; nullopt for a removed one.
    std::map<std::wstring, std::optional<std::string>, ObjectFileNames::FileNameLess> m_pending;
    // Look-only: the replaced files whose content came in pieces and is not held (m_pending
    // holds an empty text for them), and whether it is what the disk holds.
    std::map<std::wstring, bool, ObjectFileNames::FileNameLess> m_unheld;
    // The replacement whose pieces are coming: its name, its temporary file (writing), and how
    // its content compares with what the file held: the file read alongside, or the content
    // pending for it (looking only); bSame until the first difference.
    struct PieceReplacement {
        bool bActive = false;
        std::wstring strName;
        std::wstring strTempName;
        Files::File temp;
        Files::File old;
        const std::string* pOldPending = nullptr;
        size_t nCompared = 0;
        bool bSame = true;
        bool bComparedWithDisk = true;
    };
    PieceReplacement m_pieces;
    // Whether what the replacement compares with ends where its pieces did.
    bool PiecesEndTogether();
    // Writing: the replacement's temporary file, begun with the file's first nMatched bytes
    // (which the pieces so far matched); false with the reason in LastError.
    bool StartTemporary(std::uint64_t nMatched);
    unsigned m_nTempSerial = 0;
    mutable SystemError m_nLastError = 0;
};
