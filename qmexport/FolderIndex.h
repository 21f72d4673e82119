// FolderIndex.h
//
// The two files a folder export keeps beside the objects' files:
//   Manifest      - ".qmexport-files": the files this program wrote into the folder, one name
//                   a line (UTF-8, sorted). A later run removes a file of an object that is
//                   gone only when the manifest names it; every other file in the folder is
//                   the user's and stays untouched.
//   InstallScript - "install.sql": "SET DEFINE OFF", then every object's file with @@ in the
//                   groups of ObjectKinds (types, package specifications, functions,
//                   procedures, then type and package bodies together, then triggers), each
//                   group in the order of the objects' names, so that SQL*Plus recreates the
//                   schema's code.
#pragma once

#include <set>
#include <string>

namespace Manifest {

constexpr wchar_t kFileName[] = L".qmexport-files";

// The file names of a manifest's text. Lines starting with "#" and a last line without its
// line feed (a write that was cut off) are left out.
std::set<std::wstring> Parse(const std::string& strText);
// The text of a manifest naming these files.
std::string Format(const std::set<std::wstring>& files);

}  // namespace Manifest

namespace InstallScript {

constexpr wchar_t kFileName[] = L"install.sql";

// The script's text for these files; names that are not objects' files are left out.
std::string Text(const std::set<std::wstring>& files);

}  // namespace InstallScript
