// ObjectKinds.h
//
// ObjectKinds: the eight kinds of code the console exporter knows, in one table: the
// name Oracle gives the kind, the extension of its file in a folder export, and its place in
// install.sql. A run that names no kinds exports the engine's DefaultExportKinds().
#pragma once

#include <string>
#include <vector>

#include "framework/String.h"

struct ObjectKind {
    const char* pszType;          // as Oracle names it: "PACKAGE BODY"
    const wchar_t* pszExtension;  // without the dot: L"pkb"
    // install.sql runs lower groups first: a type before the code that uses it, package
    // specifications and stand-alone subprograms before the views that call them and the
    // bodies that read those, triggers last (a trigger may call any of them).
    int nInstallGroup;
};

namespace ObjectKinds {

// All eight, in the order the usage text lists them.
const std::vector<ObjectKind>& All();
// The kind of an Oracle type name (exact), or of an extension (either case); null for none.
const ObjectKind* OfType(const CString& strType);
const ObjectKind* OfExtension(const std::wstring& strExtension);

}  // namespace ObjectKinds
