#include "oci-lite/AccessPolicy.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "sqlite3.h"

namespace ocilite {

namespace {

std::string Lower(const char* text)
{
    std::string lower = text != nullptr ? text : "";
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// One piece of a statement text as SQLite would split it; comments and blanks are dropped.
struct Token {
    enum Kind { kWord, kQuotedName, kString, kOther } kind;
    std::string text;  // lower case for words and names (without their quotes)
};

// Reads a quoted piece starting at text[i] (the opening quote) up to its closing quote; a
// doubled closing quote stands for one. Returns the content and moves i past it.
std::string ReadQuoted(const std::string& text, size_t* i, char close)
{
    std::string content;
    size_t p = *i + 1;
    while (p < text.size()) {
        if (text[p] == close) {
            if (close != ']' && p + 1 < text.size() && text[p + 1] == close) {
                content += close;
                p += 2;
                continue;
            }
            ++p;
            break;
        }
        content += text[p++];
    }
    *i = p;
    return content;
}

bool IsWordChar(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 0x80;
}

// Splits a statement into tokens; good enough to find its first word and qualified names.
std::vector<Token> Tokenize(const std::string& sql)
{
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            i = end == std::string::npos ? sql.size() : end + 2;
        } else if (c == '\'') {
            tokens.push_back({Token::kString, ReadQuoted(sql, &i, '\'')});
        } else if (c == '"' || c == '`' || c == '[') {
            std::string name = ReadQuoted(sql, &i, c == '[' ? ']' : c);
            tokens.push_back({Token::kQuotedName, Lower(name.c_str())});
        } else if (IsWordChar(c)) {
            size_t start = i;
            while (i < sql.size() && IsWordChar(sql[i]))
                ++i;
            tokens.push_back({Token::kWord, Lower(sql.substr(start, i - start).c_str())});
        } else {
            tokens.push_back({Token::kOther, std::string(1, c)});
            ++i;
        }
    }
    return tokens;
}

bool IsName(const Token& token)
{
    return token.kind == Token::kWord || token.kind == Token::kQuotedName;
}

// True when a name is qualified by one of SQLite's own schema names ("main.source",
// "temp"."USER_SOURCE"): Oracle would take it for a user's schema the session cannot see.
bool HasSchemaQualifier(const std::vector<Token>& tokens)
{
    for (size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (IsName(tokens[i]) && (tokens[i].text == "main" || tokens[i].text == "temp") &&
            tokens[i + 1].kind == Token::kOther && tokens[i + 1].text == "." &&
            IsName(tokens[i + 2])) {
            return true;
        }
    }
    return false;
}

// The verb of a statement: its first word (past blanks, comments, semicolons and opening
// parentheses), or for a statement that opens with a WITH clause the first verb outside the
// clause's parentheses.
std::string Verb(const std::vector<Token>& tokens)
{
    size_t i = 0;
    while (i < tokens.size() && tokens[i].kind == Token::kOther &&
           (tokens[i].text == "(" || tokens[i].text == ";")) {
        ++i;
    }
    if (i == tokens.size() || tokens[i].kind != Token::kWord)
        return std::string();
    if (tokens[i].text != "with")
        return tokens[i].text;
    int depth = 0;
    for (++i; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind == Token::kOther && token.text == "(")
            ++depth;
        if (token.kind == Token::kOther && token.text == ")")
            --depth;
        if (depth == 0 && token.kind == Token::kWord &&
            (token.text == "select" || token.text == "values" || token.text == "insert" ||
             token.text == "update" || token.text == "delete" || token.text == "replace")) {
            return token.text;
        }
    }
    return "with";
}

bool IsOneOf(const std::string& word, std::initializer_list<const char*> words)
{
    for (const char* candidate : words) {
        if (word == candidate)
            return true;
    }
    return false;
}

// Authorizer actions that change a database, the temporary one included.
bool IsWriteAction(int action)
{
    switch (action) {
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TABLE:
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TRIGGER:
    case SQLITE_CREATE_VIEW:
    case SQLITE_DELETE:
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TABLE:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_DROP_TRIGGER:
    case SQLITE_DROP_VIEW:
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_ALTER_TABLE:
    case SQLITE_REINDEX:
    case SQLITE_ANALYZE:
    case SQLITE_CREATE_VTABLE:
    case SQLITE_DROP_VTABLE:
        return true;
    default:
        return false;
    }
}

// Which refusal a statement reports when several actions were refused: a write above all
// (every write gets ORA-16000), then a hidden table, then a missing privilege.
int Rank(int code)
{
    return code == kOraReadOnly ? 3 : code == kOraTableNotFound ? 2 : code != 0 ? 1 : 0;
}

// True when text begins with prefix.
bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

// Runs when a connection opens: the hidden view names are new for every connection.
AccessPolicy::AccessPolicy()
{
    unsigned char random[8];
    sqlite3_randomness(sizeof random, random);
    char tag[2 * sizeof random + 1];
    for (size_t i = 0; i < sizeof random; ++i)
        std::snprintf(tag + 2 * i, 3, "%02x", random[i]);
    m_hiddenObjects = std::string("ocilite_objects_") + tag;
    m_hiddenSource = std::string("ocilite_source_") + tag;
    m_hiddenViews = std::string("ocilite_views_") + tag;
    m_hiddenViewColumns = std::string("ocilite_view_columns_") + tag;
}

// Runs right after the connection opened, before its first statement.
void AccessPolicy::Install(sqlite3* db)
{
    sqlite3_set_authorizer(db, &AccessPolicy::Authorize, this);
}

// SQLite calls this while compiling every statement of the connection.
int AccessPolicy::Authorize(void* self, int action, const char* first, const char* second,
                            const char* schema, const char* context)
{
    return static_cast<AccessPolicy*>(self)->Decide(action, first, second, schema, context);
}

// Allows queries over the session's views and refuses everything else, noting the Oracle
// error the refusal earns.
int AccessPolicy::Decide(int action, const char* first, const char* second, const char* schema,
                         const char* context)
{
    if (m_trusted)
        return SQLITE_OK;
    int code = 0;
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_READ:
        if (MayRead(first, second, schema, context))
            return SQLITE_OK;
        code = kOraTableNotFound;
        break;
    default:
        code = IsWriteAction(action) ? kOraReadOnly : kOraInsufficientPrivileges;
        break;
    }
    if (Rank(code) > Rank(m_refused))
        m_refused = code;
    return SQLITE_DENY;
}

// The session's views may be read; a base table only by the hidden view made for it. A FROM item whose columns are not
// used at all (SELECT COUNT(*) FROM x) comes with an empty column name and may be anything:
// it passes unless it names something of the file or of SQLite itself.
bool AccessPolicy::MayRead(const char* table, const char* column, const char* schema,
                           const char* context) const
{
    if (table == nullptr)
        return false;
    std::string name = Lower(table);
    // Only oci-lite creates temporary views: the session's own, read by name from anywhere.
    if (schema != nullptr && sqlite3_stricmp(schema, "temp") == 0) {
        return name == "user_objects" || name == "user_source" || name == "dual" ||
               name == "dba_objects" || name == "dba_source" || name == "user_views" ||
               name == "dba_views" || name == "user_tab_columns" || name == "dba_tab_columns" ||
               name == m_hiddenObjects || name == m_hiddenSource || name == m_hiddenViews ||
               name == m_hiddenViewColumns;
    }
    if (context != nullptr && schema != nullptr && sqlite3_stricmp(schema, "main") == 0) {
        if (name == "objects" && sqlite3_stricmp(context, m_hiddenObjects.c_str()) == 0)
            return true;
        if (name == "source" && sqlite3_stricmp(context, m_hiddenSource.c_str()) == 0)
            return true;
        if (name == "views" && sqlite3_stricmp(context, m_hiddenViews.c_str()) == 0)
            return true;
        if (name == "view_columns" && sqlite3_stricmp(context, m_hiddenViewColumns.c_str()) == 0)
            return true;
    }
    if (column != nullptr && *column == '\0') {
        return m_baseTables.count(name) == 0 && !StartsWith(name, "sqlite_") &&
               !StartsWith(name, "pragma_");
    }
    return false;
}

// Runs before a session's statement compiles.
OraError AccessPolicy::CheckBeforeCompile(const std::string& sql)
{
    m_refused = 0;
    std::string verb = Verb(Tokenize(sql));
    if (IsOneOf(verb, {"insert", "update", "delete", "merge", "upsert", "replace", "create", "drop",
                       "alter", "truncate", "grant", "revoke", "rename", "comment", "analyze",
                       "reindex", "vacuum"})) {
        return MakeOraError(kOraReadOnly);
    }
    if (IsOneOf(verb, {"pragma", "attach", "detach", "explain", "begin", "commit", "end",
                       "rollback", "savepoint", "release"})) {
        return MakeOraError(kOraInsufficientPrivileges);
    }
    return OraError();
}

// Runs after a session's statement compiled (or failed to).
OraError AccessPolicy::CheckAfterCompile(const std::string& sql) const
{
    if (m_refused != 0)
        return MakeOraError(m_refused);
    std::vector<Token> tokens = Tokenize(sql);
    if (HasSchemaQualifier(tokens))
        return MakeOraError(kOraTableNotFound);
    std::string tag = m_hiddenObjects.substr(m_hiddenObjects.rfind('_') + 1);
    for (const Token& token : tokens) {
        if (IsName(token) && token.text.find(tag) != std::string::npos) {
            return MakeOraError(kOraTableNotFound);
        }
    }
    return OraError();
}

}  // namespace ocilite
