// DBStmt.cpp: preparing, binding, defining, executing and fetching one statement.
#include "db/DBStmt.h"

#include <cstring>

// Resolves the statement's own entry points through the connection's library, then allocates
// and prepares. A text the library rejects is reported by the first Execute or Fetch, not here.
DBStmt::DBStmt(DBConnect& connection, const char* pszSql)
{
    DbErrorTexts::Store(m_szErrorText, "");
    ResolveEntryPoints(connection);
    m_pConnection = &connection;
    m_bExecuted = 0;
    m_nErrorCode = 0;
    m_hEnv = connection.m_hEnv;
    if (!m_hEnv)
        return;
    void* pHandle = nullptr;
    m_api.HandleAlloc(m_hEnv.get(), &pHandle, OCI_HTYPE_STMT);
    m_hStmt = static_cast<OCIStmt*>(pHandle);
    if (m_hStmt == nullptr)
        return;
    m_api.StmtPrepare(m_hStmt, connection.m_hError, pszSql, static_cast<ub4>(std::strlen(pszSql)),
                      OCI_NTV_SYNTAX, OCI_DEFAULT);
}

// Binds and defines belong to the statement handle and go with it; the connection is not
// touched, it may already be gone.
DBStmt::~DBStmt()
{
    if (m_hStmt != nullptr)
        m_api.HandleFree(m_hStmt, OCI_HTYPE_STMT);
    m_hStmt = nullptr;
}

// One call per input placeholder (":1", ":2"). The characters are read at execution, so
// the caller keeps them unchanged until then.
void DBStmt::BindString(int nPosition, const char* pchValue, int nLength)
{
    RequireStatementHandle(false);
    OCIBind* pBind = nullptr;
    sword nStatus =
        m_api.BindByPos(m_hStmt, &pBind, m_pConnection->m_hError, static_cast<ub4>(nPosition),
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
    sword nStatus = m_api.AttrSet(m_hStmt, OCI_HTYPE_STMT, &nValue, sizeof(nValue), nAttribute,
                                  m_pConnection->m_hError);
    CheckCall(nStatus, "OCIAttrSet");
}

// One execution that also delivers a query's first row into the defined buffers; the first
// Fetch executes through it.
int DBStmt::Execute()
{
    RequireStatementHandle(true);
    FailIfInterrupted();
    sword nStatus = m_api.StmtExecute(m_pConnection->m_hSvcCtx, m_hStmt, m_pConnection->m_hError, 1,
                                      0, OCI_DEFAULT);
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
        m_api.StmtFetch(m_hStmt, m_pConnection->m_hError, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
    return CheckOutcome(nStatus, "OCIStmtFetch");
}

bool DBStmt::FetchRow(int& nStatus)
{
    try {
        nStatus = Fetch();
        return true;
    } catch (OtherException&) {
        if (GetErrorCode() != OCI_ORA_NO_DATA_FOUND)
            throw;
        m_pConnection->ResetErrorHandle();
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
    const sword nStatus =
        bExecute
            ? m_api.StmtExecute(m_pConnection->m_hSvcCtx, m_hStmt, m_pConnection->m_hError, nRows,
                                0, OCI_DEFAULT)
            : m_api.StmtFetch(m_hStmt, m_pConnection->m_hError, nRows, OCI_FETCH_NEXT, OCI_DEFAULT);
    m_bExecuted = 1;
    try {
        CheckOutcome(nStatus, bExecute ? "OCIStmtExecute" : "OCIStmtFetch");
    } catch (OtherException&) {
        if (GetErrorCode() != OCI_ORA_NO_DATA_FOUND)
            throw;
        // The end of the rows may come with the last part of the array.
        m_pConnection->ResetErrorHandle();
        m_bEnded = true;
    }
    ub4 nFetched = 0;
    CheckCall(m_api.AttrGet(m_hStmt, OCI_HTYPE_STMT, &nFetched, OCI_ATTR_ROWS_FETCHED,
                            m_pConnection->m_hError),
              "OCIAttrGet");
    return nFetched < nRows ? nFetched : nRows;
}

const char* DBStmt::GetErrorText()
{
    ReadDiagnostic();
    return m_szErrorText;
}

int DBStmt::GetErrorCode()
{
    ReadDiagnostic();
    return m_nErrorCode;
}

// First step of the construction: the statement's own table, through the library handle the
// connection already holds; the library is never loaded from here. A failure is also left in
// the connection, because a statement whose constructor threw cannot be asked for it.
void DBStmt::ResolveEntryPoints(DBConnect& connection)
{
    if (connection.m_hLibrary == nullptr) {
        // The connection already holds the reason its library is missing ("Can't load
        // oci.dll", or the entry point it lacked); it is not overwritten.
        Fail(DbErrorTexts::kCantLoadOci, DbErrorTexts::kLibraryFailure);
    }
    if (const char* pszMissing = m_api.Resolve(connection.m_hLibrary)) {
        const std::string strText = DbErrorTexts::MissingEntryPoint(pszMissing);
        connection.RecordFailure(strText.c_str(), DbErrorTexts::kLibraryFailure);
        Fail(strText.c_str(), DbErrorTexts::kLibraryFailure);
    }
}

// One define per column, checked like a bind.
void DBStmt::Define(int nPosition, void* pBuffer, int nSize, ub2 nType, ub2* pnLength,
                    sb2* pnIndicator)
{
    RequireStatementHandle(false);
    OCIDefine* pDefine = nullptr;
    sword nStatus =
        m_api.DefineByPos(m_hStmt, &pDefine, m_pConnection->m_hError, static_cast<ub4>(nPosition),
                          pBuffer, static_cast<sb4>(nSize), nType, pnIndicator, pnLength);
    CheckCall(nStatus, "OCIDefineByPos");
}

// A statement whose handle the library never gave, or whose connection holds no session,
// fails plainly instead of passing null handles on.
void DBStmt::RequireStatementHandle(bool bNeedsSession)
{
    if (m_hStmt == nullptr)
        Fail(DbErrorTexts::HandleNotAllocated("statement").c_str(), DbErrorTexts::kLibraryFailure);
    if (m_pConnection->m_hError == nullptr ||
        (bNeedsSession && m_pConnection->m_hSvcCtx == nullptr))
        Fail(DbErrorTexts::kNotLoggedOn, DbErrorTexts::kLibraryFailure);
}

// Any error number fails the call; so does a failure status that left no record.
void DBStmt::CheckCall(sword nStatus, const char* pszEntryPoint)
{
    m_nErrorCode = 0;
    if (GetErrorCode() != 0)
        throw OtherException();
    if (nStatus == OCI_ERROR || nStatus == OCI_INVALID_HANDLE)
        Fail(DbErrorTexts::FailedWithoutRecord(pszEntryPoint).c_str(),
             DbErrorTexts::kLibraryFailure);
}

// 0 passes; 24344 and 24345 are warnings that pass after the connection's error handle is reset
// (the row in the buffers is used); every other number throws, 1403 included. The status only
// fills the gaps the records leave: "no data" without the 1403 record still ends the result,
// and a failure without a record is never taken for a row, so a fetch loop always ends.
int DBStmt::CheckOutcome(sword nStatus, const char* pszEntryPoint)
{
    // Only a record of this call may fail it: a number kept from an earlier failure would
    // otherwise fail every later row of a caller that goes on fetching after an error.
    m_nErrorCode = 0;
    int nCode = GetErrorCode();
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
        m_pConnection->ResetErrorHandle();
        return nStatus;
    }
    throw OtherException();
}

// A break that came between two calls reaches no call: the next one is not made at all, as a
// call that the break had ended would fail.
void DBStmt::FailIfInterrupted()
{
    if (m_pConnection->IsInterrupted())
        Fail(DbErrorTexts::kUserCancelText, OCI_ORA_USER_CANCEL);
}

// For failures the statement detects itself: stores the reason and throws.
void DBStmt::Fail(const char* pszText, int nCode)
{
    DbErrorTexts::Store(m_szErrorText, pszText);
    m_nErrorCode = nCode;
    throw OtherException();
}

// The first pending record of the connection's error handle, if there is one. Without a
// library or an error handle nothing is called.
void DBStmt::ReadDiagnostic()
{
    if (m_pConnection == nullptr || m_pConnection->m_hLibrary == nullptr ||
        m_pConnection->m_hError == nullptr)
        return;
    m_api.ErrorGet(m_pConnection->m_hError, 1, &m_nErrorCode, m_szErrorText,
                   DbErrorTexts::kErrorTextSize, OCI_HTYPE_ERROR);
    m_szErrorText[DbErrorTexts::kErrorTextSize - 1] = '\0';
}
