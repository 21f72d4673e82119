#include "oci-lite/NlsSettings.h"

#include <windows.h>

#include <cctype>

namespace ocilite {

namespace {

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// An environment variable's value; empty when it is unset or empty.
std::string EnvironmentValue(const char* name)
{
    char value[256];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// NLS_LANG as a Windows client finds it in the registry when the variable is unset.
std::string RegistryNlsLang()
{
    char value[256];
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "NLS_LANG", RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return std::string(value);
}

}  // namespace

NlsSettings NlsSettings::FromEnvironment()
{
    std::string nlsLang = EnvironmentValue("NLS_LANG");
    if (nlsLang.empty())
        nlsLang = RegistryNlsLang();
    return Parse(nlsLang, EnvironmentValue("NLS_SORT"));
}

NlsSettings NlsSettings::Parse(const std::string& nlsLang, const std::string& nlsSort)
{
    NlsSettings settings;
    std::string value = Upper(nlsLang);
    size_t dot = value.find('.');
    std::string territoryAndLanguage = value.substr(0, dot);
    settings.m_language = territoryAndLanguage.substr(0, territoryAndLanguage.find('_'));
    if (settings.m_language.empty())
        settings.m_language = "AMERICAN";
    if (dot != std::string::npos) {
        ClientCharset named = ClientCharset::Us7Ascii();
        if (ClientCharset::FromName(value.substr(dot + 1), &named))
            settings.m_charset = named;
    }
    std::string sort = Upper(nlsSort);
    settings.m_linguisticSort = sort.empty() ? settings.m_language != "AMERICAN" : sort != "BINARY";
    return settings;
}

}  // namespace ocilite
