// Handles.h
//
// The objects behind the opaque OCI handle pointers, and the registry that owns them.
//   Handle and its kinds - environment, error, server, service context, session, statement,
//                          bind and define; each knows its OCI_HTYPE_* number and its parent.
//   HandleRegistry       - owns every live handle, checks that a pointer the caller passes in
//                          is a live handle of the expected kind (so a stale or foreign pointer
//                          gives OCI_INVALID_HANDLE instead of a crash), frees a handle with its
//                          children, and counts the live handles for tests.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "db/OciDefs.h"
#include "oci-lite/ClientCharset.h"
#include "oci-lite/NlsSettings.h"
#include "oci-lite/Database.h"
#include "oci-lite/OraError.h"
#include "oci-lite/Statement.h"

namespace ocilite {

struct Handle {
    Handle(ub4 handleType, Handle* parentHandle) : type(handleType), parent(parentHandle) {}
    virtual ~Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    const ub4 type;
    Handle* const parent;  // the environment, or the statement for binds and defines
    unsigned id = 0;       // a process-wide serial number, shown in the trace
    std::unique_ptr<char[]> userMemory;
};

// Environments and error handles both hold at most one diagnostic record. Two threads may
// share an error handle, so the record is read and written under a lock.
struct RecordHolder : Handle {
    using Handle::Handle;
    void SetRecord(const OraError& error)
    {
        std::lock_guard<std::mutex> lock(m_recordMutex);
        m_record = error;
    }
    OraError Record() const
    {
        std::lock_guard<std::mutex> lock(m_recordMutex);
        return m_record;
    }

private:
    mutable std::mutex m_recordMutex;
    OraError m_record;
};

// The attribute of an environment that names its client character set (a ub2 id).
constexpr ub4 kAttrEnvCharsetId = 31;

struct EnvHandle : RecordHolder {
    EnvHandle(const NlsSettings& settings, const ClientCharset& clientCharset, bool isThreaded)
        : RecordHolder(OCI_HTYPE_ENV, nullptr), nls(settings), charset(clientCharset),
          threaded(isThreaded)
    {}
    const NlsSettings nls;        // NLS_LANG and NLS_SORT at creation
    const ClientCharset charset;  // NLS_LANG's, or the one OCIEnvNlsCreate named
    const bool threaded;          // made with OCI_THREADED
    // Whether the latest OCINlsCharSetConvert on this environment used a replacement character.
    std::atomic<bool> replacementUsed{false};

    // Marks the calling thread as inside a call on this environment. Without OCI_THREADED only
    // one thread may be inside at a time: false when another one is (the caller must then fail
    // and not call Leave). The same thread may enter again.
    bool Enter();
    void Leave();

private:
    std::atomic<unsigned long> m_occupant{0};  // the thread id inside, 0 for none
    int m_depth = 0;                           // touched by the occupant only
};

// The environment a handle belongs to (itself for an environment).
EnvHandle* EnvironmentOf(Handle* handle);

// Holds a handle's environment for the duration of one entry point; Refused() when the
// environment is not threaded and another thread is inside a call on it.
class EnvironmentEntry {
public:
    explicit EnvironmentEntry(Handle* handle);
    ~EnvironmentEntry() { Release(); }
    EnvironmentEntry(const EnvironmentEntry&) = delete;
    EnvironmentEntry& operator=(const EnvironmentEntry&) = delete;

    bool Refused() const { return m_refused; }
    // Leaves early, before the environment itself is freed.
    void Release();

private:
    EnvHandle* m_env = nullptr;
    bool m_refused = false;
};

struct ErrorHandle : RecordHolder {
    explicit ErrorHandle(Handle* env) : RecordHolder(OCI_HTYPE_ERROR, env) {}
};

struct ServerHandle : Handle {
    explicit ServerHandle(Handle* env) : Handle(OCI_HTYPE_SERVER, env) {}
    ServerConnection connection;  // detaches (ending its sessions) when the handle is freed
};

struct SessionHandle : Handle {
    explicit SessionHandle(Handle* env) : Handle(OCI_HTYPE_SESSION, env) {}
    ~SessionHandle() override
    {
        if (std::shared_ptr<ocilite::Database> database = GetDatabase())
            database->Close();
    }

    // The session's own connection while logged on (closed by its end or its server's detach),
    // else null.
    std::shared_ptr<ocilite::Database> GetDatabase() const
    {
        std::lock_guard<std::mutex> lock(m_databaseMutex);
        return m_database;
    }
    void SetDatabase(std::shared_ptr<ocilite::Database> database)
    {
        std::lock_guard<std::mutex> lock(m_databaseMutex);
        m_database = std::move(database);
    }
    bool IsActive() const
    {
        std::shared_ptr<ocilite::Database> database = GetDatabase();
        return database && database->IsOpen();
    }

    std::string userName;
    std::string password;
    std::string sessionUser;

private:
    mutable std::mutex m_databaseMutex;
    std::shared_ptr<ocilite::Database> m_database;
};

struct SvcCtxHandle : Handle {
    explicit SvcCtxHandle(Handle* env) : Handle(OCI_HTYPE_SVCCTX, env) {}
    std::atomic<ServerHandle*> server{nullptr};
    std::atomic<SessionHandle*> session{nullptr};
};

struct BindHandle : Handle {
    explicit BindHandle(Handle* stmt) : Handle(OCI_HTYPE_BIND, stmt) {}
    BindSlot slot;
};

struct DefineHandle : Handle {
    explicit DefineHandle(Handle* stmt) : Handle(OCI_HTYPE_DEFINE, stmt) {}
    DefineSlot slot;
};

struct StmtHandle : Handle {
    explicit StmtHandle(Handle* env) : Handle(OCI_HTYPE_STMT, env) {}
    std::mutex mutex;  // one call at a time on the statement, whatever the thread
    Statement statement;
    std::map<ub4, BindHandle*> binds;      // by position; owned by the registry
    std::map<ub4, DefineHandle*> defines;  // by position; owned by the registry
};

class HandleRegistry {
public:
    static HandleRegistry& Instance();

    // Takes ownership of a new handle and gives it its serial number.
    Handle* Add(std::unique_ptr<Handle> handle);

    // The live handle at pointer with the given OCI_HTYPE_* type, or null.
    Handle* Find(const void* pointer, ub4 type) const;

    template <class T>
    T* FindAs(const void* pointer, ub4 type) const
    {
        return static_cast<T*>(Find(pointer, type));
    }

    // Frees a handle and every handle below it (an environment takes all its handles along).
    void Free(Handle* handle);

    // Frees the binds and defines of a statement (a new prepare discards them).
    void FreeChildren(Handle* handle);

    int LiveCount() const;

    // The link of the server handle at pointer, or of the server a live service context at
    // pointer names; null when there is none. Looked up under the registry's lock, so a handle
    // freed meanwhile by another thread is either found whole or not at all.
    std::shared_ptr<ServerLink> LinkOf(const void* pointer) const;

    // "stmt#7", "null" or "invalid" for the trace.
    std::string Describe(const void* pointer) const;

private:
    HandleRegistry() = default;
    void CollectDescendants(Handle* root, std::vector<Handle*>* out) const;

    mutable std::mutex m_mutex;
    std::unordered_map<const void*, std::unique_ptr<Handle>> m_handles;
    unsigned m_nextId = 1;
};

}  // namespace ocilite
