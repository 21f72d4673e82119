#include "export/NameFilter.h"

#include <string>

namespace {

// The UTF-8 sequences of a text, one string each (a stray byte is one of its own).
std::vector<std::string> Characters(const CString& strText)
{
    std::vector<std::string> characters;
    const std::string strBytes = strText.str();
    for (size_t i = 0; i < strBytes.size();) {
        const unsigned char lead = static_cast<unsigned char>(strBytes[i]);
        size_t nLength = lead < 0x80    ? 1
                         : lead >= 0xF0 ? 4
                         : lead >= 0xE0 ? 3
                         : lead >= 0xC0 ? 2
                                        : 1;
        size_t n = 1;
        while (n < nLength && i + n < strBytes.size() &&
               (static_cast<unsigned char>(strBytes[i + n]) & 0xC0) == 0x80)
            ++n;
        characters.push_back(strBytes.substr(i, n));
        i += n;
    }
    return characters;
}

struct PatternItem {
    enum Kind { Plain, AnyOne, AnyRun } kind;
    std::string character;
};

}  // namespace

bool NameFilter::Like(const CString& strName, const CString& strPattern)
{
    std::vector<PatternItem> items;
    const std::vector<std::string> pattern = Characters(strPattern);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == "\\") {
            if (i + 1 >= pattern.size())
                return false;
            items.push_back({PatternItem::Plain, pattern[++i]});
        } else if (pattern[i] == "%") {
            items.push_back({PatternItem::AnyRun, std::string()});
        } else if (pattern[i] == "_") {
            items.push_back({PatternItem::AnyOne, std::string()});
        } else {
            items.push_back({PatternItem::Plain, pattern[i]});
        }
    }
    const std::vector<std::string> name = Characters(strName);
    // Greedy matching with one back-track point: the last "%" seen.
    size_t n = 0;
    size_t p = 0;
    size_t starP = std::string::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < items.size() && items[p].kind == PatternItem::AnyRun) {
            starP = p++;
            starN = n;
        } else if (p < items.size() &&
                   (items[p].kind == PatternItem::AnyOne || items[p].character == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < items.size() && items[p].kind == PatternItem::AnyRun)
        ++p;
    return p == items.size();
}

bool NameFilter::Selects(const CString& strName) const
{
    bool bIncluded = m_includes.empty();
    for (const CString& strPattern : m_includes) {
        if (Like(strName, strPattern)) {
            bIncluded = true;
            break;
        }
    }
    if (!bIncluded)
        return false;
    for (const CString& strPattern : m_excludes) {
        if (Like(strName, strPattern))
            return false;
    }
    return true;
}
