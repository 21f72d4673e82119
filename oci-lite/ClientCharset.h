// ClientCharset.h
//
// ClientCharset: the client character set of one environment, one of the Oracle sets oci-lite
// knows by Oracle's name and id (NLS_CHARSET_ID), each carried by a Windows code page. The
// database keeps its text in UTF-8. With UTF8 or AL32UTF8 the stored bytes travel unchanged;
// with another set, SQL texts, binds and logon names are converted on the way in and fetched
// text on the way out, and characters the client set lacks arrive as "?", as Oracle's
// replacement character does. US7ASCII, the client's default, keeps only 7-bit characters.
#pragma once

#include <string>

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

    std::string ToDatabase(const std::string& clientText) const;
    std::string ToClient(const std::string& databaseText) const;
    unsigned short Id() const { return m_id; }

private:
    ClientCharset(unsigned short id, unsigned codePage) : m_id(id), m_codePage(codePage) {}
    unsigned short m_id;
    unsigned m_codePage;
};

}  // namespace ocilite
