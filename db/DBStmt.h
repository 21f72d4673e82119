// DBStmt.h
//
// DBStmt: one SQL statement on a logged-on DBConnect. It prepares the text when constructed,
// binds input strings and defines output buffers by 1-based position, executes once, and
// fetches rows one at a time or in arrays (a define's buffer, lengths and indicators then hold
// one element per row, each element the define's size). Every failure, the end of a result
// included (Oracle error 1403), is thrown as DBStmt::OtherException by value, with the reason
// the failed call left (read once, right after the call).
//
// The statement has no error handle of its own: it reaches its connection only through the
// connection's statement side (DBStatementHost), for the error and service-context handles at
// every call, so the connection must stay alive while the statement is used. Only its
// destruction may come after the connection's: its handle frees itself through the library's
// table, which lives as long as the process.
#pragma once

#include <memory>

#include "db/DBConnect.h"
#include "db/DbErrorTexts.h"
#include "db/OciDefs.h"
#include "db/OciHandle.h"
#include "db/OciLibrary.h"

class DBStmt {
public:
    // Thrown by value on every failure and at the end of a result, with its reason; the reason
    // also stays in the statement (and, when the constructor throws, in the connection).
    class OtherException : public DbFailureException {
    public:
        using DbFailureException::DbFailureException;
    };

    DBStmt(DBConnect& connection, const char* pszSql);
    ~DBStmt();
    DBStmt(const DBStmt&) = delete;
    DBStmt& operator=(const DBStmt&) = delete;

    void BindString(int nPosition, const char* pchValue, int nLength);
    void DefineInt(int nPosition, int* pnValue);
    // pnIndicator, when given, is -1 for a NULL value (otherwise a NULL fails the fetch).
    void DefineChars(int nPosition, char* pBuffer, int nSize, ub2* pnLength = nullptr,
                     sb2* pnIndicator = nullptr);
    void DefineString(int nPosition, char* pBuffer, int nSize, ub2* pnLength = nullptr);
    void SetPrefetchRows(ub4 nRows);
    // The most bytes of prefetched rows one round trip may bring.
    void SetPrefetchMemory(ub4 nBytes);

    int Execute();
    int Fetch();
    // The next row into the buffers (nStatus: the fetch's status); false at the end of the rows
    // (ORA-01403), after which the connection's error handle is clean again. Every other
    // failure throws as Fetch does.
    bool FetchRow(int& nStatus);
    // Up to nRows rows into elements 0, 1, ... of the defined arrays; returns how many came,
    // 0 at the end of the rows (after which the connection's error handle is clean again). The
    // first call executes, asking for nRows. A row cut short passes (its indicator and length
    // tell); every other failure throws as Fetch does.
    ub4 FetchRows(ub4 nRows);

    const char* GetErrorText();
    int GetErrorCode();
    // A failure the caller found in a fetched row: kept as the statement's reason and thrown.
    [[noreturn]] void FailWith(const char* pszText, int nCode) { Fail(pszText, nCode); }

private:
    void RequireEntryPoints(DBStatementHost& host);
    void Define(int nPosition, void* pBuffer, int nSize, ub2 nType, ub2* pnLength,
                sb2* pnIndicator);
    void SetStatementAttribute(ub4 nValue, ub4 nAttribute);
    void RequireStatementHandle(bool bNeedsSession);
    void CheckCall(sword nStatus, const char* pszEntryPoint);
    int CheckOutcome(sword nStatus, const char* pszEntryPoint);
    void FailIfInterrupted();
    [[noreturn]] void Fail(const char* pszText, int nCode);

    DBStatementHost* m_pHost = nullptr;
    const OciApi* m_pApi = &OciApi::Empty();
    int m_bExecuted = 0;
    bool m_bEnded = false;  // FetchRows met the end of the rows
    int m_nErrorCode = 0;
    char m_szErrorText[DbErrorTexts::kErrorTextSize];
    // Keeps the connection's environment, the parent of the statement handle, alive until the
    // statement handle has been freed, even when the connection object is gone by then.
    std::shared_ptr<OCIEnv> m_hEnv;
    OciStmtHandle m_hStmt;
};
