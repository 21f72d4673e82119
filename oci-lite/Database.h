// Database.h
//
// The SQLite side of the simulated server.
//   DatabaseLocator  - turns an untrusted connect string into the path of its database file
//                      ("<name in lower case>.sqlite" in OCI_LITE_HOME, else beside OCI.DLL).
//   Database         - one SQLite connection, opened read-only and watched by its AccessPolicy
//                      from the first statement on. Each session has one of its own: the logon
//                      is checked on it and it holds that session's USER_OBJECTS, USER_SOURCE,
//                      USER_VIEWS, USER_TAB_COLUMNS and DUAL (and the DBA_ views for a session
//                      that may read the dictionary), so sessions sharing a server handle never see each
//                      other's.
//                      Calls on it are serialised (Database::Call); each may have a time budget
//                      and may be broken through the server handle's ServerLink.
//   ServerConnection - one attach of a server handle: the file it named and the sessions begun
//                      on it; a detach closes them all.
//   Cursor           - one SQL statement run on a Database: positional binds, row stepping,
//                      every SQLite failure turned into an Oracle error.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "oci-lite/AccessPolicy.h"
#include "oci-lite/ClientCharset.h"
#include "oci-lite/NlsSettings.h"
#include "oci-lite/OraError.h"
#include "oci-lite/ServerLink.h"

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

    // Opens the file at utf8Path read-only, with the access policy in place before anything runs,
    // and checks that it is a database.
    // The link is the server handle's: its breaks reach this connection's calls.
    static OraError Open(const std::string& utf8Path, std::shared_ptr<ServerLink> link,
                         std::shared_ptr<Database>* database);

    // Checks user and password, the account's state (and the SYSDBA flag when asked) and
    // installs the session views for the session user, who is SYS for a SYSDBA logon;
    // sessionUser receives that name. A logon that succeeds with a warning (the password's grace
    // period) leaves it in *warning, else *warning is cleared.
    // nls gives the views' text columns their collation: the linguistic one for ORDER BY
    // (LinguisticSort), or, under NLS_COMP=LINGUISTIC with a _CI or _AI sort, one that compares
    // =, IN, GROUP BY and ORDER BY that way; LIKE follows it too.
    // An external logon (a credential of the password store) is checked as a password logon,
    // but never becomes SYSDBA (ORA-01031 once the account's state passed).
    OraError BeginSession(const std::string& user, const std::string& password, bool sysdba,
                          bool external, const SessionNls& nls, std::string* sessionUser,
                          OraError* warning);

    // ALTER SESSION SET NLS_COMP = ... NLS_SORT = ...: the session compares and sorts as the
    // values say from now on (an empty value leaves its setting as it is). Runs within a Call.
    OraError AlterSession(const std::string& nlsComp, const std::string& nlsSort);

    // Closes the connection (waiting for a call in progress); statements still open on it fail
    // from then on.
    void Close();
    bool IsOpen() const { return m_open.load(); }

    // Holds the connection for one call that talks to the server (an execute, a fetch's round
    // trip): other threads wait, the call's time budget runs, and a break on the server handle
    // reaches it. Its statements are interrupted (SQLITE_INTERRUPT, so ORA-01013) once the budget
    // is spent or a break came.
    class Call {
    public:
        explicit Call(Database& database);
        ~Call();
        Call(const Call&) = delete;
        Call& operator=(const Call&) = delete;

        enum class Trip { kDone, kBroken, kOverBudget };

        // Counts one round trip and waits for it: the link's latency and, with serverWork, the
        // server's simulated work. Ends early when a break comes or the budget runs out.
        Trip RoundTrip(bool serverWork);
        bool WasBroken() const { return m_database.m_link->IsBroken(); }
        // The round trip that carries a break to the server and its answer back.
        void CarryBreak();

    private:
        Database& m_database;
        std::lock_guard<std::mutex> m_lock;
    };

    // Compiles a session's statement under the access policy; runs within a Call.
    OraError Compile(const std::string& sql, sqlite3_stmt** stmt, const char** tail);

    // The database's own character set (database_properties' NLS_CHARACTERSET, AL32UTF8 when
    // absent): its texts are stored in UTF-8 but counted in its bytes, and hold only characters
    // it has.
    const ClientCharset& Charset() const { return m_charset; }
    // CURSOR_SHARING=FORCE: statements' literals become binds before they are described.
    bool ForcesCursorSharing() const { return m_forcesCursorSharing; }

    // The SQLite connection; used within a Call only.
    sqlite3* Handle() const { return m_db; }

private:
    Database(sqlite3* db, std::shared_ptr<ServerLink> link)
        : m_db(db), m_open(db != nullptr), m_link(std::move(link))
    {}
    std::set<std::string> UserColumns();
    OraError InstallViews();
    OraError ReadProperties();
    bool InstallViewViews(const std::function<std::string(const char*)>& text,
                          const std::string& owner);
    static const char kViewColumns[];
    bool Exec(const std::string& sql);
    bool InstallSessionContext(const std::string& sessionUser);
    static int OnProgress(void* self);

    std::mutex m_callMutex;  // held by each Call and by Close
    sqlite3* m_db;
    std::atomic<bool> m_open;
    std::atomic<unsigned long long> m_deadline{
        0};  // host::MonotonicMilliseconds value; 0: no budget running
    std::shared_ptr<ServerLink> m_link;
    AccessPolicy m_policy;
    // What the session views were made for.
    std::string m_sessionUser;
    bool m_readsDictionary = false;
    SessionNls m_nls;
    ClientCharset m_charset = ClientCharset::Utf8();
    bool m_forcesCursorSharing = false;
    bool m_likeIgnoresCase = false;  // read by LIKE ... ESCAPE at each call
    bool m_holdsViews = false;       // the file has the tables views and view_columns
    std::string m_dbaViewColumns;    // of the release the server plays
};

class ServerConnection {
public:
    ServerConnection() : m_link(std::make_shared<ServerLink>()) {}
    ~ServerConnection() { Detach(); }
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Opens the file once to see that it is a database, and remembers it for the sessions.
    OraError Attach(const std::string& utf8Path, const std::string& connectString);
    // The connect string of the attach, as given (an external logon looks its credential up).
    std::string ConnectString() const;
    bool IsAttached() const;

    // Opens the session's own connection to the attached file and logs on there.
    OraError BeginSession(const std::string& user, const std::string& password, bool sysdba,
                          bool external, const SessionNls& nls, std::shared_ptr<Database>* database,
                          std::string* sessionUser, OraError* warning);

    // Ends every session begun on this attach and forgets the file.
    void Detach();

    // The link OCIBreak reaches through this server handle; it outlives the handle when held.
    std::shared_ptr<ServerLink> Link() const { return m_link; }

private:
    mutable std::mutex m_mutex;
    std::string m_path;  // empty while detached
    std::string m_connectString;
    std::vector<std::weak_ptr<Database>> m_sessions;
    const std::shared_ptr<ServerLink> m_link;
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
    // The name of select-list column index (0-based) as the statement gives it, upper case.
    std::string ColumnName(int index) const;
    // Whether select-list column index is a LONG: a view's TEXT, selected as it is.
    bool IsLongColumn(int index) const;
    bool IsQuery() const;

    // Binds position (1-based): null, integer or text.
    OraError BindNull(int position);
    OraError BindInteger(int position, long long value);
    OraError BindReal(int position, double value);
    OraError BindText(int position, const std::string& value);

    // Steps once; *row receives the values, *done is set at the end of the rows.
    OraError Step(Row* row, bool* done);

    // The connection of the last prepare, or null.
    const std::shared_ptr<Database>& GetDatabase() const { return m_database; }

    // Forgets the rows and bindings so that the statement can run again.
    void Reset();
    void Finalize();

private:
    std::shared_ptr<Database> m_database;
    sqlite3_stmt* m_stmt = nullptr;
    std::string m_sql;
};

}  // namespace ocilite
