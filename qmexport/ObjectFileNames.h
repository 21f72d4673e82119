// ObjectFileNames.h
//
// The file names of a folder export: one file per object, "<name>.<ext>" with the extension
// of its kind (ObjectKinds: tps type, tpb type body, pks package, pkb package body,
// prc procedure, fnc function, trg trigger).
//   ObjectFileNames - the name as stored, escaped only where a Windows folder could not hold
//                     it as it is, and turned back into the name (see the README's "File
//                     names" for the rules). Every rule is reversible, and no two objects get
//                     names that a case-insensitive file system takes for the same file. A
//                     name whose file name would pass 255 UTF-16 units is shortened: the start
//                     of the escaped name, "~", the FNV-1a 32 hash of the stored name's bytes
//                     in eight hex digits, the extension.
//                     Which names this program could have written (IsOwnFileName): only such
//                     files are ever removed or run by install.sql.
//   FileNameSet     - file names as the file system compares them (ordinal, case ignored).
//   CaseTwins       - which names of a set differ from another one only in case; those mark
//                     their lower-case letters so that each twin keeps a file of its own.
//
// Names are UTF-8 bytes (as the database layer hands them over); file names are wide, made
// of the names' characters, and an escape takes the UTF-8 bytes of its character.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/String.h"

namespace ObjectFileNames {

// The longest file name a folder holds, in UTF-16 units with the extension.
constexpr size_t kMaxFileName = 255;

// The extension of an object type ("pks" for "PACKAGE", ...); empty for a type that is none
// of ObjectKinds.
std::wstring ExtensionOf(const CString& strType);
// The object type of an extension (either case); empty for any other extension.
CString TypeOf(const std::wstring& strExtension);

// The file name without its extension, never shortened. bMarkCase: the name has a case twin
// (CaseTwins), so its lower-case letters are escaped too.
std::wstring Stem(const CString& strName, bool bMarkCase);
// The whole file name: Stem, a dot, the type's extension, shortened when it is too long.
// Empty for a type without an extension.
std::wstring FileName(const CString& strName, const CString& strType, bool bMarkCase);

// The stored name of a stem; false when the stem holds an escape that is not "%" and two
// upper-case hex digits, or is empty.
bool NameOf(const std::wstring& strStem, CString& strName);
// Name and type of a file name that FileName gives for them (escaped exactly as FileName
// escapes, not shortened, a lower-case extension); false for any other file.
bool ObjectOf(const std::wstring& strFileName, CString& strName, CString& strType);

// What a file name of this program's tells: the object's type and, for a shortened name, the
// start of the object's name only.
struct ParsedFileName {
    CString strName;
    CString strType;
    bool bShortened = false;
};
// Whether this program could have written a file of this name: a plain name (no separator,
// drive, stream, "." or "..", device name, character Windows forbids) that is either an
// object's file name (ObjectOf) or the shortened form of one.
bool IsOwnFileName(const std::wstring& strFileName, ParsedFileName* pParsed = nullptr);

// File names as the file system compares them: ordinal, case ignored.
bool SameFileName(const std::wstring& strA, const std::wstring& strB);
struct FileNameLess {
    bool operator()(const std::wstring& strA, const std::wstring& strB) const;
};

}  // namespace ObjectFileNames

using FileNameSet = std::set<std::wstring, ObjectFileNames::FileNameLess>;

// Told every name of a folder export before their files are named.
class CaseTwins {
public:
    void Add(const CString& strName);
    // Whether another name of the set equals this one when case is ignored.
    bool HasTwin(const CString& strName) const;

private:
    // Name as the file system compares it -> the distinct stored names that compare equal.
    std::map<std::wstring, std::set<CString>, ObjectFileNames::FileNameLess> m_groups;
};
