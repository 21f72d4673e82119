// NlsSettings.h
//
// NlsSettings: the globalization settings of one environment, taken as the real client takes
// them when the environment is created.
//   - NLS_LANG, "LANGUAGE_TERRITORY.CHARSET" (each part may be left out): the environment
//     variable, else the registry value HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE\NLS_LANG, else
//     AMERICAN_AMERICA.US7ASCII. A missing language is AMERICAN, a missing character set
//     US7ASCII. A language, territory or character set the client does not know, or a value of
//     another shape, makes the settings unreadable (IsReadable false): the environment is not
//     made (ORA-12705).
//   - NLS_SORT: the environment variable (BINARY, or the name of a linguistic sort such as
//     GERMAN or BINARY_CI), else the language's default: AMERICAN sorts text by its bytes, every
//     other language linguistically.
//   - NLS_COMP: the environment variable, BINARY (the default) or LINGUISTIC; with LINGUISTIC,
//     comparisons of text follow NLS_SORT (see TextComparison).
#pragma once

#include <string>

#include "oci-lite/ClientCharset.h"

namespace ocilite {

// How =, IN, LIKE and GROUP BY compare text in a session.
enum class TextComparison {
    kBinary,             // bytes
    kCaseInsensitive,    // NLS_COMP=LINGUISTIC with a _CI sort
    kAccentInsensitive,  // NLS_COMP=LINGUISTIC with an _AI sort: neither case nor accents
};

// A session's NLS_COMP and NLS_SORT, as the environment set them or ALTER SESSION changed them.
struct SessionNls {
    std::string nlsComp;  // upper case; empty: BINARY
    std::string nlsSort;  // upper case; empty: the language's default
    bool languageSortsLinguistically = false;

    bool SortsLinguistically() const
    {
        return nlsSort.empty() ? languageSortsLinguistically : nlsSort != "BINARY";
    }
    TextComparison Comparison() const;
};

class NlsSettings {
public:
    static NlsSettings FromEnvironment();

    // nlsLang, nlsSort and nlsComp as the variables would hold them; empty means unset.
    static NlsSettings Parse(const std::string& nlsLang, const std::string& nlsSort,
                             const std::string& nlsComp = std::string());

    bool IsReadable() const { return m_readable; }
    const ClientCharset& Charset() const { return m_charset; }
    const std::string& Language() const { return m_language; }
    bool SortsLinguistically() const { return m_session.SortsLinguistically(); }
    const SessionNls& Session() const { return m_session; }

    // Whether an NLS_SORT value names a sort (BINARY, a linguistic sort, either with _CI/_AI).
    static bool IsKnownSort(const std::string& upperName);

private:
    NlsSettings() : m_charset(ClientCharset::Us7Ascii()) {}

    bool m_readable = true;
    ClientCharset m_charset;
    std::string m_language;
    SessionNls m_session;
};

}  // namespace ocilite
