#include "oci-lite/Handles.h"

#include <algorithm>
#include <vector>

#include "oci-lite/Host.h"

namespace ocilite {

namespace {

// The short name of a handle type in the trace.
const char* KindName(ub4 type)
{
    switch (type) {
    case OCI_HTYPE_ENV:
        return "env";
    case OCI_HTYPE_ERROR:
        return "error";
    case OCI_HTYPE_SVCCTX:
        return "svcctx";
    case OCI_HTYPE_STMT:
        return "stmt";
    case OCI_HTYPE_BIND:
        return "bind";
    case OCI_HTYPE_DEFINE:
        return "define";
    case OCI_HTYPE_SERVER:
        return "server";
    case OCI_HTYPE_SESSION:
        return "session";
    default:
        return "handle";
    }
}

}  // namespace

bool EnvHandle::Enter()
{
    if (threaded)
        return true;
    unsigned long self = host::CurrentThreadId();
    unsigned long expected = 0;
    if (!m_occupant.compare_exchange_strong(expected, self) && expected != self)
        return false;
    ++m_depth;
    return true;
}

void EnvHandle::Leave()
{
    if (threaded)
        return;
    if (--m_depth == 0)
        m_occupant.store(0);
}

EnvHandle* EnvironmentOf(Handle* handle)
{
    while (handle != nullptr && handle->type != OCI_HTYPE_ENV)
        handle = handle->parent;
    return static_cast<EnvHandle*>(handle);
}

EnvironmentEntry::EnvironmentEntry(Handle* handle) : m_env(EnvironmentOf(handle))
{
    if (m_env != nullptr && !m_env->Enter()) {
        m_refused = true;
        m_env = nullptr;
    }
}

void EnvironmentEntry::Release()
{
    if (m_env != nullptr)
        m_env->Leave();
    m_env = nullptr;
}

// The one registry of the process, made on first use.
HandleRegistry& HandleRegistry::Instance()
{
    // Never destroyed: handles still live at process exit are left to the system, so no database
    // is closed while a thread ended from outside may have left it mid-call.
    static HandleRegistry* instance = new HandleRegistry();
    return *instance;
}

// Runs at every handle allocation (and for binds and defines).
Handle* HandleRegistry::Add(std::unique_ptr<Handle> handle)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Handle* raw = handle.get();
    raw->id = m_nextId++;
    m_handles[raw] = std::move(handle);
    return raw;
}

// Runs in every entry point for every handle argument.
Handle* HandleRegistry::Find(const void* pointer, ub4 type) const
{
    if (pointer == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(pointer);
    if (it == m_handles.end() || it->second->type != type)
        return nullptr;
    return it->second.get();
}

// Finds the handles below root; the caller holds the lock.
void HandleRegistry::CollectDescendants(Handle* root, std::vector<Handle*>* out) const
{
    for (const auto& entry : m_handles) {
        if (entry.second->parent == root) {
            out->push_back(entry.second.get());
            CollectDescendants(entry.second.get(), out);
        }
    }
}

// Runs at OCIHandleFree.
void HandleRegistry::Free(Handle* handle)
{
    std::vector<std::unique_ptr<Handle>> doomed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<Handle*> victims;
        CollectDescendants(handle, &victims);
        victims.push_back(handle);
        for (Handle* victim : victims) {
            auto it = m_handles.find(victim);
            if (it == m_handles.end())
                continue;
            doomed.push_back(std::move(it->second));
            m_handles.erase(it);
        }
    }
    // Children go first: statements before the servers their cursors ran on.
    std::stable_sort(doomed.begin(), doomed.end(),
                     [](const std::unique_ptr<Handle>& a, const std::unique_ptr<Handle>& b) {
                         auto rank = [](ub4 t) {
                             return t == OCI_HTYPE_BIND || t == OCI_HTYPE_DEFINE ? 0
                                    : t == OCI_HTYPE_STMT                        ? 1
                                    : t == OCI_HTYPE_ENV                         ? 3
                                                                                 : 2;
                         };
                         return rank(a->type) < rank(b->type);
                     });
    doomed.clear();
}

// Runs when a statement is prepared again.
void HandleRegistry::FreeChildren(Handle* handle)
{
    std::vector<std::unique_ptr<Handle>> doomed;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<Handle*> victims;
    CollectDescendants(handle, &victims);
    for (Handle* victim : victims) {
        auto it = m_handles.find(victim);
        if (it == m_handles.end())
            continue;
        doomed.push_back(std::move(it->second));
        m_handles.erase(it);
    }
}

std::shared_ptr<ServerLink> HandleRegistry::LinkOf(const void* pointer) const
{
    if (pointer == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(pointer);
    if (it == m_handles.end())
        return nullptr;
    const Handle* handle = it->second.get();
    if (handle->type == OCI_HTYPE_SVCCTX) {
        const ServerHandle* server = static_cast<const SvcCtxHandle*>(handle)->server.load();
        it = m_handles.find(server);
        if (it == m_handles.end())
            return nullptr;
        handle = it->second.get();
    }
    if (handle->type != OCI_HTYPE_SERVER)
        return nullptr;
    return static_cast<const ServerHandle*>(handle)->connection.Link();
}

// Runs from OciLiteLiveHandles.
int HandleRegistry::LiveCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_handles.size());
}

// Runs while tracing, for every handle argument.
std::string HandleRegistry::Describe(const void* pointer) const
{
    if (pointer == nullptr)
        return "null";
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_handles.find(pointer);
    if (it == m_handles.end())
        return "invalid";
    return std::string(KindName(it->second->type)) + "#" + std::to_string(it->second->id);
}

}  // namespace ocilite
