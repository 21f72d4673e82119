// DBConnect.h
//
// DBConnect: one Oracle session over the Oracle Call Interface. It loads "OCI.DLL" at every
// logon, creates the environment and the handles a session needs, attaches to the database named
// by a connect string, begins the session as a normal user or as SYSDBA, and ends it again.
// It keeps the text and number of the last diagnostic record it read; statements (DBStmt) run
// through its service context and share its one error handle.
//
// The environment is made for threads (OCI_THREADED) and with AL32UTF8 for both sets, whatever
// the client's own set: every text sent and received is UTF-8. GetClientCharset says which set
// the client itself uses (for files its SQL*Plus is to read), and ConvertToClient has the client
// convert text into it. An NLS_LANG the client cannot read fails the logon before anything is
// sent, naming the value.
//
// A user name of "/" with an empty password is an external logon (OCI_CRED_EXT): neither name
// nor password is sent, and the client finds the credential for the connect string in its
// secure external password store (a wallet); the session user is whoever the wallet names.
//
// A logon that succeeds with a warning (ORA-28002, the password will expire) is a logon:
// GetLogonWarning holds the warning's text and the record fails no later step.
//
// Failures are thrown as DBConnect::OtherException, thrown by value with the reason the failed
// call left (its error number and text, read once right after it); GetErrorText and
// GetErrorCode give the last failure's reason again, without asking the client. A connection
// is used by one thread; only Break (through a DBInterrupt) comes from another.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "db/ClientCharset.h"
#include "db/DBInterrupt.h"
#include "db/DbErrorTexts.h"
#include "db/DbFailure.h"
#include "db/OciDefs.h"
#include "db/OciHandle.h"
#include "db/OciLibrary.h"

// What a statement uses of its connection, and nothing more: the library's entry points, the
// environment its handle hangs from, the error and service-context handles its calls take, the
// interrupt's state, a fresh error handle, and where a statement that never came to be leaves
// its reason.
class DBStatementHost {
public:
    // Null while no library is loaded.
    virtual const OciApi* Api() const = 0;
    virtual std::shared_ptr<OCIEnv> Environment() const = 0;
    virtual OCIError* ErrorHandle() const = 0;
    // Null while no session is begun.
    virtual OCISvcCtx* ServiceContext() const = 0;
    virtual bool IsInterrupted() const = 0;
    virtual int ResetErrorHandle() = 0;
    virtual void RecordFailure(const char* pszText, int nCode) = 0;

protected:
    ~DBStatementHost() = default;
};

class DBConnect : private DBStatementHost {
public:
    // Thrown by value on every failure, with its reason; the reason also stays in the
    // connection (GetErrorText, GetErrorCode).
    class OtherException : public DbFailureException {
    public:
        using DbFailureException::DbFailureException;
    };

    DBConnect();
    ~DBConnect();
    DBConnect(const DBConnect&) = delete;
    DBConnect& operator=(const DBConnect&) = delete;

    void Connect(const char* pszUser, const char* pszPassword, const char* pszDatabase);
    void ConnectAsSysdba(const char* pszUser, const char* pszPassword, const char* pszDatabase);
    void Disconnect();

    // Whether this user name and password make an external logon (see above).
    static bool IsExternalLogon(const char* pszUser, const char* pszPassword);

    // From the next logon on, interrupt->Request() breaks this connection's running call.
    void SetInterrupt(std::shared_ptr<DBInterrupt> interrupt);
    // Empty unless the logon succeeded with a warning; then its text, without a line feed.
    const CString& GetLogonWarning() const { return m_strLogonWarning; }
    const ClientCharset& GetClientCharset() const { return m_clientCharset; }
    // nLength bytes of UTF-8 at pText in the client's own set, by the client; bReplaced tells
    // whether a character had no place there and became the set's replacement character. False
    // (the reason kept as the connection's error) when the client refused.
    bool ConvertToClient(const char* pText, size_t nLength, std::string& strConverted,
                         bool& bReplaced);
    // Whether the interrupt has been requested (any thread may have done it).
    bool IsInterrupted() const override { return m_interrupt && m_interrupt->IsRequested(); }

    const char* GetErrorText();
    int GetErrorCode();
    int ResetErrorHandle() override;

    // The connection as its statements see it.
    DBStatementHost& StatementHost() { return *this; }

private:
    friend class DBInterrupt;

    const OciApi* Api() const override;
    std::shared_ptr<OCIEnv> Environment() const override;
    OCIError* ErrorHandle() const override;
    OCISvcCtx* ServiceContext() const override;

    void Logon(const char* pszUser, const char* pszPassword, const char* pszDatabase,
               ub4 nSessionMode);
    void LoadClientLibrary();
    ClientCharset ProbeClientCharset();
    void KeepLogonWarning();
    [[noreturn]] void FailUnreadableNlsLang(OCIEnv* pRefused);
    // Ends the running call (another thread); nothing when no server is attached.
    void Break();
    void CheckStep(sword nStatus, const char* pszEntryPoint);
    void RequireHandle(const void* pHandle, const char* pszHandleKind);
    [[noreturn]] void Fail(const char* pszText, int nCode);
    void RecordFailure(const char* pszText, int nCode) override;
    [[noreturn]] void Fail(const DbFailure& failure) { Fail(failure.szText, failure.nCode); }
    // The one teardown: ends the session and detaches the server where they were begun (not
    // after a break), then frees the connection's own handles; the environment too when
    // bEnvironment.
    void ReleaseHandles(bool bEnvironment);

    // Before the handles, which free themselves through it.
    const OciApi* m_pApi = &OciApi::Empty();
    OciServerHandle m_hServer;
    OciSvcCtxHandle m_hSvcCtx;
    OciSessionHandle m_hSession;
    OciErrorHandle m_hError;
    // Break's own error handle: the worker's may be in use at the same moment.
    OciErrorHandle m_hBreakError;
    // Held by Break and by whatever frees the handles Break uses.
    std::mutex m_breakMutex;
    std::shared_ptr<DBInterrupt> m_interrupt;
    CString m_strLogonWarning;
    ClientCharset m_clientCharset;
    // Shared with every statement created on this connection: their handles are children of
    // the environment, and a statement may be destroyed after its connection object, so the
    // environment is freed only when the last of them lets it go.
    std::shared_ptr<OCIEnv> m_hEnv;
    void* m_hLibrary = nullptr;
    char m_szErrorText[DbErrorTexts::kErrorTextSize];
    int m_nErrorCode = 0;
    int m_bConnected = 0;
    // 1 between a successful server attach (session begin) and its undoing, so that a logon
    // that failed at a later step can still be taken down before its handles are freed.
    int m_bAttached = 0;
    int m_bSessionBegun = 0;
};
