// ClientCharset.h
//
// ClientCharset: one Oracle character set oci-lite knows, by Oracle's name and id
// (NLS_CHARSET_ID), each carried by a Windows code page (on every system: see Host.h). The database keeps its text in UTF-8.
// With UTF8 or AL32UTF8 the stored bytes travel unchanged; with another set, SQL texts, binds
// and logon names are converted on the way in and fetched text on the way out, and characters
// the target set lacks become the set's replacement character, as Oracle's do: 0xBF
// ("\xBF", the inverted question mark) in WE8MSWIN1252, WE8ISO8859P1 and WE8ISO8859P15, the
// full-width question mark 0x8148 in JA16SJIS and JA16SJISTILDE, "?" in every other set.
// The same sets serve as the database's own character set (DatabaseCharset below), which
// decides how many bytes a text takes there (LENGTHB, SUBSTRB, described sizes).
//   - US7ASCII, the client's default, keeps only 7-bit characters (oci-lite converts it itself).
//   - JA16SJIS is Windows' code page 932 except for 0x8160, which it maps to U+301C WAVE DASH
//     (932 and JA16SJISTILDE map it to U+FF5E FULLWIDTH TILDE); U+FF5E has no place in it.
//   - the console sets US8PC437, WE8PC850, EE8PC852 and RU8PC866 are their OEM code pages;
//     WE8PC858 is 850 with the euro sign at 0xD5 (where 850 has the dotless i), as code page 858.
#pragma once

#include <string>
#include <string_view>

namespace ocilite {

class ClientCharset {
public:
    static constexpr unsigned short kUs7AsciiId = 1;
    static constexpr unsigned short kUtf8Id = 871;
    static constexpr unsigned short kAl32Utf8Id = 873;

    // The set with this Oracle name (case-insensitive); false when oci-lite does not know it.
    static bool FromName(const std::string& oracleName, ClientCharset* charset);
    // The set with this Oracle id; false when oci-lite does not know it.
    static bool FromId(unsigned short id, ClientCharset* charset);
    // Oracle's name of a known id, or null.
    static const char* NameOf(unsigned short id);

    static ClientCharset Utf8();
    static ClientCharset Us7Ascii();

    // Whether the set is UTF8 or AL32UTF8.
    bool IsUnicode() const;
    // The most bytes one character takes in the set: 4 in AL32UTF8, 3 in UTF8, 2 in the
    // Asian double-byte sets, 1 in the others.
    unsigned MaxBytesPerCharacter() const;
    // The bytes the character codePoint takes in the set (what a character it cannot hold
    // turns into when counted: its replacement character).
    unsigned CharacterBytes(unsigned long codePoint) const;
    // The bytes a UTF-8 text takes in the set.
    size_t ByteLength(std::string_view utf8) const;

    std::string ToDatabase(const std::string& clientText) const;
    std::string ToClient(const std::string& databaseText) const;
    unsigned short Id() const { return m_id; }

    // text in this set as UTF-16 (bytes it cannot read become U+FFFD, US7ASCII's 8-bit bytes
    // "?").
    std::u16string Decode(const std::string& text) const;
    // UTF-16 in this set; *replaced (when given) tells whether a character became the set's
    // replacement character (a character of the text that is that character itself does not).
    std::string Encode(const std::u16string& text, bool* replaced) const;

    // text from one set into another; *replaced tells whether the target used its replacement
    // character.
    static std::string Convert(const std::string& text, const ClientCharset& from,
                               const ClientCharset& to, bool* replaced);

private:
    ClientCharset(unsigned short id, unsigned codePage) : m_id(id), m_codePage(codePage) {}
    unsigned short m_id;
    unsigned m_codePage;
};

// The character at utf8[at] and its length in bytes (a byte that begins no character counts as
// one character of its own).
size_t DecodeUtf8(std::string_view utf8, size_t at, unsigned long* codePoint);

}  // namespace ocilite
