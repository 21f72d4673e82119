#include "oci-lite/Database.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "oci-lite/Diagnostics.h"
#include "oci-lite/Host.h"
#include "oci-lite/Limits.h"
#include "oci-lite/ByteFunctions.h"
#include "oci-lite/CursorSharing.h"
#include "oci-lite/LikeEscape.h"
#include "oci-lite/LinguisticSort.h"
#include "sqlite3.h"

namespace ocilite {

namespace {

// Quotes a text as an SQL literal, doubling embedded quotes.
std::string SqlLiteral(const std::string& text)
{
    std::string literal = "'";
    for (char c : text) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return literal + "'";
}

// The integer in decimal digits, a minus sign first when negative.
void AssignDecimal(long long number, std::string* text)
{
    char digits[24];
    char* end = digits + sizeof digits;
    char* at = end;
    unsigned long long magnitude = number < 0 ? 0ull - static_cast<unsigned long long>(number)
                                              : static_cast<unsigned long long>(number);
    do {
        *--at = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (number < 0)
        *--at = '-';
    text->assign(at, static_cast<size_t>(end - at));
}

// Copies the current row of stmt into row, reusing the row's values and their texts' memory.
// The caller holds the connection's mutex: each column is read through its value, which takes
// the mutex once instead of once per read.
void ReadRow(sqlite3_stmt* stmt, Row* row)
{
    int count = sqlite3_column_count(stmt);
    row->resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Value& value = (*row)[static_cast<size_t>(i)];
        sqlite3_value* column = sqlite3_column_value(stmt, i);
        value.integer = 0;
        value.real = 0;
        value.text.clear();
        switch (sqlite3_value_type(column)) {
        case SQLITE_NULL:
            value.kind = Value::kNull;
            continue;
        case SQLITE_INTEGER:
            value.kind = Value::kInteger;
            value.integer = sqlite3_value_int64(column);
            // Printed here as SQLite prints an integer, without SQLite making a text of it.
            AssignDecimal(value.integer, &value.text);
            continue;
        case SQLITE_FLOAT:
            value.kind = Value::kReal;
            value.real = sqlite3_value_double(column);
            break;
        default:
            value.kind = Value::kText;
            break;
        }
        const unsigned char* text = sqlite3_value_text(column);
        int bytes = sqlite3_value_bytes(column);
        if (text != nullptr)
            value.text.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes));
    }
}

}  // namespace

// ---- DatabaseLocator ----

// Runs at server attach, before the connect string becomes part of a path.
bool DatabaseLocator::IsAcceptableName(const std::string& name)
{
    if (name.empty() || name.size() > 128)
        return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) || c == '_' || c == '-' || c == '.' || c == '$' || c == '#'))
            return false;
    }
    if (name.front() == '.' || name.back() == '.' || name.find("..") != std::string::npos) {
        return false;
    }
    // Windows opens a device, not a file, for these names whatever their extension; they are
    // refused on every system alike, so that a connect string works everywhere or nowhere.
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const char* const kDevices[] = {"con",    "prn",     "aux",   "nul",
                                           "conin$", "conout$", "clock$"};
    for (const char* device : kDevices) {
        if (base == device)
            return false;
    }
    if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
        std::isdigit(static_cast<unsigned char>(base[3]))) {
        return false;
    }
    return true;
}

// Runs at every server attach, so that a test may set OCI_LITE_HOME late.
std::string DatabaseLocator::HomeFolder()
{
    const std::string home = host::Environment("OCI_LITE_HOME");
    if (!home.empty())
        return home;
    std::string folder;
    if (!host::LibraryFolder(&folder))
        return std::string();
    if (folder.empty())
        return std::string(".");
    return folder.size() > 1 ? folder.substr(0, folder.size() - 1) : folder;
}

// Runs at server attach: a name without its file does not resolve.
bool DatabaseLocator::FileExists(const std::string& utf8Path)
{
    return host::IsFile(utf8Path);
}

// Runs at server attach.
std::string DatabaseLocator::PathFor(const std::string& connectString)
{
    if (!IsAcceptableName(connectString))
        return std::string();
    std::string home = HomeFolder();
    if (home.empty())
        return std::string();
    std::string file = connectString;
    for (char& c : file)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return host::JoinPath(home, file + ".sqlite");
}

// ---- Database ----

// Runs when the last session, statement or attach lets go of the connection.
Database::~Database()
{
    Close();
}

// Runs at server attach (to probe the file) and at each session begin. The authorizer is in
// place before the first statement, oci-lite's own included; SQLite's own mutex is on as well,
// so that finalizing a statement on one thread while another steps a query stays safe.
OraError Database::Open(const std::string& utf8Path, std::shared_ptr<ServerLink> link,
                        std::shared_ptr<Database>* database)
{
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(utf8Path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return MakeOraError(kOraCannotResolve);
    }
    std::shared_ptr<Database> opened(new Database(db, std::move(link)));
    opened->m_policy.Install(db);
    sqlite3_progress_handler(db, 1000, &Database::OnProgress, opened.get());
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, Limits::kValueBytes);
    sqlite3_hard_heap_limit64(Limits::kHeapBytes);
    sqlite3_busy_timeout(db, 2000);
    std::set<std::string> tables;
    {
        AccessPolicy::Trusted trusted(opened->m_policy);
        // Sorts and temporary tables grow in memory, where the heap limit sees them, not on disk.
        sqlite3_exec(db, "PRAGMA temp_store = MEMORY", nullptr, nullptr, nullptr);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT lower(name) FROM main.sqlite_master", -1, &stmt,
                               nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            return MakeOraError(kOraNotAvailable);
        }
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* name = sqlite3_column_text(stmt, 0);
            if (name != nullptr)
                tables.insert(reinterpret_cast<const char*>(name));
        }
        rc = sqlite3_finalize(stmt);
    }
    if (rc != SQLITE_OK)
        return MakeOraError(kOraNotAvailable);
    if (tables.count("database_properties") != 0) {
        OraError error = opened->ReadProperties();
        if (error.IsError())
            return error;
    }
    opened->m_holdsViews = tables.count("views") != 0 && tables.count("view_columns") != 0;
    opened->m_policy.SetBaseTables(std::move(tables));
    *database = std::move(opened);
    return OraError();
}

// Runs at open when the file has the table. NLS_CHARACTERSET names one of the sets oci-lite
// knows (AL32UTF8 when absent), CURSOR_SHARING is EXACT (when absent) or FORCE (SIMILAR, which
// Oracle has made behave as FORCE since 12.1, too); another value fails the open (ORA-12715 for
// an unknown set, ORA-01034 for the rest), as no server runs with it.
OraError Database::ReadProperties()
{
    AccessPolicy::Trusted trusted(m_policy);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db,
                           "SELECT upper(property_name), upper(trim(property_value)) FROM "
                           "main.database_properties",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return MakeOraError(kOraNotAvailable);
    }
    OraError error;
    while (!error.IsError() && sqlite3_step(stmt) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(stmt, 0);
        const unsigned char* value = sqlite3_column_text(stmt, 1);
        const std::string property = name ? reinterpret_cast<const char*>(name) : "";
        const std::string setting = value ? reinterpret_cast<const char*>(value) : "";
        if (property == "NLS_CHARACTERSET") {
            if (!ClientCharset::FromName(setting, &m_charset))
                error = MakeOraError(kOraInvalidCharset);
        } else if (property == "CURSOR_SHARING") {
            if (setting == "FORCE" || setting == "SIMILAR")
                m_forcesCursorSharing = true;
            else if (setting != "EXACT")
                error = MakeOraError(kOraNotAvailable);
        }
    }
    sqlite3_finalize(stmt);
    return error;
}

// Runs the statements oci-lite itself needs (checks, views), past the access policy.
bool Database::Exec(const std::string& sql)
{
    AccessPolicy::Trusted trusted(m_policy);
    return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

namespace {

// What a users row says about logging on: the account's state as Oracle names it ("OPEN",
// "EXPIRED(GRACE)", "LOCKED", "LOCKED(TIMED)", "EXPIRED", or several joined by " & ").
struct AccountState {
    bool locked = false;
    bool expired = false;
    bool inGrace = false;
};

AccountState ParseAccountStatus(const std::string& status)
{
    AccountState state;
    size_t start = 0;
    while (start <= status.size()) {
        size_t end = status.find('&', start);
        if (end == std::string::npos)
            end = status.size();
        std::string part = status.substr(start, end - start);
        part.erase(0, part.find_first_not_of(' '));
        part.erase(part.find_last_not_of(' ') + 1);
        for (char& c : part)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (part.compare(0, 6, "LOCKED") == 0)
            state.locked = true;
        if (part == "EXPIRED")
            state.expired = true;
        if (part == "EXPIRED(GRACE)")
            state.inGrace = true;
        start = end + 1;
    }
    return state;
}

}  // namespace

// The optional columns of users are looked up once per logon: a file made before they existed
// logs everyone on as OPEN and without the dictionary privilege.
std::set<std::string> Database::UserColumns()
{
    std::set<std::string> columns;
    AccessPolicy::Trusted trusted(m_policy);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT lower(name) FROM pragma_table_info('users')", -1, &stmt,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* name = sqlite3_column_text(stmt, 0);
            if (name != nullptr)
                columns.insert(reinterpret_cast<const char*>(name));
        }
    }
    sqlite3_finalize(stmt);
    return columns;
}

// A wrong password is ORA-01017 whatever the account's state; a right one meets the state:
// LOCKED before EXPIRED before the grace period's warning.
OraError Database::BeginSession(const std::string& user, const std::string& password, bool sysdba,
                                bool external, const SessionNls& nls, std::string* sessionUser,
                                OraError* warning)
{
    std::lock_guard<std::mutex> lock(m_callMutex);
    if (!IsOpen())
        return MakeOraError(kOraNotConnected);
    std::set<std::string> columns = UserColumns();
    std::string sql = std::string("SELECT password, sysdba, ") +
                      (columns.count("account_status") ? "account_status" : "'OPEN'") + ", " +
                      (columns.count("select_any_dictionary") ? "select_any_dictionary" : "0") +
                      " FROM main.users WHERE name = ?1";
    bool known = false;
    bool passwordMatches = false;
    bool mayBeSysdba = false;
    bool readsDictionary = false;
    std::string status;
    {
        AccessPolicy::Trusted trusted(m_policy);
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(stmt);
            return MakeOraError(kOraNotAvailable);
        }
        sqlite3_bind_text(stmt, 1, user.data(), static_cast<int>(user.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            known = true;
            const void* stored = sqlite3_column_blob(stmt, 0);
            int storedBytes = sqlite3_column_bytes(stmt, 0);
            passwordMatches = stored != nullptr &&
                              static_cast<size_t>(storedBytes) == password.size() &&
                              std::memcmp(stored, password.data(), password.size()) == 0;
            mayBeSysdba = sqlite3_column_int(stmt, 1) == 1;
            const unsigned char* text = sqlite3_column_text(stmt, 2);
            status = text != nullptr ? reinterpret_cast<const char*>(text) : "OPEN";
            readsDictionary = sqlite3_column_int(stmt, 3) == 1;
        }
        sqlite3_finalize(stmt);
    }
    if (!known || !passwordMatches)
        return MakeOraError(kOraInvalidLogon);
    AccountState account = ParseAccountStatus(status);
    if (account.locked)
        return MakeOraError(kOraAccountLocked);
    if (account.expired)
        return MakeOraError(kOraPasswordExpired);
    if (sysdba && (external || !mayBeSysdba))
        return MakeOraError(kOraInsufficientPrivileges);
    *sessionUser = sysdba ? std::string("SYS") : user;
    m_sessionUser = *sessionUser;
    m_readsDictionary = sysdba || readsDictionary;
    m_nls = nls;
    OraError failure = InstallViews();
    if (failure.IsError())
        return failure;
    if (!InstallSessionContext(*sessionUser))
        return MakeOraError(kOraNotAvailable);
    *warning = account.inGrace ? MakeOraError(kOraPasswordWillExpire) : OraError();
    return OraError();
}

// The public views read only through the hidden ones, the only views the access policy lets
// read the base tables. The DBA_ views exist only for a session that may read the dictionary,
// so that for everyone else they do not exist at all (ORA-00942). The session's sort and
// comparison reach ORDER BY, =, IN and GROUP BY through the collation of the views' text
// columns; the USER_ views pick the owner's rows by the bytes (the same rows, as the linguistic
// collation tells only identical texts equal), so that an index on the owner still serves them.
// LIKE compares bytes unless the session compares without case (ASCII letters only).
OraError Database::InstallViews()
{
    if (!LinguisticSort::Install(m_db, m_nls.SortsLinguistically()) ||
        !ByteFunctions::Install(m_db, &m_charset) || !CursorSharing::Install(m_db))
        return MakeOraError(kOraNotAvailable);
    const TextComparison comparison = m_nls.Comparison();
    m_likeIgnoresCase = comparison != TextComparison::kBinary;
    if (!Exec(std::string("PRAGMA case_sensitive_like = ") + (m_likeIgnoresCase ? "OFF" : "ON")) ||
        !LikeEscape::Install(m_db, &m_likeIgnoresCase))
        return MakeOraError(kOraNotAvailable);
    const char* collation =
        comparison == TextComparison::kCaseInsensitive     ? LinguisticSort::kCaseInsensitiveName
        : comparison == TextComparison::kAccentInsensitive ? LinguisticSort::kAccentInsensitiveName
        : m_nls.SortsLinguistically()                      ? LinguisticSort::kCollationName
                                                           : nullptr;
    const bool readsDictionary = m_readsDictionary;
    std::string owner = SqlLiteral(m_sessionUser);
    const std::string& objects = m_policy.HiddenObjectsView();
    const std::string& source = m_policy.HiddenSourceView();
    std::string collate =
        collation != nullptr ? std::string(" COLLATE ") + collation : std::string();
    auto text = [&collate](const char* column) { return std::string(column) + collate; };
    bool ok = Exec("CREATE TEMP VIEW " + objects +
                   "(OWNER, OBJECT_NAME, OBJECT_TYPE, STATUS) AS SELECT " + text("owner") + ", " +
                   text("object_name") + ", " + text("object_type") + ", " + text("status") +
                   " FROM main.objects") &&
              Exec("CREATE TEMP VIEW " + source + "(OWNER, NAME, TYPE, LINE, TEXT) AS SELECT " +
                   text("owner") + ", " + text("name") + ", " + text("type") + ", line, " +
                   text("text") + " FROM main.source") &&
              Exec("CREATE TEMP VIEW USER_OBJECTS(OBJECT_NAME, OBJECT_TYPE, STATUS) AS "
                   "SELECT OBJECT_NAME, OBJECT_TYPE, STATUS FROM " +
                   objects + " WHERE OWNER COLLATE BINARY = " + owner) &&
              Exec("CREATE TEMP VIEW USER_SOURCE(NAME, TYPE, LINE, TEXT) AS "
                   "SELECT NAME, TYPE, LINE, TEXT FROM " +
                   source + " WHERE OWNER COLLATE BINARY = " + owner) &&
              Exec("CREATE TEMP VIEW DUAL(DUMMY) AS SELECT " + text("'X'"));
    ok = ok && InstallViewViews(text, owner);
    if (ok && readsDictionary) {
        ok = Exec("CREATE TEMP VIEW DBA_OBJECTS(OWNER, OBJECT_NAME, OBJECT_TYPE, STATUS) AS "
                  "SELECT OWNER, OBJECT_NAME, OBJECT_TYPE, STATUS FROM " +
                  objects) &&
             Exec("CREATE TEMP VIEW DBA_SOURCE(OWNER, NAME, TYPE, LINE, TEXT) AS "
                  "SELECT OWNER, NAME, TYPE, LINE, TEXT FROM " +
                  source) &&
             Exec("CREATE TEMP VIEW DBA_VIEWS(" + m_dbaViewColumns + ") AS SELECT " +
                  m_dbaViewColumns + " FROM " + m_policy.HiddenViewsView()) &&
             Exec("CREATE TEMP VIEW DBA_TAB_COLUMNS(OWNER, TABLE_NAME, COLUMN_NAME, COLUMN_ID) AS "
                  "SELECT OWNER, TABLE_NAME, COLUMN_NAME, COLUMN_ID FROM " +
                  m_policy.HiddenViewColumnsView());
    }
    return ok ? OraError() : MakeOraError(kOraNotAvailable);
}

// The columns of DBA_VIEWS; USER_VIEWS has them without OWNER.
const char Database::kViewColumns[] =
    "OWNER, VIEW_NAME, TEXT_LENGTH, TEXT, TEXT_VC, TYPE_TEXT, VIEW_TYPE, EDITIONING_VIEW, BEQUEATH";

namespace {

// The release the server plays, from OCI_LITE_SERVER_VERSION ("11.2"), read at each logon, as
// major * 10 + minor; unset or unreadable: a current one.
int ServerRelease()
{
    const std::string value = host::Environment("OCI_LITE_SERVER_VERSION");
    int major = 0;
    int minor = 0;
    if (value.empty() || std::sscanf(value.c_str(), "%d.%d", &major, &minor) < 1 || major <= 0)
        return 190;
    return major * 10 + minor;
}

}  // namespace

// The views of the file's views and their columns (empty when the file has no such tables).
// TEXT is the stored column itself, not an expression of it, so that a statement's column can
// be traced to it: it is a LONG (Statement). TEXT_LENGTH counts the text's bytes, TEXT_VC holds
// its first 4,000. VIEW_TYPE is NULL: a typed view is known here by its TYPE_TEXT alone.
bool Database::InstallViewViews(const std::function<std::string(const char*)>& text,
                                const std::string& owner)
{
    const std::string& views = m_policy.HiddenViewsView();
    const std::string& columns = m_policy.HiddenViewColumnsView();
    bool ok;
    if (m_holdsViews) {
        ok = Exec("CREATE TEMP VIEW " + views + "(" + kViewColumns + ") AS SELECT " +
                  text("owner") + ", " + text("view_name") +
                  ", length(CAST(text AS BLOB)), text, SUBSTRB(text, 1, 4000), " +
                  text("type_text") + ", CAST(NULL AS TEXT), " + text("editioning_view") + ", " +
                  text("bequeath") + " FROM main.views") &&
             Exec("CREATE TEMP VIEW " + columns +
                  "(OWNER, TABLE_NAME, COLUMN_NAME, COLUMN_ID) AS SELECT " + text("owner") + ", " +
                  text("view_name") + ", " + text("column_name") +
                  ", column_id FROM main.view_columns");
    } else {
        ok = Exec("CREATE TEMP VIEW " + views + "(" + kViewColumns +
                  ") AS SELECT NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL WHERE 0") &&
             Exec("CREATE TEMP VIEW " + columns +
                  "(OWNER, TABLE_NAME, COLUMN_NAME, COLUMN_ID) AS SELECT NULL, NULL, NULL, NULL "
                  "WHERE 0");
    }
    // Before 12.1 the views have neither TEXT_VC nor BEQUEATH, before 11.2 no EDITIONING_VIEW.
    const int release = ServerRelease();
    std::string userColumns = "VIEW_NAME, TEXT_LENGTH, TEXT, TYPE_TEXT, VIEW_TYPE";
    if (release >= 112)
        userColumns += ", EDITIONING_VIEW";
    if (release >= 121)
        userColumns += ", TEXT_VC, BEQUEATH";
    m_dbaViewColumns = "OWNER, " + userColumns;
    return ok &&
           Exec("CREATE TEMP VIEW USER_VIEWS(" + userColumns + ") AS SELECT " + userColumns +
                " FROM " + views + " WHERE OWNER COLLATE BINARY = " + owner) &&
           Exec("CREATE TEMP VIEW USER_TAB_COLUMNS(TABLE_NAME, COLUMN_NAME, COLUMN_ID) AS SELECT "
                "TABLE_NAME, COLUMN_NAME, COLUMN_ID FROM " +
                columns + " WHERE OWNER COLLATE BINARY = " + owner);
}

OraError Database::AlterSession(const std::string& nlsComp, const std::string& nlsSort)
{
    if (!nlsComp.empty())
        m_nls.nlsComp = nlsComp;
    if (!nlsSort.empty())
        m_nls.nlsSort = nlsSort;
    const char* const views[] = {"DBA_SOURCE",      "DBA_OBJECTS", "DBA_VIEWS",
                                 "DBA_TAB_COLUMNS", "DUAL",        "USER_SOURCE",
                                 "USER_OBJECTS",    "USER_VIEWS",  "USER_TAB_COLUMNS"};
    bool ok = true;
    for (const char* view : views)
        ok = ok && Exec(std::string("DROP VIEW IF EXISTS temp.") + view);
    ok = ok && Exec("DROP VIEW IF EXISTS temp." + m_policy.HiddenViewsView()) &&
         Exec("DROP VIEW IF EXISTS temp." + m_policy.HiddenViewColumnsView()) &&
         Exec("DROP VIEW IF EXISTS temp." + m_policy.HiddenSourceView()) &&
         Exec("DROP VIEW IF EXISTS temp." + m_policy.HiddenObjectsView());
    return ok ? InstallViews() : MakeOraError(kOraNotAvailable);
}

namespace {

std::string UpperAscii(const unsigned char* text)
{
    std::string upper = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// SYS_CONTEXT(namespace, parameter): in USERENV, SESSION_USER, CURRENT_USER and CURRENT_SCHEMA
// give the session user; another USERENV parameter is ORA-02003, as the server says for one it
// does not know; another namespace gives NULL, as an application context without the value.
void SysContext(sqlite3_context* context, int count, sqlite3_value** values)
{
    if (count != 2) {
        sqlite3_result_error(context, "ORA-00909: invalid number of arguments", -1);
        return;
    }
    const std::string space = UpperAscii(sqlite3_value_text(values[0]));
    const std::string parameter = UpperAscii(sqlite3_value_text(values[1]));
    if (space != "USERENV") {
        sqlite3_result_null(context);
        return;
    }
    if (parameter == "SESSION_USER" || parameter == "CURRENT_USER" ||
        parameter == "CURRENT_SCHEMA") {
        const auto* user = static_cast<const std::string*>(sqlite3_user_data(context));
        sqlite3_result_text(context, user->data(), static_cast<int>(user->size()),
                            SQLITE_TRANSIENT);
        return;
    }
    sqlite3_result_error(context, "ORA-02003: invalid USERENV parameter", -1);
}

void DeleteUser(void* user)
{
    delete static_cast<std::string*>(user);
}

}  // namespace

bool Database::InstallSessionContext(const std::string& sessionUser)
{
    auto* user = new std::string(sessionUser);
    return sqlite3_create_function_v2(m_db, "SYS_CONTEXT", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                      user, &SysContext, nullptr, nullptr,
                                      &DeleteUser) == SQLITE_OK;
}

// Runs at session end, at server detach and when the last owner lets go; waits for a call in
// progress on another thread.
void Database::Close()
{
    std::lock_guard<std::mutex> lock(m_callMutex);
    if (m_db == nullptr)
        return;
    m_open.store(false);
    // close_v2 waits for statements that are still prepared, so a statement handle freed after
    // its session can still finalize safely.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

Database::Call::Call(Database& database) : m_database(database), m_lock(database.m_callMutex)
{
    unsigned budget = Limits::Instance().QueryTimeoutMs();
    m_database.m_deadline.store(budget == 0 ? 0 : host::MonotonicMilliseconds() + budget);
    m_database.m_link->BeginCall();
}

Database::Call::~Call()
{
    m_database.m_link->EndCall();
    m_database.m_deadline.store(0);
}

Database::Call::Trip Database::Call::RoundTrip(bool serverWork)
{
    Diagnostics& diagnostics = Diagnostics::Instance();
    diagnostics.CountRoundTrip();
    unsigned long long wait = diagnostics.RoundTripDelay();
    if (serverWork)
        wait += diagnostics.ServerWork();
    switch (m_database.m_link->Wait(wait, m_database.m_deadline.load())) {
    case ServerLink::WaitOutcome::kBroken:
        return Trip::kBroken;
    case ServerLink::WaitOutcome::kDeadline:
        return Trip::kOverBudget;
    default:
        return Trip::kDone;
    }
}

// The break's own trip is not broken: it is the answer the client waits for.
void Database::Call::CarryBreak()
{
    Diagnostics::Instance().RoundTrip();
}

// SQLite calls this every thousand virtual machine steps of a running statement.
int Database::OnProgress(void* self)
{
    auto* database = static_cast<Database*>(self);
    unsigned long long deadline = database->m_deadline.load();
    if (deadline != 0 && host::MonotonicMilliseconds() >= deadline)
        return 1;
    return database->m_link->IsBroken() ? 1 : 0;
}

// Runs at each execute, within its Call: the text is judged before and after SQLite compiles
// it, so a refused statement reports the Oracle error of the policy, not SQLite's.
OraError Database::Compile(const std::string& sql, sqlite3_stmt** stmt, const char** tail)
{
    *stmt = nullptr;
    if (!IsOpen())
        return MakeOraError(kOraNotConnected);
    OraError refused = m_policy.CheckBeforeCompile(sql);
    if (refused.IsError())
        return refused;
    int rc = sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), stmt, tail);
    refused = m_policy.CheckAfterCompile(sql);
    if (refused.IsError() || rc != SQLITE_OK) {
        OraError error = refused.IsError() ? refused : FromSqlite(rc, sqlite3_errmsg(m_db), sql);
        sqlite3_finalize(*stmt);
        *stmt = nullptr;
        return error;
    }
    return OraError();
}

// ---- ServerConnection ----

// Runs at OCIServerAttach once the connect string named an existing file.
OraError ServerConnection::Attach(const std::string& utf8Path, const std::string& connectString)
{
    std::shared_ptr<Database> probe;
    OraError failure = Database::Open(utf8Path, m_link, &probe);
    if (failure.IsError())
        return failure;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_path = utf8Path;
    m_connectString = connectString;
    return OraError();
}

std::string ServerConnection::ConnectString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_connectString;
}

// Runs at attach, session begin and statement checks.
bool ServerConnection::IsAttached() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_path.empty();
}

// Runs at OCISessionBegin.
OraError ServerConnection::BeginSession(const std::string& user, const std::string& password,
                                        bool sysdba, bool external, const SessionNls& nls,
                                        std::shared_ptr<Database>* database,
                                        std::string* sessionUser, OraError* warning)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_path.empty())
        return MakeOraError(kOraNotConnected);
    std::shared_ptr<Database> opened;
    OraError failure = Database::Open(m_path, m_link, &opened);
    if (!failure.IsError())
        failure = opened->BeginSession(user, password, sysdba, external, nls, sessionUser, warning);
    if (failure.IsError())
        return failure;
    // Sessions that ended meanwhile leave their slot.
    m_sessions.erase(std::remove_if(m_sessions.begin(), m_sessions.end(),
                                    [](const std::weak_ptr<Database>& s) {
                                        std::shared_ptr<Database> live = s.lock();
                                        return !live || !live->IsOpen();
                                    }),
                     m_sessions.end());
    m_sessions.push_back(opened);
    *database = std::move(opened);
    return OraError();
}

// Runs at OCIServerDetach and when the server handle is freed: nothing of the sessions begun on
// this attach outlives it.
void ServerConnection::Detach()
{
    std::vector<std::weak_ptr<Database>> sessions;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_path.clear();
        sessions.swap(m_sessions);
    }
    for (const std::weak_ptr<Database>& session : sessions) {
        if (std::shared_ptr<Database> live = session.lock())
            live->Close();
    }
}

// ---- Cursor ----

// Runs when a statement handle is freed or re-prepared.
Cursor::~Cursor()
{
    Finalize();
}

// Runs at each execute, within its Call.
OraError Cursor::Prepare(const std::shared_ptr<Database>& database, const std::string& sql)
{
    Finalize();
    m_database = database;
    m_sql = sql;
    if (!database || !database->IsOpen())
        return MakeOraError(kOraNotConnected);
    const char* tail = nullptr;
    OraError error = database->Compile(sql, &m_stmt, &tail);
    if (error.IsError())
        return error;
    if (m_stmt == nullptr)
        return MakeOraError(kOraInvalidSqlStatement);  // only blanks
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
int Cursor::ParameterCount() const
{
    return m_stmt ? sqlite3_bind_parameter_count(m_stmt) : 0;
}

// Number of select-list columns, checked against the defines at execute.
int Cursor::ColumnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

std::string Cursor::ColumnName(int index) const
{
    const char* name = m_stmt ? sqlite3_column_name(m_stmt, index) : nullptr;
    std::string upper = name != nullptr ? name : "";
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// The origin of a column is known when it is a stored column selected as it is, through any
// number of views; an expression of it has none.
bool Cursor::IsLongColumn(int index) const
{
    if (m_stmt == nullptr)
        return false;
    const char* database = sqlite3_column_database_name(m_stmt, index);
    const char* table = sqlite3_column_table_name(m_stmt, index);
    const char* column = sqlite3_column_origin_name(m_stmt, index);
    return database != nullptr && table != nullptr && column != nullptr &&
           sqlite3_stricmp(database, "main") == 0 && sqlite3_stricmp(table, "views") == 0 &&
           sqlite3_stricmp(column, "text") == 0;
}

// True for statements that return rows.
bool Cursor::IsQuery() const
{
    return m_stmt != nullptr && sqlite3_column_count(m_stmt) > 0;
}

// Runs at execute for a NULL or empty bind.
OraError Cursor::BindNull(int position)
{
    int rc = sqlite3_bind_null(m_stmt, position);
    return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for an SQLT_INT bind.
OraError Cursor::BindInteger(int position, long long value)
{
    int rc = sqlite3_bind_int64(m_stmt, position, value);
    return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for an SQLT_FLT bind.
OraError Cursor::BindReal(int position, double value)
{
    int rc = sqlite3_bind_double(m_stmt, position, value);
    return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs at execute for a character bind.
OraError Cursor::BindText(int position, const std::string& value)
{
    int rc = sqlite3_bind_text(m_stmt, position, value.data(), static_cast<int>(value.size()),
                               SQLITE_TRANSIENT);
    return rc == SQLITE_OK ? OraError() : MakeOraError(kOraIllegalVariable);
}

// Runs for each row a simulated round trip brings.
OraError Cursor::Step(Row* row, bool* done)
{
    *done = false;
    if (m_stmt == nullptr || !m_database || !m_database->IsOpen()) {
        return MakeOraError(kOraNotConnected);
    }
    // The step and the row's reads under one hold of the connection's mutex: each read would
    // otherwise take and release it once more.
    sqlite3_mutex* mutex = sqlite3_db_mutex(m_database->Handle());
    sqlite3_mutex_enter(mutex);
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        ReadRow(m_stmt, row);
        sqlite3_mutex_leave(mutex);
        return OraError();
    }
    sqlite3_mutex_leave(mutex);
    if (rc == SQLITE_DONE) {
        *done = true;
        return OraError();
    }
    OraError error = FromSqlite(rc, sqlite3_errmsg(m_database->Handle()), m_sql);
    sqlite3_reset(m_stmt);
    return error;
}

// Runs before each iteration of a DML execute.
void Cursor::Reset()
{
    if (m_stmt == nullptr)
        return;
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

// Runs before a new prepare and at destruction.
void Cursor::Finalize()
{
    if (m_stmt != nullptr)
        sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
}

}  // namespace ocilite
