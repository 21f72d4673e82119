// ByteFunctions.cpp
#include "oci-lite/ByteFunctions.h"

namespace ocilite {

namespace ByteFunctions {

namespace {

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0u) == 0x80u;
}

// The value's text as SQLite holds it, valid until the function returns.
std::string_view ValueText(sqlite3_value* value)
{
    const unsigned char* text = sqlite3_value_text(value);
    return text == nullptr ? std::string_view()
                           : std::string_view(reinterpret_cast<const char*>(text),
                                              static_cast<size_t>(sqlite3_value_bytes(value)));
}

void LengthB(sqlite3_context* context, int, sqlite3_value** values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const std::string_view text = ValueText(values[0]);
    const ClientCharset* set = static_cast<const ClientCharset*>(sqlite3_user_data(context));
    if (text.empty())
        sqlite3_result_null(context);
    else
        sqlite3_result_int64(context, static_cast<sqlite3_int64>(set->ByteLength(text)));
}

void SubstrB(sqlite3_context* context, int count, sqlite3_value** values)
{
    for (int i = 0; i < count; ++i) {
        if (sqlite3_value_type(values[i]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
    }
    const long long length = count > 2 ? sqlite3_value_int64(values[2]) : -1;
    if (count > 2 && length < 1) {
        sqlite3_result_null(context);
        return;
    }
    const long long position = sqlite3_value_int64(values[1]);
    const std::string_view text = ValueText(values[0]);
    const ClientCharset* set = static_cast<const ClientCharset*>(sqlite3_user_data(context));
    const long long bytes = count > 2 ? length : static_cast<long long>(set->ByteLength(text));
    const std::string_view result = Substring(text, position, bytes, *set);
    if (result.empty())
        sqlite3_result_null(context);
    else
        sqlite3_result_text(context, result.data(), static_cast<int>(result.size()),
                            SQLITE_TRANSIENT);
}

// INSTR(x, y): the character position of y's first occurrence in x, 0 when there is none;
// NULL when either is NULL (an empty text is NULL in Oracle).
void Instr(sqlite3_context* context, int, sqlite3_value** values)
{
    const std::string_view text = ValueText(values[0]);
    const std::string_view sought = ValueText(values[1]);
    if (text.empty() || sought.empty()) {
        sqlite3_result_null(context);
        return;
    }
    const size_t at = sought.size() == 1 ? text.find(sought[0]) : text.find(sought);
    if (at == std::string_view::npos) {
        sqlite3_result_int64(context, 0);
        return;
    }
    sqlite3_int64 position = 1;
    for (size_t i = 0; i < at; ++i)
        position += IsContinuation(static_cast<unsigned char>(text[i])) ? 0 : 1;
    sqlite3_result_int64(context, position);
}

}  // namespace

namespace {

// The general case: walks the characters, each with its width in the set's bytes, and keeps
// those wholly inside [first, end).
std::string_view SubstringByCharacters(std::string_view text, long long position, long long length,
                                       const ClientCharset& set)
{
    const long long size = static_cast<long long>(set.ByteLength(text));
    const long long first = position > 0 ? position - 1 : position == 0 ? 0 : size + position;
    if (first < 0 || first >= size || length < 1)
        return std::string_view();
    const long long end = length >= size - first ? size : first + length;
    size_t from = std::string::npos;
    size_t to = 0;
    long long at = 0;
    for (size_t i = 0; i < text.size() && at < end;) {
        unsigned long codePoint = 0;
        const size_t bytes = DecodeUtf8(text, i, &codePoint);
        const long long width = set.CharacterBytes(codePoint);
        if (at >= first && at + width <= end) {
            if (from == std::string::npos)
                from = i;
            to = i + bytes;
        }
        at += width;
        i += bytes;
    }
    return from == std::string::npos ? std::string_view() : text.substr(from, to - from);
}

}  // namespace

std::string_view Substring(std::string_view text, long long position, long long length,
                           const ClientCharset& databaseSet)
{
    if (databaseSet.Id() != ClientCharset::kAl32Utf8Id)
        return SubstringByCharacters(text, position, length, databaseSet);
    const long long size = static_cast<long long>(text.size());
    long long first = position > 0 ? position - 1 : position == 0 ? 0 : size + position;
    if (first < 0 || first >= size || length < 1)
        return std::string_view();
    long long end = length >= size - first ? size : first + length;
    while (first < end && IsContinuation(static_cast<unsigned char>(text[first])))
        ++first;
    // A lead byte whose continuation bytes pass the end: the character is left out.
    if (end < size) {
        while (end > first && IsContinuation(static_cast<unsigned char>(text[end])))
            --end;
    }
    return text.substr(static_cast<size_t>(first), static_cast<size_t>(end - first));
}

bool Install(sqlite3* db, const ClientCharset* databaseSet)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    void* set = const_cast<ClientCharset*>(databaseSet);
    return sqlite3_create_function(db, "LENGTHB", 1, flags, set, &LengthB, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "SUBSTRB", 2, flags, set, &SubstrB, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "SUBSTRB", 3, flags, set, &SubstrB, nullptr, nullptr) ==
               SQLITE_OK &&
           sqlite3_create_function(db, "INSTR", 2, flags, nullptr, &Instr, nullptr, nullptr) ==
               SQLITE_OK;
}

}  // namespace ByteFunctions

}  // namespace ocilite
