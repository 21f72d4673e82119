// ExportTexts.h
//
// The fixed texts of an export that more than one place shows: the engine's ends, the file
// checks, and the window's own line at Stop. Kept in one place so the window, the console
// exporter and the tests say exactly the same.
#pragma once

#include "framework/String.h"

namespace ExportTexts {

constexpr const char kConnected[] = "Connected.";
constexpr const char kConnectFailed[] = "Error while connect to specified database";
constexpr const char kObjectNotFound[] = "Object not found.";
constexpr const char kNoSource[] = "Source doesn't exists.";
constexpr const char kSourceUploaded[] = "Source uploaded. File created.";
constexpr const char kDeleteOldFile[] = "Error while delete old file ";
constexpr const char kCreateFile[] = "Error while create specified file.";
constexpr const char kWriteFile[] = "Error while write specified file.";
// "No objects of HR are visible to SCOTT" and then this.
constexpr const char kOwnerNeedsPrivilege[] =
    ": reading another owner's code needs SELECT ANY DICTIONARY, the SELECT_CATALOG_ROLE role, "
    "SYSDBA, or grants on DBA_OBJECTS and DBA_SOURCE";
// A failure the database gave no text for.
constexpr const char kUnexpectedFailure[] = "Unexpected failure while exporting.";
// In front of what a failure the export has no text of its own for says of itself.
constexpr const char kUnexpectedError[] = "Unexpected error: ";
constexpr const char kPathIsFolder[] = "The path names a folder, not a file.";
// "<path>: a device, not a file" (under kCreateFile); "<path> is a file, not a folder" (under
// kCreateFolder).
constexpr const char kPathIsDevice[] = ": a device, not a file";
constexpr const char kPathIsFile[] = " is a file, not a folder";
constexpr const char kCreateFolder[] = "Error while create specified folder.";
constexpr const char kFileUnchanged[] = "The file was not changed.";
// "The file holds the N complete objects before it." around the number.
constexpr const char kFileHoldsBefore[] = "The file holds the ";
constexpr const char kFileHoldsAfter[] = " complete objects before it.";
// The window's own last line after Stop: "Stopped. The file holds the N complete objects
// written before Stop." or, when nothing was written, "Stopped. The file was not changed."
constexpr const char kStoppedHolds[] = "Stopped. The file holds the ";
constexpr const char kStoppedHoldsAfter[] = " complete objects written before Stop.";
constexpr const char kStoppedUnchanged[] = "Stopped. The file was not changed.";
// A run that wrote characters beyond ASCII in UTF-8 for a client whose set is not UTF-8.
constexpr const char kUtf8ClientAdvice[] =
    "The files hold characters beyond ASCII in UTF-8: run them in SQL*Plus with a UTF-8 "
    "NLS_LANG, such as AMERICAN_AMERICA.AL32UTF8.";

// The log's first line of a run: "Connect to SCOTT@ORCL".
inline CString ConnectTo(const CString& strUser, const CString& strDatabase)
{
    return "Connect to " + strUser + "@" + strDatabase;
}

// The DBA_ views are missing: the session user may not read the dictionary.
inline CString OwnerNotVisible(const CString& strOwner, const CString& strSessionUser)
{
    return "No objects of " + strOwner + " are visible to " + strSessionUser + kOwnerNeedsPrivilege;
}

// DBA_VIEWS or DBA_TAB_COLUMNS is missing while DBA_OBJECTS was there (grants on some only).
inline CString OwnersViewsNotVisible(const CString& strOwner, const CString& strSessionUser)
{
    return "No views of " + strOwner + " are visible to " + strSessionUser +
           ": reading another owner's views needs SELECT ANY DICTIONARY, the SELECT_CATALOG_ROLE "
           "role, SYSDBA, or grants on DBA_VIEWS and DBA_TAB_COLUMNS";
}

// The views are readable, and the owner has nothing of strKinds ("PACKAGE, FUNCTION").
inline CString OwnerHasNone(const CString& strOwner, const CString& strKinds)
{
    return strOwner + " has no objects of the kinds exported (" + strKinds + ")";
}

// A US7ASCII client's file holds characters beyond ASCII, written in UTF-8; strWhere is
// "<NAME> (<TYPE>) line <N>" of the first.
inline CString BeyondUs7Ascii(const CString& strWhere)
{
    return "The file holds characters outside US7ASCII, the client's character set, written in "
           "UTF-8 (first in " +
           strWhere +
           "); run it with NLS_LANG set to a UTF-8 character set such as "
           "AMERICAN_AMERICA.AL32UTF8, or SQL*Plus will turn them into '?'.";
}

// An object view or XMLType view, which the export leaves out.
inline CString NotExportedTypedView(const CString& strName)
{
    return "Not exported: " + strName + " (VIEW) is an object view";
}

}  // namespace ExportTexts
