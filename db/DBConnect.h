// DBConnect.h
//
// DBConnect: one Oracle session over the Oracle Call Interface. It loads "OCI.DLL" at every
// logon, creates the environment and the handles a session needs, attaches to the database named
// by a connect string, begins the session as a normal user or as SYSDBA, and ends it again.
// It keeps the text and number of the last diagnostic record it read; statements (DBStmt) run
// through its service context and share its one error handle.
//
// Failures are thrown as DBConnect::OtherException, an empty class thrown by value; the catcher
// asks the connection for GetErrorText and GetErrorCode. A connection is used by one thread.
#pragma once

#include <windows.h>

#include <memory>

#include "db/DbErrorTexts.h"
#include "db/OciDefs.h"
#include "db/OciLibrary.h"

class DBStmt;

class DBConnect {
public:
    // Thrown by value on every failure; the reason stays in the connection.
    class OtherException {};

    DBConnect();
    ~DBConnect();
    DBConnect(const DBConnect&) = delete;
    DBConnect& operator=(const DBConnect&) = delete;

    void Connect(const char* pszUser, const char* pszPassword, const char* pszDatabase);
    void ConnectAsSysdba(const char* pszUser, const char* pszPassword, const char* pszDatabase);
    void Disconnect();

    const char* GetErrorText();
    int GetErrorCode();
    int ResetErrorHandle();

private:
    friend class DBStmt;

    void Logon(const char* pszUser, const char* pszPassword, const char* pszDatabase,
               ub4 nSessionMode);
    void LoadClientLibrary();
    void CheckStep(sword nStatus, const char* pszEntryPoint);
    void RequireHandle(const void* pHandle, const char* pszHandleKind);
    [[noreturn]] void Fail(const char* pszText, int nCode);
    void RecordFailure(const char* pszText, int nCode);
    void ReleaseHandles();
    void ReadDiagnostic();

    OCIServer* m_hServer = nullptr;
    OCISvcCtx* m_hSvcCtx = nullptr;
    OCISession* m_hSession = nullptr;
    OCIError* m_hError = nullptr;
    // Shared with every statement created on this connection: their handles are children of
    // the environment, and a statement may be destroyed after its connection object, so the
    // environment is freed only when the last of them lets it go.
    std::shared_ptr<OCIEnv> m_hEnv;
    HMODULE m_hLibrary = nullptr;
    char m_szErrorText[DbErrorTexts::kErrorTextSize];
    int m_nErrorCode = 0;
    int m_bConnected = 0;
    OciConnectionApi m_api;
    // 1 between a successful server attach (session begin) and its undoing, so that a logon
    // that failed at a later step can still be taken down before its handles are freed.
    int m_bAttached = 0;
    int m_bSessionBegun = 0;
};
