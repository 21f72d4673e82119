// CursorSharing.cpp
#include "oci-lite/CursorSharing.h"

#include <cctype>

namespace ocilite {

namespace CursorSharing {

namespace {

bool IsNameCharacter(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '$' || c == '#' || u >= 0x80;
}

bool IsDigit(char c)
{
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The end of a comment starting at i (a "--" or "/*" one), or i when none starts there.
size_t CommentEnd(const std::string& sql, size_t i)
{
    if (sql.compare(i, 2, "--") == 0) {
        const size_t end = sql.find('\n', i);
        return end == std::string::npos ? sql.size() : end + 1;
    }
    if (sql.compare(i, 2, "/*") == 0) {
        const size_t end = sql.find("*/", i + 2);
        return end == std::string::npos ? sql.size() : end + 2;
    }
    return i;
}

// The end of a quoted text or name starting at i (doubled quotes stay inside).
size_t QuotedEnd(const std::string& sql, size_t i)
{
    const char quote = sql[i];
    size_t at = i + 1;
    while (at < sql.size()) {
        if (sql[at] == quote) {
            if (at + 1 < sql.size() && sql[at + 1] == quote) {
                at += 2;
                continue;
            }
            return at + 1;
        }
        ++at;
    }
    return sql.size();
}

// The end of a number starting at i: digits, a decimal point, an exponent.
size_t NumberEnd(const std::string& sql, size_t i)
{
    size_t at = i;
    while (at < sql.size() && (IsDigit(sql[at]) || sql[at] == '.'))
        ++at;
    if (at < sql.size() && (sql[at] == 'e' || sql[at] == 'E')) {
        size_t exponent = at + 1;
        if (exponent < sql.size() && (sql[exponent] == '+' || sql[exponent] == '-'))
            ++exponent;
        if (exponent < sql.size() && IsDigit(sql[exponent])) {
            at = exponent;
            while (at < sql.size() && IsDigit(sql[at]))
                ++at;
        }
    }
    return at;
}

void ReturnArgument(sqlite3_context* context, int, sqlite3_value** values)
{
    sqlite3_result_value(context, values[0]);
}

}  // namespace

bool Install(sqlite3* db)
{
    return sqlite3_create_function(db, "SYS_B", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   &ReturnArgument, nullptr, nullptr) == SQLITE_OK;
}

bool KeepsLiterals(const std::string& sql)
{
    size_t at = 0;
    while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at])))
        ++at;
    while (at < sql.size() && IsNameCharacter(sql[at]))
        ++at;
    while (at < sql.size() && std::isspace(static_cast<unsigned char>(sql[at])))
        ++at;
    if (sql.compare(at, 3, "/*+") != 0)
        return false;
    const size_t end = CommentEnd(sql, at);
    std::string hint = sql.substr(at, end - at);
    for (char& c : hint)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const std::string kHint = "CURSOR_SHARING_EXACT";
    for (size_t found = hint.find(kHint); found != std::string::npos;
         found = hint.find(kHint, found + 1)) {
        const size_t after = found + kHint.size();
        if ((found == 0 || !IsNameCharacter(hint[found - 1])) &&
            (after >= hint.size() || !IsNameCharacter(hint[after])))
            return true;
    }
    return false;
}

std::string ReplaceLiterals(const std::string& sql)
{
    std::string shared;
    shared.reserve(sql.size() + 64);
    size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        size_t end = CommentEnd(sql, i);
        if (end != i) {
            shared.append(sql, i, end - i);
        } else if (c == '"') {
            end = QuotedEnd(sql, i);
            shared.append(sql, i, end - i);
        } else if (c == '\'') {
            end = QuotedEnd(sql, i);
            shared += "SYS_B(" + sql.substr(i, end - i) + ")";
        } else if (IsNameCharacter(c) || c == ':') {
            // A name, a keyword or a placeholder: digits in it are not numbers.
            end = i + 1;
            while (end < sql.size() && IsNameCharacter(sql[end]))
                ++end;
            if (IsDigit(c)) {
                end = NumberEnd(sql, i);
                shared += "SYS_B(" + sql.substr(i, end - i) + ")";
            } else {
                shared.append(sql, i, end - i);
            }
        } else if (c == '.' && i + 1 < sql.size() && IsDigit(sql[i + 1]) &&
                   (i == 0 || !IsNameCharacter(sql[i - 1]))) {
            end = NumberEnd(sql, i);
            shared += "SYS_B(" + sql.substr(i, end - i) + ")";
        } else {
            end = i + 1;
            shared += c;
        }
        i = end;
    }
    return shared;
}

}  // namespace CursorSharing

}  // namespace ocilite
