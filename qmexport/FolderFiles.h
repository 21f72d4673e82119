// FolderFiles.h
//
// File operations of a folder export, each one whole or not at all:
//   FolderFiles  - reads, replaces and removes files of one folder by name. A replacement is
//                  written to a temporary file of its own (".qmexport-<process>-<n>.tmp"),
//                  flushed and renamed over the old file, so the old file is either untouched
//                  or replaced by the complete new one; content equal to the file's is not
//                  written at all, so its time stamp stays.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Text.h"

class FolderFiles {
public:
    enum class Change { Unchanged, Written, Failed };

    // strFolder: the folder's path, with or without a trailing separator.
    explicit FolderFiles(std::wstring strFolder);

    const std::wstring& Folder() const { return m_strFolder; }
    std::wstring PathOf(const std::wstring& strName) const { return m_strFolder + strName; }

    // Creates the folder and any missing parents; true when it exists afterwards.
    bool CreateFolder() const;
    // Whether a new file can be created in the folder (a temporary one, removed again).
    bool CanCreateFiles() const;
    // Removes temporary files an earlier run of this program left behind when it was killed.
    void RemoveLeftoverTemporaries() const;

    // The content of a file; false when it cannot be read (missing included).
    bool Read(const std::wstring& strName, std::string& strContent) const;
    // Replaces the file with this content unless it holds exactly that already.
    Change Replace(const std::wstring& strName, const std::string& strContent);
    // Appends to a file (created when missing) in one write.
    bool Append(const std::wstring& strName, const std::string& strText) const;
    // Removes a file; a file that is already gone counts as removed.
    bool Remove(const std::wstring& strName) const;

    // The system's text of the last failure, for messages.
    DWORD LastError() const { return m_nLastError; }

private:
    CHandle CreateTemporary(std::wstring& strTempName);

    std::wstring m_strFolder;
    unsigned m_nTempSerial = 0;
    DWORD m_nLastError = 0;
};
