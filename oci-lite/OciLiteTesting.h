// OciLiteTesting.h
//
// The extra exports of oci-lite's OCI.DLL (libclntsh.so on Linux) that only tests use. Look
// them up by these plain names (GetProcAddress, dlsym; all __cdecl, like the OCI entry points);
// the typedefs below are the pointer types to cast to.
//
// Counted calls (OCI_LITE_FAIL_AT and OciLiteCallCount): the calls that carry an error handle
// and so can report a failure: OCIAttrSet, OCIAttrGet, OCIServerAttach, OCIServerDetach,
// OCISessionBegin, OCISessionEnd, OCIStmtPrepare, OCIBindByPos, OCIDefineByPos, OCIStmtExecute,
// OCIStmtFetch. Counting starts at the first OCIInitialize or OCIEnvNlsCreate of the process
// (calls before it are not counted). OCIInitialize, OCIEnvInit, OCIEnvNlsCreate,
// OCIHandleAlloc, OCIHandleFree, OCIErrorGet, OCINlsCharSetIdToName and OCIBreak (which comes
// from another thread at a moment no sweep could repeat) are never counted
// and never fail by injection: they cannot carry a record, and a caller that cannot check them
// would otherwise go on with null handles. A counted entry point checks its handles first and
// counts itself only when they are live (a call that returns OCI_INVALID_HANDLE, or that a
// non-threaded environment refuses because another thread is inside it, is not counted),
// so a sweep N = 1 .. OciLiteCallCount() (read after one clean run) hits each call once.
//
// When the counter reaches the chosen N, that one call does nothing else: it puts
// "ORA-03113: end-of-file on communication channel" (OCIServerAttach: "ORA-12541: TNS:no
// listener") into its error handle and returns OCI_ERROR. Later calls behave normally.
//
// Round trips (OciLiteRoundTrips): OCIServerAttach once the connect string resolved,
// OCISessionBegin and OCISessionEnd once their local checks passed, every OCIStmtExecute that
// reaches the database, and every OCIStmtFetch that finds too few prefetched rows and the end
// of the result not yet known, and the extra trip of a call that OCIBreak interrupted. Each
// waits OCI_LITE_RTT_US microseconds when set; an execute's trip and a fetch's trips wait
// OCI_LITE_SERVER_US more for the server's work (both waits end at once on OCIBreak).
//
// Live handles (OciLiteLiveHandles): every handle allocated and not yet freed, including
// environments, binds and defines (freed with their statement) and handles freed implicitly
// with their environment.
//
// Time budget (OciLiteSetQueryTimeout): each OCIStmtExecute and each fetch round trip may run
// its statement this long (OCI_LITE_QUERY_TIMEOUT_MS, default 0: no limit) before it fails with
// "ORA-01013: user requested cancel of current operation".
//
// Environment variables OCI_LITE_FAIL_AT, OCI_LITE_RTT_US, OCI_LITE_SERVER_US, OCI_LITE_TRACE
// and OCI_LITE_QUERY_TIMEOUT_MS are read once, at the first OCIInitialize or OCIEnvNlsCreate;
// OCI_LITE_HOME is read at every OCIServerAttach.
#pragma once

// The calling convention is named for 32-bit Windows, where compilers have a choice; other
// systems have one.
#if !defined(_WIN32) && !defined(__cdecl)
#define __cdecl
#endif

extern "C" {

// Simulated server round trips since the start or the last OciLiteResetCounters.
typedef unsigned(__cdecl* OciLiteRoundTripsFn)(void);
// Counted calls (see above) since the first OCIInitialize or the last OciLiteResetCounters.
typedef unsigned(__cdecl* OciLiteCallCountFn)(void);
// Handles allocated and not freed, in the whole process.
typedef int(__cdecl* OciLiteLiveHandlesFn)(void);
// Sets the round-trip and call counters to 0 (the handle count is not touched).
typedef void(__cdecl* OciLiteResetCountersFn)(void);
// Makes the counted call number n fail (counted as OciLiteCallCount counts); 0 turns it off.
typedef void(__cdecl* OciLiteSetFailAtFn)(unsigned n);
// Sets the wait per round trip in microseconds; 0 turns it off.
typedef void(__cdecl* OciLiteSetRoundTripDelayFn)(unsigned microseconds);
// Appends the call trace to the file at path from now on; null or "" stops tracing.
// Returns 1 when the file could be opened (or tracing was stopped), 0 otherwise.
typedef int(__cdecl* OciLiteSetTraceFileFn)(const char* path);
// Sets the time budget of each execute and fetch round trip in milliseconds; 0 turns it off.
typedef void(__cdecl* OciLiteSetQueryTimeoutFn)(unsigned milliseconds);
// Sets the server's simulated work per execute and per fetch round trip in microseconds.
typedef void(__cdecl* OciLiteSetServerWorkFn)(unsigned microseconds);

unsigned __cdecl OciLiteRoundTrips(void);
unsigned __cdecl OciLiteCallCount(void);
int __cdecl OciLiteLiveHandles(void);
void __cdecl OciLiteResetCounters(void);
void __cdecl OciLiteSetFailAt(unsigned n);
void __cdecl OciLiteSetRoundTripDelay(unsigned microseconds);
int __cdecl OciLiteSetTraceFile(const char* path);
void __cdecl OciLiteSetQueryTimeout(unsigned milliseconds);
void __cdecl OciLiteSetServerWork(unsigned microseconds);

}  // extern "C"
