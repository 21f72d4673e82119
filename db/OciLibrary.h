// OciLibrary.h
//
// The only door to the client library "OCI.DLL".
//
// LoadOciLibrary loads the library by file name, letting the system's search order choose the
// copy; the module is never freed, so every pointer taken from it stays valid until the process
// ends. When it cannot be loaded it says why: no OCI.DLL on the search path, one of the other
// bitness than this program (its machine type read from its file), or the system's reason.
//
// OciConnectionApi and OciStatementApi are the typed entry-point tables of a connection and of a
// statement, each filled from one table of exported name and member. Resolve fills a table from
// a loaded module, all or nothing: when one required name is missing it reports that name and
// leaves every pointer null. The members named after the entry points call through the table; a
// call whose pointer is null is not made and answers OCI_INVALID_HANDLE, so no null pointer is
// ever called whatever the caller does.
#pragma once

#include <windows.h>

#include <string>

#include "db/OciDefs.h"

struct OciLibraryLoad {
    // Null when the library could not be loaded.
    HMODULE hModule = nullptr;
    // Why not, one line for the user (empty when loaded).
    std::string strReason;
};

// LoadLibraryA("OCI.DLL"), and the reason when it fails.
OciLibraryLoad LoadOciLibrary();

// One row of an entry-point table: the exported name and how to store its address in Api.
template <typename Api>
struct OciEntryPoint {
    const char* pszName;
    // False when the address is null.
    bool (*pfnStore)(Api& api, FARPROC pAddress);
    // Without an optional entry point the table is still complete.
    bool bRequired;
};

// Entry points of a connection, looked up in the order of its logon.
class OciConnectionApi {
public:
    // Null when every entry point was found, otherwise the name of the first missing one (and the
    // table is left empty).
    const char* Resolve(HMODULE hLibrary);
    void Clear();

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

private:
    // Looked up in this order (the first missing one is the one reported).
    static const OciEntryPoint<OciConnectionApi> kEntryPoints[];

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
};

// Entry points of a statement, looked up through its connection's library handle.
class OciStatementApi {
public:
    // Same contract as OciConnectionApi::Resolve.
    const char* Resolve(HMODULE hLibrary);
    void Clear();

    sword HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const;
    sword StmtPrepare(OCIStmt* pStmt, OCIError* pError, const char* pszSql, ub4 nLength,
                      ub4 nLanguage, ub4 nMode) const;
    sword ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText, ub4 nTextSize,
                   ub4 nType) const;
    sword HandleFree(void* pHandle, ub4 nType) const;
    sword StmtExecute(OCISvcCtx* pSvcCtx, OCIStmt* pStmt, OCIError* pError, ub4 nIters,
                      ub4 nRowOffset, ub4 nMode) const;
    sword BindByPos(OCIStmt* pStmt, OCIBind** ppBind, OCIError* pError, ub4 nPosition, void* pValue,
                    sb4 nSize, ub2 nType) const;
    sword DefineByPos(OCIStmt* pStmt, OCIDefine** ppDefine, OCIError* pError, ub4 nPosition,
                      void* pValue, sb4 nSize, ub2 nType, sb2* pnIndicator, ub2* pnLength) const;
    sword StmtFetch(OCIStmt* pStmt, OCIError* pError, ub4 nRows, ub2 nOrientation, ub4 nMode) const;
    sword AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize, ub4 nAttribute,
                  OCIError* pError) const;
    sword AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                  OCIError* pError) const;

private:
    // Looked up in this order (the first missing one is the one reported).
    static const OciEntryPoint<OciStatementApi> kEntryPoints[];

    OCIHandleAllocFn m_pfnHandleAlloc = nullptr;
    OCIStmtPrepareFn m_pfnStmtPrepare = nullptr;
    OCIErrorGetFn m_pfnErrorGet = nullptr;
    OCIHandleFreeFn m_pfnHandleFree = nullptr;
    OCIStmtExecuteFn m_pfnStmtExecute = nullptr;
    OCIBindByPosFn m_pfnBindByPos = nullptr;
    OCIDefineByPosFn m_pfnDefineByPos = nullptr;
    OCIStmtFetchFn m_pfnStmtFetch = nullptr;
    OCIAttrSetFn m_pfnAttrSet = nullptr;
    OCIAttrGetFn m_pfnAttrGet = nullptr;
};
