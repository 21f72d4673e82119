// OciLibrary.cpp: the one file that loads "OCI.DLL", looks up its exports and calls them.
#include "db/OciLibrary.h"

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

// Fills api from the table's rows; null, or the first required name that is missing.
template <typename Api, size_t N>
const char* ResolveAll(Api& api, const OciEntryPoint<Api> (&entryPoints)[N], HMODULE hLibrary)
{
    for (const OciEntryPoint<Api>& entry : entryPoints) {
        if (!entry.pfnStore(api, GetProcAddress(hLibrary, entry.pszName)) && entry.bRequired) {
            api.Clear();
            return entry.pszName;
        }
    }
    return nullptr;
}

// A call through a pointer the table may not hold.
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

// ---- OciConnectionApi ----

const OciEntryPoint<OciConnectionApi> OciConnectionApi::kEntryPoints[] = {
    {"OCIInitialize", Store<&OciConnectionApi::m_pfnInitialize>, true},
    {"OCIEnvNlsCreate", Store<&OciConnectionApi::m_pfnEnvNlsCreate>, true},
    {"OCIAttrGet", Store<&OciConnectionApi::m_pfnAttrGet>, true},
    {"OCINlsCharSetIdToName", Store<&OciConnectionApi::m_pfnCharsetIdToName>, true},
    {"OCINlsCharSetConvert", Store<&OciConnectionApi::m_pfnCharSetConvert>, true},
    {"OCICharSetConversionIsReplacementUsed", Store<&OciConnectionApi::m_pfnReplacementUsed>, true},
    {"OCIHandleAlloc", Store<&OciConnectionApi::m_pfnHandleAlloc>, true},
    {"OCIServerAttach", Store<&OciConnectionApi::m_pfnServerAttach>, true},
    {"OCIAttrSet", Store<&OciConnectionApi::m_pfnAttrSet>, true},
    {"OCISessionBegin", Store<&OciConnectionApi::m_pfnSessionBegin>, true},
    {"OCISessionEnd", Store<&OciConnectionApi::m_pfnSessionEnd>, true},
    {"OCIServerDetach", Store<&OciConnectionApi::m_pfnServerDetach>, true},
    {"OCIHandleFree", Store<&OciConnectionApi::m_pfnHandleFree>, true},
    {"OCIErrorGet", Store<&OciConnectionApi::m_pfnErrorGet>, true},
    // Without it a call cannot be interrupted, and everything else still works.
    {"OCIBreak", Store<&OciConnectionApi::m_pfnBreak>, false},
};

const char* OciConnectionApi::Resolve(HMODULE hLibrary)
{
    return ResolveAll(*this, kEntryPoints, hLibrary);
}

// A table is either complete or empty.
void OciConnectionApi::Clear()
{
    *this = OciConnectionApi();
}

// Process-wide initialisation, no context and no memory callbacks.
sword OciConnectionApi::Initialize(ub4 nMode) const
{
    return Call(m_pfnInitialize, nMode, nullptr, nullptr, nullptr, nullptr);
}

// No context, memory callbacks or extra user memory; the same set for CHAR and NCHAR data.
sword OciConnectionApi::EnvNlsCreate(OCIEnv** ppEnv, ub4 nMode, ub2 nCharset) const
{
    return Call(m_pfnEnvNlsCreate, ppEnv, nMode, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                nCharset, nCharset);
}

sword OciConnectionApi::AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                                OCIError* pError) const
{
    return Call(m_pfnAttrGet, pHandle, nHandleType, pValue, nullptr, nAttribute, pError);
}

sword OciConnectionApi::CharsetIdToName(OCIEnv* pEnv, char* pszName, size_t nSize, ub2 nId) const
{
    return Call(m_pfnCharsetIdToName, pEnv, reinterpret_cast<OraText*>(pszName), nSize, nId);
}

sword OciConnectionApi::CharSetConvert(OCIEnv* pEnv, OCIError* pError, ub2 nToId, void* pTo,
                                       size_t nToSize, ub2 nFromId, const void* pFrom,
                                       size_t nFromSize, size_t* pnWritten) const
{
    return Call(m_pfnCharSetConvert, pEnv, pError, nToId, pTo, nToSize, nFromId, pFrom, nFromSize,
                pnWritten);
}

bool OciConnectionApi::ReplacementUsed(OCIEnv* pEnv) const
{
    return m_pfnReplacementUsed != nullptr && m_pfnReplacementUsed(pEnv) != 0;
}

// Safe on another thread than the one in the call it ends.
sword OciConnectionApi::Break(void* pHandle, OCIError* pError) const
{
    return Call(m_pfnBreak, pHandle, pError);
}

// No extra user memory.
sword OciConnectionApi::HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const
{
    return Call(m_pfnHandleAlloc, pParent, ppHandle, nType, 0, nullptr);
}

sword OciConnectionApi::AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize,
                                ub4 nAttribute, OCIError* pError) const
{
    return Call(m_pfnAttrSet, pHandle, nHandleType, pValue, nSize, nAttribute, pError);
}

sword OciConnectionApi::ServerAttach(OCIServer* pServer, OCIError* pError, const char* pszDatabase,
                                     sb4 nLength, ub4 nMode) const
{
    return Call(m_pfnServerAttach, pServer, pError, reinterpret_cast<const OraText*>(pszDatabase),
                nLength, nMode);
}

sword OciConnectionApi::SessionBegin(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession,
                                     ub4 nCred, ub4 nMode) const
{
    return Call(m_pfnSessionBegin, pSvcCtx, pError, pSession, nCred, nMode);
}

sword OciConnectionApi::SessionEnd(OCISvcCtx* pSvcCtx, OCIError* pError, OCISession* pSession,
                                   ub4 nMode) const
{
    return Call(m_pfnSessionEnd, pSvcCtx, pError, pSession, nMode);
}

sword OciConnectionApi::ServerDetach(OCIServer* pServer, OCIError* pError, ub4 nMode) const
{
    return Call(m_pfnServerDetach, pServer, pError, nMode);
}

sword OciConnectionApi::HandleFree(void* pHandle, ub4 nType) const
{
    return Call(m_pfnHandleFree, pHandle, nType);
}

// One diagnostic record, no SQL state.
sword OciConnectionApi::ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText,
                                 ub4 nTextSize, ub4 nType) const
{
    return Call(m_pfnErrorGet, pHandle, nRecord, nullptr, pnCode,
                reinterpret_cast<OraText*>(pszText), nTextSize, nType);
}

// ---- OciStatementApi ----

// OCIAttrSet comes last because only the prefetch setting uses it.
const OciEntryPoint<OciStatementApi> OciStatementApi::kEntryPoints[] = {
    {"OCIHandleAlloc", Store<&OciStatementApi::m_pfnHandleAlloc>, true},
    {"OCIStmtPrepare", Store<&OciStatementApi::m_pfnStmtPrepare>, true},
    {"OCIErrorGet", Store<&OciStatementApi::m_pfnErrorGet>, true},
    {"OCIHandleFree", Store<&OciStatementApi::m_pfnHandleFree>, true},
    {"OCIStmtExecute", Store<&OciStatementApi::m_pfnStmtExecute>, true},
    {"OCIBindByPos", Store<&OciStatementApi::m_pfnBindByPos>, true},
    {"OCIDefineByPos", Store<&OciStatementApi::m_pfnDefineByPos>, true},
    {"OCIStmtFetch", Store<&OciStatementApi::m_pfnStmtFetch>, true},
    {"OCIAttrSet", Store<&OciStatementApi::m_pfnAttrSet>, true},
    {"OCIAttrGet", Store<&OciStatementApi::m_pfnAttrGet>, true},
};

const char* OciStatementApi::Resolve(HMODULE hLibrary)
{
    return ResolveAll(*this, kEntryPoints, hLibrary);
}

// A table is either complete or empty.
void OciStatementApi::Clear()
{
    *this = OciStatementApi();
}

// No extra user memory.
sword OciStatementApi::HandleAlloc(const void* pParent, void** ppHandle, ub4 nType) const
{
    return Call(m_pfnHandleAlloc, pParent, ppHandle, nType, 0, nullptr);
}

sword OciStatementApi::StmtPrepare(OCIStmt* pStmt, OCIError* pError, const char* pszSql,
                                   ub4 nLength, ub4 nLanguage, ub4 nMode) const
{
    return Call(m_pfnStmtPrepare, pStmt, pError, reinterpret_cast<const OraText*>(pszSql), nLength,
                nLanguage, nMode);
}

// One diagnostic record, no SQL state.
sword OciStatementApi::ErrorGet(void* pHandle, ub4 nRecord, sb4* pnCode, char* pszText,
                                ub4 nTextSize, ub4 nType) const
{
    return Call(m_pfnErrorGet, pHandle, nRecord, nullptr, pnCode,
                reinterpret_cast<OraText*>(pszText), nTextSize, nType);
}

// Binds and defines go with the statement handle.
sword OciStatementApi::HandleFree(void* pHandle, ub4 nType) const
{
    return Call(m_pfnHandleFree, pHandle, nType);
}

// No snapshots.
sword OciStatementApi::StmtExecute(OCISvcCtx* pSvcCtx, OCIStmt* pStmt, OCIError* pError, ub4 nIters,
                                   ub4 nRowOffset, ub4 nMode) const
{
    return Call(m_pfnStmtExecute, pSvcCtx, pStmt, pError, nIters, nRowOffset, nullptr, nullptr,
                nMode);
}

// One scalar input: no indicator, length, return code or array.
sword OciStatementApi::BindByPos(OCIStmt* pStmt, OCIBind** ppBind, OCIError* pError, ub4 nPosition,
                                 void* pValue, sb4 nSize, ub2 nType) const
{
    return Call(m_pfnBindByPos, pStmt, ppBind, pError, nPosition, pValue, nSize, nType, nullptr,
                nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
}

// One scalar output, no return code; the indicator and the actual length only when the caller
// asked for them.
sword OciStatementApi::DefineByPos(OCIStmt* pStmt, OCIDefine** ppDefine, OCIError* pError,
                                   ub4 nPosition, void* pValue, sb4 nSize, ub2 nType,
                                   sb2* pnIndicator, ub2* pnLength) const
{
    return Call(m_pfnDefineByPos, pStmt, ppDefine, pError, nPosition, pValue, nSize, nType,
                pnIndicator, pnLength, nullptr, OCI_DEFAULT);
}

sword OciStatementApi::StmtFetch(OCIStmt* pStmt, OCIError* pError, ub4 nRows, ub2 nOrientation,
                                 ub4 nMode) const
{
    return Call(m_pfnStmtFetch, pStmt, pError, nRows, nOrientation, nMode);
}

sword OciStatementApi::AttrSet(void* pHandle, ub4 nHandleType, void* pValue, ub4 nSize,
                               ub4 nAttribute, OCIError* pError) const
{
    return Call(m_pfnAttrSet, pHandle, nHandleType, pValue, nSize, nAttribute, pError);
}

sword OciStatementApi::AttrGet(const void* pHandle, ub4 nHandleType, void* pValue, ub4 nAttribute,
                               OCIError* pError) const
{
    return Call(m_pfnAttrGet, pHandle, nHandleType, pValue, nullptr, nAttribute, pError);
}
