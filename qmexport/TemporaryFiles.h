// TemporaryFiles.h
//
// The temporary files the run has on disk at this moment (full paths), so that a second Ctrl+C,
// which ends the process at once, can take them away and name the ones it could not remove.
// Any thread may call; the registry is the process's own.
#pragma once

#include <string>
#include <vector>

namespace TemporaryFiles {

void Add(const std::wstring& strPath);
// The file is gone (renamed into place or deleted).
void Forget(const std::wstring& strPath);
// Deletes every file still registered; returns the paths that could not be deleted.
std::vector<std::wstring> RemoveAll();

}  // namespace TemporaryFiles
