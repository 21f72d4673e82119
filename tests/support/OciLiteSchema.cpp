// OciLiteSchema.cpp
#include "support/OciLiteSchema.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>

#include "oci-lite/CodePages.h"
#include "oci-lite/Utf16.h"

#include <gtest/gtest.h>

namespace {

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* pDb, const char* pszSql)
    {
        sqlite3_prepare_v2(pDb, pszSql, -1, &m_pStmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_pStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Text(int nIndex, const char* pszText, int nLength = -1)
    {
        sqlite3_bind_text(m_pStmt, nIndex, pszText, nLength, SQLITE_TRANSIENT);
    }
    void Int(int nIndex, int nValue) { sqlite3_bind_int(m_pStmt, nIndex, nValue); }
    void Step()
    {
        sqlite3_step(m_pStmt);
        sqlite3_reset(m_pStmt);
    }

private:
    sqlite3_stmt* m_pStmt = nullptr;
};

}  // namespace

OciLiteSchema::OciLiteSchema(const std::string& strFolder, const char* pszDatabase)
{
    std::string strName(pszDatabase);
    for (char& ch : strName)
        ch = char(::tolower(static_cast<unsigned char>(ch)));
    const std::string strPath = strFolder + strName + ".sqlite";
    std::remove(strPath.c_str());
    sqlite3_open_v2(strPath.c_str(), &m_pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Exec("CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT, sysdba INTEGER,"
         " account_status TEXT NOT NULL DEFAULT 'OPEN', select_any_dictionary INTEGER NOT NULL "
         "DEFAULT 0);"
         "CREATE TABLE objects(owner TEXT, object_name TEXT, object_type TEXT, status TEXT);"
         "CREATE TABLE source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);"
         "CREATE TABLE views(owner TEXT NOT NULL, view_name TEXT NOT NULL, text TEXT NOT NULL,"
         " editioning_view TEXT NOT NULL DEFAULT 'N', bequeath TEXT NOT NULL DEFAULT 'DEFINER',"
         " type_text TEXT);"
         "CREATE TABLE view_columns(owner TEXT NOT NULL, view_name TEXT NOT NULL,"
         " column_id INTEGER NOT NULL, column_name TEXT NOT NULL);");
}

void OciLiteSchema::AddView(const View& view)
{
    const bool bOwnTransaction = sqlite3_get_autocommit(m_pDb) != 0;
    if (bOwnTransaction)
        Begin();
    AddObjectWithoutSource(view.strName.c_str(), "VIEW", view.pszOwner);
    {
        Statement insert(m_pDb, "INSERT INTO views VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
        insert.Text(1, view.pszOwner);
        insert.Text(2, view.strName.c_str());
        insert.Text(3, view.strText.data(), int(view.strText.size()));
        insert.Text(4, view.pszEditioning);
        insert.Text(5, view.pszBequeath);
        if (view.pszTypeText != nullptr)
            insert.Text(6, view.pszTypeText);
        insert.Step();
    }
    {
        // Stored backwards, so that only ORDER BY COLUMN_ID gives them in order.
        Statement insert(m_pDb, "INSERT INTO view_columns VALUES(?1, ?2, ?3, ?4)");
        for (size_t i = view.columns.size(); i-- > 0;) {
            insert.Text(1, view.pszOwner);
            insert.Text(2, view.strName.c_str());
            insert.Int(3, int(i + 1));
            insert.Text(4, view.columns[i].c_str());
            insert.Step();
        }
    }
    if (bOwnTransaction)
        Commit();
}

OciLiteSchema::~OciLiteSchema()
{
    sqlite3_close(m_pDb);
}

void OciLiteSchema::Exec(const char* pszSql)
{
    char* pszError = nullptr;
    if (sqlite3_exec(m_pDb, pszSql, nullptr, nullptr, &pszError) != SQLITE_OK) {
        ADD_FAILURE() << "schema: " << (pszError ? pszError : "?");
        sqlite3_free(pszError);
    }
}

void OciLiteSchema::SetProperty(const char* pszName, const char* pszValue)
{
    Exec("CREATE TABLE IF NOT EXISTS database_properties(property_name TEXT PRIMARY KEY, "
         "property_value TEXT)");
    Statement insert(m_pDb, "INSERT OR REPLACE INTO database_properties VALUES(?1, ?2)");
    insert.Text(1, pszName);
    insert.Text(2, pszValue);
    insert.Step();
}

void OciLiteSchema::SetDatabaseCharset(const char* pszSet)
{
    struct Known {
        const char* pszName;
        unsigned nCodePage;
    };
    static const Known kKnown[] = {{"WE8MSWIN1252", 1252},
                                   {"WE8ISO8859P1", 28591},
                                   {"JA16SJIS", 932},
                                   {"AL32UTF8", kUtf8CodePage}};
    m_nCodePage = 0;
    for (const Known& known : kKnown) {
        if (std::string(pszSet) == known.pszName)
            m_nCodePage = known.nCodePage;
    }
    if (m_nCodePage == 0)
        ADD_FAILURE() << "schema: no code page for " << pszSet;
    SetProperty("NLS_CHARACTERSET", pszSet);
}

void OciLiteSchema::SetCursorSharing(const char* pszValue)
{
    SetProperty("CURSOR_SHARING", pszValue);
}

// A character holds when it goes into the code page and comes back as itself; JA16SJIS has
// WAVE DASH where code page 932 has FULLWIDTH TILDE.
bool OciLiteSchema::Holds(const std::string& strText) const
{
    if (m_nCodePage == kUtf8CodePage || strText.empty())
        return true;
    std::u16string mapped = ocilite::Utf8ToUtf16(strText);
    for (char16_t& ch : mapped) {
        if (m_nCodePage == 932 && ch == 0xFF5E)
            ch = 0xFFFF;
        else if (m_nCodePage == 932 && ch == 0x301C)
            ch = 0xFF5E;
    }
    // A character the code page lacks is written as nothing, so it does not come back.
    const std::string bytes = ocilite::CodePages::Encode(m_nCodePage, mapped, "");
    if (ocilite::CodePages::Decode(m_nCodePage, bytes) == mapped)
        return true;
    ADD_FAILURE() << "schema: the database set cannot hold \"" << strText << "\"";
    return false;
}

void OciLiteSchema::AddUser(const char* pszName, const char* pszPassword, int bSysdba)
{
    Statement insert(m_pDb, "INSERT INTO users(name, password, sysdba) VALUES(?1, ?2, ?3)");
    insert.Text(1, pszName);
    insert.Text(2, pszPassword);
    insert.Int(3, bSysdba);
    insert.Step();
}

void OciLiteSchema::AddObjectWithoutSource(const char* pszName, const char* pszType,
                                           const char* pszOwner)
{
    Statement insert(m_pDb, "INSERT INTO objects VALUES(?1, ?2, ?3, 'VALID')");
    insert.Text(1, pszOwner);
    insert.Text(2, pszName);
    insert.Text(3, pszType);
    insert.Step();
}

void OciLiteSchema::AddObject(const char* pszName, const char* pszType,
                              const std::vector<std::string>& lines, const char* pszOwner)
{
    if (!Holds(pszName))
        return;
    for (const std::string& strLine : lines) {
        if (!Holds(strLine))
            return;
    }
    const bool bOwnTransaction = sqlite3_get_autocommit(m_pDb) != 0;
    if (bOwnTransaction)
        Begin();
    AddObjectWithoutSource(pszName, pszType, pszOwner);
    {
        Statement insert(m_pDb, "INSERT INTO source VALUES(?1, ?2, ?3, ?4, ?5)");
        for (size_t i = lines.size(); i-- > 0;) {
            insert.Text(1, pszOwner);
            insert.Text(2, pszName);
            insert.Text(3, pszType);
            insert.Int(4, int(i + 1));
            insert.Text(5, lines[i].data(), int(lines[i].size()));
            insert.Step();
        }
    }
    if (bOwnTransaction)
        Commit();
}

void OciLiteSchema::AddObjectNamedInBytes(const std::string& strName, const char* pszType,
                                          const std::string& strLine)
{
    Statement object(m_pDb, "INSERT INTO objects VALUES('SCOTT', ?1, ?2, 'VALID')");
    object.Text(1, strName.data(), int(strName.size()));
    object.Text(2, pszType);
    object.Step();
    Statement source(m_pDb, "INSERT INTO source VALUES('SCOTT', ?1, ?2, 1, ?3)");
    source.Text(1, strName.data(), int(strName.size()));
    source.Text(2, pszType);
    source.Text(3, strLine.data(), int(strLine.size()));
    source.Step();
}

void OciLiteSchema::SetAccountStatus(const char* pszUser, const char* pszStatus)
{
    Statement update(m_pDb, "UPDATE users SET account_status = ?2 WHERE name = ?1");
    update.Text(1, pszUser);
    update.Text(2, pszStatus);
    update.Step();
}

void OciLiteSchema::SetObjectStatus(const char* pszName, const char* pszType, const char* pszStatus,
                                    const char* pszOwner)
{
    Statement update(m_pDb, "UPDATE objects SET status = ?3 WHERE object_name = ?1 AND "
                            "object_type = ?2 AND owner = ?4");
    update.Text(1, pszName);
    update.Text(2, pszType);
    update.Text(3, pszStatus);
    update.Text(4, pszOwner);
    update.Step();
}

void OciLiteSchema::GrantSelectAnyDictionary(const char* pszUser)
{
    Statement update(m_pDb, "UPDATE users SET select_any_dictionary = 1 WHERE name = ?1");
    update.Text(1, pszUser);
    update.Step();
}

void OciLiteSchema::SetLineNull(const char* pszName, const char* pszType, int nLine)
{
    Statement update(m_pDb,
                     "UPDATE source SET text = NULL WHERE name = ?1 AND type = ?2 AND line = ?3");
    update.Text(1, pszName);
    update.Text(2, pszType);
    update.Int(3, nLine);
    update.Step();
}

void OciLiteSchema::SetLine(const char* pszName, const char* pszType, int nLine,
                            const std::string& strText)
{
    if (!Holds(strText))
        return;
    Statement update(m_pDb,
                     "UPDATE source SET text = ?4 WHERE name = ?1 AND type = ?2 AND line = ?3");
    update.Text(1, pszName);
    update.Text(2, pszType);
    update.Int(3, nLine);
    update.Text(4, strText.c_str());
    update.Step();
}

void OciLiteSchema::Drop(const char* pszName, const char* pszType)
{
    for (const char* pszSql : {"DELETE FROM objects WHERE object_name = ?1 AND object_type = ?2",
                               "DELETE FROM source WHERE name = ?1 AND type = ?2"}) {
        Statement remove(m_pDb, pszSql);
        remove.Text(1, pszName);
        remove.Text(2, pszType);
        remove.Step();
    }
}

void OciLiteSchema::Begin()
{
    Exec("BEGIN");
}

void OciLiteSchema::Commit()
{
    Exec("COMMIT");
}
