// FolderIndex.cpp
#include "qmexport/FolderIndex.h"

#include <windows.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "framework/Text.h"
#include "qmexport/ObjectFileNames.h"
#include "qmexport/ObjectKinds.h"

namespace {

const char kManifestHeader[] =
    "# Files qmexport wrote into this folder; it removes them when their objects are gone.\n";

// SQL*Plus would take each "&" of the source for a substitution variable and ask for its value.
const char kInstallPreamble[] = "SET DEFINE OFF\n";

}  // namespace

namespace Manifest {

std::set<std::wstring> Parse(const std::string& strText)
{
    std::set<std::wstring> files;
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
        files.insert(ToWide(strLine, CP_UTF8));
    }
    return files;
}

std::string Format(const std::set<std::wstring>& files)
{
    std::string strText = kManifestHeader;
    for (const std::wstring& strFile : files)
        strText += FromWide(strFile, CP_UTF8) + "\n";
    return strText;
}

}  // namespace Manifest

namespace InstallScript {

std::string Text(const std::set<std::wstring>& files)
{
    // (group, stored name, file name)
    std::vector<std::tuple<int, std::string, std::wstring>> entries;
    for (const std::wstring& strFile : files) {
        CString strName;
        CString strType;
        if (ObjectFileNames::ObjectOf(strFile, strName, strType))
            entries.emplace_back(ObjectKinds::OfType(strType)->nInstallGroup, strName.str(), strFile);
    }
    std::sort(entries.begin(), entries.end());
    std::string strText = kInstallPreamble;
    for (const auto& entry : entries) {
        const std::string strFile = FromWide(std::get<2>(entry));
        // SQL*Plus ends a file name at a space unless it is quoted.
        if (strFile.find(' ') != std::string::npos)
            strText += "@@\"" + strFile + "\"\n";
        else
            strText += "@@" + strFile + "\n";
    }
    return strText;
}

}  // namespace InstallScript
