// FolderIndex.h
//
// The two files a folder export keeps beside the objects' files:
//   Manifest      - ".qmexport-files": the files this program wrote into the folder, one name
//                   a line (UTF-8, sorted). A later run removes a file of an object that is
//                   gone only when the manifest names it and the name is one this program
//                   could have written (ObjectFileNames::IsOwnFileName); every other file in
//                   the folder is the user's and stays untouched. The manifest is kept under
//                   version control, so anyone may have written it: its lines are only ever
//                   names to check, never paths to follow.
//   InstallScript - "install.sql": "SET DEFINE OFF", then every object's file with @@ in the
//                   groups of ObjectKinds (types, package specifications, functions,
//                   procedures, then type and package bodies together, then triggers), each
//                   group in the order of the objects' names, so that SQL*Plus recreates the
//                   schema's code.
#pragma once

#include "export/SqlPlusLines.h"

#include <string>
#include <vector>

#include "qmexport/ObjectFileNames.h"

namespace Manifest {

constexpr wchar_t kFileName[] = L".qmexport-files";

// The entries of a manifest's text, as they are written (line feeds and carriage returns
// aside). Blank lines, lines starting with "#" and a last line without its line feed (a write
// that was cut off) are left out.
std::vector<std::string> Parse(const std::string& strText);
// The file name of an entry; false when the entry is not UTF-8 text.
bool FileNameOf(const std::string& strEntry, std::wstring& strFile);
// An entry as a message shows it: control characters and bytes that are not UTF-8 as \xNN,
// cut after a few hundred characters.
std::string Shown(const std::string& strEntry);
// The text of a manifest naming these files.
std::string Format(const FileNameSet& files);

}  // namespace Manifest

namespace InstallScript {

constexpr wchar_t kFileName[] = L"install.sql";

// The script begins with SET DEFINE OFF and the other SET lines the files it runs need
// (SqlPlusLines.h, needs: over every one of them).

// The script's text for these files, in the code page SQL*Plus opens them in (nCodePage, 0 for
// the system's): every name byte for byte, so each line names its file. Names this program
// could not have written for an object are left out, and so are names the code page cannot
// hold exactly (only earlier versions wrote such names), which go into pUnnamed.
std::string Text(const FileNameSet& files, unsigned nCodePage = 0,
                 std::vector<std::wstring>* pUnnamed = nullptr,
                 const SqlPlusNeeds& needs = SqlPlusNeeds());

}  // namespace InstallScript
