// FolderIndex.cpp
#include "qmexport/FolderIndex.h"

#include <algorithm>
#include <tuple>

#include "framework/Text.h"
#include "qmexport/ObjectKinds.h"

namespace {

const char kManifestHeader[] =
    "# Files qmexport wrote into this folder; it removes them when their objects are gone.\n";

const size_t kShownLength = 300;

}  // namespace

namespace Manifest {

std::vector<std::string> Parse(const std::string& strText)
{
    std::vector<std::string> entries;
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos)
            break;
        std::string strLine = strText.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.empty() || strLine[0] == '#')
            continue;
        entries.push_back(strLine);
    }
    return entries;
}

bool FileNameOf(const std::string& strEntry, std::wstring& strFile)
{
    strFile = ToWide(strEntry, kUtf8CodePage);
    // Bytes that are not UTF-8 come back as U+FFFD, which would name another file.
    return FromWide(strFile, kUtf8CodePage) == strEntry;
}

std::string Shown(const std::string& strEntry)
{
    const char kHex[] = "0123456789ABCDEF";
    std::wstring strIgnored;
    const bool bUtf8 = FileNameOf(strEntry, strIgnored);
    std::string strShown;
    for (size_t i = 0; i < strEntry.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(strEntry[i]);
        const bool bContinuation = bUtf8 && (byte & 0xC0) == 0x80;
        if (strShown.size() >= kShownLength && !bContinuation)
            return strShown + "...";
        if ((byte >= 0x20 && byte < 0x7F) || (byte >= 0x80 && bUtf8)) {
            strShown += char(byte);
        } else {
            strShown += "\\x";
            strShown += kHex[byte >> 4];
            strShown += kHex[byte & 0x0F];
        }
    }
    return strShown;
}

std::string Format(const FileNameSet& files)
{
    std::string strText = kManifestHeader;
    for (const std::wstring& strFile : files)
        strText += FromWide(strFile, kUtf8CodePage) + "\n";
    return strText;
}

}  // namespace Manifest

namespace InstallScript {

std::string Text(const FileNameSet& files, unsigned nCodePage, std::vector<std::wstring>* pUnnamed,
                 const SqlPlusNeeds& needs)
{
    nCodePage = ObjectFileNames::InstallCodePage(nCodePage);
    // (group, stored name or its start, file name)
    std::vector<std::tuple<int, std::string, std::wstring>> entries;
    for (const std::wstring& strFile : files) {
        ObjectFileNames::ParsedFileName parsed;
        if (ObjectFileNames::IsOwnFileName(strFile, &parsed, nCodePage))
            entries.emplace_back(ObjectKinds::OfType(parsed.strType)->nInstallGroup,
                                 parsed.strName.str(), strFile);
    }
    std::sort(entries.begin(), entries.end());
    std::string strText = SettingsFor(needs, true).strLines.str();
    for (const auto& entry : entries) {
        bool bLossy = false;
        const std::string strFile = FromWide(std::get<2>(entry), nCodePage, &bLossy);
        if (bLossy || ToWide(strFile, nCodePage) != std::get<2>(entry)) {
            if (pUnnamed != nullptr)
                pUnnamed->push_back(std::get<2>(entry));
            continue;
        }
        // SQL*Plus ends a file name at a space unless it is quoted.
        if (strFile.find(' ') != std::string::npos)
            strText += "@@\"" + strFile + "\"\n";
        else
            strText += "@@" + strFile + "\n";
    }
    return strText;
}

}  // namespace InstallScript
