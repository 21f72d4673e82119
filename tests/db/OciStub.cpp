// OciStub.cpp: a tiny stand-in client library (OCI.DLL, libclntsh.so) for what oci-lite cannot show: libraries that lack an
// entry point, and a library that reports by status alone, never leaving a diagnostic record.
// Built three times: without OCIServerDetach (a connection entry point), without OCIStmtFetch
// (a statement entry point), and complete. It hands out dummy handles and never writes a
// record. Its answers: OCISessionBegin as SYSDBA fails (OCI_ERROR), OCIBindByPos fails
// (OCI_ERROR), OCIStmtExecute delivers "a row" (OCI_SUCCESS), OCIStmtFetch finds no more rows
// (OCI_NO_DATA); everything else succeeds. OciStubCallCount tells the tests how many calls
// reached the stub.
#include "db/OciDefs.h"

// The entry points are exported under their plain names.
#ifdef _WIN32
#define OCI_STUB_EXPORT __declspec(dllexport)
#else
#define OCI_STUB_EXPORT __attribute__((visibility("default")))
#endif

namespace {

long g_nCalls = 0;
char g_dummyHandles[64];
int g_nNextHandle = 0;

// Runs at the start of every stub entry point.
sword Called()
{
    ++g_nCalls;
    return OCI_SUCCESS;
}

// Runs for every allocation: a distinct non-null address that is never dereferenced.
void* NextHandle()
{
    g_nNextHandle = (g_nNextHandle + 1) % static_cast<int>(sizeof(g_dummyHandles));
    return &g_dummyHandles[g_nNextHandle];
}

}  // namespace

extern "C" {

OCI_STUB_EXPORT long __cdecl OciStubCallCount()
{
    return g_nCalls;
}

OCI_STUB_EXPORT sword __cdecl OCIInitialize(ub4, void*, OCIMallocFn, OCIReallocFn, OCIMfreeFn)
{
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIEnvNlsCreate(OCIEnv** envp, ub4, void*, OCIMallocFn, OCIReallocFn,
                                              OCIMfreeFn, size_t, void**, ub2, ub2)
{
    *envp = static_cast<OCIEnv*>(NextHandle());
    return Called();
}

// The client's character set: AL32UTF8.
OCI_STUB_EXPORT sword __cdecl OCIAttrGet(const void*, ub4, void* attributep, ub4*, ub4, OCIError*)
{
    *static_cast<ub2*>(attributep) = 873;
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCINlsCharSetIdToName(void*, OraText* buf, size_t buflen, ub2)
{
    const char szName[] = "AL32UTF8";
    for (size_t i = 0; i < buflen && i < sizeof(szName); ++i)
        buf[i] = OraText(szName[i]);
    return Called();
}

// Copies the bytes unchanged (the stub's client set is AL32UTF8 too).
OCI_STUB_EXPORT sword __cdecl OCINlsCharSetConvert(void*, OCIError*, ub2, void* dstp, size_t dstlen,
                                                   ub2, const void* srcp, size_t srclen,
                                                   size_t* rsize)
{
    size_t n = srclen < dstlen ? srclen : dstlen;
    for (size_t i = 0; i < n; ++i)
        static_cast<char*>(dstp)[i] = static_cast<const char*>(srcp)[i];
    if (rsize != nullptr)
        *rsize = n;
    return Called();
}

OCI_STUB_EXPORT OciBoolean __cdecl OCICharSetConversionIsReplacementUsed(void*)
{
    Called();
    return 0;
}

OCI_STUB_EXPORT sword __cdecl OCIHandleAlloc(const void*, void** hndlpp, const ub4, const size_t,
                                             void**)
{
    *hndlpp = NextHandle();
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIHandleFree(void*, const ub4)
{
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIAttrSet(void*, ub4, void*, ub4, ub4, OCIError*)
{
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIServerAttach(OCIServer*, OCIError*, const OraText*, sb4, ub4)
{
    return Called();
}

#ifndef OCI_STUB_WITHOUT_SERVER_DETACH
OCI_STUB_EXPORT sword __cdecl OCIServerDetach(OCIServer*, OCIError*, ub4)
{
    return Called();
}
#endif

OCI_STUB_EXPORT sword __cdecl OCISessionBegin(OCISvcCtx*, OCIError*, OCISession*, ub4, ub4 mode)
{
    Called();
    return mode == OCI_SYSDBA ? OCI_ERROR : OCI_SUCCESS;
}

OCI_STUB_EXPORT sword __cdecl OCISessionEnd(OCISvcCtx*, OCIError*, OCISession*, ub4)
{
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIErrorGet(void*, ub4, OraText*, sb4*, OraText*, ub4, ub4)
{
    Called();
    return OCI_NO_DATA;
}

OCI_STUB_EXPORT sword __cdecl OCIStmtPrepare(OCIStmt*, OCIError*, const OraText*, ub4, ub4, ub4)
{
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIBindByPos(OCIStmt*, OCIBind** bindp, OCIError*, ub4, void*, sb4,
                                           ub2, void*, ub2*, ub2*, ub4, ub4*, ub4)
{
    *bindp = static_cast<OCIBind*>(NextHandle());
    Called();
    return OCI_ERROR;
}

OCI_STUB_EXPORT sword __cdecl OCIDefineByPos(OCIStmt*, OCIDefine** defnp, OCIError*, ub4, void*,
                                             sb4, ub2, void*, ub2*, ub2*, ub4)
{
    *defnp = static_cast<OCIDefine*>(NextHandle());
    return Called();
}

OCI_STUB_EXPORT sword __cdecl OCIStmtExecute(OCISvcCtx*, OCIStmt*, OCIError*, ub4, ub4,
                                             const OCISnapshot*, OCISnapshot*, ub4)
{
    return Called();
}

#ifndef OCI_STUB_WITHOUT_STMT_FETCH
OCI_STUB_EXPORT sword __cdecl OCIStmtFetch(OCIStmt*, OCIError*, ub4, ub2, ub4)
{
    Called();
    return OCI_NO_DATA;
}
#endif

}  // extern "C"
