// Database.h
//
// The SQLite side of one simulated server connection.
//   DatabaseLocator - turns an untrusted connect string into the path of its database file
//                     ("<name in lower case>.sqlite" in OCI_LITE_HOME, else beside OCI.DLL).
//   Database        - one SQLite connection, opened read-only at server attach: checks logons
//                     against the users table and gives each session its USER_OBJECTS and
//                     USER_SOURCE views, filtered to the session's user.
//   Cursor          - one SQL statement run on a Database: positional binds, row stepping,
//                     every SQLite failure turned into an Oracle error.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "oci-lite/OraError.h"

struct sqlite3;
struct sqlite3_stmt;

namespace ocilite {

class DatabaseLocator {
 public:
  // Validates a connect string (letters, digits, '_', '-', '.', '$', '#'; no "..", no device
  // names) and returns the UTF-8 path of its file, or an empty string when it cannot name one.
  static std::string PathFor(const std::string& connectString);

  // The folder that holds the database files: OCI_LITE_HOME when set, else OCI.DLL's folder.
  static std::string HomeFolder();

  static bool IsAcceptableName(const std::string& name);

  // True when a plain file (not a folder) exists at the UTF-8 path.
  static bool FileExists(const std::string& utf8Path);
};

// One value of a row as SQLite returned it.
struct Value {
  enum Kind { kNull, kInteger, kReal, kText } kind = kNull;
  long long integer = 0;
  double real = 0;
  std::string text;  // the text for kText, the printed number for kInteger/kReal
};

using Row = std::vector<Value>;

class Database {
 public:
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens the file at utf8Path read-only and checks that it is a database.
  static OraError Open(const std::string& utf8Path, std::shared_ptr<Database>* database);

  // Checks user and password (and the SYSDBA flag when asked) and installs the session views
  // for the session user, who is SYS for a SYSDBA logon; sessionUser receives that name.
  OraError BeginSession(const std::string& user, const std::string& password, bool sysdba,
                        std::string* sessionUser);

  // Removes the session views again at logoff.
  void EndSession();

  // Closes the connection; statements still open on it fail from then on.
  void Close();
  bool IsOpen() const { return m_db != nullptr; }
  sqlite3* Handle() const { return m_db; }

 private:
  explicit Database(sqlite3* db) : m_db(db) {}
  OraError InstallViews(const std::string& sessionUser);
  bool Exec(const std::string& sql);

  sqlite3* m_db;
};

class Cursor {
 public:
  Cursor() = default;
  ~Cursor();
  Cursor(const Cursor&) = delete;
  Cursor& operator=(const Cursor&) = delete;

  // Compiles sql on the database; a failure comes back as the Oracle error.
  OraError Prepare(const std::shared_ptr<Database>& database, const std::string& sql);

  int ParameterCount() const;
  int ColumnCount() const;
  bool IsQuery() const;

  // Binds position (1-based): null, integer or text.
  OraError BindNull(int position);
  OraError BindInteger(int position, long long value);
  OraError BindReal(int position, double value);
  OraError BindText(int position, const std::string& value);

  // Steps once; *row receives the values, *done is set at the end of the rows.
  OraError Step(Row* row, bool* done);

  // Forgets the rows and bindings so that the statement can run again.
  void Reset();
  void Finalize();

 private:
  std::shared_ptr<Database> m_database;
  sqlite3_stmt* m_stmt = nullptr;
  std::string m_sql;
};

}  // namespace ocilite
