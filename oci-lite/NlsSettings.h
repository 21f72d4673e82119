// NlsSettings.h
//
// NlsSettings: the globalization settings of one environment, taken as the real client takes
// them when the environment is created.
//   - NLS_LANG, "LANGUAGE_TERRITORY.CHARSET" (each part may be left out): the environment
//     variable, else the registry value HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE\NLS_LANG, else
//     AMERICAN_AMERICA.US7ASCII. A missing language is AMERICAN; a missing or unknown character
//     set is US7ASCII.
//   - NLS_SORT: the environment variable (BINARY, or the name of a linguistic sort), else the
//     language's default: AMERICAN sorts text by its bytes, every other language linguistically.
#pragma once

#include <string>

#include "oci-lite/ClientCharset.h"

namespace ocilite {

class NlsSettings {
public:
    static NlsSettings FromEnvironment();

    // nlsLang and nlsSort as the variables would hold them; empty means unset.
    static NlsSettings Parse(const std::string& nlsLang, const std::string& nlsSort);

    const ClientCharset& Charset() const { return m_charset; }
    const std::string& Language() const { return m_language; }
    bool SortsLinguistically() const { return m_linguisticSort; }

private:
    NlsSettings() : m_charset(ClientCharset::Us7Ascii()) {}

    ClientCharset m_charset;
    std::string m_language;
    bool m_linguisticSort = false;
};

}  // namespace ocilite
