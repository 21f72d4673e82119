// DBStmt.cpp: preparing, binding, defining, executing and fetching one statement.
#include "db/DBStmt.h"

#include <cstring>

// Takes the library's entry points through the connection, then allocates and prepares. A text
// the library rejects is reported by the first Execute or Fetch, not here.
DBStmt::DBStmt(DBConnect& connection, const char* pszSql)
{
    DbErrorTexts::Store(m_szErrorText, "");
    DBStatementHost& host = connection.StatementHost();
    RequireEntryPoints(host);
    m_pHost = &host;
    m_hEnv = host.Environment();
    if (!m_hEnv)
        return;
    m_hStmt.Allocate(*m_pApi, m_hEnv.get());
    if (m_hStmt == nullptr)
        return;
    m_pApi->StmtPrepare(m_hStmt, host.ErrorHandle(), pszSql, static_cast<ub4>(std::strlen(pszSql)),
                        OCI_NTV_SYNTAX, OCI_DEFAULT);
}

// Binds and defines belong to the statement handle and go with it (the handle frees itself);
// the connection is not touched, it may already be gone.
DBStmt::~DBStmt() = default;

// One call per input placeholder (":1", ":2"). The characters are read at execution, so
// the caller keeps them unchanged until then.
void DBStmt::BindString(int nPosition, const char* pchValue, int nLength)
{
    RequireStatementHandle(false);
    OCIBind* pBind = nullptr;
    sword nStatus =
        m_pApi->BindByPos(m_hStmt, &pBind, m_pHost->ErrorHandle(), static_cast<ub4>(nPosition),
                          const_cast<char*>(pchValue), static_cast<sb4>(nLength), SQLT_CHR);
    CheckCall(nStatus, "OCIBindByPos");
}

// A 32-bit signed integer column.
void DBStmt::DefineInt(int nPosition, int* pnValue)
{
    Define(nPosition, pnValue, static_cast<int>(sizeof(int)), SQLT_INT, nullptr, nullptr);
}

// Values arrive without a terminator. With pnLength the library also reports how many bytes
// each row delivered.
void DBStmt::DefineChars(int nPosition, char* pBuffer, int nSize, ub2* pnLength, sb2* pnIndicator)
{
    Define(nPosition, pBuffer, nSize, SQLT_CHR, pnLength, pnIndicator);
}

// Values arrive zero-terminated, cut to the buffer if longer.
void DBStmt::DefineString(int nPosition, char* pBuffer, int nSize, ub2* pnLength)
{
    Define(nPosition, pBuffer, nSize, SQLT_STR, pnLength, nullptr);
}

// Set before the execution. The rows delivered are the same, only the number of
// round trips changes.
void DBStmt::SetPrefetchRows(ub4 nRows)
{
    SetStatementAttribute(nRows, OCI_ATTR_PREFETCH_ROWS);
}

void DBStmt::SetPrefetchMemory(ub4 nBytes)
{
    SetStatementAttribute(nBytes, OCI_ATTR_PREFETCH_MEMORY);
}

void DBStmt::SetStatementAttribute(ub4 nValue, ub4 nAttribute)
{
    RequireStatementHandle(false);
    sword nStatus = m_pApi->AttrSet(m_hStmt, OCI_HTYPE_STMT, &nValue, sizeof(nValue), nAttribute,
                                    m_pHost->ErrorHandle());
    CheckCall(nStatus, "OCIAttrSet");
}

// One execution that also delivers a query's first row into the defined buffers; the first
// Fetch executes through it.
int DBStmt::Execute()
{
    RequireStatementHandle(true);
    FailIfInterrupted();
    sword nStatus = m_pApi->StmtExecute(m_pHost->ServiceContext(), m_hStmt, m_pHost->ErrorHandle(),
                                        1, 0, OCI_DEFAULT);
    m_bExecuted = 1;
    return CheckOutcome(nStatus, "OCIStmtExecute");
}

// One row per call; the first call executes instead.
int DBStmt::Fetch()
{
    if (m_bExecuted == 0)
        return Execute();
    RequireStatementHandle(true);
    FailIfInterrupted();
    sword nStatus =
        m_pApi->StmtFetch(m_hStmt, m_pHost->ErrorHandle(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    return CheckOutcome(nStatus, "OCIStmtFetch");
}

bool DBStmt::FetchRow(int& nStatus)
{
    try {
        nStatus = Fetch();
        return true;
    } catch (const OtherException& failure) {
        if (failure.Code() != OCI_ORA_NO_DATA_FOUND)
            throw;
        m_pHost->ResetErrorHandle();
        return false;
    }
}

ub4 DBStmt::FetchRows(ub4 nRows)
{
    if (m_bEnded)
        return 0;
    RequireStatementHandle(true);
    FailIfInterrupted();
    const bool bExecute = m_bExecuted == 0;
    const sword nStatus = bExecute
                              ? m_pApi->StmtExecute(m_pHost->ServiceContext(), m_hStmt,
                                                    m_pHost->ErrorHandle(), nRows, 0, OCI_DEFAULT)
                              : m_pApi->StmtFetch(m_hStmt, m_pHost->ErrorHandle(), nRows,
                                                  OCI_FETCH_NEXT, OCI_DEFAULT);
    m_bExecuted = 1;
    try {
        CheckOutcome(nStatus, bExecute ? "OCIStmtExecute" : "OCIStmtFetch");
    } catch (const OtherException& failure) {
        if (failure.Code() != OCI_ORA_NO_DATA_FOUND)
            throw;
        // The end of the rows may come with the last part of the array.
        m_pHost->ResetErrorHandle();
        m_bEnded = true;
    }
    ub4 nFetched = 0;
    CheckCall(m_pApi->AttrGet(m_hStmt, OCI_HTYPE_STMT, &nFetched, OCI_ATTR_ROWS_FETCHED,
                              m_pHost->ErrorHandle()),
              "OCIAttrGet");
    return nFetched < nRows ? nFetched : nRows;
}

const char* DBStmt::GetErrorText()
{
    return m_szErrorText;
}

int DBStmt::GetErrorCode()
{
    return m_nErrorCode;
}

// First step of the construction: the library's table, through the connection, which already
// holds it; the library is never loaded from here. A failure is also left in the connection,
// because a statement whose constructor threw cannot be asked for it.
void DBStmt::RequireEntryPoints(DBStatementHost& host)
{
    const OciApi* pApi = host.Api();
    if (pApi == nullptr) {
        // The connection already holds the reason its library is missing ("Can't load
        // oci.dll", or the entry point it lacked); it is not overwritten.
        Fail(DbErrorTexts::CantLoadOci(ClientLibraryName(), "").c_str(),
             DbErrorTexts::kLibraryFailure);
    }
    if (const char* pszMissing = pApi->MissingForStatements()) {
        const std::string strText = DbErrorTexts::MissingEntryPoint(pszMissing);
        host.RecordFailure(strText.c_str(), DbErrorTexts::kLibraryFailure);
        Fail(strText.c_str(), DbErrorTexts::kLibraryFailure);
    }
    m_pApi = pApi;
}

// One define per column, checked like a bind.
void DBStmt::Define(int nPosition, void* pBuffer, int nSize, ub2 nType, ub2* pnLength,
                    sb2* pnIndicator)
{
    RequireStatementHandle(false);
    OCIDefine* pDefine = nullptr;
    sword nStatus =
        m_pApi->DefineByPos(m_hStmt, &pDefine, m_pHost->ErrorHandle(), static_cast<ub4>(nPosition),
                            pBuffer, static_cast<sb4>(nSize), nType, pnIndicator, pnLength);
    CheckCall(nStatus, "OCIDefineByPos");
}

// A statement whose handle the library never gave, or whose connection holds no session,
// fails plainly instead of passing null handles on.
void DBStmt::RequireStatementHandle(bool bNeedsSession)
{
    if (m_hStmt == nullptr)
        Fail(DbErrorTexts::HandleNotAllocated("statement").c_str(), DbErrorTexts::kLibraryFailure);
    if (m_pHost->ErrorHandle() == nullptr ||
        (bNeedsSession && m_pHost->ServiceContext() == nullptr))
        Fail(DbErrorTexts::kNotLoggedOn, DbErrorTexts::kLibraryFailure);
}

// Any error number fails the call; so does a failure status that left no record.
void DBStmt::CheckCall(sword nStatus, const char* pszEntryPoint)
{
    const DbFailure outcome =
        ReadCallOutcome(*m_pApi, m_pHost->ErrorHandle(), nStatus, pszEntryPoint);
    if (outcome.nCode != 0)
        Fail(outcome.szText, outcome.nCode);
}

// 0 passes; 24344 and 24345 are warnings that pass after the connection's error handle is reset
// (the row in the buffers is used); every other number throws, 1403 included. The status only
// fills the gaps the records leave: "no data" without the 1403 record still ends the result,
// and a failure without a record is never taken for a row, so a fetch loop always ends.
int DBStmt::CheckOutcome(sword nStatus, const char* pszEntryPoint)
{
    // The record of this call alone, read once (a status without one is judged below).
    const DbFailure record =
        ReadCallOutcome(*m_pApi, m_pHost->ErrorHandle(), OCI_SUCCESS, pszEntryPoint);
    const int nCode = record.nCode;
    m_nErrorCode = 0;
    DbErrorTexts::Store(m_szErrorText, "");
    if (nStatus == OCI_NO_DATA && nCode != OCI_ORA_NO_DATA_FOUND)
        Fail(DbErrorTexts::kNoDataFoundText, OCI_ORA_NO_DATA_FOUND);
    const bool bPasses =
        nCode == 0 || nCode == OCI_ORA_SUCCESS_WITH_COMPILE || nCode == OCI_ORA_TRUNCATION_OR_NULL;
    if (bPasses && (nStatus == OCI_ERROR || nStatus == OCI_INVALID_HANDLE))
        Fail(DbErrorTexts::FailedWithoutRecord(pszEntryPoint).c_str(),
             DbErrorTexts::kLibraryFailure);
    if (nCode == 0)
        return nStatus;
    if (bPasses) {
        // A warning the row passes with stays the statement's to tell.
        DbErrorTexts::Store(m_szErrorText, record.szText);
        m_nErrorCode = nCode;
        m_pHost->ResetErrorHandle();
        return nStatus;
    }
    Fail(record.szText, nCode);
}

// A break that came between two calls reaches no call: the next one is not made at all, as a
// call that the break had ended would fail.
void DBStmt::FailIfInterrupted()
{
    if (m_pHost->IsInterrupted())
        Fail(DbErrorTexts::kUserCancelText, OCI_ORA_USER_CANCEL);
}

// For failures the statement detects itself: stores the reason and throws.
void DBStmt::Fail(const char* pszText, int nCode)
{
    DbErrorTexts::Store(m_szErrorText, pszText);
    m_nErrorCode = nCode;
    throw OtherException(DbFailure(nCode, pszText));
}
