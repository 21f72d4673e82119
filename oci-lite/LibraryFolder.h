// LibraryFolder.h
//
// Where this library finds its files: a folder an environment variable names, else the folder
// OCI.DLL itself was loaded from (as the real client looks beside itself).
#pragma once

#include <string>

namespace ocilite {

// The variable's value; empty when it is unset or longer than a path.
std::wstring FolderFromEnvironment(const wchar_t* name);

// The folder of this DLL with its trailing separator (empty when its path has none); false when
// the DLL's path cannot be had.
bool LibraryFolder(std::wstring* folder);

}  // namespace ocilite
