#include "oci-lite/OraError.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "oci-lite/Limits.h"
#include "sqlite3.h"

namespace ocilite {

namespace {

struct MessageEntry {
    int code;
    const char* text;
};

// Oracle's classic message texts (pre-23ai wording), the only place they are written down.
const MessageEntry kMessages[] = {
    {kOraResourceBusy, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {kOraInternal, "internal error code, arguments: [oci-lite]"},
    {kOraInvalidSqlStatement, "invalid SQL statement"},
    {kOraInvalidIdentifier, "invalid identifier"},
    {kOraColumnAmbiguous, "column ambiguously defined"},
    {kOraInvalidOption, "missing or invalid option"},
    {kOraNotProperlyEnded, "SQL command not properly ended"},
    {kOraTableNotFound, "table or view does not exist"},
    {kOraFetchOutOfSequence, "fetch out of sequence"},
    {kOraNullPassword, "null password given; logon denied"},
    {kOraNotInSelectList, "variable not in select list"},
    {kOraNotAllBound, "not all variables bound"},
    {kOraNotLoggedOn, "not logged on"},
    {kOraUserCancel, "user requested cancel of current operation"},
    {kOraInvalidLogon, "invalid username/password; logon denied"},
    {kOraInsufficientPrivileges, "insufficient privileges"},
    {kOraNotAvailable, "ORACLE not available"},
    {kOraIllegalVariable, "illegal variable name/number"},
    {kOraNoDataFound, "no data found"},
    {kOraInvalidAlterSessionOption, "invalid option for ALTER SESSION"},
    {kOraFetchedNull, "fetched column value is NULL"},
    {kOraFetchedTruncated, "fetched column value was truncated"},
    {kOraIntegerOverflow, "converting column overflows integer datatype"},
    {kOraInvalidNumber, "invalid number"},
    {kOraEndOfFile, "end-of-file on communication channel"},
    {kOraNotConnected, "not connected to ORACLE"},
    {kOraUnsupportedType, "unsupported network datatype or representation"},
    {kOraCannotResolve, "TNS:could not resolve the connect identifier specified"},
    {kOraNoListener, "TNS:no listener"},
    {kOraInvalidNlsEnvironment, "Cannot access NLS data files or invalid environment specified"},
    {kOraInvalidCharset, "invalid character set specified"},
    {kOraReadOnly, "database open for read-only access"},
    {kOraAccountLocked, "the account is locked"},
    {kOraPasswordExpired, "the password has expired"},
    {kOraPasswordWillExpire, "the password will expire within 7 days"},
    {kOraAlreadyConnected, "already connected to a server"},
    {kOraIllegalAttribute, "illegal attribute type"},
    {kOraAlreadyAuthenticated, "user already authenticated"},
    {kOraZeroIterations, "zero iteration count"},
    {kOraNotPrepared, "statement handle not prepared"},
    {kOraNotExecuted, "statement handle not executed"},
    {kOraTruncationOrNull, "A Truncation or null fetch error occurred"},
    {kOraDefineNotDone, "define not done before fetch or execute and fetch"},
    {kOraInvalidFetch, "invalid fetch operation"},
};

// Looks a code up in the table; unknown codes get Oracle's generic wording.
const char* ClassicText(int code)
{
    for (const MessageEntry& entry : kMessages) {
        if (entry.code == code)
            return entry.text;
    }
    return "Message not found";
}

// True when text begins with prefix.
bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// Oracle names an unknown identifier upper-cased and quoted per part: "T"."COL".
std::string QuoteIdentifier(const std::string& name)
{
    std::string quoted = "\"";
    for (char c : name) {
        if (c == '.') {
            quoted += "\".\"";
        } else {
            quoted += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return quoted + "\"";
}

// The first word of a statement, upper-cased; decides between "invalid statement" and
// "not properly ended" for a syntax error.
std::string FirstWord(const std::string& sql)
{
    size_t i = 0;
    while (i < sql.size() && (std::isspace(static_cast<unsigned char>(sql[i])) || sql[i] == '('))
        ++i;
    std::string word;
    while (i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i]))) {
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(sql[i])));
        ++i;
    }
    return word;
}

// True for the first words of the statements Oracle knows.
bool IsSqlVerb(const std::string& word)
{
    static const char* const kVerbs[] = {"SELECT",  "WITH",   "INSERT",   "UPDATE",    "DELETE",
                                         "MERGE",   "CREATE", "DROP",     "ALTER",     "GRANT",
                                         "REVOKE",  "COMMIT", "ROLLBACK", "SAVEPOINT", "TRUNCATE",
                                         "EXPLAIN", "LOCK",   "RENAME",   "COMMENT",   "ANALYZE"};
    for (const char* verb : kVerbs) {
        if (word == verb)
            return true;
    }
    return false;
}

}  // namespace

// Runs wherever oci-lite fails or warns with a classic text.
OraError MakeOraError(int code)
{
    return MakeOraError(code, ClassicText(code));
}

// Runs wherever a record needs a text of its own.
OraError MakeOraError(int code, const std::string& message)
{
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "ORA-%05d: ", code);
    OraError error;
    error.code = code;
    error.text = prefix + message + "\n";
    return error;
}

// Runs when SQLite refuses to compile or run a statement.
OraError FromSqlite(int sqliteCode, const std::string& message, const std::string& sqlText)
{
    switch (sqliteCode & 0xff) {
    case SQLITE_AUTH:
        return MakeOraError(kOraInsufficientPrivileges);
    case SQLITE_READONLY:
        return MakeOraError(kOraReadOnly);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return MakeOraError(kOraResourceBusy);
    case SQLITE_RANGE:
        return MakeOraError(kOraIllegalVariable);
    case SQLITE_INTERRUPT:  // the time budget or a break
        return MakeOraError(kOraUserCancel);
    case SQLITE_NOMEM:
    case SQLITE_TOOBIG:
        return MakeOraError(kOraOutOfProcessMemory,
                            "out of process memory when trying to allocate " +
                                std::to_string(Limits::kValueBytes) + " bytes (sqlite,statement)");
    default:
        break;
    }
    // oci-lite's own SQL functions fail with the Oracle record's text.
    if (StartsWith(message, "ORA-") && message.size() > 11 && message.compare(9, 2, ": ") == 0) {
        return MakeOraError(std::atoi(message.c_str() + 4), message.substr(11));
    }
    if (StartsWith(message, "no such table:"))
        return MakeOraError(kOraTableNotFound);
    if (StartsWith(message, "no such column:") || StartsWith(message, "no such function:")) {
        std::string name = message.substr(message.find(':') + 1);
        while (!name.empty() && name.front() == ' ')
            name.erase(0, 1);
        return MakeOraError(kOraInvalidIdentifier, QuoteIdentifier(name) + ": invalid identifier");
    }
    if (StartsWith(message, "ambiguous column name"))
        return MakeOraError(kOraColumnAmbiguous);
    if (message.find("syntax error") != std::string::npos ||
        StartsWith(message, "incomplete input") || StartsWith(message, "unrecognized token")) {
        return MakeOraError(IsSqlVerb(FirstWord(sqlText)) ? kOraNotProperlyEnded
                                                          : kOraInvalidSqlStatement);
    }
    if (StartsWith(message, "not authorized"))
        return MakeOraError(kOraInsufficientPrivileges);
    return MakeOraError(kOraInternal, std::string("internal error code, arguments: [oci-lite], [") +
                                          message + "]");
}

}  // namespace ocilite
