#include "tests/oci-lite/OciLiteHarness.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sqlite3.h"
#include "support/TestSystem.h"

namespace {

// Runs SQL on a new database file; throws with SQLite's message when it fails.
void BuildDatabase(const std::string& path, const char* sql)
{
    std::remove(path.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create " + path);
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw std::runtime_error("fixture SQL failed: " + text);
}

const char kContractTables[] =
    "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT NOT NULL,"
    " sysdba INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE objects(owner TEXT NOT NULL, object_name TEXT NOT NULL,"
    " object_type TEXT NOT NULL, status TEXT NOT NULL DEFAULT 'VALID');"
    "CREATE TABLE source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,"
    " line INTEGER NOT NULL, text TEXT);";

// SCOTT owns a package with body, a function, a procedure and a trigger; BLAKE and SYS own one
// package each. Objects are inserted out of name order on purpose.
const char kFixtureRows[] =
    "INSERT INTO users VALUES('SCOTT','TIGER',0),('BLAKE','Paper',0),('SYS','ORACLE',1),"
    " ('ADMIN','secret',1);"
    "INSERT INTO objects(owner,object_name,object_type) VALUES"
    " ('SCOTT','HR_UTIL','PACKAGE'),('SCOTT','EMP_API','PACKAGE BODY'),"
    " ('SCOTT','EMP_API','PACKAGE'),('SCOTT','GET_SAL','FUNCTION'),"
    " ('SCOTT','RAISE_SAL','PROCEDURE'),('SCOTT','EMP_TRG','TRIGGER'),"
    " ('BLAKE','BLAKE_PKG','PACKAGE'),('SYS','DBMS_LITE','PACKAGE');"
    "INSERT INTO source VALUES"
    " ('SCOTT','EMP_API','PACKAGE',1,'PACKAGE EMP_API AS' || char(10)),"
    " ('SCOTT','EMP_API','PACKAGE',2,'  PROCEDURE hire(p_name VARCHAR2);' || char(10)),"
    " ('SCOTT','EMP_API','PACKAGE',3,'END EMP_API;'),"
    " ('SCOTT','EMP_API','PACKAGE BODY',2,'  PROCEDURE hire(p_name VARCHAR2) IS BEGIN NULL; END;' "
    "|| char(10)),"
    " ('SCOTT','EMP_API','PACKAGE BODY',1,'PACKAGE BODY EMP_API AS' || char(10)),"
    " ('SCOTT','EMP_API','PACKAGE BODY',3,'END EMP_API;'),"
    " ('SCOTT','GET_SAL','FUNCTION',1,'FUNCTION GET_SAL RETURN NUMBER IS -- Grüße' || char(10)),"
    " ('SCOTT','GET_SAL','FUNCTION',2,'BEGIN RETURN 1; END;'),"
    " ('SCOTT','RAISE_SAL','PROCEDURE',1,NULL),"
    " ('SCOTT','HR_UTIL','PACKAGE',1,'PACKAGE HR_UTIL AS' || char(10)),"
    " ('SCOTT','HR_UTIL','PACKAGE',2,'END;'),"
    " ('BLAKE','BLAKE_PKG','PACKAGE',1,'PACKAGE BLAKE_PKG AS END;'),"
    " ('SYS','DBMS_LITE','PACKAGE',1,'PACKAGE DBMS_LITE AS END;');";

// A second database in the folder, whose one user no session of fixture.sqlite knows.
const char kOtherRows[] =
    "INSERT INTO users VALUES('KING','crown',0);"
    "INSERT INTO objects(owner,object_name,object_type) VALUES ('KING','CROWN_PKG','PACKAGE');"
    "INSERT INTO source VALUES ('KING','CROWN_PKG','PACKAGE',1,'PACKAGE CROWN_PKG AS END;');";

// A database of the newer layout: users have an account state and may read the dictionary.
// The passwords differ only in case from other users' on purpose.
const char kAccountsDatabase[] =
    "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT NOT NULL,"
    " sysdba INTEGER NOT NULL DEFAULT 0, account_status TEXT NOT NULL DEFAULT 'OPEN',"
    " select_any_dictionary INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE objects(owner TEXT NOT NULL, object_name TEXT NOT NULL,"
    " object_type TEXT NOT NULL, status TEXT NOT NULL DEFAULT 'VALID');"
    "CREATE TABLE source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,"
    " line INTEGER NOT NULL, text TEXT);"
    "INSERT INTO users(name,password,account_status) VALUES"
    " ('OPENED','Tiger','OPEN'),('GRACE','Tiger','EXPIRED(GRACE)'),"
    " ('LOCKED','Tiger','LOCKED'),('TIMED','Tiger','LOCKED(TIMED)'),"
    " ('EXPIRED','Tiger','EXPIRED'),('BOTH','Tiger','EXPIRED & LOCKED'),"
    " ('GRACELOCK','Tiger','EXPIRED(GRACE) & LOCKED(TIMED)'),"
    " ('EXPTIMED','Tiger','EXPIRED & LOCKED(TIMED)');"
    "INSERT INTO users(name,password,select_any_dictionary) VALUES ('READER','Tiger',1);"
    "INSERT INTO users(name,password) VALUES ('HASHED','Ti#ger#1');"
    "INSERT INTO users(name,password,sysdba) VALUES ('SYS','Oracle',1);"
    "INSERT INTO objects(owner,object_name,object_type,status) VALUES"
    " ('OPENED','OPEN_PKG','PACKAGE','VALID'),('GRACE','GRACE_FN','FUNCTION','INVALID'),"
    " ('SYS','SYS_PKG','PACKAGE','VALID');"
    "INSERT INTO source VALUES"
    " ('OPENED','OPEN_PKG','PACKAGE',1,'PACKAGE OPEN_PKG AS' || char(10)),"
    " ('OPENED','OPEN_PKG','PACKAGE',2,'END;'),"
    " ('GRACE','GRACE_FN','FUNCTION',1,'FUNCTION GRACE_FN RETURN NUMBER IS BEGIN RETURN 1; END;'),"
    " ('SYS','SYS_PKG','PACKAGE',1,'PACKAGE SYS_PKG AS END;');";

// Names in mixed case, with digits, punctuation and an accent, to tell the text orders apart.
const char kSortingRows[] =
    "INSERT INTO users VALUES('SORTER','Sorter',0);"
    "INSERT INTO objects(owner,object_name,object_type) VALUES"
    " ('SORTER','alpha','PACKAGE'),('SORTER','Beta','PACKAGE'),('SORTER','EMP_API','PACKAGE'),"
    " ('SORTER','EMPLOYEE','PACKAGE'),('SORTER','gamma','PACKAGE'),"
    " ('SORTER','\xC3\x89mile','PACKAGE'),('SORTER','_HIDDEN','PACKAGE'),"
    " ('SORTER','Zeta','PACKAGE'),('SORTER','a1','PACKAGE'),('SORTER','A2','PACKAGE'),"
    " ('SORTER','ALPHA','PACKAGE');"
    "INSERT INTO source VALUES ('SORTER','alpha','PACKAGE',1,'PACKAGE alpha AS END;');";

// The database's own settings (NLS_CHARACTERSET, CURSOR_SHARING).
std::string Properties(const char* characterSet, const char* cursorSharing)
{
    return std::string("CREATE TABLE database_properties(property_name TEXT PRIMARY KEY,"
                       " property_value TEXT);"
                       "INSERT INTO database_properties VALUES('NLS_CHARACTERSET','") +
           characterSet + "'),('CURSOR_SHARING','" + cursorSharing + "');";
}
// Views as the file holds them, beside the accounts (READER may read the dictionary): VIEWER
// owns three (LONG_V of 5,001 bytes, EMP_OV typed), KING one.
const char kViewsDatabase[] =
    "CREATE TABLE views(owner TEXT NOT NULL, view_name TEXT NOT NULL, text TEXT NOT NULL,"
    " editioning_view TEXT NOT NULL DEFAULT 'N', bequeath TEXT NOT NULL DEFAULT 'DEFINER',"
    " type_text TEXT);"
    "CREATE TABLE view_columns(owner TEXT NOT NULL, view_name TEXT NOT NULL,"
    " column_id INTEGER NOT NULL, column_name TEXT NOT NULL);"
    "INSERT INTO users(name,password) VALUES ('VIEWER','Tiger'),('KING','Tiger');"
    "INSERT INTO objects(owner,object_name,object_type) VALUES ('VIEWER','EMP_V','VIEW'),"
    " ('VIEWER','LONG_V','VIEW'),('VIEWER','EMP_OV','VIEW'),('KING','CROWN_V','VIEW');"
    "INSERT INTO views(owner,view_name,text,editioning_view,bequeath) VALUES"
    " ('VIEWER','EMP_V','SELECT empno, ename' || char(10) || 'FROM emp','Y','CURRENT_USER');"
    "INSERT INTO views(owner,view_name,text) VALUES"
    " ('VIEWER','LONG_V','SELECT ''' || replace(hex(zeroblob(2490)), '0', 'x') || ''' x FROM "
    "dual'),"
    " ('KING','CROWN_V','SELECT 1 one FROM dual');"
    "INSERT INTO views(owner,view_name,text,type_text) VALUES"
    " ('VIEWER','EMP_OV','SELECT emp_t(empno) FROM emp','OF EMP_T WITH OBJECT IDENTIFIER');"
    "INSERT INTO view_columns VALUES ('VIEWER','EMP_V',2,'Name'),('VIEWER','EMP_V',1,'EMPNO'),"
    " ('VIEWER','LONG_V',1,'X'),('KING','CROWN_V',1,'ONE');";

}  // namespace

const std::string& FixtureHome()
{
    static const std::string home = [] {
        std::string folder = testsys::TempFolder() + "/ocilite-tests-" + testsys::ProcessTag();
        testsys::MakeFolder(folder);
        BuildDatabase(folder + "/fixture.sqlite",
                      (std::string(kContractTables) + kFixtureRows).c_str());
        BuildDatabase(folder + "/other.sqlite",
                      (std::string(kContractTables) + kOtherRows).c_str());
        BuildDatabase(folder + "/empty.sqlite", kContractTables);
        BuildDatabase(folder + "/accounts.sqlite", kAccountsDatabase);
        // fixture.sqlite's rows in a WE8MSWIN1252 and a JA16SJIS database (which hold its
        // "Grüße": JA16SJIS has no ü, so that line is left out there), under cursor sharing,
        // and in a database whose set no server has.
        const std::string fixtureRows = std::string(kContractTables) + kFixtureRows;
        BuildDatabase(folder + "/we8.sqlite",
                      (fixtureRows + Properties("WE8MSWIN1252", "EXACT")).c_str());
        BuildDatabase(folder + "/sjis.sqlite", (fixtureRows + Properties("JA16SJIS", "EXACT") +
                                                "DELETE FROM source WHERE text LIKE '%Gr%';")
                                                   .c_str());
        BuildDatabase(folder + "/force.sqlite",
                      (fixtureRows + Properties("AL32UTF8", "FORCE")).c_str());
        BuildDatabase(folder + "/badset.sqlite",
                      (fixtureRows + Properties("KLINGON8", "EXACT")).c_str());
        BuildDatabase(folder + "/views.sqlite",
                      (std::string(kAccountsDatabase) + kViewsDatabase).c_str());
        // The views in a WE8MSWIN1252 database.
        BuildDatabase(
            folder + "/views_we8.sqlite",
            (std::string(kAccountsDatabase) + kViewsDatabase + Properties("WE8MSWIN1252", "EXACT"))
                .c_str());
        BuildDatabase(folder + "/sorting.sqlite",
                      (std::string(kContractTables) + kSortingRows).c_str());
        FILE* file = std::fopen((folder + "/garbage.sqlite").c_str(), "wb");
        const char junk[] = "this is not a database file, just some text padding it out.....";
        for (int i = 0; file != nullptr && i < 64; ++i)
            std::fwrite(junk, 1, sizeof junk - 1, file);
        if (file != nullptr)
            std::fclose(file);
        testsys::SetVariable("OCI_LITE_HOME", folder.c_str());
        testsys::SetVariable("NLS_LANG", kTestNlsLang);
        testsys::SetVariable("NLS_SORT", nullptr);
        return folder;
    }();
    return home;
}

const char kTestNlsLang[] = "AMERICAN_AMERICA.AL32UTF8";

ScopedNls::ScopedNls(const char* nlsLang, const char* nlsSort)
{
    FixtureHome();
    testsys::SetVariable("NLS_LANG", nlsLang);
    testsys::SetVariable("NLS_SORT", nlsSort);
}

ScopedNls::~ScopedNls()
{
    testsys::SetVariable("NLS_LANG", kTestNlsLang);
    testsys::SetVariable("NLS_SORT", nullptr);
}

namespace {

template <class T>
void Resolve(void* module, const char* name, T* target)
{
    *target = reinterpret_cast<T>(testsys::FindSymbol(module, name));
}

}  // namespace

const OciApi& OciApi::Get()
{
    static const OciApi api = [] {
        FixtureHome();
        OciApi a;
        a.module = testsys::LoadLibraryByName(testsys::kClientLibraryName);
        if (a.module == nullptr)
            return a;
        Resolve(a.module, "OCIInitialize", &a.Initialize);
        Resolve(a.module, "OCIEnvInit", &a.EnvInit);
        Resolve(a.module, "OCIHandleAlloc", &a.HandleAlloc);
        Resolve(a.module, "OCIHandleFree", &a.HandleFree);
        Resolve(a.module, "OCIAttrSet", &a.AttrSet);
        Resolve(a.module, "OCIServerAttach", &a.ServerAttach);
        Resolve(a.module, "OCIServerDetach", &a.ServerDetach);
        Resolve(a.module, "OCISessionBegin", &a.SessionBegin);
        Resolve(a.module, "OCISessionEnd", &a.SessionEnd);
        Resolve(a.module, "OCIErrorGet", &a.ErrorGet);
        Resolve(a.module, "OCIStmtPrepare", &a.StmtPrepare);
        Resolve(a.module, "OCIBindByPos", &a.BindByPos);
        Resolve(a.module, "OCIDefineByPos", &a.DefineByPos);
        Resolve(a.module, "OCIStmtExecute", &a.StmtExecute);
        Resolve(a.module, "OCIStmtFetch", &a.StmtFetch);
        Resolve(a.module, "OCIEnvNlsCreate", &a.EnvNlsCreate);
        Resolve(a.module, "OCIAttrGet", &a.AttrGet);
        Resolve(a.module, "OCINlsCharSetIdToName", &a.NlsCharSetIdToName);
        Resolve(a.module, "OCIBreak", &a.Break);
        Resolve(a.module, "OciLiteRoundTrips", &a.RoundTrips);
        Resolve(a.module, "OciLiteCallCount", &a.CallCount);
        Resolve(a.module, "OciLiteLiveHandles", &a.LiveHandles);
        Resolve(a.module, "OciLiteResetCounters", &a.ResetCounters);
        Resolve(a.module, "OciLiteSetFailAt", &a.SetFailAt);
        Resolve(a.module, "OciLiteSetRoundTripDelay", &a.SetRoundTripDelay);
        Resolve(a.module, "OciLiteSetTraceFile", &a.SetTraceFile);
        Resolve(a.module, "OciLiteSetQueryTimeout", &a.SetQueryTimeout);
        Resolve(a.module, "OciLiteSetServerWork", &a.SetServerWork);
        return a;
    }();
    return api;
}

bool OciApi::Complete() const
{
    const void* entries[] = {reinterpret_cast<const void*>(Initialize),
                             reinterpret_cast<const void*>(EnvInit),
                             reinterpret_cast<const void*>(HandleAlloc),
                             reinterpret_cast<const void*>(HandleFree),
                             reinterpret_cast<const void*>(AttrSet),
                             reinterpret_cast<const void*>(ServerAttach),
                             reinterpret_cast<const void*>(ServerDetach),
                             reinterpret_cast<const void*>(SessionBegin),
                             reinterpret_cast<const void*>(SessionEnd),
                             reinterpret_cast<const void*>(ErrorGet),
                             reinterpret_cast<const void*>(StmtPrepare),
                             reinterpret_cast<const void*>(BindByPos),
                             reinterpret_cast<const void*>(DefineByPos),
                             reinterpret_cast<const void*>(StmtExecute),
                             reinterpret_cast<const void*>(StmtFetch),
                             reinterpret_cast<const void*>(EnvNlsCreate),
                             reinterpret_cast<const void*>(AttrGet),
                             reinterpret_cast<const void*>(NlsCharSetIdToName),
                             reinterpret_cast<const void*>(Break),
                             reinterpret_cast<const void*>(SetServerWork),
                             reinterpret_cast<const void*>(RoundTrips),
                             reinterpret_cast<const void*>(CallCount),
                             reinterpret_cast<const void*>(LiveHandles),
                             reinterpret_cast<const void*>(ResetCounters),
                             reinterpret_cast<const void*>(SetFailAt),
                             reinterpret_cast<const void*>(SetRoundTripDelay),
                             reinterpret_cast<const void*>(SetTraceFile),
                             reinterpret_cast<const void*>(SetQueryTimeout)};
    for (const void* entry : entries) {
        if (entry == nullptr)
            return false;
    }
    return module != nullptr;
}

OciSession::OciSession(ub4 initMode) : OciSession(EnvOptions{false, initMode, 0}) {}

OciSession::OciSession(const EnvOptions& options) : api(OciApi::Get())
{
    if (options.nlsCreate) {
        api.EnvNlsCreate(&env, options.mode, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                         options.charset, 0);
    } else {
        api.Initialize(options.mode, nullptr, nullptr, nullptr, nullptr);
        api.EnvInit(&env, OCI_DEFAULT, 0, nullptr);
    }
    api.HandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    api.HandleAlloc(env, reinterpret_cast<void**>(&srv), OCI_HTYPE_SERVER, 0, nullptr);
    api.HandleAlloc(env, reinterpret_cast<void**>(&svc), OCI_HTYPE_SVCCTX, 0, nullptr);
}

OciSession::~OciSession()
{
    if (loggedOn || attached)
        Logoff();
    // Freeing the environment takes every handle allocated from it along.
    if (env != nullptr)
        api.HandleFree(env, OCI_HTYPE_ENV);
}

sword OciSession::Logon(const std::string& user, const std::string& password,
                        const std::string& database, bool sysdba)
{
    auto step = [this](const char* name, sword status) {
        if (status != OCI_SUCCESS && failedCall.empty())
            failedCall = name;
        return status;
    };
    failedCall.clear();
    sword status = step("OCIAttrSet(server)",
                        api.AttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err));
    if (status != OCI_SUCCESS)
        return status;
    api.HandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    status = step("OCIServerAttach",
                  api.ServerAttach(srv, err, reinterpret_cast<const OraText*>(database.c_str()),
                                   static_cast<sb4>(database.size()), OCI_DEFAULT));
    if (status != OCI_SUCCESS)
        return status;
    attached = true;
    status = step("OCIAttrSet(user)",
                  api.AttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(user.c_str()),
                              static_cast<ub4>(user.size()), OCI_ATTR_USERNAME, err));
    if (status != OCI_SUCCESS)
        return status;
    status = step("OCIAttrSet(password)",
                  api.AttrSet(ses, OCI_HTYPE_SESSION, const_cast<char*>(password.c_str()),
                              static_cast<ub4>(password.size()), OCI_ATTR_PASSWORD, err));
    if (status != OCI_SUCCESS)
        return status;
    sword begin = step("OCISessionBegin", api.SessionBegin(svc, err, ses, OCI_CRED_RDBMS,
                                                           sysdba ? OCI_SYSDBA : OCI_DEFAULT));
    if (begin != OCI_SUCCESS && begin != OCI_SUCCESS_WITH_INFO)
        return begin;
    loggedOn = true;
    status = step("OCIAttrSet(session)",
                  api.AttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err));
    return status != OCI_SUCCESS ? status : begin;
}

sword OciSession::LogonExternal(const std::string& database, bool sysdba)
{
    failedCall.clear();
    sword status = api.AttrSet(svc, OCI_HTYPE_SVCCTX, srv, 0, OCI_ATTR_SERVER, err);
    if (status != OCI_SUCCESS) {
        failedCall = "OCIAttrSet(server)";
        return status;
    }
    api.HandleAlloc(env, reinterpret_cast<void**>(&ses), OCI_HTYPE_SESSION, 0, nullptr);
    status = api.ServerAttach(srv, err, reinterpret_cast<const OraText*>(database.c_str()),
                              static_cast<sb4>(database.size()), OCI_DEFAULT);
    if (status != OCI_SUCCESS) {
        failedCall = "OCIServerAttach";
        return status;
    }
    attached = true;
    sword begin = api.SessionBegin(svc, err, ses, OCI_CRED_EXT, sysdba ? OCI_SYSDBA : OCI_DEFAULT);
    if (begin != OCI_SUCCESS && begin != OCI_SUCCESS_WITH_INFO) {
        failedCall = "OCISessionBegin";
        return begin;
    }
    loggedOn = true;
    status = api.AttrSet(svc, OCI_HTYPE_SVCCTX, ses, 0, OCI_ATTR_SESSION, err);
    return status != OCI_SUCCESS ? status : begin;
}

sword OciSession::Logoff()
{
    sword first = OCI_SUCCESS;
    if (loggedOn) {
        first = api.SessionEnd(svc, err, ses, OCI_DEFAULT);
        loggedOn = false;
    }
    if (attached) {
        sword status = api.ServerDetach(srv, err, OCI_DEFAULT);
        if (first == OCI_SUCCESS)
            first = status;
        attached = false;
    }
    return first;
}

OraRecord OciSession::LastError() const
{
    OraRecord record;
    char buffer[512] = {};
    record.status = api.ErrorGet(err, 1, nullptr, &record.code, reinterpret_cast<OraText*>(buffer),
                                 sizeof buffer, OCI_HTYPE_ERROR);
    record.text = buffer;
    return record;
}

sword OciSession::Execute(const std::string& sql)
{
    OCIStmt* stmt = Prepare(sql);
    sword status = prepareStatus;
    if (status == OCI_SUCCESS) {
        status = api.StmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    }
    api.HandleFree(stmt, OCI_HTYPE_STMT);
    return status;
}

OCIStmt* OciSession::Prepare(const std::string& sql)
{
    OCIStmt* stmt = nullptr;
    api.HandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    prepareStatus = api.StmtPrepare(stmt, err, reinterpret_cast<const OraText*>(sql.c_str()),
                                    static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT);
    return stmt;
}

std::vector<std::vector<std::string>> OciSession::Query(const std::string& sql,
                                                        const std::vector<std::string>& binds,
                                                        int columns, sword* status, ub4 prefetch,
                                                        bool setPrefetch)
{
    std::vector<std::vector<std::string>> rows;
    OCIStmt* stmt = Prepare(sql);
    std::vector<std::vector<char>> buffers(static_cast<size_t>(columns), std::vector<char>(4001));
    std::vector<sb2> indicators(static_cast<size_t>(columns));
    sword result = prepareStatus;
    if (setPrefetch && result == OCI_SUCCESS) {
        result = api.AttrSet(stmt, OCI_HTYPE_STMT, &prefetch, sizeof prefetch,
                             OCI_ATTR_PREFETCH_ROWS, err);
    }
    for (size_t i = 0; i < binds.size() && result == OCI_SUCCESS; ++i) {
        OCIBind* bind = nullptr;
        result =
            api.BindByPos(stmt, &bind, err, static_cast<ub4>(i + 1),
                          const_cast<char*>(binds[i].data()), static_cast<sb4>(binds[i].size()),
                          SQLT_CHR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT);
    }
    for (int c = 0; c < columns && result == OCI_SUCCESS; ++c) {
        OCIDefine* define = nullptr;
        result = api.DefineByPos(stmt, &define, err, static_cast<ub4>(c + 1), buffers[c].data(),
                                 4001, SQLT_STR, &indicators[c], nullptr, nullptr, OCI_DEFAULT);
    }
    if (result == OCI_SUCCESS) {
        result = api.StmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT);
        while (result == OCI_SUCCESS || result == OCI_SUCCESS_WITH_INFO) {
            std::vector<std::string> row;
            for (int c = 0; c < columns; ++c)
                row.push_back(indicators[c] == -1 ? "<null>" : buffers[c].data());
            rows.push_back(row);
            result = api.StmtFetch(stmt, err, 1, OCI_FETCH_NEXT, OCI_DEFAULT);
        }
    }
    api.HandleFree(stmt, OCI_HTYPE_STMT);
    if (status != nullptr)
        *status = result;
    return rows;
}
