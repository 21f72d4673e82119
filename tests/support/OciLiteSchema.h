// OciLiteSchema.h
//
// OciLiteSchema: writes an oci-lite database for a test, straight into its SQLite file: the
// users, the objects and their source lines. The export tests, the console exporter's tests
// and the user-interface tests' fixture databases are built with it.
#pragma once

#include <string>
#include <vector>

struct sqlite3;

class OciLiteSchema {
public:
    // Creates the database of connect string pszDatabase afresh in strFolder (which ends with
    // a "\"), with no users yet.
    OciLiteSchema(const std::string& strFolder, const char* pszDatabase);
    ~OciLiteSchema();
    OciLiteSchema(const OciLiteSchema&) = delete;
    OciLiteSchema& operator=(const OciLiteSchema&) = delete;

    void AddUser(const char* pszName, const char* pszPassword, int bSysdba);
    // The database's own character set (AL32UTF8 until set; WE8MSWIN1252, WE8ISO8859P1,
    // JA16SJIS and AL32UTF8 are known here). From then on a name or line holding a character
    // the set lacks is refused (a test failure, nothing stored), as Oracle would never have
    // stored it.
    void SetDatabaseCharset(const char* pszSet);
    // CURSOR_SHARING of the database: "EXACT" or "FORCE".
    void SetCursorSharing(const char* pszValue);
    // The lines are stored in reverse, so that only ORDER BY LINE gives them in order.
    void AddObject(const char* pszName, const char* pszType, const std::vector<std::string>& lines,
                   const char* pszOwner = "SCOTT");
    // A null pszName stores a row whose name is NULL (which no fetch of a name can take).
    void AddObjectWithoutSource(const char* pszName, const char* pszType,
                                const char* pszOwner = "SCOTT");
    // One object of SCOTT's with one source line, whose name may hold any byte (a zero too).
    void AddObjectNamedInBytes(const std::string& strName, const char* pszType,
                               const std::string& strLine);
    // A view (an objects row of type VIEW, its text and columns, in column order).
    struct View {
        std::string strName;
        std::string strText;
        std::vector<std::string> columns;
        const char* pszEditioning = "N";
        const char* pszBequeath = "DEFINER";
        const char* pszTypeText = nullptr;
        const char* pszOwner = "SCOTT";
    };
    void AddView(const View& view);
    // Oracle's account states ('OPEN', 'EXPIRED(GRACE)', 'LOCKED', 'EXPIRED', ...).
    void SetAccountStatus(const char* pszUser, const char* pszStatus);
    // The status USER_OBJECTS shows for an object ('VALID', 'INVALID').
    void SetObjectStatus(const char* pszName, const char* pszType, const char* pszStatus,
                         const char* pszOwner = "SCOTT");
    // The user may read every owner's code through the DBA_ views.
    void GrantSelectAnyDictionary(const char* pszUser);
    // Line nLine (1-based) of an object's source is stored as NULL.
    void SetLineNull(const char* pszName, const char* pszType, int nLine);
    // Line nLine (1-based) of an object's source becomes strText.
    void SetLine(const char* pszName, const char* pszType, int nLine, const std::string& strText);
    // Removes an object and its source lines.
    void Drop(const char* pszName, const char* pszType);
    // Many objects in one transaction; without it each object is a transaction of its own.
    void Begin();
    void Commit();

private:
    void Exec(const char* pszSql);
    void SetProperty(const char* pszName, const char* pszValue);
    // False (and a test failure) when the database set lacks a character of strText.
    bool Holds(const std::string& strText) const;
    ::sqlite3* m_pDb = nullptr;
    unsigned m_nCodePage = kUtf8CodePage;  // the database set's code page
    static constexpr unsigned kUtf8CodePage = 65001;
};
