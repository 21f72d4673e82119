// OciLibrary.cpp: the one file that loads "OCI.DLL", looks up its exports and calls them.
#include "db/OciLibrary.h"

#include <map>
#include <memory>
#include <mutex>

#include "db/DbErrorTexts.h"

namespace {

// GetProcAddress hands back a generic function pointer; going through void (*)(void) is the
// sanctioned way to change a function pointer's type and keeps -Wcast-function-type quiet.
template <typename Fn>
Fn Typed(FARPROC pAddress)
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
bool Store(typename MemberOf<decltype(Member)>::Class& api, FARPROC pAddress)
{
    api.*Member = Typed<typename MemberOf<decltype(Member)>::Type>(pAddress);
    return pAddress != nullptr;
}

// Fills api from the table's rows; null, or the first name every connection needs that is
// missing (the table is then left empty). A missing statement entry point is noted in
// *ppszStatementMissing.
template <typename Api, size_t N>
const char* ResolveAll(Api& api, const OciEntryPoint<Api> (&entryPoints)[N], HMODULE hLibrary,
                       const char** ppszStatementMissing)
{
    for (const OciEntryPoint<Api>& entry : entryPoints) {
        if (entry.pfnStore(api, GetProcAddress(hLibrary, entry.pszName)))
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

constexpr WORD kOwnMachine =
    sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;

// The machine type in a PE file's header; 0 when the file cannot be read or is no PE file.
WORD MachineOfFile(const std::wstring& strPath)
{
    HANDLE hFile = CreateFileW(strPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    auto readAt = [hFile](LONG nOffset, void* pBuffer, DWORD nSize) {
        DWORD nRead = 0;
        return SetFilePointer(hFile, nOffset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               ReadFile(hFile, pBuffer, nSize, &nRead, nullptr) && nRead == nSize;
    };
    IMAGE_DOS_HEADER dos = {};
    DWORD nSignature = 0;
    WORD nMachine = 0;
    const bool bRead = readAt(0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                       dos.e_lfanew > 0 && readAt(dos.e_lfanew, &nSignature, sizeof nSignature) &&
                       nSignature == IMAGE_NT_SIGNATURE &&
                       readAt(dos.e_lfanew + LONG(sizeof nSignature), &nMachine, sizeof nMachine);
    CloseHandle(hFile);
    return bRead ? nMachine : 0;
}

int BitsOf(WORD nMachine)
{
    switch (nMachine) {
    case IMAGE_FILE_MACHINE_I386:
        return 32;
    case IMAGE_FILE_MACHINE_AMD64:
    case IMAGE_FILE_MACHINE_ARM64:
        return 64;
    default:
        return 0;
    }
}

// The copy of OCI.DLL the search order finds; empty when there is none.
std::wstring FindOnSearchPath()
{
    wchar_t szPath[MAX_PATH * 2] = L"";
    const DWORD nLength =
        SearchPathW(nullptr, L"OCI.DLL", nullptr, DWORD(std::size(szPath)), szPath, nullptr);
    return nLength > 0 && nLength < std::size(szPath) ? std::wstring(szPath, nLength)
                                                      : std::wstring();
}

// Why LoadLibrary failed with nError. The copy found is judged by its own header, whatever the
// error says: a loader may report a library of the other bitness as ERROR_BAD_EXE_FORMAT or skip
// it and report it missing.
std::string LoadFailureReason(DWORD nError)
{
    const std::wstring strPath = FindOnSearchPath();
    if (strPath.empty())
        return DbErrorTexts::NoOciOnPath(BitsOf(kOwnMachine));
    const WORD nMachine = MachineOfFile(strPath);
    if (BitsOf(nMachine) != 0 && BitsOf(nMachine) != BitsOf(kOwnMachine))
        return DbErrorTexts::WrongBitness(BitsOf(nMachine), BitsOf(kOwnMachine));
    return DbErrorTexts::NotLoadable(unsigned(nError));
}

}  // namespace

// The module is deliberately never freed: statements and environments may outlive the
// connection that loaded it.
OciLibraryLoad LoadOciLibrary()
{
    OciLibraryLoad load;
    load.hModule = LoadLibraryA("OCI.DLL");
    if (load.hModule == nullptr)
        load.strReason = LoadFailureReason(GetLastError());
    return load;
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

const char* OciApi::Resolve(HMODULE hLibrary)
{
    return ResolveAll(*this, kEntryPoints, hLibrary, &m_pszMissingForStatements);
}

const OciApi* OciApi::ForLibrary(HMODULE hLibrary, const char** ppszMissing)
{
    struct Resolved {
        std::unique_ptr<OciApi> api;
        const char* pszMissing = nullptr;
    };
    // Never destroyed: statements and environments may outlive every other object.
    static auto* const pMutex = new std::mutex;
    static auto* const pTables = new std::map<HMODULE, Resolved>;
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
