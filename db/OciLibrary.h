// OciLibrary.h
//
// The only door to the client library ("OCI.DLL", "libclntsh.so").
//
// LoadOciLibrary loads the library by file name (platform/ClientLibrary.h), letting the system's
// search order choose the copy; the module is never freed, so every pointer taken from it stays
// valid until the process ends. When it cannot be loaded it says why: none on the search path,
// one built for another machine than this program (read from its file), or the system's reason.
//
// OciApi is the typed entry-point table of a loaded library, one for the process, filled once
// from one list of exported name, member and who needs it. A library that lacks an entry point
// every connection needs has no table (the name is reported); one that lacks only a statement's
// has one that says so, for the statement to report. Each wrapper is written once; a call whose
// pointer is null is not made and answers OCI_INVALID_HANDLE, so no null pointer is ever called
// whatever the caller does.
#pragma once

#include <string>

#include "db/OciDefs.h"
#include "platform/ClientLibrary.h"

using OciLibraryLoad = ClientLibraryLoad;

// The client library by its name, and the reason when it fails.
OciLibraryLoad LoadOciLibrary();

// Who needs an entry point: every connection, every statement, or nobody (the table is
// complete without it).
enum class OciNeed { Connection, Statement, Optional };

// One row of the entry-point table: the exported name, how to store its address, who needs it.
template <typename Api>
struct OciEntryPoint {
    const char* pszName;
    // False when the address is null.
    bool (*pfnStore)(Api& api, EntryAddress pAddress);
    OciNeed need;
};

// The typed entry points of one loaded library, resolved once for the process (the module is
// never freed) and shared by its connections and their statements.
class OciApi {
public:
    // The table of hLibrary, resolved at the first call. Null when an entry point every
    // connection needs is missing; *ppszMissing then names the first one.
    static const OciApi* ForLibrary(void* hLibrary, const char** ppszMissing);
    // The table of no library: every call answers OCI_INVALID_HANDLE.
    static const OciApi& Empty();

    // Null when the library has every entry point a statement needs, otherwise the first
    // missing one (the connection's own calls still work).
    const char* MissingForStatements() const { return m_pszMissingForStatements; }

    sword Initialize(ub4 nMode) const;
    // An environment with the client character sets given by id (0: as NLS_LANG says).
    sword EnvNlsCreate(OCIEnv** ppEnv, ub4 nMode, ub2 nCharset) const;
    sword AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                  OCIError* pError) const;
    // The name of a character set id, zero-terminated in pszName.
    sword CharsetIdToName(OCIEnv* pEnv, char* pszName, size_t nSize, ub2 nId) const;
    sword Break(void* pHandle, OCIError* pError) const;
    // nFromSize bytes in set nFromId into at most nToSize bytes in set nToId; *pnWritten the
    // bytes written.
    sword CharSetConvert(OCIEnv* pEnv, OCIError* pError, ub2 nToId, void* pTo, size_t nToSize,
                         ub2 nFromId, const void* pFrom, size_t nFromSize, size_t* pnWritten) const;
    // Whether the latest CharSetConvert on the environment used a replacement character.
    bool ReplacementUsed(OCIEnv* pEnv) const;
    sword HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const;
    sword AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize, ub4 nAttribute,
                  OCIError* pError) const;
    sword ServerAttach(OCIServer* pServer, OCIError* pError, const char* pszDatabase, sb4 nLength,
                       ub4 nMode) const;
    sword SessionBegin(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession, ub4 nCred,
                       ub4 nMode) const;
    sword SessionEnd(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession, ub4 nMode) const;
    sword ServerDetach(OCIServer* pServer, OCIError* pError, ub4 nMode) const;
    sword HandleFree(void* pHandle, ub4 nType) const;
    sword ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText, ub4 nTextSize,
                   ub4 nType) const;
    sword StmtPrepare(OCIStmt* pStmt, OCIError* pError, const char* pszSql, ub4 nLength,
                      ub4 nLanguage, ub4 nMode) const;
    sword StmtExecute(OCISvcCtx* pSvcCtx, OCIStmt* pStmt, OCIError* pError, ub4 nIters,
                      ub4 nRowOffset, ub4 nMode) const;
    sword BindByPos(OCIStmt* pStmt, OCIBind** ppBind, OCIError* pError, ub4 nPosition, void* pValue,
                    sb4 nSize, ub2 nType) const;
    sword DefineByPos(OCIStmt* pStmt, OCIDefine** ppDefine, OCIError* pError, ub4 nPosition,
                      void* pValue, sb4 nSize, ub2 nType, sb2* pnIndicator, ub2* pnLength) const;
    sword StmtFetch(OCIStmt* pStmt, OCIError* pError, ub4 nRows, ub2 nOrientation, ub4 nMode) const;

private:
    // Looked up in this order (the first missing one is the one reported).
    static const OciEntryPoint<OciApi> kEntryPoints[];

    // Fills the table from hLibrary; the first missing connection entry point, or null.
    const char* Resolve(void* hLibrary);

    OCIInitializeFn m_pfnInitialize = nullptr;
    OCIEnvNlsCreateFn m_pfnEnvNlsCreate = nullptr;
    OCIAttrGetFn m_pfnAttrGet = nullptr;
    OCINlsCharSetIdToNameFn m_pfnCharsetIdToName = nullptr;
    OCIBreakFn m_pfnBreak = nullptr;
    OCINlsCharSetConvertFn m_pfnCharSetConvert = nullptr;
    OCICharSetConversionIsReplacementUsedFn m_pfnReplacementUsed = nullptr;
    OCIHandleAllocFn m_pfnHandleAlloc = nullptr;
    OCIServerAttachFn m_pfnServerAttach = nullptr;
    OCIAttrSetFn m_pfnAttrSet = nullptr;
    OCISessionBeginFn m_pfnSessionBegin = nullptr;
    OCISessionEndFn m_pfnSessionEnd = nullptr;
    OCIServerDetachFn m_pfnServerDetach = nullptr;
    OCIHandleFreeFn m_pfnHandleFree = nullptr;
    OCIErrorGetFn m_pfnErrorGet = nullptr;
    OCIStmtPrepareFn m_pfnStmtPrepare = nullptr;
    OCIStmtExecuteFn m_pfnStmtExecute = nullptr;
    OCIBindByPosFn m_pfnBindByPos = nullptr;
    OCIDefineByPosFn m_pfnDefineByPos = nullptr;
    OCIStmtFetchFn m_pfnStmtFetch = nullptr;
    const char* m_pszMissingForStatements = nullptr;
};
