#include "oci-lite/NlsSettings.h"

#include <cctype>

#include "oci-lite/Host.h"

namespace ocilite {

namespace {

// The languages and territories oci-lite knows, Oracle's names; any other is unreadable, as a
// client without that language's data files finds it.
const char* const kLanguages[] = {
    "AMERICAN",
    "ARABIC",
    "BRAZILIAN PORTUGUESE",
    "BULGARIAN",
    "CANADIAN FRENCH",
    "CATALAN",
    "CROATIAN",
    "CZECH",
    "DANISH",
    "DUTCH",
    "EGYPTIAN",
    "ENGLISH",
    "ESTONIAN",
    "FINNISH",
    "FRENCH",
    "GERMAN",
    "GERMAN DIN",
    "GREEK",
    "HEBREW",
    "HUNGARIAN",
    "ICELANDIC",
    "INDONESIAN",
    "ITALIAN",
    "JAPANESE",
    "KOREAN",
    "LATIN AMERICAN SPANISH",
    "LATVIAN",
    "LITHUANIAN",
    "MEXICAN SPANISH",
    "NORWEGIAN",
    "POLISH",
    "PORTUGUESE",
    "ROMANIAN",
    "RUSSIAN",
    "SIMPLIFIED CHINESE",
    "SLOVAK",
    "SLOVENIAN",
    "SPANISH",
    "SWEDISH",
    "THAI",
    "TRADITIONAL CHINESE",
    "TURKISH",
    "UKRAINIAN",
    "VIETNAMESE",
};
const char* const kTerritories[] = {
    "AMERICA",        "AUSTRALIA", "AUSTRIA",    "BELGIUM", "BRAZIL",         "BULGARIA",
    "CANADA",         "CATALONIA", "CHINA",      "CIS",     "CROATIA",        "CZECH REPUBLIC",
    "CZECHOSLOVAKIA", "DENMARK",   "EGYPT",      "ESTONIA", "FINLAND",        "FRANCE",
    "GERMANY",        "GREECE",    "HONG KONG",  "HUNGARY", "ICELAND",        "INDIA",
    "INDONESIA",      "IRELAND",   "ISRAEL",     "ITALY",   "JAPAN",          "KOREA",
    "LATVIA",         "LITHUANIA", "LUXEMBOURG", "MEXICO",  "NETHERLANDS",    "NEW ZEALAND",
    "NORWAY",         "POLAND",    "PORTUGAL",   "ROMANIA", "RUSSIA",         "SAUDI ARABIA",
    "SINGAPORE",      "SLOVAKIA",  "SLOVENIA",   "SPAIN",   "SWEDEN",         "SWITZERLAND",
    "TAIWAN",         "THAILAND",  "TURKEY",     "UKRAINE", "UNITED KINGDOM", "VIETNAM",
};
// Linguistic sorts oci-lite knows by name (besides the languages' own names).
const char* const kSorts[] = {"BINARY",  "GENERIC_M",   "WEST_EUROPEAN", "XWEST_EUROPEAN",
                              "XGERMAN", "PUNCTUATION", "UNICODE_BINARY"};

template <size_t N>
bool Listed(const char* const (&names)[N], const std::string& name)
{
    for (const char* listed : names) {
        if (name == listed)
            return true;
    }
    return false;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, const char* suffix)
{
    const std::string tail(suffix);
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool NlsSettings::IsKnownSort(const std::string& upperName)
{
    std::string base = upperName;
    if (EndsWith(base, "_CI") || EndsWith(base, "_AI"))
        base.resize(base.size() - 3);
    return Listed(kSorts, base) || Listed(kLanguages, base);
}

TextComparison SessionNls::Comparison() const
{
    if (nlsComp != "LINGUISTIC")
        return TextComparison::kBinary;
    if (EndsWith(nlsSort, "_AI"))
        return TextComparison::kAccentInsensitive;
    if (EndsWith(nlsSort, "_CI"))
        return TextComparison::kCaseInsensitive;
    return TextComparison::kBinary;
}

NlsSettings NlsSettings::FromEnvironment()
{
    std::string nlsLang = host::Environment("NLS_LANG");
    if (nlsLang.empty())
        nlsLang = host::SystemNlsLang();
    return Parse(nlsLang, host::Environment("NLS_SORT"), host::Environment("NLS_COMP"));
}

NlsSettings NlsSettings::Parse(const std::string& nlsLang, const std::string& nlsSort,
                               const std::string& nlsComp)
{
    NlsSettings settings;
    const std::string value = Upper(nlsLang);
    const size_t dot = value.find('.');
    const std::string languageAndTerritory = value.substr(0, dot);
    const size_t underscore = languageAndTerritory.find('_');
    settings.m_language = languageAndTerritory.substr(0, underscore);
    const std::string territory = underscore == std::string::npos
                                      ? std::string()
                                      : languageAndTerritory.substr(underscore + 1);
    if (!settings.m_language.empty() && !Listed(kLanguages, settings.m_language))
        settings.m_readable = false;
    if (underscore != std::string::npos && !Listed(kTerritories, territory))
        settings.m_readable = false;
    if (dot != std::string::npos &&
        !ClientCharset::FromName(value.substr(dot + 1), &settings.m_charset)) {
        settings.m_readable = false;
    }
    if (settings.m_language.empty())
        settings.m_language = "AMERICAN";
    const std::string sort = Upper(nlsSort);
    const std::string comp = Upper(nlsComp);
    if (!sort.empty() && !IsKnownSort(sort))
        settings.m_readable = false;
    if (!comp.empty() && comp != "BINARY" && comp != "LINGUISTIC" && comp != "ANSI")
        settings.m_readable = false;
    settings.m_session.nlsComp = comp;
    settings.m_session.nlsSort = sort;
    settings.m_session.languageSortsLinguistically = settings.m_language != "AMERICAN";
    return settings;
}

}  // namespace ocilite
