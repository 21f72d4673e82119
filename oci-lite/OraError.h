// OraError.h
//
// OraError: one Oracle diagnostic (number and full record text, "ORA-NNNNN: text\n"), made from
// the classic message table, and the translation of SQLite's failures into the nearest Oracle
// error. Every text oci-lite puts into an error handle is built here, so the wording lives in
// one place.
#pragma once

#include <string>

namespace ocilite {

struct OraError {
    int code = 0;      // Oracle error number; 0 means "no error"
    std::string text;  // the record text, ending with "\n"

    bool IsError() const { return code != 0; }
};

// Oracle error numbers that oci-lite raises.
enum OraCode : int {
    kOraNone = 0,
    kOraResourceBusy = 54,
    kOraInternal = 600,
    kOraInvalidSqlStatement = 900,
    kOraInvalidIdentifier = 904,
    kOraColumnAmbiguous = 918,
    kOraInvalidOption = 922,
    kOraNotProperlyEnded = 933,
    kOraTableNotFound = 942,
    kOraFetchOutOfSequence = 1002,
    kOraNullPassword = 1005,
    kOraNotInSelectList = 1007,
    kOraNotAllBound = 1008,
    kOraNotLoggedOn = 1012,
    kOraUserCancel = 1013,
    kOraInvalidLogon = 1017,
    kOraInsufficientPrivileges = 1031,
    kOraNotAvailable = 1034,
    kOraIllegalVariable = 1036,
    kOraNoDataFound = 1403,
    kOraInvalidAlterSessionOption = 2248,
    kOraFetchedNull = 1405,
    kOraFetchedTruncated = 1406,
    kOraIntegerOverflow = 1455,
    kOraInvalidNumber = 1722,
    kOraEndOfFile = 3113,
    kOraNotConnected = 3114,
    kOraOutOfProcessMemory = 4030,
    kOraUnsupportedType = 3115,
    kOraCannotResolve = 12154,
    kOraInvalidNlsEnvironment = 12705,
    kOraInvalidCharset = 12715,
    kOraNoListener = 12541,
    kOraReadOnly = 16000,
    kOraAccountLocked = 28000,
    kOraPasswordExpired = 28001,
    kOraPasswordWillExpire = 28002,
    kOraAlreadyConnected = 24309,
    kOraIllegalAttribute = 24315,
    kOraAlreadyAuthenticated = 24313,
    kOraZeroIterations = 24333,
    kOraNotPrepared = 24337,
    kOraNotExecuted = 24338,
    kOraTruncationOrNull = 24345,
    kOraDefineNotDone = 24374,
    kOraInvalidFetch = 24391,
};

// Builds the record for a code from the classic message table.
OraError MakeOraError(int code);

// Builds a record whose text after "ORA-NNNNN: " is given (ORA-00904 names the identifier).
OraError MakeOraError(int code, const std::string& message);

// Translates a failed SQLite call (result code and sqlite3_errmsg text) into an Oracle error;
// sqlText is the statement, consulted to tell ORA-00900 from ORA-00933. A statement that ran
// out of SQLite's memory or length limits gets ORA-04030.
OraError FromSqlite(int sqliteCode, const std::string& sqliteMessage, const std::string& sqlText);

}  // namespace ocilite
