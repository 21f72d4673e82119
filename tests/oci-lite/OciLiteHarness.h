// OciLiteHarness.h
//
// What the oci-lite conformance tests share.
//   OciApi       - the client library (OCI.DLL, libclntsh.so) loaded by name and its entry
//                  points (and the testing exports) looked up by name, as the program does.
//   FixtureHome  - a temporary OCI_LITE_HOME holding the fixture databases the tests build
//                  with SQLite before the first server attach.
//   OciSession   - one environment with its handles, logged on in the program's call order;
//                  frees everything it allocated, the environment included.
#pragma once

#include <string>
#include <vector>

#include "db/OciDefs.h"
#include "oci-lite/OciLiteTesting.h"

// Entry points and an attribute the program's header does not declare yet; named here so that
// they cannot clash with its names.
constexpr ub4 kAttrEnvCharsetId = 31;  // OCI_ATTR_ENV_CHARSET_ID, a ub2
typedef sword(__cdecl* EnvNlsCreateFn)(OCIEnv** envhpp, ub4 mode, void* ctxp, OCIMallocFn malocfp,
                                       OCIReallocFn ralocfp, OCIMfreeFn mfreefp, size_t xtramem_sz,
                                       void** usrmempp, ub2 charset, ub2 ncharset);
typedef sword(__cdecl* AttrGetFn)(const void* trgthndlp, ub4 trghndltyp, void* attributep,
                                  ub4* sizep, ub4 attrtype, OCIError* errhp);
typedef sword(__cdecl* NlsCharSetIdToNameFn)(void* envhp, OraText* buf, size_t buflen, ub2 id);
typedef sword(__cdecl* BreakFn)(void* hndlp, OCIError* errhp);

struct OciApi {
    void* module = nullptr;  // the loaded library (testsys)
    OCIInitializeFn Initialize = nullptr;
    OCIEnvInitFn EnvInit = nullptr;
    OCIHandleAllocFn HandleAlloc = nullptr;
    OCIHandleFreeFn HandleFree = nullptr;
    OCIAttrSetFn AttrSet = nullptr;
    OCIServerAttachFn ServerAttach = nullptr;
    OCIServerDetachFn ServerDetach = nullptr;
    OCISessionBeginFn SessionBegin = nullptr;
    OCISessionEndFn SessionEnd = nullptr;
    OCIErrorGetFn ErrorGet = nullptr;
    OCIStmtPrepareFn StmtPrepare = nullptr;
    OCIBindByPosFn BindByPos = nullptr;
    OCIDefineByPosFn DefineByPos = nullptr;
    OCIStmtExecuteFn StmtExecute = nullptr;
    OCIStmtFetchFn StmtFetch = nullptr;
    EnvNlsCreateFn EnvNlsCreate = nullptr;
    AttrGetFn AttrGet = nullptr;
    NlsCharSetIdToNameFn NlsCharSetIdToName = nullptr;
    BreakFn Break = nullptr;
    OciLiteRoundTripsFn RoundTrips = nullptr;
    OciLiteCallCountFn CallCount = nullptr;
    OciLiteLiveHandlesFn LiveHandles = nullptr;
    OciLiteResetCountersFn ResetCounters = nullptr;
    OciLiteSetFailAtFn SetFailAt = nullptr;
    OciLiteSetRoundTripDelayFn SetRoundTripDelay = nullptr;
    OciLiteSetTraceFileFn SetTraceFile = nullptr;
    OciLiteSetQueryTimeoutFn SetQueryTimeout = nullptr;
    OciLiteSetServerWorkFn SetServerWork = nullptr;

    // Loads the library once per process (after preparing the fixture home); null entries mean
    // the export is missing.
    static const OciApi& Get();
    bool Complete() const;
};

// The folder of the fixture databases (fixture.sqlite, other.sqlite, empty.sqlite,
// garbage.sqlite, accounts.sqlite whose users have account states and dictionary rights, and
// sorting.sqlite whose user SORTER/Sorter owns names in mixed case; we8.sqlite and
// sjis.sqlite, fixture.sqlite's rows in a WE8MSWIN1252 and a JA16SJIS database, force.sqlite
// under CURSOR_SHARING=FORCE, badset.sqlite with a character set no server has);
// created, filled and set as OCI_LITE_HOME on first use, which also sets NLS_LANG to
// kTestNlsLang (a UTF-8 client sorting binary) and clears NLS_SORT.
const std::string& FixtureHome();

extern const char kTestNlsLang[];

// Sets NLS_LANG and NLS_SORT (null: unset) for the environments made while it lives, then puts
// back the tests' own settings.
class ScopedNls {
public:
    explicit ScopedNls(const char* nlsLang, const char* nlsSort = nullptr);
    ~ScopedNls();
    ScopedNls(const ScopedNls&) = delete;
    ScopedNls& operator=(const ScopedNls&) = delete;
};

// How an OciSession makes its environment.
struct EnvOptions {
    bool nlsCreate = false;  // OCIEnvNlsCreate instead of OCIInitialize + OCIEnvInit
    ub4 mode = OCI_OBJECT;   // to OCIInitialize or OCIEnvNlsCreate
    ub2 charset = 0;         // to OCIEnvNlsCreate
};

// The first record of an error handle.
struct OraRecord {
    sword status = OCI_SUCCESS;  // what OCIErrorGet returned
    sb4 code = 0;
    std::string text;
};

class OciSession {
public:
    // initMode goes to OCIInitialize (the program passes OCI_OBJECT).
    explicit OciSession(ub4 initMode = OCI_OBJECT);
    explicit OciSession(const EnvOptions& options);
    ~OciSession();
    OciSession(const OciSession&) = delete;
    OciSession& operator=(const OciSession&) = delete;

    // Logs on in the program's order; returns the status of the first call that did not succeed
    // (or OCI_SUCCESS). failedCall names that call. A session begun with a warning
    // (OCI_SUCCESS_WITH_INFO) is logged on: the logon goes on and returns that status.
    sword Logon(const std::string& user, const std::string& password, const std::string& database,
                bool sysdba = false);
    // Logs on through the password store (OCI_CRED_EXT, no user name or password attributes),
    // as Logon does otherwise.
    sword LogonExternal(const std::string& database, bool sysdba = false);
    // Session end and server detach; returns the first status that was not a success.
    sword Logoff();

    OraRecord LastError() const;

    // Runs a query with text binds and string defines (up to 4000 bytes per value), fetching
    // until the end; returns the rows, or stops at the first error with *status set.
    std::vector<std::vector<std::string>> Query(const std::string& sql,
                                                const std::vector<std::string>& binds, int columns,
                                                sword* status = nullptr, ub4 prefetch = 1,
                                                bool setPrefetch = false);

    // Prepares and executes a statement that returns no rows (iters 1, no defines); returns the
    // status of the execute.
    sword Execute(const std::string& sql);

    // A statement handle with the text prepared (prepareStatus tells how that went); freed with
    // the session.
    OCIStmt* Prepare(const std::string& sql);

    const OciApi& api;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCIServer* srv = nullptr;
    OCISvcCtx* svc = nullptr;
    OCISession* ses = nullptr;
    sword prepareStatus = OCI_SUCCESS;
    std::string failedCall;
    bool attached = false;
    bool loggedOn = false;
};
