// DBConnect.cpp: logon, logoff and diagnostics of one Oracle session.
#include "db/DBConnect.h"

#include <cstdlib>
#include <cstring>

#include "platform/Environment.h"

namespace {

// Threads: a stopped worker may still be inside a call while the next job's worker or the
// picker logs on. Objects: as the published logon sequence asks.
constexpr ub4 kEnvironmentMode = OCI_THREADED | OCI_OBJECT;

}  // namespace

// Nothing loaded, nothing called: the library is touched only by a logon.
DBConnect::DBConnect()
{
    DbErrorTexts::Store(m_szErrorText, "");
}

// Logs off if still logged on, then gives back whatever a finished or failed logon left
// allocated.
DBConnect::~DBConnect()
{
    if (m_interrupt)
        m_interrupt->Detach(this);
    ReleaseHandles(true);
}

void DBConnect::Connect(const char* pszUser, const char* pszPassword, const char* pszDatabase)
{
    Logon(pszUser, pszPassword, pszDatabase, OCI_DEFAULT);
}

// The same logon with another session mode.
void DBConnect::ConnectAsSysdba(const char* pszUser, const char* pszPassword,
                                const char* pszDatabase)
{
    Logon(pszUser, pszPassword, pszDatabase, OCI_SYSDBA);
}

bool DBConnect::IsExternalLogon(const char* pszUser, const char* pszPassword)
{
    return std::strcmp(pszUser, "/") == 0 && *pszPassword == '\0';
}

void DBConnect::SetInterrupt(std::shared_ptr<DBInterrupt> interrupt)
{
    if (m_interrupt)
        m_interrupt->Detach(this);
    m_interrupt = std::move(interrupt);
    if (m_interrupt)
        m_interrupt->Attach(this);
}

void DBConnect::Break()
{
    std::lock_guard<std::mutex> lock(m_breakMutex);
    if (m_hLibrary == nullptr || m_hBreakError == nullptr || m_hServer == nullptr)
        return;
    void* pTarget =
        m_hSvcCtx != nullptr ? static_cast<void*>(m_hSvcCtx) : static_cast<void*>(m_hServer);
    m_pApi->Break(pTarget, m_hBreakError);
}

// Ends the session and releases the connection's handles; the environment stays for the
// statements that hold it. Only a completed logon is logged off, so a second call (or a call
// after a failed logon) does nothing.
void DBConnect::Disconnect()
{
    if (m_hLibrary != nullptr && m_bConnected == 1)
        ReleaseHandles(false);
    m_bConnected = 0;
}

// The last failure's reason, as captured at its call.
const char* DBConnect::GetErrorText()
{
    return m_szErrorText;
}

int DBConnect::GetErrorCode()
{
    return m_nErrorCode;
}

// A fresh error handle drops any pending record. The stored text and number stay as they are.
int DBConnect::ResetErrorHandle()
{
    if (m_hLibrary == nullptr)
        return OCI_SUCCESS;
    m_hError.Reset();
    if (!m_hEnv)
        return OCI_INVALID_HANDLE;
    return m_hError.Allocate(*m_pApi, m_hEnv.get());
}

// The order of the library calls is the published logon sequence; only the session mode
// differs between Connect and ConnectAsSysdba.
void DBConnect::Logon(const char* pszUser, const char* pszPassword, const char* pszDatabase,
                      ub4 nSessionMode)
{
    // A connection object is meant for one logon; should a caller try again, the handles of
    // the earlier attempt go back first instead of leaking.
    ReleaseHandles(true);
    m_bConnected = 0;
    m_nErrorCode = 0;
    DbErrorTexts::Store(m_szErrorText, "");
    m_strLogonWarning.Empty();

    LoadClientLibrary();
    m_pApi->Initialize(kEnvironmentMode);
    m_clientCharset = ProbeClientCharset();

    OCIEnv* pEnv = nullptr;
    if (m_pApi->EnvNlsCreate(&pEnv, kEnvironmentMode, OCI_CHARSET_AL32UTF8) != OCI_SUCCESS &&
        pEnv != nullptr)
        FailUnreadableNlsLang(pEnv);
    RequireHandle(pEnv, "environment");
    const OciApi* pApi = m_pApi;
    m_hEnv.reset(pEnv, [pApi](OCIEnv* pDoomed) { pApi->HandleFree(pDoomed, OCI_HTYPE_ENV); });

    m_hError.Allocate(*m_pApi, pEnv);
    RequireHandle(m_hError, "error");
    {
        std::lock_guard<std::mutex> lock(m_breakMutex);
        m_hBreakError.Allocate(*m_pApi, pEnv);
        m_hServer.Allocate(*m_pApi, pEnv);
        m_hSvcCtx.Allocate(*m_pApi, pEnv);
    }
    RequireHandle(m_hBreakError, "error");
    RequireHandle(m_hServer, "server");
    RequireHandle(m_hSvcCtx, "service context");
    m_pApi->AttrSet(m_hSvcCtx, OCI_HTYPE_SVCCTX, m_hServer, 0, OCI_ATTR_SERVER, m_hError);
    m_hSession.Allocate(*m_pApi, pEnv);
    RequireHandle(m_hSession, "session");

    sword nStatus = m_pApi->ServerAttach(m_hServer, m_hError, pszDatabase,
                                         static_cast<sb4>(std::strlen(pszDatabase)), OCI_DEFAULT);
    CheckStep(nStatus, "OCIServerAttach");
    m_bAttached = 1;
    // A break cannot reach an attach under way; the session is not begun after one.
    if (IsInterrupted())
        Fail(DbErrorTexts::kUserCancelText, OCI_ORA_USER_CANCEL);

    const bool bExternal = IsExternalLogon(pszUser, pszPassword);
    if (!bExternal) {
        nStatus =
            m_pApi->AttrSet(m_hSession, OCI_HTYPE_SESSION, const_cast<char*>(pszUser),
                            static_cast<ub4>(std::strlen(pszUser)), OCI_ATTR_USERNAME, m_hError);
        CheckStep(nStatus, "OCIAttrSet");
        nStatus = m_pApi->AttrSet(m_hSession, OCI_HTYPE_SESSION, const_cast<char*>(pszPassword),
                                  static_cast<ub4>(std::strlen(pszPassword)), OCI_ATTR_PASSWORD,
                                  m_hError);
        CheckStep(nStatus, "OCIAttrSet");
    }

    nStatus = m_pApi->SessionBegin(m_hSvcCtx, m_hError, m_hSession,
                                   bExternal ? OCI_CRED_EXT : OCI_CRED_RDBMS, nSessionMode);
    if (nStatus == OCI_SUCCESS_WITH_INFO)
        KeepLogonWarning();
    CheckStep(nStatus, "OCISessionBegin");
    m_bSessionBegun = 1;

    nStatus =
        m_pApi->AttrSet(m_hSvcCtx, OCI_HTYPE_SVCCTX, m_hSession, 0, OCI_ATTR_SESSION, m_hError);
    CheckStep(nStatus, "OCIAttrSet");

    m_bConnected = 1;
}

// The client's own error of the refused environment, and which NLS_LANG it could not read.
void DBConnect::FailUnreadableNlsLang(OCIEnv* pRefused)
{
    sb4 nCode = 0;
    char szText[DbErrorTexts::kErrorTextSize] = {};
    const bool bHasRecord = m_pApi->ErrorGet(pRefused, 1, &nCode, szText, sizeof(szText),
                                             OCI_HTYPE_ENV) == OCI_SUCCESS &&
                            nCode != 0;
    m_pApi->HandleFree(pRefused, OCI_HTYPE_ENV);
    if (!bHasRecord)
        Fail(DbErrorTexts::HandleNotAllocated("environment").c_str(),
             DbErrorTexts::kLibraryFailure);
    int nLength = int(std::strlen(szText));
    while (nLength > 0 && (szText[nLength - 1] == '\n' || szText[nLength - 1] == '\r'))
        szText[--nLength] = '\0';
    std::string strValue;
    const bool bFromVariable = Environment::Variable("NLS_LANG", strValue) && !strValue.empty();
    Fail(
        DbErrorTexts::UnreadableNlsLang(bFromVariable ? strValue.c_str() : nullptr, szText).c_str(),
        nCode);
}

bool DBConnect::ConvertToClient(const char* pText, size_t nLength, std::string& strConverted,
                                bool& bReplaced)
{
    bReplaced = false;
    if (!m_hEnv || m_hError == nullptr) {
        RecordFailure(DbErrorTexts::kNotLoggedOn, DbErrorTexts::kLibraryFailure);
        return false;
    }
    // No Oracle set needs more than four bytes for a character UTF-8 holds in one to four.
    strConverted.resize(nLength * 2 + 16);
    size_t nWritten = 0;
    const sword nStatus = m_pApi->CharSetConvert(m_hEnv.get(), m_hError, m_clientCharset.nId,
                                                 &strConverted[0], strConverted.size(),
                                                 OCI_CHARSET_AL32UTF8, pText, nLength, &nWritten);
    if (nStatus != OCI_SUCCESS) {
        const DbFailure failure = ReadCallFailure(*m_pApi, m_hError, "OCINlsCharSetConvert");
        RecordFailure(failure.szText, failure.nCode);
        ResetErrorHandle();
        strConverted.clear();
        return false;
    }
    strConverted.resize(nWritten);
    bReplaced = m_pApi->ReplacementUsed(m_hEnv.get());
    return true;
}

// First step of every logon: loads the library and takes its entry-point table (resolved once
// for the process). The handle is kept only when every entry point a connection needs was
// found, so a connection never calls into a library whose table is incomplete.
void DBConnect::LoadClientLibrary()
{
    m_hLibrary = nullptr;
    m_pApi = &OciApi::Empty();
    const OciLibraryLoad load = LoadOciLibrary();
    if (load.hLibrary == nullptr)
        Fail(DbErrorTexts::CantLoadOci(load.strName, load.strReason).c_str(),
             DbErrorTexts::kLibraryFailure);
    const char* pszMissing = nullptr;
    const OciApi* pApi = OciApi::ForLibrary(load.hLibrary, &pszMissing);
    if (pApi == nullptr)
        Fail(DbErrorTexts::MissingEntryPoint(pszMissing).c_str(), DbErrorTexts::kLibraryFailure);
    m_hLibrary = load.hLibrary;
    m_pApi = pApi;
}

// The session began with a warning: its text is kept and the record dropped, so no later step
// takes it for a failure of its own.
void DBConnect::KeepLogonWarning()
{
    const DbFailure warning = ReadCallOutcome(*m_pApi, m_hError, OCI_SUCCESS, "OCISessionBegin");
    int nLength = int(std::strlen(warning.szText));
    while (nLength > 0 &&
           (warning.szText[nLength - 1] == '\n' || warning.szText[nLength - 1] == '\r'))
        --nLength;
    m_strLogonWarning = CString(warning.szText, nLength);
    ResetErrorHandle();
}

// A throw-away environment made with the client's own set tells which set that is. A client
// that cannot say fails the logon, as any other step that fails.
ClientCharset DBConnect::ProbeClientCharset()
{
    OCIEnv* pProbe = nullptr;
    const sword nCreated = m_pApi->EnvNlsCreate(&pProbe, kEnvironmentMode, 0);
    if (nCreated != OCI_SUCCESS && pProbe != nullptr)
        FailUnreadableNlsLang(pProbe);
    if (nCreated != OCI_SUCCESS || pProbe == nullptr)
        Fail(DbErrorTexts::HandleNotAllocated("environment").c_str(),
             DbErrorTexts::kLibraryFailure);
    // Declared in this order so that the error handle goes back before its environment.
    const OciEnvHandle probe(*m_pApi, pProbe);
    OciErrorHandle pError;
    pError.Allocate(*m_pApi, pProbe);
    ub2 nId = 0;
    char szName[64] = {};
    const char* pszFailed = nullptr;
    if (m_pApi->AttrGet(pProbe, OCI_HTYPE_ENV, &nId, OCI_ATTR_ENV_CHARSET_ID, pError) !=
        OCI_SUCCESS)
        pszFailed = "OCIAttrGet";
    else if (m_pApi->CharsetIdToName(pProbe, szName, sizeof(szName) - 1, nId) != OCI_SUCCESS)
        pszFailed = "OCINlsCharSetIdToName";
    if (pszFailed != nullptr)
        Fail(ReadCallFailure(*m_pApi, pError, pszFailed));
    ClientCharset charset;
    charset.strName = szName;
    charset.nId = nId;
    return charset;
}

// A pending record fails the logon with the library's text; a failure status without any
// record fails it with a text of our own, so that a failure is never taken for success.
void DBConnect::CheckStep(sword nStatus, const char* pszEntryPoint)
{
    const DbFailure outcome = ReadCallOutcome(*m_pApi, m_hError, nStatus, pszEntryPoint);
    if (outcome.nCode != 0)
        Fail(outcome);
}

// Without the handle nothing later in the logon can work.
void DBConnect::RequireHandle(const void* pHandle, const char* pszHandleKind)
{
    if (pHandle == nullptr)
        Fail(DbErrorTexts::HandleNotAllocated(pszHandleKind).c_str(),
             DbErrorTexts::kLibraryFailure);
}

// For failures the layer detects itself: stores the reason and throws.
void DBConnect::Fail(const char* pszText, int nCode)
{
    RecordFailure(pszText, nCode);
    throw OtherException(DbFailure(nCode, pszText));
}

void DBConnect::RecordFailure(const char* pszText, int nCode)
{
    DbErrorTexts::Store(m_szErrorText, pszText);
    m_nErrorCode = nCode;
}

void DBConnect::ReleaseHandles(bool bEnvironment)
{
    // After a break the round trips are not waited for (over a dead or slow link they may take
    // as long as the call that was broken): freeing the server handle drops the connection, and
    // the server ends the session with it.
    if (m_hLibrary != nullptr && !IsInterrupted()) {
        if (m_bSessionBegun == 1)
            m_pApi->SessionEnd(m_hSvcCtx, m_hError, m_hSession, OCI_DEFAULT);
        if (m_bAttached == 1)
            m_pApi->ServerDetach(m_hServer, m_hError, OCI_DEFAULT);
    }
    m_bSessionBegun = 0;
    m_bAttached = 0;
    {
        std::lock_guard<std::mutex> lock(m_breakMutex);
        m_hSession.Reset();
        m_hSvcCtx.Reset();
        m_hServer.Reset();
        m_hError.Reset();
        m_hBreakError.Reset();
    }
    // Only once no statement of this connection still holds it.
    if (bEnvironment)
        m_hEnv.reset();
}

const OciApi* DBConnect::Api() const
{
    return m_hLibrary != nullptr ? m_pApi : nullptr;
}

std::shared_ptr<OCIEnv> DBConnect::Environment() const
{
    return m_hEnv;
}

OCIError* DBConnect::ErrorHandle() const
{
    return m_hError;
}

OCISvcCtx* DBConnect::ServiceContext() const
{
    return m_hSvcCtx;
}
