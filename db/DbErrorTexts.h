// DbErrorTexts.h
//
// Every fixed text that the database layer puts into a connection's or a statement's error
// state, in one place, together with the helper that writes such a text into the 512-character
// error buffers of DBConnect and DBStmt. Texts that come from the client library itself are not
// here: those are read with OCIErrorGet and passed on unchanged.
#pragma once

#include <string>

#include "platform/ClientLibrary.h"

namespace DbErrorTexts {

// Size in bytes of the error text buffer of a connection and of a statement.
constexpr int kErrorTextSize = 512;

// Error number for failures that do not come from the database: the client library is missing,
// incomplete, or failed without leaving a diagnostic record.
constexpr int kLibraryFailure = -1;

// Oracle's text for the end of a result (OCI_ORA_NO_DATA_FOUND), used when the library says
// "no data" by its return status without leaving the record in the error handle.
constexpr const char kNoDataFoundText[] = "ORA-01403: no data found\n";

// Oracle's text for a call ended by a break (OCI_ORA_USER_CANCEL), for a call not made at all
// because the break came first.
constexpr const char kUserCancelText[] = "ORA-01013: user requested cancel of current operation\n";

// The client library could not be loaded (missing, built for another machine, or refused by
// the loader): "Can't load <library>", then the reason on a line of its own.
inline std::string CantLoadOci(const std::string& strLibrary, const std::string& strReason)
{
    const std::string strTitle = "Can't load " + strLibrary;
    return strReason.empty() ? strTitle : strTitle + "\n" + strReason;
}

// The client library loaded but does not export an entry point the layer calls.
inline std::string MissingEntryPoint(const char* pszName)
{
    return std::string(ClientLibraryTitle()) + " lacks the entry point " + pszName;
}

// A call reported failure by its status but left no diagnostic record to explain it.
inline std::string FailedWithoutRecord(const char* pszEntryPoint)
{
    return std::string(pszEntryPoint) + " failed without a diagnostic record";
}

// A handle the logon or a statement needs was not handed out by the library.
inline std::string HandleNotAllocated(const char* pszHandleKind)
{
    return std::string(ClientLibraryTitle()) + " did not allocate the " + pszHandleKind + " handle";
}

// The client could not read its NLS_LANG: pszValue as the environment gives it (null: the
// variable is unset, so the registry's value was used; only Windows' client has one),
// pszClientError the client's own text.
inline std::string UnreadableNlsLang(const char* pszValue, const char* pszClientError)
{
    const std::string strWhich = pszValue != nullptr
                                     ? std::string("NLS_LANG=") + pszValue
                                     : std::string("NLS_LANG as set in the registry");
    return "The Oracle client cannot use " + strWhich + " (" + pszClientError +
           "); set it as LANGUAGE_TERRITORY.CHARSET, such as AMERICAN_AMERICA.AL32UTF8";
}

// A statement was used on a connection that has no session (never logged on or logged off).
constexpr const char kNotLoggedOn[] = "The connection is not logged on";

// Clears the whole buffer, then copies the text, cut so that the buffer always stays
// zero-terminated.
inline void Store(char (&szBuffer)[kErrorTextSize], const char* pszText)
{
    for (char& c : szBuffer)
        c = '\0';
    for (int i = 0; i < kErrorTextSize - 1 && pszText[i] != '\0'; ++i)
        szBuffer[i] = pszText[i];
}

}  // namespace DbErrorTexts
