#include "oci-lite/Database.h"

#include <windows.h>

#include <cctype>
#include <cstring>

#include "sqlite3.h"

namespace ocilite {

namespace {

// Converts a UTF-16 string from the system into the UTF-8 that SQLite takes for file names.
std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &utf8[0], size,
                      nullptr, nullptr);
  return utf8;
}

// Quotes a text as an SQL literal, doubling embedded quotes.
std::string SqlLiteral(const std::string& text) {
  std::string literal = "'";
  for (char c : text) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

// Watches every statement a session compiles: sessions read the views and tables but may not
// reach other files or the stored passwords.
int SessionAuthorizer(void*, int action, const char* first, const char*, const char* schema,
                      const char*) {
  switch (action) {
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
    case SQLITE_PRAGMA:
      return SQLITE_DENY;
    case SQLITE_READ:
      if (first != nullptr && sqlite3_stricmp(first, "users") == 0 &&
          (schema == nullptr || sqlite3_stricmp(schema, "main") == 0)) {
        return SQLITE_DENY;
      }
      return SQLITE_OK;
    default:
      return SQLITE_OK;
  }
}

// Copies the current row of stmt into row.
void ReadRow(sqlite3_stmt* stmt, Row* row) {
  int count = sqlite3_column_count(stmt);
  row->assign(static_cast<size_t>(count), Value());
  for (int i = 0; i < count; ++i) {
    Value& value = (*row)[static_cast<size_t>(i)];
    switch (sqlite3_column_type(stmt, i)) {
      case SQLITE_NULL:
        value.kind = Value::kNull;
        continue;
      case SQLITE_INTEGER:
        value.kind = Value::kInteger;
        value.integer = sqlite3_column_int64(stmt, i);
        break;
      case SQLITE_FLOAT:
        value.kind = Value::kReal;
        value.real = sqlite3_column_double(stmt, i);
        break;
      default:
        value.kind = Value::kText;
        break;
    }
    const unsigned char* text = sqlite3_column_text(stmt, i);
    int bytes = sqlite3_column_bytes(stmt, i);
    value.text.assign(text != nullptr ? reinterpret_cast<const char*>(text) : "",
                      static_cast<size_t>(bytes));
  }
}

}  // namespace

// ---- DatabaseLocator ----

// Runs at server attach, before the connect string becomes part of a path.
bool DatabaseLocator::IsAcceptableName(const std::string& name) {
  if (name.empty() || name.size() > 128) return false;
  for (char c : name) {
    unsigned char u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || c == '_' || c == '-' || c == '.' || c == '$' || c == '#'))
      return false;
  }
  if (name.front() == '.' || name.back() == '.' || name.find("..") != std::string::npos) {
    return false;
  }
  // Windows opens a device, not a file, for these names whatever their extension.
  std::string base = name.substr(0, name.find('.'));
  for (char& c : base) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
  for (const char* device : kDevices) {
    if (base == device) return false;
  }
  if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
      std::isdigit(static_cast<unsigned char>(base[3]))) {
    return false;
  }
  return true;
}

// Runs at every server attach, so that a test may set OCI_LITE_HOME late.
std::string DatabaseLocator::HomeFolder() {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableW(L"OCI_LITE_HOME", buffer, MAX_PATH * 2);
  if (length > 0 && length < MAX_PATH * 2) return ToUtf8(std::wstring(buffer, length));
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&DatabaseLocator::HomeFolder), &module);
  length = GetModuleFileNameW(module, buffer, MAX_PATH * 2);
  if (length == 0 || length >= MAX_PATH * 2) return std::string();
  std::wstring path(buffer, length);
  size_t slash = path.find_last_of(L"\\/");
  return ToUtf8(slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash));
}

// Runs at server attach: a name without its file does not resolve.
bool DatabaseLocator::FileExists(const std::string& utf8Path) {
  int size = MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, nullptr, 0);
  if (size <= 0) return false;
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8Path.c_str(), -1, &wide[0], size);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Runs at server attach.
std::string DatabaseLocator::PathFor(const std::string& connectString) {
  if (!IsAcceptableName(connectString)) return std::string();
  std::string home = HomeFolder();
  if (home.empty()) return std::string();
  std::string file = connectString;
  for (char& c : file) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (home.back() != '\\' && home.back() != '/') home += '\\';
  return home + file + ".sqlite";
}

// ---- Database ----

// Runs when the last server handle or statement lets go of the connection.
Database::~Database() { Close(); }

// Runs at server attach. A connection serves one thread at a time (its logon's), so it takes no
// lock of its own: a worker thread ended from outside cannot leave it locked for others.
OraError Database::Open(const std::string& utf8Path, std::shared_ptr<Database>* database) {
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(utf8Path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_close_v2(db);
    return MakeOraError(kOraCannotResolve);
  }
  database->reset(new Database(db));
  if (!(*database)->Exec("SELECT count(*) FROM sqlite_master")) {
    database->reset();
    return MakeOraError(kOraNotAvailable);
  }
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  sqlite3_busy_timeout(db, 2000);
  return OraError();
}

// Runs the statements oci-lite itself needs (checks, views).
bool Database::Exec(const std::string& sql) {
  return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Runs at session begin.
OraError Database::BeginSession(const std::string& user, const std::string& password, bool sysdba,
                                std::string* sessionUser) {
  if (!IsOpen()) return MakeOraError(kOraNotConnected);
  // Our own statements run unwatched; whatever happens, the session's SQL is watched again.
  struct AuthorizerBack {
    sqlite3* db;
    ~AuthorizerBack() { sqlite3_set_authorizer(db, &SessionAuthorizer, nullptr); }
  } authorizerBack{m_db};
  sqlite3_set_authorizer(m_db, nullptr, nullptr);
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(m_db, "SELECT password, sysdba FROM main.users WHERE name = ?1", -1, &stmt,
                         nullptr) != SQLITE_OK) {
    sqlite3_finalize(stmt);
    return MakeOraError(kOraNotAvailable);
  }
  sqlite3_bind_text(stmt, 1, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
  bool known = false;
  bool passwordMatches = false;
  bool mayBeSysdba = false;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    known = true;
    const void* stored = sqlite3_column_blob(stmt, 0);
    int storedBytes = sqlite3_column_bytes(stmt, 0);
    passwordMatches = stored != nullptr && static_cast<size_t>(storedBytes) == password.size() &&
                      std::memcmp(stored, password.data(), password.size()) == 0;
    mayBeSysdba = sqlite3_column_int(stmt, 1) == 1;
  }
  sqlite3_finalize(stmt);
  if (!known || !passwordMatches) return MakeOraError(kOraInvalidLogon);
  if (sysdba && !mayBeSysdba) return MakeOraError(kOraInsufficientPrivileges);
  *sessionUser = sysdba ? std::string("SYS") : user;
  return InstallViews(*sessionUser);
}

// Runs at session begin, after the credentials were accepted.
OraError Database::InstallViews(const std::string& sessionUser) {
  std::string owner = SqlLiteral(sessionUser);
  EndSession();
  bool ok = Exec(
                "CREATE TEMP VIEW USER_OBJECTS(OBJECT_NAME, OBJECT_TYPE, STATUS) AS "
                "SELECT object_name, object_type, status FROM main.objects WHERE owner = " +
                owner) &&
            Exec(
                "CREATE TEMP VIEW USER_SOURCE(NAME, TYPE, LINE, TEXT) AS "
                "SELECT name, type, line, text FROM main.source WHERE owner = " +
                owner);
  if (!ok) {
    EndSession();
    return MakeOraError(kOraNotAvailable);
  }
  return OraError();
}

// Runs at session end, and before a new session installs its views.
void Database::EndSession() {
  if (!IsOpen()) return;
  sqlite3_set_authorizer(m_db, nullptr, nullptr);
  Exec("DROP VIEW IF EXISTS temp.USER_OBJECTS");
  Exec("DROP VIEW IF EXISTS temp.USER_SOURCE");
  sqlite3_set_authorizer(m_db, &SessionAuthorizer, nullptr);
}

// Runs at server detach and when a server handle is freed.
void Database::Close() {
  if (m_db == nullptr) return;
  // close_v2 waits for statements that are still prepared, so a statement handle freed after
  // its server can still finalize safely.
  sqlite3_close_v2(m_db);
  m_db = nullptr;
}

// ---- Cursor ----

// Runs when a statement handle is freed or re-prepared.
Cursor::~Cursor() { Finalize(); }

// Runs at each execute.
OraError Cursor::Prepare(const std::shared_ptr<Database>& database, const std::string& sql) {
  Finalize();
  m_database = database;
  m_sql = sql;
  if (!database || !database->IsOpen()) return MakeOraError(kOraNotConnected);
  const char* tail = nullptr;
  int rc = sqlite3_prepare_v2(database->Handle(), sql.data(), static_cast<int>(sql.size()), &m_stmt,
                              &tail);
  if (rc != SQLITE_OK) {
    OraError error = FromSqlite(rc, sqlite3_errmsg(database->Handle()), sql);
    Finalize();
    return error;
  }
  if (m_stmt == nullptr) return MakeOraError(kOraInvalidSqlStatement);  // only blanks
  // Oracle runs exactly one statement; anything after it is an error, not a second statement.
  const char* end = sql.data() + sql.size();
  for (const char* p = tail; p != nullptr && p < end; ++p) {
    if (!std::isspace(static_cast<unsigned char>(*p))) {
      Finalize();
      return MakeOraError(kOraNotProperlyEnded);
    }
  }
  return OraError();
}

// Number of placeholders, checked against the binds at execute.
int Cursor::ParameterCount() const { return m_stmt ? sqlite3_bind_parameter_count(m_stmt) : 0; }

// Number of select-list columns, checked against the defines at execute.
int Cursor::ColumnCount() const { return m_stmt ? sqlite3_column_count(m_stmt) : 0; }

// True for statements that return rows.
bool Cursor::IsQuery() const { return m_stmt != nullptr && sqlite3_column_count(m_stmt) > 0; }

// Runs at execute for a NULL or empty bind.
OraError Cursor::BindNull(int position) {
  int rc = sqlite3_bind_null(m_stmt, position);
  return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for an SQLT_INT bind.
OraError Cursor::BindInteger(int position, long long value) {
  int rc = sqlite3_bind_int64(m_stmt, position, value);
  return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for an SQLT_FLT bind.
OraError Cursor::BindReal(int position, double value) {
  int rc = sqlite3_bind_double(m_stmt, position, value);
  return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for a character bind.
OraError Cursor::BindText(int position, const std::string& value) {
  int rc = sqlite3_bind_text(m_stmt, position, value.data(), static_cast<int>(value.size()),
                             SQLITE_TRANSIENT);
  return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs for each row a simulated round trip brings.
OraError Cursor::Step(Row* row, bool* done) {
  *done = false;
  if (m_stmt == nullptr || !m_database || !m_database->IsOpen()) {
    return MakeOraError(kOraNotConnected);
  }
  int rc = sqlite3_step(m_stmt);
  if (rc == SQLITE_ROW) {
    ReadRow(m_stmt, row);
    return OraError();
  }
  if (rc == SQLITE_DONE) {
    *done = true;
    return OraError();
  }
  OraError error = FromSqlite(rc, sqlite3_errmsg(m_database->Handle()), m_sql);
  sqlite3_reset(m_stmt);
  return error;
}

// Runs before each iteration of a DML execute.
void Cursor::Reset() {
  if (m_stmt == nullptr) return;
  sqlite3_reset(m_stmt);
  sqlite3_clear_bindings(m_stmt);
}

// Runs before a new prepare and at destruction.
void Cursor::Finalize() {
  if (m_stmt != nullptr) sqlite3_finalize(m_stmt);
  m_stmt = nullptr;
}

}  // namespace ocilite
