#include "oci-lite/LinguisticSort.h"

#include <cctype>
#include <cstring>

#include "oci-lite/Host.h"
#include "oci-lite/Utf16.h"
#include "sqlite3.h"

namespace ocilite {

namespace {

bool IsCombiningMark(char16_t c)
{
    return c >= 0x0300 && c <= 0x036F;
}

// The first-level weight class: punctuation and blanks, then digits, then letters.
unsigned char ClassOf(char16_t c)
{
    switch (host::ClassOf(c)) {
    case host::CharacterClass::kLetter:
        return 3;
    case host::CharacterClass::kDigit:
        return 2;
    default:
        return 1;
    }
}

int CompareLinguistically(void*, int leftBytes, const void* left, int rightBytes, const void* right)
{
    std::string a = LinguisticSort::Key(std::string(static_cast<const char*>(left), leftBytes));
    std::string b = LinguisticSort::Key(std::string(static_cast<const char*>(right), rightBytes));
    int order = std::memcmp(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
    if (order != 0)
        return order;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareKeys(const std::string& a, const std::string& b)
{
    int order = std::memcmp(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
    if (order != 0)
        return order;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The text lower-cased, as UTF-16 units in big-endian bytes (so the bytes order as the units).
std::string CaseFoldedKey(const char* text, int bytes)
{
    const std::u16string wide = Utf8ToUtf16(std::string(text, static_cast<size_t>(bytes)));
    std::string key;
    key.reserve(wide.size() * 2);
    for (char16_t c : wide) {
        const char16_t lower = host::LowerCase(c);
        key += static_cast<char>((lower >> 8) & 0xff);
        key += static_cast<char>(lower & 0xff);
    }
    return key;
}

int CompareWithoutCase(void*, int leftBytes, const void* left, int rightBytes, const void* right)
{
    return CompareKeys(CaseFoldedKey(static_cast<const char*>(left), leftBytes),
                       CaseFoldedKey(static_cast<const char*>(right), rightBytes));
}

// The first level of the linguistic key: no case, no accents, no tie broken by the bytes.
int CompareWithoutCaseOrAccent(void*, int leftBytes, const void* left, int rightBytes,
                               const void* right)
{
    std::string a = LinguisticSort::Key(std::string(static_cast<const char*>(left), leftBytes));
    std::string b = LinguisticSort::Key(std::string(static_cast<const char*>(right), rightBytes));
    a.resize(a.find('\0'));
    b.resize(b.find('\0'));
    return CompareKeys(a, b);
}

// What NLSSORT's second argument asks for: a linguistic key, a binary one, or an error.
enum class SortRequest { kLinguistic, kBinary, kInvalid };

SortRequest ParseSortParameter(const unsigned char* raw)
{
    std::string parameter = raw != nullptr ? reinterpret_cast<const char*>(raw) : "";
    for (char& c : parameter)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::string::size_type equals = parameter.find('=');
    std::string key = parameter.substr(0, equals);
    key.erase(key.find_last_not_of(' ') + 1);
    key.erase(0, key.find_first_not_of(' '));
    std::string name = equals == std::string::npos ? std::string() : parameter.substr(equals + 1);
    name.erase(name.find_last_not_of(' ') + 1);
    name.erase(0, name.find_first_not_of(' '));
    if (key != "NLS_SORT" || name.empty())
        return SortRequest::kInvalid;
    return name != "BINARY" ? SortRequest::kLinguistic : SortRequest::kBinary;
}

// NLSSORT(expr [, 'NLS_SORT=name']). A literal second argument is read once per statement:
// SQLite keeps the parsed request beside it for the following rows.
void NlsSort(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    bool linguistic = sqlite3_user_data(context) != nullptr;
    if (argc == 2) {
        const auto* kept = static_cast<const SortRequest*>(sqlite3_get_auxdata(context, 1));
        const SortRequest request =
            kept != nullptr ? *kept : ParseSortParameter(sqlite3_value_text(argv[1]));
        if (request == SortRequest::kInvalid) {
            sqlite3_result_error(
                context, "ORA-12702: invalid NLS parameter string used in SQL function", -1);
            return;
        }
        if (kept == nullptr)
            sqlite3_set_auxdata(context, 1, new SortRequest(request),
                                [](void* p) { delete static_cast<SortRequest*>(p); });
        linguistic = request == SortRequest::kLinguistic;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    int bytes = sqlite3_value_bytes(argv[0]);
    if (!linguistic) {
        // The binary key is the text's own bytes.
        sqlite3_result_blob(context, text != nullptr ? text : "", bytes, SQLITE_TRANSIENT);
        return;
    }
    std::string key =
        LinguisticSort::Key(std::string(text != nullptr ? text : "", static_cast<size_t>(bytes)));
    sqlite3_result_blob(context, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

}  // namespace

// Three bytes per character (its class, then its folded UTF-16 unit), a zero byte, then the
// text's own bytes: a shorter first level sorts first, and the bytes break every tie.
std::string LinguisticSort::Key(const std::string& utf8Text)
{
    const std::u16string wide = host::Decompose(Utf8ToUtf16(utf8Text));
    std::string key;
    key.reserve(wide.size() * 3 + 1 + utf8Text.size());
    for (char16_t c : wide) {
        if (IsCombiningMark(c))
            continue;
        const char16_t lower = host::LowerCase(c);
        key += static_cast<char>(ClassOf(c));
        key += static_cast<char>((lower >> 8) & 0xff);
        key += static_cast<char>(lower & 0xff);
    }
    key += '\0';
    key += utf8Text;
    return key;
}

bool LinguisticSort::Install(sqlite3* db, bool sessionSortsLinguistically)
{
    void* sessionSort = sessionSortsLinguistically ? db : nullptr;  // any non-null marks it
    return sqlite3_create_collation(db, kCollationName, SQLITE_UTF8, nullptr,
                                    &CompareLinguistically) == SQLITE_OK &&
           sqlite3_create_collation(db, kCaseInsensitiveName, SQLITE_UTF8, nullptr,
                                    &CompareWithoutCase) == SQLITE_OK &&
           sqlite3_create_collation(db, kAccentInsensitiveName, SQLITE_UTF8, nullptr,
                                    &CompareWithoutCaseOrAccent) == SQLITE_OK &&
           sqlite3_create_function(db, "NLSSORT", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   sessionSort, &NlsSort, nullptr, nullptr) == SQLITE_OK &&
           sqlite3_create_function(db, "NLSSORT", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   sessionSort, &NlsSort, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace ocilite
