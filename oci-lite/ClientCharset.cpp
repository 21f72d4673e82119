#include "oci-lite/ClientCharset.h"

#include <windows.h>

#include <cctype>

namespace ocilite {

namespace {

// Stands for US7ASCII, which oci-lite converts itself: one '?' per character beyond 7 bits,
// whatever the system's code page 20127 would make of it.
constexpr unsigned kAsciiCodePage = 20127;

struct CharsetEntry {
    const char* oracleName;
    unsigned short id;
    unsigned codePage;
};

// Oracle's character sets of common Windows clients: name, NLS_CHARSET_ID and code page.
const CharsetEntry kCharsets[] = {
    {"US7ASCII", 1, kAsciiCodePage}, {"WE8ISO8859P1", 31, 28591}, {"EE8ISO8859P2", 32, 28592},
    {"TH8TISASCII", 41, 874},        {"VN8MSWIN1258", 45, 1258},  {"WE8ISO8859P15", 46, 28605},
    {"EE8MSWIN1250", 170, 1250},     {"CL8MSWIN1251", 171, 1251}, {"EL8MSWIN1253", 174, 1253},
    {"IW8MSWIN1255", 175, 1255},     {"TR8MSWIN1254", 177, 1254}, {"WE8MSWIN1252", 178, 1252},
    {"BLT8MSWIN1257", 179, 1257},    {"AR8MSWIN1256", 560, 1256}, {"JA16SJIS", 832, 932},
    {"KO16MSWIN949", 846, 949},      {"ZHS16GBK", 852, 936},      {"ZHT16MSWIN950", 867, 950},
    {"UTF8", 871, CP_UTF8},          {"AL32UTF8", 873, CP_UTF8},
};

std::wstring Widen(const std::string& text, unsigned codePage)
{
    int length =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// UTF-8 to 7 bits: each character beyond them, a surrogate pair included, becomes one '?'.
std::string Utf8ToAscii(const std::string& text)
{
    std::wstring wide = Widen(text, CP_UTF8);
    std::string ascii;
    ascii.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        wchar_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            ++i;
        }
        ascii += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return ascii;
}

// Re-encodes text from one code page to another through UTF-16; unknown characters become '?'.
std::string Convert(const std::string& text, unsigned from, unsigned to)
{
    if (text.empty() || from == to)
        return text;
    std::wstring wide = Widen(text, from);
    if (wide.empty())
        return text;
    int wideLength = static_cast<int>(wide.size());
    BOOL unused = FALSE;
    bool toUtf8 = to == CP_UTF8;
    int length =
        WideCharToMultiByte(to, toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, nullptr,
                            0, toUtf8 ? nullptr : "?", toUtf8 ? nullptr : &unused);
    if (length <= 0)
        return text;
    std::string converted(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(to, toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                        &converted[0], length, toUtf8 ? nullptr : "?", toUtf8 ? nullptr : &unused);
    return converted;
}

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
    return ClientCharset(kAl32Utf8Id, CP_UTF8);
}

ClientCharset ClientCharset::Us7Ascii()
{
    return ClientCharset(kUs7AsciiId, kAsciiCodePage);
}

std::string ClientCharset::ToDatabase(const std::string& clientText) const
{
    if (m_codePage == kAsciiCodePage) {
        std::string ascii = clientText;
        for (char& c : ascii) {
            if (static_cast<unsigned char>(c) >= 0x80)
                c = '?';
        }
        return ascii;
    }
    return Convert(clientText, m_codePage, CP_UTF8);
}

std::string ClientCharset::ToClient(const std::string& databaseText) const
{
    if (m_codePage == kAsciiCodePage)
        return Utf8ToAscii(databaseText);
    return Convert(databaseText, CP_UTF8, m_codePage);
}

}  // namespace ocilite
