// DbErrorTexts.h
//
// Every fixed text that the database layer puts into a connection's or a statement's error
// state, in one place, together with the helper that writes such a text into the 512-character
// error buffers of DBConnect and DBStmt. Texts that come from the client library itself are not
// here: those are read with OCIErrorGet and passed on unchanged.
#pragma once

#include <string>

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

// The client library could not be loaded (missing, wrong bitness, or refused by the loader);
// the reason follows on a line of its own.
constexpr const char kCantLoadOci[] = "Can't load oci.dll";

// The search path holds no OCI.DLL.
inline std::string NoOciOnPath(int nProgramBits)
{
    const std::string strBits = std::to_string(nProgramBits);
    return "No OCI.DLL is on the PATH: install the " + strBits +
           "-bit Oracle client and put its folder on the PATH";
}

// The OCI.DLL the search path finds was built for the other bitness.
inline std::string WrongBitness(int nLibraryBits, int nProgramBits)
{
    const std::string strLibrary = std::to_string(nLibraryBits);
    const std::string strProgram = std::to_string(nProgramBits);
    return "OCI.DLL on the PATH is a " + strLibrary + "-bit library and Quillmark is " +
           strProgram + "-bit: install the " + strProgram + "-bit Oracle client, or use the " +
           strLibrary + "-bit Quillmark";
}

// OCI.DLL is on the search path but the system refused it for another reason (a library it
// needs is missing, for one): the system's error number.
inline std::string NotLoadable(unsigned nSystemError)
{
    const std::string strNumber = " (system error " + std::to_string(nSystemError) + ")";
    if (nSystemError == 126)  // ERROR_MOD_NOT_FOUND: it was found, so what is missing is its own.
        return "OCI.DLL on the PATH could not be loaded: a library it needs is missing" + strNumber;
    return "OCI.DLL on the PATH could not be loaded" + strNumber;
}

// The line the user sees: kCantLoadOci, then the reason.
inline std::string CantLoadOci(const std::string& strReason)
{
    return strReason.empty() ? std::string(kCantLoadOci) : kCantLoadOci + ("\n" + strReason);
}

// The client library loaded but does not export an entry point the layer calls.
inline std::string MissingEntryPoint(const char* pszName)
{
    return std::string("OCI.DLL lacks the entry point ") + pszName;
}

// A call reported failure by its status but left no diagnostic record to explain it.
inline std::string FailedWithoutRecord(const char* pszEntryPoint)
{
    return std::string(pszEntryPoint) + " failed without a diagnostic record";
}

// A handle the logon or a statement needs was not handed out by the library.
inline std::string HandleNotAllocated(const char* pszHandleKind)
{
    return std::string("OCI.DLL did not allocate the ") + pszHandleKind + " handle";
}

// The client could not read its NLS_LANG: pszValue as the environment gives it (null: the
// variable is unset, so the registry's value was used), pszClientError the client's own text.
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
