// OciHandle.h
//
// OciHandle<Handle, kType>: owns one OCI handle of one kind (OCI_HTYPE_*) and gives it back to
// the library that made it exactly once; movable, not copyable. The entry-point table it frees
// through must outlive it (a library's table lives as long as the process). The kinds a
// connection holds, OciServerHandle, OciSvcCtxHandle, OciSessionHandle, OciErrorHandle,
// OciEnvHandle, and a statement's, OciStmtHandle.
#pragma once

#include <utility>

#include "db/OciDefs.h"
#include "db/OciLibrary.h"

template <typename Handle, ub4 kType>
class OciHandle {
public:
    OciHandle() = default;
    // Takes pHandle (may be null), to be freed through api.
    OciHandle(const OciApi& api, Handle* pHandle) : m_pApi(&api), m_pHandle(pHandle) {}
    ~OciHandle() { Reset(); }
    OciHandle(OciHandle&& other) noexcept
        : m_pApi(other.m_pApi), m_pHandle(std::exchange(other.m_pHandle, nullptr))
    {}
    OciHandle& operator=(OciHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_pApi = other.m_pApi;
            m_pHandle = std::exchange(other.m_pHandle, nullptr);
        }
        return *this;
    }
    OciHandle(const OciHandle&) = delete;
    OciHandle& operator=(const OciHandle&) = delete;

    // Frees what it holds, then holds a new child handle of pEnv (null when the library gave
    // none); the library's status.
    sword Allocate(const OciApi& api, OCIEnv* pEnv)
    {
        Reset();
        void* pHandle = nullptr;
        const sword nStatus = api.HandleAlloc(pEnv, &pHandle, kType);
        *this = OciHandle(api, static_cast<Handle*>(pHandle));
        return nStatus;
    }
    Handle* Get() const { return m_pHandle; }
    // Passed to the entry points as the raw handle, as before it had an owner.
    operator Handle*() const { return m_pHandle; }
    void Reset()
    {
        if (m_pHandle != nullptr)
            m_pApi->HandleFree(m_pHandle, kType);
        m_pHandle = nullptr;
    }

private:
    const OciApi* m_pApi = nullptr;
    Handle* m_pHandle = nullptr;
};

using OciServerHandle = OciHandle<OCIServer, OCI_HTYPE_SERVER>;
using OciSvcCtxHandle = OciHandle<OCISvcCtx, OCI_HTYPE_SVCCTX>;
using OciSessionHandle = OciHandle<OCISession, OCI_HTYPE_SESSION>;
using OciErrorHandle = OciHandle<OCIError, OCI_HTYPE_ERROR>;
using OciEnvHandle = OciHandle<OCIEnv, OCI_HTYPE_ENV>;
using OciStmtHandle = OciHandle<OCIStmt, OCI_HTYPE_STMT>;
