#include "oci-lite/ClientCharset.h"

#include <cctype>

#include "oci-lite/CodePages.h"
#include "oci-lite/Utf16.h"

namespace ocilite {

namespace {

// Stands for UTF8 and AL32UTF8 (Windows' number of UTF-8), which oci-lite converts itself.
constexpr unsigned kUtf8CodePage = 65001;
// Stands for US7ASCII, which oci-lite converts itself: one '?' per character beyond 7 bits,
// whatever the system's code page 20127 would make of it.
constexpr unsigned kAsciiCodePage = 20127;
constexpr unsigned short kJa16SjisId = 832;
constexpr unsigned short kWe8Pc858Id = 28;
// Has no place in any code page: what a set makes of the code page's character it replaces.
constexpr char16_t kNoPlace = 0xFFFF;

// Sets that are a code page but for one character: the code page's character at that byte, and
// the set's. JA16SJIS has WAVE DASH where 932 has FULLWIDTH TILDE; WE8PC858 (code page 858,
// which the system may lack) is 850 with the euro sign where 850 has the dotless i.
struct SwappedCharacter {
    unsigned short id;
    char16_t codePageCharacter;
    char16_t setCharacter;
};
const SwappedCharacter kSwapped[] = {
    {kJa16SjisId, 0xFF5E, 0x301C},
    {kWe8Pc858Id, 0x0131, 0x20AC},
};

const SwappedCharacter* SwapOf(unsigned short id)
{
    for (const SwappedCharacter& swap : kSwapped) {
        if (swap.id == id)
            return &swap;
    }
    return nullptr;
}

struct CharsetEntry {
    const char* oracleName;
    unsigned short id;
    unsigned codePage;
};

// Oracle's character sets of common Windows clients: name, NLS_CHARSET_ID and code page.
const CharsetEntry kCharsets[] = {
    {"US7ASCII", 1, kAsciiCodePage}, {"US8PC437", 4, 437},
    {"WE8PC850", 10, 850},           {"WE8PC858", kWe8Pc858Id, 850},
    {"WE8ISO8859P1", 31, 28591},     {"EE8ISO8859P2", 32, 28592},
    {"TH8TISASCII", 41, 874},        {"VN8MSWIN1258", 45, 1258},
    {"WE8ISO8859P15", 46, 28605},    {"EE8PC852", 150, 852},
    {"RU8PC866", 152, 866},          {"EE8MSWIN1250", 170, 1250},
    {"CL8MSWIN1251", 171, 1251},     {"EL8MSWIN1253", 174, 1253},
    {"IW8MSWIN1255", 175, 1255},     {"TR8MSWIN1254", 177, 1254},
    {"WE8MSWIN1252", 178, 1252},     {"BLT8MSWIN1257", 179, 1257},
    {"AR8MSWIN1256", 560, 1256},     {"JA16SJIS", kJa16SjisId, 932},
    {"JA16SJISTILDE", 838, 932},     {"KO16MSWIN949", 846, 949},
    {"ZHS16GBK", 852, 936},          {"ZHT16MSWIN950", 867, 950},
    {"UTF8", 871, kUtf8CodePage},    {"AL32UTF8", 873, kUtf8CodePage},
};

// The bytes a set writes for a character it cannot hold, zero-terminated: 0xBF (the inverted
// question mark) in WE8MSWIN1252 and the West European ISO sets, the full-width question mark
// in the Japanese sets, "?" elsewhere (the console sets' own is not documented: the plain one).
const char* ReplacementOf(unsigned short id)
{
    switch (id) {
    case 31:   // WE8ISO8859P1
    case 46:   // WE8ISO8859P15
    case 178:  // WE8MSWIN1252
        return "\xBF";
    case kJa16SjisId:
    case 838:  // JA16SJISTILDE
        return "\x81\x48";
    default:
        return "?";
    }
}

}  // namespace

// The character at utf8[at] (a byte that begins none counts as one character of its own);
// returns its length in bytes.
size_t DecodeUtf8(std::string_view utf8, size_t at, unsigned long* codePoint)
{
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (at + length > utf8.size())
        length = 1;
    unsigned long value = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(utf8[at + i]);
        if ((next & 0xC0u) != 0x80u) {
            *codePoint = lead;
            return 1;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    *codePoint = value;
    return length;
}

namespace {

const CharsetEntry* FindById(unsigned short id)
{
    for (const CharsetEntry& entry : kCharsets) {
        if (entry.id == id)
            return &entry;
    }
    return nullptr;
}

}  // namespace

bool ClientCharset::FromName(const std::string& oracleName, ClientCharset* charset)
{
    std::string upper = oracleName;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const CharsetEntry& entry : kCharsets) {
        if (upper == entry.oracleName) {
            *charset = ClientCharset(entry.id, entry.codePage);
            return true;
        }
    }
    return false;
}

bool ClientCharset::FromId(unsigned short id, ClientCharset* charset)
{
    const CharsetEntry* entry = FindById(id);
    if (entry == nullptr)
        return false;
    *charset = ClientCharset(entry->id, entry->codePage);
    return true;
}

const char* ClientCharset::NameOf(unsigned short id)
{
    const CharsetEntry* entry = FindById(id);
    return entry != nullptr ? entry->oracleName : nullptr;
}

ClientCharset ClientCharset::Utf8()
{
    return ClientCharset(kAl32Utf8Id, kUtf8CodePage);
}

ClientCharset ClientCharset::Us7Ascii()
{
    return ClientCharset(kUs7AsciiId, kAsciiCodePage);
}

bool ClientCharset::IsUnicode() const
{
    return m_codePage == kUtf8CodePage;
}

unsigned ClientCharset::MaxBytesPerCharacter() const
{
    if (m_id == kAl32Utf8Id)
        return 4;
    if (m_id == kUtf8Id)
        return 3;
    switch (m_codePage) {
    case 932:
    case 936:
    case 949:
    case 950:
        return 2;
    default:
        return 1;
    }
}

// UTF8 is CESU-8: a character beyond the basic plane is two 3-byte surrogates there.
unsigned ClientCharset::CharacterBytes(unsigned long codePoint) const
{
    if (IsUnicode()) {
        if (codePoint < 0x80)
            return 1;
        if (codePoint < 0x800)
            return 2;
        if (codePoint < 0x10000)
            return 3;
        return m_id == kUtf8Id ? 6 : 4;
    }
    if (MaxBytesPerCharacter() == 1 || codePoint < 0x80)
        return 1;
    // Shift-JIS keeps the half-width katakana in one byte.
    if ((m_codePage == 932) && codePoint >= 0xFF61 && codePoint <= 0xFF9F)
        return 1;
    return 2;
}

size_t ClientCharset::ByteLength(std::string_view utf8) const
{
    if (m_id == kAl32Utf8Id)
        return utf8.size();
    size_t bytes = 0;
    for (size_t i = 0; i < utf8.size();) {
        unsigned long codePoint = 0;
        i += DecodeUtf8(utf8, i, &codePoint);
        bytes += CharacterBytes(codePoint);
    }
    return bytes;
}

std::u16string ClientCharset::Decode(const std::string& text) const
{
    if (m_codePage == kAsciiCodePage) {
        std::u16string wide(text.size(), u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            wide[i] = c < 0x80 ? char16_t(c) : u'?';
        }
        return wide;
    }
    if (IsUnicode())
        return Utf8ToUtf16(text);
    std::u16string wide = CodePages::Decode(m_codePage, text);
    if (const SwappedCharacter* swap = SwapOf(m_id)) {
        for (char16_t& c : wide) {
            if (c == swap->codePageCharacter)
                c = swap->setCharacter;
        }
    }
    return wide;
}

// A character either comes back as itself through the code page or was replaced: the check
// catches best fits the flag of the conversion does not stop.
std::string ClientCharset::Encode(const std::u16string& text, bool* replaced) const
{
    std::string bytes;
    if (replaced != nullptr)
        *replaced = false;
    if (m_codePage == kAsciiCodePage) {
        bytes.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                ++i;
            }
            if (c >= 0x80 && replaced != nullptr)
                *replaced = true;
            bytes += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return bytes;
    }
    if (IsUnicode())
        return Utf16ToUtf8(text);
    std::u16string mapped = text;
    if (const SwappedCharacter* swap = SwapOf(m_id)) {
        for (char16_t& c : mapped) {
            if (c == swap->codePageCharacter)
                c = kNoPlace;
            else if (c == swap->setCharacter)
                c = swap->codePageCharacter;
        }
    }
    bytes = CodePages::Encode(m_codePage, mapped, ReplacementOf(m_id));
    if (replaced != nullptr)
        *replaced = Decode(bytes) != text;
    return bytes;
}

std::string ClientCharset::Convert(const std::string& text, const ClientCharset& from,
                                   const ClientCharset& to, bool* replaced)
{
    if (replaced != nullptr)
        *replaced = false;
    if (text.empty())
        return text;
    if (from.m_id == to.m_id || (from.IsUnicode() && to.IsUnicode()))
        return text;
    return to.Encode(from.Decode(text), replaced);
}

std::string ClientCharset::ToDatabase(const std::string& clientText) const
{
    return Convert(clientText, *this, Utf8(), nullptr);
}

std::string ClientCharset::ToClient(const std::string& databaseText) const
{
    return Convert(databaseText, Utf8(), *this, nullptr);
}

}  // namespace ocilite
