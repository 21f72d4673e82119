// Statement.h
//
// What a statement handle does between prepare and the last fetch.
//   ValueSlot (BindSlot, DefineSlot) - the caller's buffers as given to OCIBindByPos and OCIDefineByPos.
//   Statement            - runs the prepared text on the session's database at execute, binds
//                          the caller's values by position, keeps the rows that the simulated
//                          round trips brought (the requested rows plus OCI_ATTR_PREFETCH_ROWS
//                          more, within OCI_ATTR_PREFETCH_MEMORY), and hands them out into the
//                          defines, fetch by fetch. A query that selects a LONG column is
//                          fetched without prefetch, one row a round trip, and a LONG value
//                          longer than its define is ORA-01406 (there is no piecewise fetch).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/OciDefs.h"
#include "oci-lite/ClientCharset.h"
#include "oci-lite/Database.h"
#include "oci-lite/OraError.h"
#include "oci-lite/RowCache.h"

namespace ocilite {

// A bind and a define carry the same description of the caller's buffer.
struct ValueSlot {
    void* value = nullptr;
    sb4 size = 0;
    ub2 type = 0;
    sb2* indicator = nullptr;
    ub2* length = nullptr;
    ub2* returnCode = nullptr;
};
using BindSlot = ValueSlot;
using DefineSlot = ValueSlot;

// The outcome of one execute or fetch: the status to return and the record it leaves.
struct CallResult {
    sword status = OCI_SUCCESS;
    OraError record;  // empty when the call leaves no record
};

class Statement {
public:
    // Keeps the text for the next execute and forgets any earlier result.
    void Prepare(const std::string& sql);
    bool IsPrepared() const { return m_prepared; }

    void SetPrefetchRows(ub4 rows) { m_prefetchRows = rows; }
    void SetPrefetchMemory(ub4 bytes) { m_prefetchMemory = bytes; }
    ub4 PrefetchMemory() const { return m_prefetchMemory; }
    void SetCharset(const ClientCharset& charset) { m_charset = charset; }
    ub4 PrefetchRows() const { return m_prefetchRows; }
    // OCI_ATTR_ROWS_FETCHED: the rows the last execute or fetch delivered (on OCI_NO_DATA, the
    // last part of an array); OCI_ATTR_ROW_COUNT: every row delivered since the execute.
    ub4 RowsFetched() const { return m_rowsFetched; }
    ub4 RowCount() const { return m_rowCount; }

    // Runs the statement on database; a query delivers its first iters rows into the defines.
    CallResult Execute(const std::shared_ptr<Database>& database,
                       const std::map<ub4, BindSlot>& binds,
                       const std::map<ub4, DefineSlot>& defines, ub4 iters, bool describeOnly);

    // Delivers the next nrows rows; 0 rows cancels the cursor.
    CallResult Fetch(const std::map<ub4, DefineSlot>& defines, ub4 nrows);

private:
    // Brings the rows of one round trip from the database into the cache.
    void CarryTrip(ub4 requested);
    bool NeedsAnotherTrip(ub4 requested) const;
    CallResult Deliver(const std::map<ub4, DefineSlot>& defines, ub4 nrows);
    CallResult Cancel(Database::Call& call);
    OraError ApplyBinds(const std::map<ub4, BindSlot>& binds, ub4 element);
    CallResult AlterSession(const std::shared_ptr<Database>& database, Database::Call& call);
    // The query's row as the client sizes it, told by the first row (see DefinedColumnBytes).
    size_t DefinedRowBytes(const Row& first) const;
    std::string ToDatabase(const std::string& clientText) const;

    std::string m_sql;
    bool m_prepared = false;
    bool m_executed = false;  // a query ran and its cursor is open
    bool m_ranOnce = false;   // an execute got as far as compiling the text
    bool m_isQuery = false;
    bool m_endReached = false;  // the database has no more rows beyond the cache
    bool m_finished = false;    // OCI_NO_DATA has been returned, or the cursor was cancelled
    ub4 m_prefetchRows = 1;     // the client's default
    ub4 m_prefetchMemory = 0;   // bytes per round trip; 0: no memory limit (the default)
    ClientCharset m_charset = ClientCharset::Us7Ascii();
    ClientCharset m_databaseSet = ClientCharset::Utf8();  // of the last execute's database
    Cursor m_cursor;
    size_t m_definedRowBytes = 0;     // the query's row as the client sizes its prefetch buffer
    std::vector<bool> m_longColumns;  // by select-list index: the column is a LONG
    bool m_selectsLong = false;       // no prefetch, one row a round trip
    RowCache m_cache;
    Row m_row;      // the row being read from the database; its memory is reused row by row
    Row m_heldRow;  // read from the database, left for the next trip by the memory limit
    bool m_held = false;
    ub4 m_rowsFetched = 0;
    ub4 m_rowCount = 0;
    OraError m_pendingError;  // a failure met while filling the cache, reported after its rows
};

// Whether a statement text is an ALTER SESSION (which the session itself carries out).
bool IsAlterSession(const std::string& sql);

// Writes one value into element `element` of a define's buffers; sets *truncated or returns
// the error (ORA-01405, ORA-01722, ORA-01455, ORA-03115).
OraError DeliverValue(const ValueView& value, const DefineSlot& define, ub4 element,
                      bool* truncated);

// True when OCIDefineByPos / OCIBindByPos accept this external type and size.
bool IsSupportedDefine(ub2 type, sb4 size);
bool IsSupportedBind(ub2 type, sb4 size);

}  // namespace ocilite
