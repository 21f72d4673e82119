// OciLibrary.cpp: the one file that loads the client library, looks up its exports and calls
// them.
#include "db/OciLibrary.h"

#include <map>
#include <memory>
#include <mutex>

#include "db/DbErrorTexts.h"

namespace {

// The loader hands back a generic function pointer; going through void (*)(void) is the
// sanctioned way to change a function pointer's type and keeps -Wcast-function-type quiet.
template <typename Fn>
Fn Typed(EntryAddress pAddress)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(pAddress));
}

template <typename Member>
struct MemberOf;
template <typename Api, typename Fn>
struct MemberOf<Fn Api::*> {
    using Class = Api;
    using Type = Fn;
};

// Stores an address in the member a row names.
template <auto Member>
bool Store(typename MemberOf<decltype(Member)>::Class& api, EntryAddress pAddress)
{
    api.*Member = Typed<typename MemberOf<decltype(Member)>::Type>(pAddress);
    return pAddress != nullptr;
}

// Fills api from the table's rows; null, or the first name every connection needs that is
// missing (the table is then left empty). A missing statement entry point is noted in
// *ppszStatementMissing.
template <typename Api, size_t N>
const char* ResolveAll(Api& api, const OciEntryPoint<Api> (&entryPoints)[N], void* hLibrary,
                       const char** ppszStatementMissing)
{
    for (const OciEntryPoint<Api>& entry : entryPoints) {
        if (entry.pfnStore(api, ClientLibraryEntry(hLibrary, entry.pszName)))
            continue;
        if (entry.need == OciNeed::Connection) {
            api = Api();
            return entry.pszName;
        }
        if (entry.need == OciNeed::Statement && *ppszStatementMissing == nullptr)
            *ppszStatementMissing = entry.pszName;
    }
    return nullptr;
}

template <typename Fn, typename... Args>
sword Call(Fn pfn, Args... args)
{
    return pfn == nullptr ? OCI_INVALID_HANDLE : pfn(args...);
}

}  // namespace

// The module is deliberately never freed: statements and environments may outlive the
// connection that loaded it.
OciLibraryLoad LoadOciLibrary()
{
    return LoadClientLibrary();
}

// ---- OciApi ----

const OciEntryPoint<OciApi> OciApi::kEntryPoints[] = {
    {"OCIInitialize", Store<&OciApi::m_pfnInitialize>, OciNeed::Connection},
    {"OCIEnvNlsCreate", Store<&OciApi::m_pfnEnvNlsCreate>, OciNeed::Connection},
    {"OCIAttrGet", Store<&OciApi::m_pfnAttrGet>, OciNeed::Connection},
    {"OCINlsCharSetIdToName", Store<&OciApi::m_pfnCharsetIdToName>, OciNeed::Connection},
    {"OCINlsCharSetConvert", Store<&OciApi::m_pfnCharSetConvert>, OciNeed::Connection},
    {"OCICharSetConversionIsReplacementUsed", Store<&OciApi::m_pfnReplacementUsed>,
     OciNeed::Connection},
    {"OCIHandleAlloc", Store<&OciApi::m_pfnHandleAlloc>, OciNeed::Connection},
    {"OCIServerAttach", Store<&OciApi::m_pfnServerAttach>, OciNeed::Connection},
    {"OCIAttrSet", Store<&OciApi::m_pfnAttrSet>, OciNeed::Connection},
    {"OCISessionBegin", Store<&OciApi::m_pfnSessionBegin>, OciNeed::Connection},
    {"OCISessionEnd", Store<&OciApi::m_pfnSessionEnd>, OciNeed::Connection},
    {"OCIServerDetach", Store<&OciApi::m_pfnServerDetach>, OciNeed::Connection},
    {"OCIHandleFree", Store<&OciApi::m_pfnHandleFree>, OciNeed::Connection},
    {"OCIErrorGet", Store<&OciApi::m_pfnErrorGet>, OciNeed::Connection},
    // Without it a call cannot be interrupted, and everything else still works.
    {"OCIBreak", Store<&OciApi::m_pfnBreak>, OciNeed::Optional},
    {"OCIStmtPrepare", Store<&OciApi::m_pfnStmtPrepare>, OciNeed::Statement},
    {"OCIStmtExecute", Store<&OciApi::m_pfnStmtExecute>, OciNeed::Statement},
    {"OCIBindByPos", Store<&OciApi::m_pfnBindByPos>, OciNeed::Statement},
    {"OCIDefineByPos", Store<&OciApi::m_pfnDefineByPos>, OciNeed::Statement},
    {"OCIStmtFetch", Store<&OciApi::m_pfnStmtFetch>, OciNeed::Statement},
};

const char* OciApi::Resolve(void* hLibrary)
{
    return ResolveAll(*this, kEntryPoints, hLibrary, &m_pszMissingForStatements);
}

const OciApi* OciApi::ForLibrary(void* hLibrary, const char** ppszMissing)
{
    struct Resolved {
        std::unique_ptr<OciApi> api;
        const char* pszMissing = nullptr;
    };
    // Never destroyed: statements and environments may outlive every other object.
    static auto* const pMutex = new std::mutex;
    static auto* const pTables = new std::map<void*, Resolved>;
    std::lock_guard<std::mutex> lock(*pMutex);
    auto found = pTables->find(hLibrary);
    if (found == pTables->end()) {
        Resolved resolved;
        auto api = std::make_unique<OciApi>();
        resolved.pszMissing = api->Resolve(hLibrary);
        if (resolved.pszMissing == nullptr)
            resolved.api = std::move(api);
        found = pTables->emplace(hLibrary, std::move(resolved)).first;
    }
    *ppszMissing = found->second.pszMissing;
    return found->second.api.get();
}

const OciApi& OciApi::Empty()
{
    static const OciApi* const pEmpty = new OciApi();
    return *pEmpty;
}

// Process-wide initialisation, no context and no memory callbacks.
sword OciApi::Initialize(ub4 nMode) const
{
    return Call(m_pfnInitialize, nMode, nullptr, nullptr, nullptr, nullptr);
}

// No context, memory callbacks or extra user memory; the same set for CHAR and NCHAR data.
sword OciApi::EnvNlsCreate(OCIEnv** ppEnv, ub4 nMode, ub2 nCharset) const
{
    return Call(m_pfnEnvNlsCreate, ppEnv, nMode, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                nCharset, nCharset);
}

sword OciApi::AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                      OCIError* pError) const
{
    return Call(m_pfnAttrGet, pHandle, nHandleType, pValue, nullptr, nAttribute, pError);
}

sword OciApi::CharsetIdToName(OCIEnv* pEnv, char* pszName, size_t nSize, ub2 nId) const
{
    return Call(m_pfnCharsetIdToName, pEnv, reinterpret_cast<OraText*>(pszName), nSize, nId);
}

sword OciApi::CharSetConvert(OCIEnv* pEnv, OCIError* pError, ub2 nToId, void* pTo, size_t nToSize,
                             ub2 nFromId, const void* pFrom, size_t nFromSize,
                             size_t* pnWritten) const
{
    return Call(m_pfnCharSetConvert, pEnv, pError, nToId, pTo, nToSize, nFromId, pFrom, nFromSize,
                pnWritten);
}

bool OciApi::ReplacementUsed(OCIEnv* pEnv) const
{
    return m_pfnReplacementUsed != nullptr && m_pfnReplacementUsed(pEnv) != 0;
}

// Safe on another thread than the one in the call it ends.
sword OciApi::Break(void* pHandle, OCIError* pError) const
{
    return Call(m_pfnBreak, pHandle, pError);
}

// No extra user memory.
sword OciApi::HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const
{
    return Call(m_pfnHandleAlloc, pParent, ppHandle, nType, 0, nullptr);
}

sword OciApi::AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize, ub4 nAttribute,
                      OCIError* pError) const
{
    return Call(m_pfnAttrSet, pHandle, nHandleType, pValue, nSize, nAttribute, pError);
}

sword OciApi::ServerAttach(OCIServer* pServer, OCIError* pError, const char* pszDatabase,
                           sb4 nLength, ub4 nMode) const
{
    return Call(m_pfnServerAttach, pServer, pError, reinterpret_cast<const OraText*>(pszDatabase),
                nLength, nMode);
}

sword OciApi::SessionBegin(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession, ub4 nCred,
                           ub4 nMode) const
{
    return Call(m_pfnSessionBegin, pSvcCtx, pError, pSession, nCred, nMode);
}

sword OciApi::SessionEnd(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession,
                         ub4 nMode) const
{
    return Call(m_pfnSessionEnd, pSvcCtx, pError, pSession, nMode);
}

sword OciApi::ServerDetach(OCIServer* pServer, OCIError* pError, ub4 nMode) const
{
    return Call(m_pfnServerDetach, pServer, pError, nMode);
}

sword OciApi::HandleFree(void* pHandle, ub4 nType) const
{
    return Call(m_pfnHandleFree, pHandle, nType);
}

// One diagnostic record, no SQL state.
sword OciApi::ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText, ub4 nTextSize,
                       ub4 nType) const
{
    return Call(m_pfnErrorGet, pHandle, nRecord, nullptr, pnCode,
                reinterpret_cast<OraText*>(pszText), nTextSize, nType);
}

sword OciApi::StmtPrepare(OCIStmt* pStmt, OCIError* pError, const char* pszSql, ub4 nLength,
                          ub4 nLanguage, ub4 nMode) const
{
    return Call(m_pfnStmtPrepare, pStmt, pError, reinterpret_cast<const OraText*>(pszSql), nLength,
                nLanguage, nMode);
}

// No snapshots.
sword OciApi::StmtExecute(OCISvcCtx* pSvcCtx, OCIStmt* pStmt, OCIError* pError, ub4 nIters,
                          ub4 nRowOffset, ub4 nMode) const
{
    return Call(m_pfnStmtExecute, pSvcCtx, pStmt, pError, nIters, nRowOffset, nullptr, nullptr,
                nMode);
}

// One scalar input: no indicator, length, return code or array.
sword OciApi::BindByPos(OCIStmt* pStmt, OCIBind** ppBind, OCIError* pError, ub4 nPosition,
                        void* pValue, sb4 nSize, ub2 nType) const
{
    return Call(m_pfnBindByPos, pStmt, ppBind, pError, nPosition, pValue, nSize, nType, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
}

// One scalar output, no return code; the indicator and the actual length only when the caller
// asked for them.
sword OciApi::DefineByPos(OCIStmt* pStmt, OCIDefine** ppDefine, OCIError* pError, ub4 nPosition,
                          void* pValue, sb4 nSize, ub2 nType, sb2* pnIndicator, ub2* pnLength) const
{
    return Call(m_pfnDefineByPos, pStmt, ppDefine, pError, nPosition, pValue, nSize, nType,
                pnIndicator, pnLength, nullptr, OCI_DEFAULT);
}

sword OciApi::StmtFetch(OCIStmt* pStmt, OCIError* pError, ub4 nRows, ub2 nOrientation,
                        ub4 nMode) const
{
    return Call(m_pfnStmtFetch, pStmt, pError, nRows, nOrientation, nMode);
}
