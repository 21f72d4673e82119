// LikeEscape.cpp
#include "oci-lite/LikeEscape.h"

#include <vector>

#include "oci-lite/ClientCharset.h"

namespace ocilite {

namespace LikeEscape {

namespace {

// One element of a pattern: a character to compare, or "_" or "%".
struct Token {
    enum Kind { kCharacter, kAnyOne, kAnyRun } kind;
    unsigned long character;
};

unsigned long Folded(unsigned long character, bool ignoresCase)
{
    return ignoresCase && character >= 'a' && character <= 'z' ? character - 'a' + 'A' : character;
}

std::vector<unsigned long> Characters(const std::string& text)
{
    std::vector<unsigned long> characters;
    for (size_t i = 0; i < text.size();) {
        unsigned long character = 0;
        i += DecodeUtf8(text, i, &character);
        characters.push_back(character);
    }
    return characters;
}

void LikeFunction(sqlite3_context* context, int, sqlite3_value** values)
{
    for (int i = 0; i < 3; ++i) {
        if (sqlite3_value_type(values[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    auto text = [&](int i) {
        const unsigned char* value = sqlite3_value_text(values[i]);
        return std::string(reinterpret_cast<const char*>(value),
                           static_cast<size_t>(sqlite3_value_bytes(values[i])));
    };
    const std::string escape = text(2);
    if (Characters(escape).size() != 1) {
        sqlite3_result_error(context,
                             "ORA-01425: escape character must be character string of "
                             "length 1",
                             -1);
        return;
    }
    const bool* ignoresCase = static_cast<const bool*>(sqlite3_user_data(context));
    const Match match = Like(text(1), text(0), escape, *ignoresCase);
    if (match == Match::kBadEscape) {
        sqlite3_result_error(context,
                             "ORA-01424: missing or illegal character following the escape "
                             "character",
                             -1);
        return;
    }
    sqlite3_result_int(context, match == Match::kYes ? 1 : 0);
}

}  // namespace

// The escape is checked through the whole pattern before anything is compared, as Oracle
// refuses the pattern whatever the text.
Match Like(const std::string& text, const std::string& pattern, const std::string& escape,
           bool ignoresCase)
{
    const unsigned long escapeCharacter = Characters(escape).front();
    std::vector<Token> tokens;
    const std::vector<unsigned long> patternCharacters = Characters(pattern);
    for (size_t i = 0; i < patternCharacters.size(); ++i) {
        const unsigned long c = patternCharacters[i];
        if (c == escapeCharacter) {
            if (i + 1 == patternCharacters.size())
                return Match::kBadEscape;
            const unsigned long next = patternCharacters[++i];
            if (next != '%' && next != '_' && next != escapeCharacter)
                return Match::kBadEscape;
            tokens.push_back({Token::kCharacter, next});
        } else if (c == '%') {
            tokens.push_back({Token::kAnyRun, 0});
        } else if (c == '_') {
            tokens.push_back({Token::kAnyOne, 0});
        } else {
            tokens.push_back({Token::kCharacter, c});
        }
    }
    // Greedy matching with one backtrack point: the latest "%".
    const std::vector<unsigned long> characters = Characters(text);
    size_t t = 0;
    size_t p = 0;
    size_t runAt = std::string::npos;
    size_t runText = 0;
    while (t < characters.size()) {
        if (p < tokens.size() && tokens[p].kind == Token::kAnyRun) {
            runAt = p++;
            runText = t;
        } else if (p < tokens.size() &&
                   (tokens[p].kind == Token::kAnyOne || Folded(tokens[p].character, ignoresCase) ==
                                                            Folded(characters[t], ignoresCase))) {
            ++p;
            ++t;
        } else if (runAt != std::string::npos) {
            p = runAt + 1;
            t = ++runText;
        } else {
            return Match::kNo;
        }
    }
    while (p < tokens.size() && tokens[p].kind == Token::kAnyRun)
        ++p;
    return p == tokens.size() ? Match::kYes : Match::kNo;
}

bool Install(sqlite3* db, const bool* ignoresCase)
{
    return sqlite3_create_function(db, "like", 3, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   const_cast<bool*>(ignoresCase), &LikeFunction, nullptr,
                                   nullptr) == SQLITE_OK;
}

}  // namespace LikeEscape

}  // namespace ocilite
