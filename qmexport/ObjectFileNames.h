// ObjectFileNames.h
//
// The file names of a folder export: one file per object, "<name>.<ext>" with the extension
// of its kind (ObjectKinds: tps type, tpb type body, pks package, pkb package body,
// prc procedure, fnc function, trg trigger).
//   ObjectFileNames - the name as stored, escaped only where a Windows folder or install.sql
//                     could not hold it as it is, and turned back into the name (see the
//                     README's "File names" for the rules). A file name depends on the
//                     object's name and type, on whether an object of the same type has a
//                     name that differs from it only in case, and on the system's code page,
//                     and on nothing else, so it stays the same from run to run whatever the
//                     kinds, the objects named or the other objects of a run. Every rule is
//                     reversible, and no two objects get names that a case-insensitive file
//                     system takes for the same file. A name whose file name would pass 255
//                     UTF-16 units or 255 bytes of UTF-8 is shortened: the start of the
//                     escaped name, "~", 32 hex
//                     digits of the SHA-256 of the stored name's bytes, the extension; a name's
//                     own "~" is always escaped, so only a shortened name holds one.
//                     Which names this program could have written (IsOwnFileName), under these
//                     rules or the ones of earlier versions: only such files are ever removed
//                     or run by install.sql.
//   FileNameSet     - file names as the file system compares them (ordinal, case ignored).
//   CaseTwins       - which objects of a set have a name that differs from another one of the
//                     same type only in case; those mark their lower-case letters so that each
//                     twin keeps a file of its own.
//   FolderNaming    - the one place a folder's file names are settled: told every object of
//                     the schema in the run's kinds (whatever the run exports of them), it
//                     names any object's file.
//
// Names are UTF-8 bytes (as the database layer hands them over); file names are wide, made
// of the names' characters, and an escape takes the UTF-8 bytes of its character. A
// character the system's code page cannot hold exactly is escaped too, so that install.sql,
// written in that code page, names every file byte for byte.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "framework/String.h"

namespace ObjectFileNames {

// The longest file name a folder holds, with the extension: 255 UTF-16 units (Windows) and
// 255 bytes of UTF-8 (Linux's file systems). Names are kept within both on every system, so that
// a folder checked out anywhere holds the same names.
constexpr size_t kMaxFileName = 255;
constexpr size_t kMaxFileNameBytes = 255;

// The extension of an object type ("pks" for "PACKAGE", ...); empty for a type that is none
// of ObjectKinds.
std::wstring ExtensionOf(const CString& strType);
// The object type of an extension (either case); empty for any other extension.
CString TypeOf(const std::wstring& strExtension);

// nCodePage everywhere below: the code page install.sql is written in; 0 for the system's
// (UTF-8 where the system has no other), kAsciiCodePage for names that are ASCII everywhere.
unsigned InstallCodePage(unsigned nCodePage = 0);

// The file name without its extension, never shortened. bMarkCase: the name has a case twin
// (CaseTwins), so its lower-case letters are escaped too.
std::wstring Stem(const CString& strName, bool bMarkCase, unsigned nCodePage = 0);
// The whole file name: Stem, a dot, the type's extension, shortened when it is too long.
// Empty for a type without an extension.
std::wstring FileName(const CString& strName, const CString& strType, bool bMarkCase,
                      unsigned nCodePage = 0);
// Every other name this program may have given the object's file before (the other case
// marking, another code page, the rules of earlier versions), so that a run can remove the
// file it wrote under one of them.
std::vector<std::wstring> FormerFileNames(const CString& strName, const CString& strType,
                                          unsigned nCodePage = 0);

// The stored name of a stem; false when the stem holds an escape that is not "%" and two
// upper-case hex digits, or is empty.
bool NameOf(const std::wstring& strStem, CString& strName);
// Name and type of a file name that FileName gives for them (escaped exactly as FileName
// escapes under its rules or an earlier version's, not shortened, a lower-case extension);
// false for any other file.
bool ObjectOf(const std::wstring& strFileName, CString& strName, CString& strType,
              unsigned nCodePage = 0);

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
bool IsOwnFileName(const std::wstring& strFileName, ParsedFileName* pParsed = nullptr,
                   unsigned nCodePage = 0);

// File names as the file system compares them: ordinal, case ignored.
bool SameFileName(const std::wstring& strA, const std::wstring& strB);
struct FileNameLess {
    bool operator()(const std::wstring& strA, const std::wstring& strB) const;
};

}  // namespace ObjectFileNames

using FileNameSet = std::set<std::wstring, ObjectFileNames::FileNameLess>;

// (type, name): the type by its bytes, the name as the file system compares it.
struct TwinKeyLess {
    bool operator()(const std::pair<std::string, std::wstring>& a,
                    const std::pair<std::string, std::wstring>& b) const;
};

// Told every object of a type's set before their files are named.
class CaseTwins {
public:
    void Add(const CString& strName, const CString& strType);
    // Whether another object of the type has a name that equals this one when case is ignored.
    bool HasTwin(const CString& strName, const CString& strType) const;

private:
    // (type, name as the file system compares it) -> the distinct stored names that compare
    // equal.
    std::map<std::pair<std::string, std::wstring>, std::set<CString>, TwinKeyLess> m_groups;
};

class FolderNaming {
public:
    explicit FolderNaming(unsigned nCodePage = 0)
        : m_nCodePage(ObjectFileNames::InstallCodePage(nCodePage))
    {}
    // Every object of the schema in the run's kinds, exported or not.
    void Add(const CString& strName, const CString& strType) { m_twins.Add(strName, strType); }
    bool HasTwin(const CString& strName, const CString& strType) const
    {
        return m_twins.HasTwin(strName, strType);
    }
    // The object's file name; empty for a type without an extension.
    std::wstring FileOf(const CString& strName, const CString& strType) const
    {
        return ObjectFileNames::FileName(strName, strType, HasTwin(strName, strType), m_nCodePage);
    }
    unsigned CodePage() const { return m_nCodePage; }

private:
    unsigned m_nCodePage;
    CaseTwins m_twins;
};
