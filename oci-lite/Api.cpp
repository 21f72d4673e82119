// The OCI entry points of OCI.DLL. Each one checks its handles through the registry (a pointer
// that is not a live handle of the right kind gives OCI_INVALID_HANDLE), writes its trace line,
// counts itself for fault injection where it can carry an error record, and leaves the work to
// the handle objects, Statement and Database.
#include <atomic>
#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "db/OciDefs.h"
#include "oci-lite/Database.h"
#include "oci-lite/Diagnostics.h"
#include "oci-lite/ExternalPasswordStore.h"
#include "oci-lite/Handles.h"
#include "oci-lite/Limits.h"

using namespace ocilite;

namespace {

std::atomic<bool> g_initialized{false};
std::atomic<ub4> g_initializeMode{OCI_DEFAULT};  // of the latest OCIInitialize

// Reads the OCI_LITE_* settings once, at the first OCIInitialize or environment creation,
// whichever comes first; fault injection counts from then on.
void InitializeOnce()
{
    Diagnostics::Instance().InitializeOnce();
    Limits::Instance().InitializeOnce();
    g_initialized.store(true);
}

// Makes an environment handle and hands it out; the user memory comes with it.
sword CreateEnvironment(OCIEnv** envp, const NlsSettings& nls, const ClientCharset& charset,
                        bool threaded, size_t xtramem_sz, void** usrmempp)
{
    auto env = std::make_unique<EnvHandle>(nls, charset, threaded);
    if (!nls.IsReadable()) {
        // As the real client: the handle comes back only to carry the record (OCIErrorGet with
        // OCI_HTYPE_ENV) and to be freed.
        env->SetRecord(MakeOraError(kOraInvalidNlsEnvironment));
        *envp = reinterpret_cast<OCIEnv*>(HandleRegistry::Instance().Add(std::move(env)));
        return OCI_ERROR;
    }
    if (xtramem_sz > 0 && usrmempp != nullptr) {
        env->userMemory.reset(new char[xtramem_sz]());
        *usrmempp = env->userMemory.get();
    }
    *envp = reinterpret_cast<OCIEnv*>(HandleRegistry::Instance().Add(std::move(env)));
    return OCI_SUCCESS;
}

// Builds one trace line while an entry point runs and writes it, with the return code, when
// the entry point returns. Costs nothing when no trace file is open.
class TraceLine {
public:
    explicit TraceLine(const char* entryPoint)
        : m_entryPoint(entryPoint), m_on(Diagnostics::Instance().IsTracing())
    {
        if (m_on)
            m_line = entryPoint;
    }
    TraceLine& Handle(const char* name, const void* handle)
    {
        if (m_on)
            m_line += std::string(" ") + name + "=" + HandleRegistry::Instance().Describe(handle);
        return *this;
    }
    TraceLine& Number(const char* name, long long value)
    {
        if (m_on)
            m_line += std::string(" ") + name + "=" + std::to_string(value);
        return *this;
    }
    TraceLine& Text(const char* name, const void* chars, long long length)
    {
        if (!m_on)
            return *this;
        m_line += std::string(" ") + name + "=";
        if (chars == nullptr || length < 0) {
            m_line += "null";
            return *this;
        }
        m_line += '"';
        const char* p = static_cast<const char*>(chars);
        for (long long i = 0; i < length && i < 2000; ++i) {
            char c = p[i];
            if (c == '\n')
                m_line += "\\n";
            else if (c == '\r')
                m_line += "\\r";
            else if (c == '\t')
                m_line += "\\t";
            else if (c == '"' || c == '\\')
                m_line += std::string("\\") + c;
            else if (static_cast<unsigned char>(c) < 0x20)
                m_line += '?';
            else
                m_line += c;
        }
        m_line += '"';
        return *this;
    }
    TraceLine& Raw(const std::string& text)
    {
        if (m_on)
            m_line += " " + text;
        return *this;
    }
    sword Return(sword status)
    {
        if (m_on)
            Diagnostics::Instance().Trace(m_line + " -> " + std::to_string(status));
        return status;
    }
    // Runs the entry point's body and returns its status. Nothing thrown inside (out of memory)
    // crosses into the caller: it is recorded under the entry point's name and the call fails.
    template <class Body>
    sword Guarded(Body body)
    {
        sword status = OCI_ERROR;
        try {
            status = body();
        } catch (...) {
            Diagnostics::Instance().RecordCaughtException(m_entryPoint);
        }
        return Return(status);
    }

private:
    const char* m_entryPoint;
    bool m_on;
    std::string m_line;
};

// Leaves a record in the error handle (when there is one) and returns the status.
sword Report(RecordHolder* error, const OraError& record, sword status = OCI_ERROR)
{
    if (error != nullptr)
        error->SetRecord(record);
    return status;
}

// The record of a call refused because another thread is inside a call on its environment,
// which was made without OCI_THREADED.
OraError TwoThreadsError()
{
    return MakeOraError(
        kOraInternal,
        "internal error code, arguments: [two threads in a non-threaded environment]");
}

// Counts a call that can fail; when OCI_LITE_FAIL_AT picks it, it fails as a lost connection
// would, without touching anything else.
bool InjectedFault(RecordHolder* error, int code, sword* status)
{
    if (!g_initialized.load() || !Diagnostics::Instance().CountCallAndCheckFault())
        return false;
    *status = Report(error, MakeOraError(code));
    return true;
}

// The error handle behind a caller's pointer, or null when it is not a live one.
ErrorHandle* FindError(const void* errhp)
{
    return HandleRegistry::Instance().FindAs<ErrorHandle>(errhp, OCI_HTYPE_ERROR);
}

// The handles of one call, looked up once: its target of the kind asked for and the caller's
// error handle (Errors::Required: it must be given; Errors::Optional: it may be null, but what
// is given must be live). When they and the call's other arguments are valid, the target's
// environment is entered for the call and the call is counted for fault injection. Ready() is
// false with Status() the status the entry point returns.
enum class Errors { Required, Optional };

template <class HandleT>
class CallScope {
public:
    CallScope(const void* target, ub4 type, OCIError* errhp, int faultCode,
              bool argumentsValid = true, Errors errors = Errors::Required)
        : handle(Find(target, type)), error(FindError(errhp))
    {
        const bool errorValid =
            error != nullptr || (errors == Errors::Optional && errhp == nullptr);
        if (handle == nullptr || !errorValid || !argumentsValid)
            return;
        m_entry.emplace(handle);
        if (m_entry->Refused()) {
            m_status = Report(error, TwoThreadsError());
            return;
        }
        if (!InjectedFault(error, faultCode, &m_status))
            m_status = OCI_SUCCESS;
    }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

    bool Ready() const { return m_status == OCI_SUCCESS; }
    sword Status() const { return m_status; }

    HandleT* const handle;
    ErrorHandle* const error;

private:
    static HandleT* Find(const void* target, ub4 type)
    {
        if constexpr (std::is_same_v<HandleT, ocilite::Handle>)
            return HandleRegistry::Instance().Find(target, type);
        else
            return HandleRegistry::Instance().FindAs<HandleT>(target, type);
    }

    std::optional<EnvironmentEntry> m_entry;
    sword m_status = OCI_INVALID_HANDLE;
};

// The connection of the live, logged-on session behind a service context, or null. A session
// runs its statements on its own connection only, whatever server the context names now.
std::shared_ptr<Database> ActiveSessionDatabase(SvcCtxHandle* svc)
{
    SessionHandle* session =
        HandleRegistry::Instance().FindAs<SessionHandle>(svc->session.load(), OCI_HTYPE_SESSION);
    if (session == nullptr)
        return nullptr;
    std::shared_ptr<Database> database = session->GetDatabase();
    if (!database || !database->IsOpen())
        return nullptr;
    return database;
}

template <class Slot, class HandleT>
std::map<ub4, Slot> Slots(const std::map<ub4, HandleT*>& handles)
{
    std::map<ub4, Slot> slots;
    for (const auto& entry : handles)
        slots[entry.first] = entry.second->slot;
    return slots;
}

// OCIAttrSet: the server and session of a service context, the credentials of a session, a
// statement's prefetch.
sword AttrSetImpl(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                  OCIError* errhp)
{
    HandleRegistry& registry = HandleRegistry::Instance();
    CallScope<ocilite::Handle> call(trgthndlp, trghndltyp, errhp, kOraEndOfFile, true,
                                    Errors::Optional);
    if (!call.Ready())
        return call.Status();
    ocilite::Handle* target = call.handle;
    ErrorHandle* error = call.error;

    switch (trghndltyp) {
    case OCI_HTYPE_SVCCTX: {
        auto* svc = static_cast<SvcCtxHandle*>(target);
        if (attrtype == OCI_ATTR_SERVER) {
            auto* server = registry.FindAs<ServerHandle>(attributep, OCI_HTYPE_SERVER);
            if (server == nullptr)
                return OCI_INVALID_HANDLE;
            svc->server.store(server);
            return OCI_SUCCESS;
        }
        if (attrtype == OCI_ATTR_SESSION) {
            auto* session = registry.FindAs<SessionHandle>(attributep, OCI_HTYPE_SESSION);
            if (session == nullptr)
                return OCI_INVALID_HANDLE;
            svc->session.store(session);
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_SESSION: {
        auto* session = static_cast<SessionHandle*>(target);
        if (attrtype == OCI_ATTR_USERNAME || attrtype == OCI_ATTR_PASSWORD) {
            if (attributep == nullptr && size > 0)
                return OCI_INVALID_HANDLE;
            std::string value(attributep ? static_cast<const char*>(attributep) : "", size);
            (attrtype == OCI_ATTR_USERNAME ? session->userName : session->password) = value;
            return OCI_SUCCESS;
        }
        break;
    }
    case OCI_HTYPE_STMT: {
        auto* stmt = static_cast<StmtHandle*>(target);
        if (attrtype == OCI_ATTR_PREFETCH_ROWS || attrtype == OCI_ATTR_PREFETCH_MEMORY) {
            if (attributep == nullptr)
                return OCI_INVALID_HANDLE;
            ub4 value;
            std::memcpy(&value, attributep, sizeof value);
            std::lock_guard<std::mutex> lock(stmt->mutex);
            if (attrtype == OCI_ATTR_PREFETCH_ROWS) {
                stmt->statement.SetPrefetchRows(value);
            } else {
                stmt->statement.SetPrefetchMemory(value);
            }
            return OCI_SUCCESS;
        }
        break;
    }
    default:
        break;
    }
    return Report(error, MakeOraError(kOraIllegalAttribute));
}

// OCIAttrGet: the client character set of an environment; a statement's prefetch settings and
// the rows its last call and all its calls delivered.
sword AttrGetImpl(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep, ub4 attrtype,
                  OCIError* errhp)
{
    CallScope<ocilite::Handle> call(trgthndlp, trghndltyp, errhp, kOraEndOfFile,
                                    attributep != nullptr, Errors::Optional);
    if (!call.Ready())
        return call.Status();
    ocilite::Handle* target = call.handle;
    ErrorHandle* error = call.error;
    if (trghndltyp == OCI_HTYPE_ENV && attrtype == kAttrEnvCharsetId) {
        ub2 id = static_cast<EnvHandle*>(target)->charset.Id();
        std::memcpy(attributep, &id, sizeof id);
        if (sizep != nullptr)
            *sizep = sizeof id;
        return OCI_SUCCESS;
    }
    if (trghndltyp == OCI_HTYPE_STMT &&
        (attrtype == OCI_ATTR_PREFETCH_ROWS || attrtype == OCI_ATTR_PREFETCH_MEMORY ||
         attrtype == OCI_ATTR_ROWS_FETCHED || attrtype == OCI_ATTR_ROW_COUNT)) {
        auto* stmt = static_cast<StmtHandle*>(target);
        std::lock_guard<std::mutex> lock(stmt->mutex);
        const ocilite::Statement& statement = stmt->statement;
        ub4 value = attrtype == OCI_ATTR_PREFETCH_ROWS  ? statement.PrefetchRows()
                    : attrtype == OCI_ATTR_ROWS_FETCHED ? statement.RowsFetched()
                    : attrtype == OCI_ATTR_ROW_COUNT    ? statement.RowCount()
                                                        : statement.PrefetchMemory();
        std::memcpy(attributep, &value, sizeof value);
        if (sizep != nullptr)
            *sizep = sizeof value;
        return OCI_SUCCESS;
    }
    return Report(error, MakeOraError(kOraIllegalAttribute));
}

// OCIServerAttach: resolves the connect string to its file and opens it.
sword ServerAttachImpl(OCIServer* srvhp, OCIError* errhp, const OraText* dblink, sb4 dblink_len)
{
    CallScope<ServerHandle> call(srvhp, OCI_HTYPE_SERVER, errhp, kOraNoListener,
                                 dblink != nullptr || dblink_len <= 0);
    if (!call.Ready())
        return call.Status();
    ServerHandle* server = call.handle;
    ErrorHandle* error = call.error;
    if (server->connection.IsAttached())
        return Report(error, MakeOraError(kOraAlreadyConnected));
    if (dblink_len <= 0)
        return Report(error, MakeOraError(kOraCannotResolve));
    const std::string connectString(reinterpret_cast<const char*>(dblink), dblink_len);
    std::string path = DatabaseLocator::PathFor(connectString);
    if (path.empty() || !DatabaseLocator::FileExists(path)) {
        return Report(error, MakeOraError(kOraCannotResolve));
    }
    // The name resolved: from here on the client talks to the server.
    Diagnostics::Instance().RoundTrip();
    OraError failure = server->connection.Attach(path, connectString);
    if (failure.IsError())
        return Report(error, failure);
    return OCI_SUCCESS;
}

// OCISessionBegin: checks the credentials on a connection of the session's own, which holds
// its views.
sword SessionBeginImpl(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt, ub4 mode)
{
    HandleRegistry& registry = HandleRegistry::Instance();
    auto* session = registry.FindAs<SessionHandle>(usrhp, OCI_HTYPE_SESSION);
    CallScope<SvcCtxHandle> call(svchp, OCI_HTYPE_SVCCTX, errhp, kOraEndOfFile, session != nullptr);
    if (!call.Ready())
        return call.Status();
    SvcCtxHandle* svc = call.handle;
    ErrorHandle* error = call.error;
    auto* server = registry.FindAs<ServerHandle>(svc->server.load(), OCI_HTYPE_SERVER);
    if (server == nullptr || !server->connection.IsAttached()) {
        return Report(error, MakeOraError(kOraNotConnected));
    }
    if (session->IsActive())
        return Report(error, MakeOraError(kOraAlreadyAuthenticated));
    const auto* env = static_cast<EnvHandle*>(session->parent);
    const bool external = credt == OCI_CRED_EXT;
    std::string user;
    std::string password;
    if (external) {
        // The user name and password attributes are not sent; the password store's credential
        // for the attach's connect string is, read as UTF-8 text.
        Diagnostics::Instance().RoundTrip();
        StoredCredential credential;
        if (!ExternalPasswordStore::Find(server->connection.ConnectString(), &credential)) {
            // Operating-system authentication, which is what remains, is not modelled.
            return Report(error, MakeOraError((mode & (OCI_SYSDBA | OCI_SYSOPER)) != 0
                                                  ? kOraInsufficientPrivileges
                                                  : kOraInvalidLogon));
        }
        user = credential.user;
        password = credential.password;
    } else {
        if (credt != OCI_CRED_RDBMS || session->userName.empty()) {
            return Report(error, MakeOraError(kOraInvalidLogon));
        }
        if (session->password.empty())
            return Report(error, MakeOraError(kOraNullPassword));
        Diagnostics::Instance().RoundTrip();
        user = env->charset.ToDatabase(session->userName);
        password = env->charset.ToDatabase(session->password);
    }
    if (mode & OCI_SYSOPER)
        return Report(error, MakeOraError(kOraInsufficientPrivileges));
    std::string sessionUser;
    std::shared_ptr<Database> database;
    OraError warning;
    OraError failure =
        server->connection.BeginSession(user, password, (mode & OCI_SYSDBA) != 0, external,
                                        env->nls.Session(), &database, &sessionUser, &warning);
    if (failure.IsError())
        return Report(error, failure);
    session->SetDatabase(std::move(database));
    session->sessionUser = sessionUser;
    svc->session.store(session);
    // The grace period's warning: the session is usable and the record stays.
    if (warning.IsError())
        return Report(error, warning, OCI_SUCCESS_WITH_INFO);
    return OCI_SUCCESS;
}

// OCISessionEnd: logs the session off, closing its connection (OCI_ATTR_SESSION may still
// point at it).
sword SessionEndImpl(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp)
{
    HandleRegistry& registry = HandleRegistry::Instance();
    auto* svc = registry.FindAs<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    SessionHandle* session =
        svc == nullptr ? nullptr
                       : registry.FindAs<SessionHandle>(usrhp != nullptr ? static_cast<void*>(usrhp)
                                                                         : svc->session.load(),
                                                        OCI_HTYPE_SESSION);
    CallScope<SvcCtxHandle> call(svchp, OCI_HTYPE_SVCCTX, errhp, kOraEndOfFile,
                                 usrhp == nullptr || session != nullptr);
    if (!call.Ready())
        return call.Status();
    ErrorHandle* error = call.error;
    std::shared_ptr<Database> database = session != nullptr ? session->GetDatabase() : nullptr;
    if (!database)
        return Report(error, MakeOraError(kOraNotLoggedOn));
    session->SetDatabase(nullptr);
    // A detach ended the session already: the server is gone.
    if (!database->IsOpen())
        return Report(error, MakeOraError(kOraNotConnected));
    Diagnostics::Instance().RoundTrip();
    database->Close();
    return OCI_SUCCESS;
}

// OCIServerDetach: ends every session begun on the attach; their statements fail from then on.
sword ServerDetachImpl(OCIServer* srvhp, OCIError* errhp)
{
    CallScope<ServerHandle> call(srvhp, OCI_HTYPE_SERVER, errhp, kOraEndOfFile);
    if (!call.Ready())
        return call.Status();
    ServerHandle* server = call.handle;
    ErrorHandle* error = call.error;
    if (!server->connection.IsAttached())
        return Report(error, MakeOraError(kOraNotConnected));
    server->connection.Detach();
    return OCI_SUCCESS;
}

// OCIErrorGet: copies the one record out, leaving every argument alone when there is none.
sword ErrorGetImpl(void* hndlp, ub4 recordno, sb4* errcodep, OraText* bufp, ub4 bufsiz, ub4 type)
{
    if (type != OCI_HTYPE_ERROR && type != OCI_HTYPE_ENV)
        return OCI_INVALID_HANDLE;
    auto* holder = HandleRegistry::Instance().FindAs<RecordHolder>(hndlp, type);
    if (holder == nullptr)
        return OCI_INVALID_HANDLE;
    EnvironmentEntry entry(holder);
    if (entry.Refused())
        return OCI_ERROR;
    OraError record = holder->Record();
    if (recordno != 1 || !record.IsError())
        return OCI_NO_DATA;
    if (errcodep != nullptr)
        *errcodep = record.code;
    if (bufp != nullptr && bufsiz > 0) {
        size_t length = record.text.size();
        if (length > bufsiz - 1)
            length = bufsiz - 1;
        std::memcpy(bufp, record.text.data(), length);
        bufp[length] = '\0';
    }
    return OCI_SUCCESS;
}

// OCIStmtPrepare: keeps the text; like the real client, nothing is checked before execute.
sword StmtPrepareImpl(OCIStmt* stmtp, OCIError* errhp, const OraText* text, ub4 length)
{
    CallScope<StmtHandle> call(stmtp, OCI_HTYPE_STMT, errhp, kOraEndOfFile, text != nullptr);
    if (!call.Ready())
        return call.Status();
    StmtHandle* stmt = call.handle;
    std::lock_guard<std::mutex> lock(stmt->mutex);
    // A new text discards the binds and defines made for the old one.
    stmt->binds.clear();
    stmt->defines.clear();
    HandleRegistry::Instance().FreeChildren(stmt);
    stmt->statement.Prepare(std::string(reinterpret_cast<const char*>(text), length));
    return OCI_SUCCESS;
}

// The statement's binds or defines, chosen by the handle type.
std::map<ub4, BindHandle*>& HandlesOf(StmtHandle* stmt, BindHandle*)
{
    return stmt->binds;
}
std::map<ub4, DefineHandle*>& HandlesOf(StmtHandle* stmt, DefineHandle*)
{
    return stmt->defines;
}

template <class HandleT, class OutT>
sword BindOrDefine(OCIStmt* stmtp, OutT** out, OCIError* errhp, ub4 position, void* valuep,
                   sb4 value_sz, ub2 dty, void* indp, ub2* lengthp, ub2* rcodep, bool isDefine)
{
    HandleRegistry& registry = HandleRegistry::Instance();
    CallScope<StmtHandle> call(stmtp, OCI_HTYPE_STMT, errhp, kOraEndOfFile,
                               out != nullptr && !(isDefine && valuep == nullptr && value_sz > 0));
    if (!call.Ready())
        return call.Status();
    StmtHandle* stmt = call.handle;
    ErrorHandle* error = call.error;
    if (position == 0) {
        return Report(error, MakeOraError(isDefine ? kOraNotInSelectList : kOraIllegalVariable));
    }
    if (!(isDefine ? IsSupportedDefine(dty, value_sz) : IsSupportedBind(dty, value_sz))) {
        return Report(error, MakeOraError(kOraUnsupportedType));
    }
    std::lock_guard<std::mutex> lock(stmt->mutex);
    std::map<ub4, HandleT*>& slots = HandlesOf(stmt, static_cast<HandleT*>(nullptr));
    HandleT* handle = slots.count(position) ? slots[position] : nullptr;
    if (handle == nullptr) {
        handle = static_cast<HandleT*>(registry.Add(std::make_unique<HandleT>(stmt)));
        slots[position] = handle;
    }
    handle->slot.value = valuep;
    handle->slot.size = value_sz;
    handle->slot.type = dty;
    handle->slot.indicator = static_cast<sb2*>(indp);
    handle->slot.length = lengthp;
    handle->slot.returnCode = rcodep;
    *out = reinterpret_cast<OutT*>(static_cast<ocilite::Handle*>(handle));
    return OCI_SUCCESS;
}

// OCIStmtExecute: runs the statement on the session's database.
sword StmtExecuteImpl(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters, ub4 mode)
{
    auto* svc = HandleRegistry::Instance().FindAs<SvcCtxHandle>(svchp, OCI_HTYPE_SVCCTX);
    CallScope<StmtHandle> call(stmtp, OCI_HTYPE_STMT, errhp, kOraEndOfFile, svc != nullptr);
    if (!call.Ready())
        return call.Status();
    StmtHandle* stmt = call.handle;
    ErrorHandle* error = call.error;
    std::lock_guard<std::mutex> lock(stmt->mutex);
    if (!stmt->statement.IsPrepared())
        return Report(error, MakeOraError(kOraNotPrepared));
    std::shared_ptr<Database> database = ActiveSessionDatabase(svc);
    if (!database)
        return Report(error, MakeOraError(kOraNotLoggedOn));
    CallResult result = stmt->statement.Execute(database, Slots<BindSlot>(stmt->binds),
                                                Slots<DefineSlot>(stmt->defines), iters,
                                                (mode & OCI_DESCRIBE_ONLY) != 0);
    if (result.record.IsError())
        error->SetRecord(result.record);
    return result.status;
}

// OCIStmtFetch: delivers the next rows, from the prefetched ones when they suffice.
sword StmtFetchImpl(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation)
{
    CallScope<StmtHandle> call(stmtp, OCI_HTYPE_STMT, errhp, kOraEndOfFile);
    if (!call.Ready())
        return call.Status();
    StmtHandle* stmt = call.handle;
    ErrorHandle* error = call.error;
    if (orientation != OCI_FETCH_NEXT && orientation != OCI_DEFAULT) {
        return Report(error, MakeOraError(kOraInvalidFetch));
    }
    std::lock_guard<std::mutex> lock(stmt->mutex);
    CallResult result = stmt->statement.Fetch(Slots<DefineSlot>(stmt->defines), nrows);
    if (result.record.IsError())
        error->SetRecord(result.record);
    return result.status;
}

}  // namespace

extern "C" {

// Runs first in every logon: reads the OCI_LITE_* settings once; its mode (OCI_THREADED) goes to
// the environments OCIEnvInit makes after it. The memory callbacks are not used.
sword __cdecl OCIInitialize(ub4 mode, void* ctxp, OCIMallocFn malocfp, OCIReallocFn ralocfp,
                            OCIMfreeFn mfreefp)
{
    InitializeOnce();
    g_initializeMode.store(mode);
    return TraceLine("OCIInitialize").Number("mode", mode).Return(OCI_SUCCESS);
}

// Creates an environment, the parent of all other handles; it takes NLS_LANG now.
sword __cdecl OCIEnvInit(OCIEnv** envp, ub4 mode, size_t xtramem_sz, void** usrmempp)
{
    TraceLine trace("OCIEnvInit");
    trace.Number("mode", mode).Number("xtramem_sz", static_cast<long long>(xtramem_sz));
    return trace.Guarded([&]() -> sword {
        if (envp == nullptr)
            return OCI_INVALID_HANDLE;
        *envp = nullptr;
        if (!g_initialized.load())
            return OCI_ERROR;  // OCIInitialize comes first
        NlsSettings nls = NlsSettings::FromEnvironment();
        sword status =
            CreateEnvironment(envp, nls, nls.Charset(),
                              (g_initializeMode.load() & OCI_THREADED) != 0, xtramem_sz, usrmempp);
        trace.Handle("env", *envp);
        return status;
    });
}

// Creates an environment with the client character set given by id (0: NLS_LANG's); an id
// oci-lite does not know fails with OCI_ERROR and no environment. The national set is not used.
sword __cdecl OCIEnvNlsCreate(OCIEnv** envhpp, ub4 mode, void* ctxp, OCIMallocFn malocfp,
                              OCIReallocFn ralocfp, OCIMfreeFn mfreefp, size_t xtramem_sz,
                              void** usrmempp, ub2 charset, ub2 ncharset)
{
    TraceLine trace("OCIEnvNlsCreate");
    trace.Number("mode", mode)
        .Number("xtramem_sz", static_cast<long long>(xtramem_sz))
        .Number("charset", charset)
        .Number("ncharset", ncharset);
    return trace.Guarded([&]() -> sword {
        if (envhpp == nullptr)
            return OCI_INVALID_HANDLE;
        *envhpp = nullptr;
        InitializeOnce();
        NlsSettings nls = NlsSettings::FromEnvironment();
        ClientCharset clientCharset = nls.Charset();
        if (charset != 0 && !ClientCharset::FromId(charset, &clientCharset))
            return OCI_ERROR;
        sword status = CreateEnvironment(envhpp, nls, clientCharset, (mode & OCI_THREADED) != 0,
                                         xtramem_sz, usrmempp);
        trace.Handle("env", *envhpp);
        return status;
    });
}

// Writes Oracle's name of a character set id, zero-terminated; an unknown id or a buffer too
// small for the name fails with OCI_ERROR.
sword __cdecl OCINlsCharSetIdToName(void* envhp, OraText* buf, size_t buflen, ub2 id)
{
    TraceLine trace("OCINlsCharSetIdToName");
    trace.Handle("envhp", envhp).Number("buflen", static_cast<long long>(buflen)).Number("id", id);
    return trace.Guarded([&]() -> sword {
        ocilite::Handle* env = HandleRegistry::Instance().Find(envhp, OCI_HTYPE_ENV);
        if (env == nullptr || buf == nullptr)
            return OCI_INVALID_HANDLE;
        EnvironmentEntry entry(env);
        if (entry.Refused())
            return OCI_ERROR;
        const char* name = ClientCharset::NameOf(id);
        if (name == nullptr || std::strlen(name) + 1 > buflen) {
            if (buflen > 0)
                buf[0] = '\0';
            return OCI_ERROR;
        }
        std::memcpy(buf, name, std::strlen(name) + 1);
        return OCI_SUCCESS;
    });
}

// Converts srclen bytes from set srcid into set dstid; what the target cannot hold becomes its
// replacement character, which OCICharSetConversionIsReplacementUsed then tells. An unknown id
// fails with ORA-12715; a target buffer too small for the whole result fails with ORA-01406 and
// nothing written (the real client leaves this open; oci-lite takes the unkind side).
sword __cdecl OCINlsCharSetConvert(void* envhp, OCIError* errhp, ub2 dstid, void* dstp,
                                   size_t dstlen, ub2 srcid, const void* srcp, size_t srclen,
                                   size_t* rsize)
{
    TraceLine trace("OCINlsCharSetConvert");
    trace.Handle("envhp", envhp)
        .Number("dstid", dstid)
        .Number("dstlen", static_cast<long long>(dstlen))
        .Number("srcid", srcid)
        .Number("srclen", static_cast<long long>(srclen));
    return trace.Guarded([&]() -> sword {
        CallScope<EnvHandle> call(envhp, OCI_HTYPE_ENV, errhp, kOraEndOfFile,
                                  (srcp != nullptr || srclen == 0) &&
                                      (dstp != nullptr || dstlen == 0));
        if (!call.Ready())
            return call.Status();
        EnvHandle* env = call.handle;
        ErrorHandle* error = call.error;
        if (rsize != nullptr)
            *rsize = 0;
        ClientCharset from = ClientCharset::Us7Ascii();
        ClientCharset to = ClientCharset::Us7Ascii();
        if (!ClientCharset::FromId(srcid, &from) || !ClientCharset::FromId(dstid, &to))
            return Report(error, MakeOraError(kOraInvalidCharset));
        bool replaced = false;
        const std::string converted = ClientCharset::Convert(
            std::string(static_cast<const char*>(srcp), srclen), from, to, &replaced);
        env->replacementUsed.store(replaced);
        if (converted.size() > dstlen)
            return Report(error, MakeOraError(kOraFetchedTruncated));
        if (!converted.empty())
            std::memcpy(dstp, converted.data(), converted.size());
        if (rsize != nullptr)
            *rsize = converted.size();
        return OCI_SUCCESS;
    });
}

// TRUE when the latest conversion on the environment of hndl (an environment or a session
// handle) used a replacement character.
OciBoolean __cdecl OCICharSetConversionIsReplacementUsed(void* hndl)
{
    TraceLine trace("OCICharSetConversionIsReplacementUsed");
    trace.Handle("hndl", hndl);
    bool used = false;
    try {
        HandleRegistry& registry = HandleRegistry::Instance();
        ocilite::Handle* handle = registry.Find(hndl, OCI_HTYPE_ENV);
        if (handle == nullptr)
            handle = registry.Find(hndl, OCI_HTYPE_SESSION);
        EnvHandle* env = handle != nullptr ? EnvironmentOf(handle) : nullptr;
        used = env != nullptr && env->replacementUsed.load();
    } catch (...) {
        Diagnostics::Instance().RecordCaughtException("OCICharSetConversionIsReplacementUsed");
    }
    return trace.Return(used ? 1 : 0);
}

// Allocates an error, server, service context, session or statement handle.
sword __cdecl OCIHandleAlloc(const void* parenth, void** hndlpp, const ub4 type,
                             const size_t xtramem_sz, void** usrmempp)
{
    TraceLine trace("OCIHandleAlloc");
    trace.Handle("parent", parenth).Number("type", type);
    return trace.Guarded([&]() -> sword {
        HandleRegistry& registry = HandleRegistry::Instance();
        ocilite::Handle* env = registry.Find(parenth, OCI_HTYPE_ENV);
        // An environment whose NLS_LANG was unreadable carries its record and nothing else.
        if (env == nullptr || hndlpp == nullptr || !static_cast<EnvHandle*>(env)->nls.IsReadable())
            return OCI_INVALID_HANDLE;
        EnvironmentEntry entry(env);
        if (entry.Refused())
            return OCI_ERROR;
        *hndlpp = nullptr;
        std::unique_ptr<ocilite::Handle> handle;
        switch (type) {
        case OCI_HTYPE_ERROR:
            handle = std::make_unique<ErrorHandle>(env);
            break;
        case OCI_HTYPE_SERVER:
            handle = std::make_unique<ServerHandle>(env);
            break;
        case OCI_HTYPE_SVCCTX:
            handle = std::make_unique<SvcCtxHandle>(env);
            break;
        case OCI_HTYPE_SESSION:
            handle = std::make_unique<SessionHandle>(env);
            break;
        case OCI_HTYPE_STMT: {
            auto stmt = std::make_unique<StmtHandle>(env);
            stmt->statement.SetCharset(static_cast<EnvHandle*>(env)->charset);
            handle = std::move(stmt);
            break;
        }
        default:
            return OCI_ERROR;
        }
        if (xtramem_sz > 0 && usrmempp != nullptr) {
            handle->userMemory.reset(new char[xtramem_sz]());
            *usrmempp = handle->userMemory.get();
        }
        *hndlpp = registry.Add(std::move(handle));
        trace.Handle("handle", *hndlpp);
        return OCI_SUCCESS;
    });
}

// Frees a handle and everything allocated under it.
sword __cdecl OCIHandleFree(void* hndlp, const ub4 type)
{
    TraceLine trace("OCIHandleFree");
    trace.Handle("handle", hndlp).Number("type", type);
    return trace.Guarded([&]() -> sword {
        HandleRegistry& registry = HandleRegistry::Instance();
        ocilite::Handle* handle = registry.Find(hndlp, type);
        if (handle == nullptr)
            return OCI_INVALID_HANDLE;
        EnvironmentEntry entry(handle);
        if (entry.Refused())
            return OCI_ERROR;
        if (type == OCI_HTYPE_BIND || type == OCI_HTYPE_DEFINE) {
            auto* stmt = registry.FindAs<StmtHandle>(handle->parent, OCI_HTYPE_STMT);
            if (stmt != nullptr) {
                for (auto it = stmt->binds.begin(); it != stmt->binds.end(); ++it) {
                    if (it->second == handle) {
                        stmt->binds.erase(it);
                        break;
                    }
                }
                for (auto it = stmt->defines.begin(); it != stmt->defines.end(); ++it) {
                    if (it->second == handle) {
                        stmt->defines.erase(it);
                        break;
                    }
                }
            }
        }
        entry.Release();  // the environment may go with the handle
        registry.Free(handle);
        return OCI_SUCCESS;
    });
}

// Sets an attribute (see AttrSetImpl); the trace never shows a password.
sword __cdecl OCIAttrSet(void* trgthndlp, ub4 trghndltyp, void* attributep, ub4 size, ub4 attrtype,
                         OCIError* errhp)
{
    TraceLine trace("OCIAttrSet");
    trace.Handle("target", trgthndlp).Number("type", trghndltyp).Number("attr", attrtype);
    if (attrtype == OCI_ATTR_SERVER || attrtype == OCI_ATTR_SESSION) {
        trace.Handle("value", attributep);
    } else if (attrtype == OCI_ATTR_USERNAME) {
        trace.Text("value", attributep, size);
    } else if (attrtype == OCI_ATTR_PASSWORD) {
        trace.Raw("value=<hidden>");  // a trace file must not keep passwords
    } else if (attributep != nullptr &&
               (attrtype == OCI_ATTR_PREFETCH_ROWS || attrtype == OCI_ATTR_PREFETCH_MEMORY)) {
        ub4 value;
        std::memcpy(&value, attributep, sizeof value);
        trace.Number("value", value);
    }
    trace.Number("size", size).Handle("errhp", errhp);
    return trace.Guarded(
        [&]() { return AttrSetImpl(trgthndlp, trghndltyp, attributep, size, attrtype, errhp); });
}

// Breaks the call running on the connection of a service context or server handle, from any
// thread; it is exempt from the one-thread rule of a non-threaded environment, being meant for
// another thread. With no call running it does nothing.
sword __cdecl OCIBreak(void* hndlp, OCIError* errhp)
{
    TraceLine trace("OCIBreak");
    trace.Handle("hndlp", hndlp).Handle("errhp", errhp);
    return trace.Guarded([&]() -> sword {
        std::shared_ptr<ServerLink> link = HandleRegistry::Instance().LinkOf(hndlp);
        if (!link || (errhp != nullptr && FindError(errhp) == nullptr))
            return OCI_INVALID_HANDLE;
        link->Break();
        return OCI_SUCCESS;
    });
}

// Reads an attribute (see AttrGetImpl).
sword __cdecl OCIAttrGet(const void* trgthndlp, ub4 trghndltyp, void* attributep, ub4* sizep,
                         ub4 attrtype, OCIError* errhp)
{
    TraceLine trace("OCIAttrGet");
    trace.Handle("target", trgthndlp).Number("type", trghndltyp).Number("attr", attrtype);
    trace.Handle("errhp", errhp);
    return trace.Guarded(
        [&]() { return AttrGetImpl(trgthndlp, trghndltyp, attributep, sizep, attrtype, errhp); });
}

// Attaches a server handle to the database a connect string names.
sword __cdecl OCIServerAttach(OCIServer* srvhp, OCIError* errhp, const OraText* dblink,
                              sb4 dblink_len, ub4 mode)
{
    TraceLine trace("OCIServerAttach");
    trace.Handle("srvhp", srvhp)
        .Handle("errhp", errhp)
        .Text("dblink", dblink, dblink_len)
        .Number("len", dblink_len)
        .Number("mode", mode);
    return trace.Guarded([&]() { return ServerAttachImpl(srvhp, errhp, dblink, dblink_len); });
}

// Detaches a server handle at logoff.
sword __cdecl OCIServerDetach(OCIServer* srvhp, OCIError* errhp, ub4 mode)
{
    TraceLine trace("OCIServerDetach");
    trace.Handle("srvhp", srvhp).Handle("errhp", errhp).Number("mode", mode);
    return trace.Guarded([&]() { return ServerDetachImpl(srvhp, errhp); });
}

// Logs on, as the user or AS SYSDBA.
sword __cdecl OCISessionBegin(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 credt,
                              ub4 mode)
{
    TraceLine trace("OCISessionBegin");
    trace.Handle("svchp", svchp)
        .Handle("errhp", errhp)
        .Handle("usrhp", usrhp)
        .Number("credt", credt)
        .Number("mode", mode);
    return trace.Guarded([&]() { return SessionBeginImpl(svchp, errhp, usrhp, credt, mode); });
}

// Logs off.
sword __cdecl OCISessionEnd(OCISvcCtx* svchp, OCIError* errhp, OCISession* usrhp, ub4 mode)
{
    TraceLine trace("OCISessionEnd");
    trace.Handle("svchp", svchp).Handle("errhp", errhp).Handle("usrhp", usrhp).Number("mode", mode);
    return trace.Guarded([&]() { return SessionEndImpl(svchp, errhp, usrhp); });
}

// Reads the record of an error (or environment) handle.
sword __cdecl OCIErrorGet(void* hndlp, ub4 recordno, OraText* sqlstate, sb4* errcodep,
                          OraText* bufp, ub4 bufsiz, ub4 type)
{
    TraceLine trace("OCIErrorGet");
    trace.Handle("hndlp", hndlp)
        .Number("recordno", recordno)
        .Number("bufsiz", bufsiz)
        .Number("type", type);
    return trace.Guarded(
        [&]() { return ErrorGetImpl(hndlp, recordno, errcodep, bufp, bufsiz, type); });
}

// Prepares a statement text.
sword __cdecl OCIStmtPrepare(OCIStmt* stmtp, OCIError* errhp, const OraText* stmt, ub4 stmt_len,
                             ub4 language, ub4 mode)
{
    TraceLine trace("OCIStmtPrepare");
    trace.Handle("stmtp", stmtp)
        .Handle("errhp", errhp)
        .Text("sql", stmt, stmt_len)
        .Number("len", stmt_len)
        .Number("language", language)
        .Number("mode", mode);
    return trace.Guarded([&]() { return StmtPrepareImpl(stmtp, errhp, stmt, stmt_len); });
}

// Binds the caller's input buffer to a placeholder by position; read at execute.
sword __cdecl OCIBindByPos(OCIStmt* stmtp, OCIBind** bindp, OCIError* errhp, ub4 position,
                           void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* alenp, ub2* rcodep,
                           ub4 maxarr_len, ub4* curelep, ub4 mode)
{
    TraceLine trace("OCIBindByPos");
    trace.Handle("stmtp", stmtp)
        .Handle("errhp", errhp)
        .Number("position", position)
        .Number("value_sz", value_sz)
        .Number("dty", dty)
        .Number("indp", indp != nullptr)
        .Number("alenp", alenp != nullptr)
        .Number("rcodep", rcodep != nullptr)
        .Number("maxarr_len", maxarr_len)
        .Number("mode", mode);
    return trace.Guarded([&]() {
        return BindOrDefine<BindHandle>(stmtp, bindp, errhp, position, valuep, value_sz, dty, indp,
                                        alenp, rcodep, false);
    });
}

// Defines the caller's output buffer for a select-list column.
sword __cdecl OCIDefineByPos(OCIStmt* stmtp, OCIDefine** defnp, OCIError* errhp, ub4 position,
                             void* valuep, sb4 value_sz, ub2 dty, void* indp, ub2* rlenp,
                             ub2* rcodep, ub4 mode)
{
    TraceLine trace("OCIDefineByPos");
    trace.Handle("stmtp", stmtp)
        .Handle("errhp", errhp)
        .Number("position", position)
        .Number("value_sz", value_sz)
        .Number("dty", dty)
        .Number("indp", indp != nullptr)
        .Number("rlenp", rlenp != nullptr)
        .Number("rcodep", rcodep != nullptr)
        .Number("mode", mode);
    return trace.Guarded([&]() {
        return BindOrDefine<DefineHandle>(stmtp, defnp, errhp, position, valuep, value_sz, dty,
                                          indp, rlenp, rcodep, true);
    });
}

// Executes a statement; a query delivers its first rows.
sword __cdecl OCIStmtExecute(OCISvcCtx* svchp, OCIStmt* stmtp, OCIError* errhp, ub4 iters,
                             ub4 rowoff, const OCISnapshot* snap_in, OCISnapshot* snap_out,
                             ub4 mode)
{
    TraceLine trace("OCIStmtExecute");
    trace.Handle("svchp", svchp)
        .Handle("stmtp", stmtp)
        .Handle("errhp", errhp)
        .Number("iters", iters)
        .Number("rowoff", rowoff)
        .Number("mode", mode);
    return trace.Guarded([&]() { return StmtExecuteImpl(svchp, stmtp, errhp, iters, mode); });
}

// Fetches the next rows of a query.
sword __cdecl OCIStmtFetch(OCIStmt* stmtp, OCIError* errhp, ub4 nrows, ub2 orientation, ub4 mode)
{
    TraceLine trace("OCIStmtFetch");
    trace.Handle("stmtp", stmtp)
        .Handle("errhp", errhp)
        .Number("nrows", nrows)
        .Number("orientation", orientation)
        .Number("mode", mode);
    return trace.Guarded([&]() { return StmtFetchImpl(stmtp, errhp, nrows, orientation); });
}

}  // extern "C"
