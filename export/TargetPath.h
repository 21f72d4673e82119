// TargetPath.h
//
// TargetPath: what an output path names, for the checks before the logon that both sinks (one
// .sql file, a folder of files) make, in the window and the console exporter alike.
#pragma once

#include <string>

namespace TargetPath {

// The longest folder path a folder export takes: on Windows room for the 8.3 name it keeps
// beside every file, as CreateDirectory requires (the same margin under the system's limit
// elsewhere).
size_t MaxFolderPath();

// The path as the system resolves it against the current folders (on Windows a
// drive-relative "Y:" or "Y:sub" against drive Y's current folder, as GetFullPathNameW does);
// false when it cannot be resolved (empty, or too long for the system).
bool FullPath(const std::wstring& strPath, std::wstring& strFull);

// Whether the path names a device rather than a file: a device name (IsDeviceName) as its last
// part (with a colon after it, behind a folder or not), or anything in the device namespace
// ("\\.\").
bool IsDevice(const std::wstring& strPath);
// Whether a file name names a device: NUL, CON, PRN, AUX, COM1-COM9, COM¹-COM³, LPT1-LPT9,
// LPT¹-LPT³, CONIN$ or CONOUT$ before its first dot (any case, trailing blanks aside).
bool IsDeviceName(const std::wstring& strName);

}  // namespace TargetPath
