#include "oci-lite/BinaryOrderRewrite.h"

#include <cctype>
#include <vector>

namespace ocilite {

namespace {

struct Token {
    enum Kind { kWord, kQuotedName, kString, kBlank, kSymbol } kind;
    size_t begin;
    size_t end;
};

bool IsWordChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' ||
           (static_cast<unsigned char>(c) & 0x80) != 0;
}

// Splits sql into words, quoted names, string literals, blanks (comments included) and single
// symbols. An unterminated quote or comment runs to the end.
std::vector<Token> Tokenize(const std::string& sql)
{
    std::vector<Token> tokens;
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        size_t start = i;
        char c = sql[i];
        Token::Kind kind = Token::kSymbol;
        if (std::isspace(static_cast<unsigned char>(c))) {
            while (i < n && std::isspace(static_cast<unsigned char>(sql[i])))
                ++i;
            kind = Token::kBlank;
        } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
            while (i < n && sql[i] != '\n')
                ++i;
            kind = Token::kBlank;
        } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
            size_t close = sql.find("*/", i + 2);
            i = close == std::string::npos ? n : close + 2;
            kind = Token::kBlank;
        } else if (c == '\'' || c == '"') {
            ++i;
            while (i < n) {
                if (sql[i] == c) {
                    if (i + 1 < n && sql[i + 1] == c) {  // a doubled quote stands for itself
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
            kind = c == '\'' ? Token::kString : Token::kQuotedName;
        } else if (IsWordChar(c)) {
            while (i < n && IsWordChar(sql[i]))
                ++i;
            kind = Token::kWord;
        } else {
            ++i;
        }
        if (kind != Token::kBlank)
            tokens.push_back(Token{kind, start, i});
    }
    return tokens;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

class Reader {
public:
    Reader(const std::string& sql, const std::vector<Token>& tokens) : m_sql(sql), m_tokens(tokens)
    {}

    std::string Text(size_t index) const { return Span(index, index); }
    // The statement's text from token first to token last, both included.
    std::string Span(size_t first, size_t last) const
    {
        return m_sql.substr(m_tokens[first].begin, m_tokens[last].end - m_tokens[first].begin);
    }
    bool IsWord(size_t index, const char* upperWord) const
    {
        return index < m_tokens.size() && m_tokens[index].kind == Token::kWord &&
               Upper(Text(index)) == upperWord;
    }
    bool IsSymbol(size_t index, char symbol) const
    {
        return index < m_tokens.size() && m_tokens[index].kind == Token::kSymbol &&
               m_sql[m_tokens[index].begin] == symbol;
    }

    // The indices of the tokens outside every parenthesis, in order.
    std::vector<size_t> TopLevel() const
    {
        std::vector<size_t> indices;
        int depth = 0;
        for (size_t i = 0; i < m_tokens.size(); ++i) {
            if (IsSymbol(i, '('))
                ++depth;
            if (IsSymbol(i, ')'))
                --depth;
            if (depth == 0)
                indices.push_back(i);
        }
        return indices;
    }

    // The index of the first token after the last ORDER BY outside parentheses, or the token count.
    size_t FinalOrderBy() const
    {
        size_t found = m_tokens.size();
        for (size_t i : TopLevel()) {
            if (IsWord(i, "ORDER") && IsWord(i + 1, "BY"))
                found = i + 2;
        }
        return found;
    }

    // [first, end) of the tokens of the top-level GROUP BY clause; first == end without one.
    void FinalGroupBy(size_t* first, size_t* end) const
    {
        *first = *end = m_tokens.size();
        for (size_t i : TopLevel()) {
            if (IsWord(i, "GROUP") && IsWord(i + 1, "BY")) {
                *first = i + 2;
                *end = m_tokens.size();
            } else if (*first != m_tokens.size() && *end == m_tokens.size() && i > *first &&
                       (IsWord(i, "HAVING") || IsWord(i, "ORDER") || IsWord(i, "UNION"))) {
                *end = i;
            }
        }
    }

    // True when the token is one of the session views' text columns, named plainly or quoted in
    // capitals.
    bool IsTextColumn(size_t index) const
    {
        if (index >= m_tokens.size())
            return false;
        std::string name;
        if (m_tokens[index].kind == Token::kWord) {
            name = Upper(Text(index));
        } else if (m_tokens[index].kind == Token::kQuotedName) {
            std::string quoted = Text(index);
            if (quoted.size() < 2 || quoted.back() != '"')
                return false;
            name = quoted.substr(1, quoted.size() - 2);
        } else {
            return false;
        }
        static const char* const kTextColumns[] = {"OWNER",       "NAME",        "TYPE",   "TEXT",
                                                   "OBJECT_NAME", "OBJECT_TYPE", "STATUS", "DUMMY"};
        for (const char* column : kTextColumns) {
            if (name == column)
                return true;
        }
        return false;
    }

    // True for a literal 'NLS_SORT=BINARY', read as NLSSORT reads it (any case, blanks around).
    bool IsBinarySortParameter(size_t index) const
    {
        if (index >= m_tokens.size() || m_tokens[index].kind != Token::kString)
            return false;
        std::string literal = Text(index);
        if (literal.size() < 2 || literal.back() != '\'')
            return false;
        std::string parameter = Upper(literal.substr(1, literal.size() - 2));
        std::string::size_type equals = parameter.find('=');
        if (equals == std::string::npos)
            return false;
        return Trimmed(parameter.substr(0, equals)) == "NLS_SORT" &&
               Trimmed(parameter.substr(equals + 1)) == "BINARY";
    }

    // Matches NLSSORT ( [qualifier .] column , 'NLS_SORT=BINARY' ) at index; on a match gives
    // the tokens of the column reference and the index of the closing parenthesis. bValue: a
    // string literal or a bind placeholder (":name") is matched too.
    bool MatchBinaryNlsSort(size_t index, size_t* columnFirst, size_t* columnLast, size_t* close,
                            bool bValue = false) const
    {
        if (!IsWord(index, "NLSSORT") || !IsSymbol(index + 1, '('))
            return false;
        size_t first = index + 2;
        size_t last = first;
        const bool bLiteral = bValue && first < m_tokens.size() &&
                              m_tokens[first].kind == Token::kString && Text(first).size() >= 2 &&
                              Text(first).back() == '\'';
        const bool bPlaceholder = bValue && IsSymbol(first, ':') && first + 1 < m_tokens.size() &&
                                  m_tokens[first + 1].kind == Token::kWord &&
                                  m_tokens[first + 1].begin == m_tokens[first].end;
        if (bPlaceholder) {
            last = first + 1;
        } else if (!bLiteral) {
            if (IsSymbol(first + 1, '.'))
                last = first + 2;
            if (last != first && m_tokens[first].kind != Token::kWord &&
                m_tokens[first].kind != Token::kQuotedName) {
                return false;
            }
            if (!IsTextColumn(last))
                return false;
        }
        if (!IsSymbol(last + 1, ',') || !IsBinarySortParameter(last + 2) ||
            !IsSymbol(last + 3, ')')) {
            return false;
        }
        *columnFirst = first;
        *columnLast = last;
        *close = last + 3;
        return true;
    }

    // Whether a comparison may begin right after the token before index (nothing that binds
    // more tightly than a comparison stands there), or end right before index.
    bool OpensComparison(size_t index) const
    {
        return index == 0 || IsSymbol(index - 1, '(') || IsWord(index - 1, "WHERE") ||
               IsWord(index - 1, "AND") || IsWord(index - 1, "OR") || IsWord(index - 1, "NOT") ||
               IsWord(index - 1, "ON") || IsWord(index - 1, "WHEN");
    }
    bool ClosesComparison(size_t index) const
    {
        static const char* const kFollowers[] = {"AND",   "OR",    "THEN",      "ORDER", "GROUP",
                                                 "UNION", "MINUS", "INTERSECT", "HAVING"};
        if (index >= m_tokens.size() || IsSymbol(index, ')'))
            return true;
        for (const char* follower : kFollowers) {
            if (IsWord(index, follower))
                return true;
        }
        return false;
    }

    const Token& At(size_t index) const { return m_tokens[index]; }
    size_t Count() const { return m_tokens.size(); }

private:
    const std::string& m_sql;
    const std::vector<Token>& m_tokens;
};

// The statement rebuilt with ranges of it replaced, left to right.
class Splice {
public:
    explicit Splice(const std::string& sql) : m_sql(sql) {}

    // [begin, end) of the statement becomes text; begin is at or after the last range's end.
    void Replace(size_t begin, size_t end, const std::string& text)
    {
        m_rewritten += m_sql.substr(m_copied, begin - m_copied);
        m_rewritten += text;
        m_copied = end;
        m_replaced = true;
    }
    std::string Result() const { return m_replaced ? m_rewritten + m_sql.substr(m_copied) : m_sql; }

private:
    const std::string& m_sql;
    std::string m_rewritten;
    size_t m_copied = 0;
    bool m_replaced = false;
};

}  // namespace

std::string BinaryOrderRewrite::Apply(const std::string& sql)
{
    std::vector<Token> tokens = Tokenize(sql);
    Reader reader(sql, tokens);
    Splice splice(sql);
    size_t groupFirst = 0;
    size_t groupEnd = 0;
    reader.FinalGroupBy(&groupFirst, &groupEnd);
    const size_t orderFirst = reader.FinalOrderBy();
    for (size_t i = groupFirst < orderFirst ? groupFirst : orderFirst; i < reader.Count(); ++i) {
        if (i >= groupEnd && i < orderFirst)
            continue;
        size_t columnFirst = 0;
        size_t columnLast = 0;
        size_t close = 0;
        if (!reader.MatchBinaryNlsSort(i, &columnFirst, &columnLast, &close))
            continue;
        splice.Replace(reader.At(i).begin, reader.At(close).end,
                       reader.Span(columnFirst, columnLast) + " COLLATE BINARY");
        i = close;
    }
    return splice.Result();
}

// NLSSORT(column, B) = NLSSORT(value, B), with <> or != instead of =, and NLSSORT(column, B)
// [NOT] IN (NLSSORT(value, B), ...), B the binary sort: the texts compared by their bytes.
std::string BinaryEqualityRewrite::Apply(const std::string& sql)
{
    std::vector<Token> tokens = Tokenize(sql);
    Reader reader(sql, tokens);
    Splice splice(sql);
    for (size_t i = 0; i < reader.Count(); ++i) {
        size_t columnFirst = 0;
        size_t columnLast = 0;
        size_t close = 0;
        if (!reader.OpensComparison(i) ||
            !reader.MatchBinaryNlsSort(i, &columnFirst, &columnLast, &close))
            continue;
        std::string comparison = reader.Span(columnFirst, columnLast) + " COLLATE BINARY";
        size_t at = close + 1;
        size_t valueFirst = 0;
        size_t valueLast = 0;
        size_t end = 0;
        bool matched = false;
        const bool isEqual = reader.IsSymbol(at, '=');
        const bool isUnequal = (reader.IsSymbol(at, '<') && reader.IsSymbol(at + 1, '>')) ||
                               (reader.IsSymbol(at, '!') && reader.IsSymbol(at + 1, '='));
        if (isEqual || isUnequal) {
            at += isEqual ? 1 : 2;
            if (reader.MatchBinaryNlsSort(at, &valueFirst, &valueLast, &end, true)) {
                comparison += isEqual ? " = " : " <> ";
                comparison += reader.Span(valueFirst, valueLast);
                matched = true;
            }
        } else {
            const bool isNot = reader.IsWord(at, "NOT");
            at += isNot ? 1 : 0;
            if (reader.IsWord(at, "IN") && reader.IsSymbol(at + 1, '(')) {
                comparison += isNot ? " NOT IN (" : " IN (";
                at += 2;
                while (reader.MatchBinaryNlsSort(at, &valueFirst, &valueLast, &end, true)) {
                    comparison += reader.Span(valueFirst, valueLast);
                    if (reader.IsSymbol(end + 1, ')')) {
                        comparison += ")";
                        ++end;
                        matched = true;
                        break;
                    }
                    if (!reader.IsSymbol(end + 1, ','))
                        break;
                    comparison += ",";
                    at = end + 2;
                }
            }
        }
        if (!matched || !reader.ClosesComparison(end + 1))
            continue;
        splice.Replace(reader.At(i).begin, reader.At(end).end, comparison);
        i = end;
    }
    return splice.Result();
}

// Word tokens only: USER not qualified ("X.USER") nor qualifying ("USER.X"), nor called.
std::string SessionUserRewrite::Apply(const std::string& sql)
{
    const std::vector<Token> tokens = Tokenize(sql);
    Splice splice(sql);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind != Token::kWord ||
            Upper(sql.substr(token.begin, token.end - token.begin)) != "USER")
            continue;
        auto isSymbol = [&](size_t at, char symbol) {
            return at < tokens.size() && tokens[at].kind == Token::kSymbol &&
                   sql[tokens[at].begin] == symbol;
        };
        if ((i > 0 && isSymbol(i - 1, '.')) || isSymbol(i + 1, '.') || isSymbol(i + 1, '('))
            continue;
        splice.Replace(token.begin, token.end, "SYS_CONTEXT('USERENV','SESSION_USER')");
    }
    return splice.Result();
}

}  // namespace ocilite
