// OciLibrary.cpp: the one file that loads "OCI.DLL", looks up its exports and calls them.
#include "db/OciLibrary.h"

namespace {

// GetProcAddress hands back a generic function pointer; going through void (*)(void) is the
// sanctioned way to change a function pointer's type and keeps -Wcast-function-type quiet.
template <typename Fn>
bool Lookup(HMODULE hLibrary, const char* pszName, Fn& pfn)
{
    FARPROC pAddress = GetProcAddress(hLibrary, pszName);
    pfn = reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(pAddress));
    return pfn != nullptr;
}

}  // namespace

// Loaded at every logon. The module is deliberately never freed: statements and environments
// may outlive the connection that loaded it.
HMODULE LoadOciLibrary()
{
    return LoadLibraryA("OCI.DLL");
}

// ---- OciConnectionApi ----

// Looks the names up in the order the logon uses the entry points.
const char* OciConnectionApi::Resolve(HMODULE hLibrary)
{
    const char* pszMissing = nullptr;
    if (!Lookup(hLibrary, "OCIInitialize", m_pfnInitialize))
        pszMissing = "OCIInitialize";
    else if (!Lookup(hLibrary, "OCIEnvNlsCreate", m_pfnEnvNlsCreate))
        pszMissing = "OCIEnvNlsCreate";
    else if (!Lookup(hLibrary, "OCIAttrGet", m_pfnAttrGet))
        pszMissing = "OCIAttrGet";
    else if (!Lookup(hLibrary, "OCINlsCharSetIdToName", m_pfnCharsetIdToName))
        pszMissing = "OCINlsCharSetIdToName";
    else if (!Lookup(hLibrary, "OCINlsCharSetConvert", m_pfnCharSetConvert))
        pszMissing = "OCINlsCharSetConvert";
    else if (!Lookup(hLibrary, "OCICharSetConversionIsReplacementUsed", m_pfnReplacementUsed))
        pszMissing = "OCICharSetConversionIsReplacementUsed";
    else if (!Lookup(hLibrary, "OCIHandleAlloc", m_pfnHandleAlloc))
        pszMissing = "OCIHandleAlloc";
    else if (!Lookup(hLibrary, "OCIServerAttach", m_pfnServerAttach))
        pszMissing = "OCIServerAttach";
    else if (!Lookup(hLibrary, "OCIAttrSet", m_pfnAttrSet))
        pszMissing = "OCIAttrSet";
    else if (!Lookup(hLibrary, "OCISessionBegin", m_pfnSessionBegin))
        pszMissing = "OCISessionBegin";
    else if (!Lookup(hLibrary, "OCISessionEnd", m_pfnSessionEnd))
        pszMissing = "OCISessionEnd";
    else if (!Lookup(hLibrary, "OCIServerDetach", m_pfnServerDetach))
        pszMissing = "OCIServerDetach";
    else if (!Lookup(hLibrary, "OCIHandleFree", m_pfnHandleFree))
        pszMissing = "OCIHandleFree";
    else if (!Lookup(hLibrary, "OCIErrorGet", m_pfnErrorGet))
        pszMissing = "OCIErrorGet";
    if (pszMissing != nullptr) {
        Clear();
        return pszMissing;
    }
    // Optional: without it a call cannot be interrupted, and everything else still works.
    Lookup(hLibrary, "OCIBreak", m_pfnBreak);
    return nullptr;
}

// Before a new load and after a failed lookup, so that a table is either complete or empty.
void OciConnectionApi::Clear()
{
    *this = OciConnectionApi();
}

// Logon step: process-wide initialisation, no context and no memory callbacks.
sword OciConnectionApi::Initialize(ub4 nMode) const
{
    if (m_pfnInitialize == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnInitialize(nMode, nullptr, nullptr, nullptr, nullptr);
}

// No context, memory callbacks or extra user memory; the same set for CHAR and NCHAR data.
sword OciConnectionApi::EnvNlsCreate(OCIEnv** ppEnv, ub4 nMode, ub2 nCharset) const
{
    if (m_pfnEnvNlsCreate == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnEnvNlsCreate(ppEnv, nMode, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nCharset,
                             nCharset);
}

sword OciConnectionApi::AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                                OCIError* pError) const
{
    if (m_pfnAttrGet == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnAttrGet(pHandle, nHandleType, pValue, nullptr, nAttribute, pError);
}

sword OciConnectionApi::CharsetIdToName(OCIEnv* pEnv, char* pszName, size_t nSize, ub2 nId) const
{
    if (m_pfnCharsetIdToName == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnCharsetIdToName(pEnv, reinterpret_cast<OraText*>(pszName), nSize, nId);
}

sword OciConnectionApi::CharSetConvert(OCIEnv* pEnv, OCIError* pError, ub2 nToId, void* pTo,
                                       size_t nToSize, ub2 nFromId, const void* pFrom,
                                       size_t nFromSize, size_t* pnWritten) const
{
    if (m_pfnCharSetConvert == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnCharSetConvert(pEnv, pError, nToId, pTo, nToSize, nFromId, pFrom, nFromSize,
                               pnWritten);
}

bool OciConnectionApi::ReplacementUsed(OCIEnv* pEnv) const
{
    return m_pfnReplacementUsed != nullptr && m_pfnReplacementUsed(pEnv) != 0;
}

// Safe on another thread than the one in the call it ends.
sword OciConnectionApi::Break(void* pHandle, OCIError* pError) const
{
    if (m_pfnBreak == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnBreak(pHandle, pError);
}

// Logon step and error-handle reset: a child handle of the environment.
sword OciConnectionApi::HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const
{
    if (m_pfnHandleAlloc == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnHandleAlloc(pParent, ppHandle, nType, 0, nullptr);
}

// Logon step: server on the service context, credentials on the session, session on the
// service context.
sword OciConnectionApi::AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize,
                                ub4 nAttribute, OCIError* pError) const
{
    if (m_pfnAttrSet == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnAttrSet(pHandle, nHandleType, pValue, nSize, nAttribute, pError);
}

// Logon step: attaches the server handle to the connect string.
sword OciConnectionApi::ServerAttach(OCIServer* pServer, OCIError* pError, const char* pszDatabase,
                                     sb4 nLength, ub4 nMode) const
{
    if (m_pfnServerAttach == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnServerAttach(pServer, pError, reinterpret_cast<const OraText*>(pszDatabase),
                             nLength, nMode);
}

// Logon step: begins the user session, normally or as SYSDBA.
sword OciConnectionApi::SessionBegin(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession,
                                     ub4 nCred, ub4 nMode) const
{
    if (m_pfnSessionBegin == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnSessionBegin(pSvcCtx, pError, pSession, nCred, nMode);
}

// Logoff step: ends the user session.
sword OciConnectionApi::SessionEnd(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession,
                                   ub4 nMode) const
{
    if (m_pfnSessionEnd == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnSessionEnd(pSvcCtx, pError, pSession, nMode);
}

// Logoff step, and clean-up of a logon that failed after the attach.
sword OciConnectionApi::ServerDetach(OCIServer* pServer, OCIError* pError, ub4 nMode) const
{
    if (m_pfnServerDetach == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnServerDetach(pServer, pError, nMode);
}

// Logoff, error-handle reset and destruction: gives a handle back to the library.
sword OciConnectionApi::HandleFree(void* pHandle, ub4 nType) const
{
    if (m_pfnHandleFree == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnHandleFree(pHandle, nType);
}

// Every check of a connection: reads one diagnostic record, no SQL state.
sword OciConnectionApi::ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText,
                                 ub4 nTextSize, ub4 nType) const
{
    if (m_pfnErrorGet == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnErrorGet(pHandle, nRecord, nullptr, pnCode, reinterpret_cast<OraText*>(pszText),
                         nTextSize, nType);
}

// ---- OciStatementApi ----

// Looks the names up in the order the statement needs them; OCIAttrSet comes last because only
// the prefetch setting uses it.
const char* OciStatementApi::Resolve(HMODULE hLibrary)
{
    const char* pszMissing = nullptr;
    if (!Lookup(hLibrary, "OCIHandleAlloc", m_pfnHandleAlloc))
        pszMissing = "OCIHandleAlloc";
    else if (!Lookup(hLibrary, "OCIStmtPrepare", m_pfnStmtPrepare))
        pszMissing = "OCIStmtPrepare";
    else if (!Lookup(hLibrary, "OCIErrorGet", m_pfnErrorGet))
        pszMissing = "OCIErrorGet";
    else if (!Lookup(hLibrary, "OCIHandleFree", m_pfnHandleFree))
        pszMissing = "OCIHandleFree";
    else if (!Lookup(hLibrary, "OCIStmtExecute", m_pfnStmtExecute))
        pszMissing = "OCIStmtExecute";
    else if (!Lookup(hLibrary, "OCIBindByPos", m_pfnBindByPos))
        pszMissing = "OCIBindByPos";
    else if (!Lookup(hLibrary, "OCIDefineByPos", m_pfnDefineByPos))
        pszMissing = "OCIDefineByPos";
    else if (!Lookup(hLibrary, "OCIStmtFetch", m_pfnStmtFetch))
        pszMissing = "OCIStmtFetch";
    else if (!Lookup(hLibrary, "OCIAttrSet", m_pfnAttrSet))
        pszMissing = "OCIAttrSet";
    if (pszMissing != nullptr)
        Clear();
    return pszMissing;
}

// After a failed lookup, so that a table is either complete or empty.
void OciStatementApi::Clear()
{
    *this = OciStatementApi();
}

// Statement construction: the statement handle, a child of the connection's environment.
sword OciStatementApi::HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const
{
    if (m_pfnHandleAlloc == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnHandleAlloc(pParent, ppHandle, nType, 0, nullptr);
}

// Statement construction: prepares the SQL text.
sword OciStatementApi::StmtPrepare(OCIStmt* pStmt, OCIError* pError, const char* pszSql,
                                   ub4 nLength, ub4 nLanguage, ub4 nMode) const
{
    if (m_pfnStmtPrepare == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnStmtPrepare(pStmt, pError, reinterpret_cast<const OraText*>(pszSql), nLength,
                            nLanguage, nMode);
}

// Every check of a statement: reads one diagnostic record, no SQL state.
sword OciStatementApi::ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText,
                                ub4 nTextSize, ub4 nType) const
{
    if (m_pfnErrorGet == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnErrorGet(pHandle, nRecord, nullptr, pnCode, reinterpret_cast<OraText*>(pszText),
                         nTextSize, nType);
}

// Statement destruction: releases the statement handle (and with it binds and defines).
sword OciStatementApi::HandleFree(void* pHandle, ub4 nType) const
{
    if (m_pfnHandleFree == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnHandleFree(pHandle, nType);
}

// Execute: runs the statement without snapshots.
sword OciStatementApi::StmtExecute(OCISvcCtx* pSvcCtx, OCIStmt* pStmt, OCIError* pError, ub4 nIters,
                                   ub4 nRowOffset, ub4 nMode) const
{
    if (m_pfnStmtExecute == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnStmtExecute(pSvcCtx, pStmt, pError, nIters, nRowOffset, nullptr, nullptr, nMode);
}

// BindString: one scalar input, no indicator, length, return code or array.
sword OciStatementApi::BindByPos(OCIStmt* pStmt, OCIBind** ppBind, OCIError* pError, ub4 nPosition,
                                 void* pValue, sb4 nSize, ub2 nType) const
{
    if (m_pfnBindByPos == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnBindByPos(pStmt, ppBind, pError, nPosition, pValue, nSize, nType, nullptr, nullptr,
                          nullptr, 0, nullptr, OCI_DEFAULT);
}

// The define calls: one scalar output, no return code; the indicator and the actual length
// only when the caller asked for them.
sword OciStatementApi::DefineByPos(OCIStmt* pStmt, OCIDefine** ppDefine, OCIError* pError,
                                   ub4 nPosition, void* pValue, sb4 nSize, ub2 nType,
                                   sb2* pnIndicator, ub2* pnLength) const
{
    if (m_pfnDefineByPos == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnDefineByPos(pStmt, ppDefine, pError, nPosition, pValue, nSize, nType, pnIndicator,
                            pnLength, nullptr, OCI_DEFAULT);
}

// Fetch after the first row.
sword OciStatementApi::StmtFetch(OCIStmt* pStmt, OCIError* pError, ub4 nRows, ub2 nOrientation,
                                 ub4 nMode) const
{
    if (m_pfnStmtFetch == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnStmtFetch(pStmt, pError, nRows, nOrientation, nMode);
}

// The prefetch settings: attributes of the statement handle.
sword OciStatementApi::AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize,
                               ub4 nAttribute, OCIError* pError) const
{
    if (m_pfnAttrSet == nullptr)
        return OCI_INVALID_HANDLE;
    return m_pfnAttrSet(pHandle, nHandleType, pValue, nSize, nAttribute, pError);
}
