// TargetPath.h
//
// TargetPath: what an output path names, for the checks before the logon that both sinks (one
// .sql file, a folder of files) make, in the window and the console exporter alike.
#pragma once

#include <string>

namespace TargetPath {

// The longest folder path a folder export takes: room for the 8.3 name Windows keeps beside
// every file, as CreateDirectory requires.
constexpr size_t kMaxFolderPath = 260 - 12;

// The path as Windows resolves it against the current folders (a drive-relative "Y:" or
// "Y:sub" against drive Y's current folder, as GetFullPathNameW does); false when it cannot
// be resolved (empty, or too long for the system).
bool FullPath(const std::wstring& strPath, std::wstring& strFull);

// Whether the path names a device rather than a file: NUL, CON, PRN, AUX, COM1-COM9,
// LPT1-LPT9, CONIN$ or CONOUT$ as its last part (any case, with an extension, trailing blanks
// or a colon, behind a folder or not), or anything in the device namespace ("\\.\").
bool IsDevice(const std::wstring& strPath);

}  // namespace TargetPath
