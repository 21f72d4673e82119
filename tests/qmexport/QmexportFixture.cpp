// QmexportFixture.cpp
//
// The fixture's part that is the same on every system; the system's calls are behind
// QmexportFixtureSystem.h.
#include "tests/qmexport/QmexportFixture.h"

#include "platform/Text.h"
#include "tests/qmexport/QmexportFixtureSystem.h"

#include <gtest/gtest.h>

namespace QmexportTest {

namespace {

// Runs once per process: the databases' folder, named in OCI_LITE_HOME for every child.
struct DatabaseHome {
    std::string strFolder;
    DatabaseHome()
    {
        strFolder =
            SystemPart::TempRoot() + "qm_qmexport_db_" + SystemPart::ProcessTag() + kSeparator;
        MakeFolder(strFolder);
        SystemPart::SetVariable("OCI_LITE_HOME", strFolder.substr(0, strFolder.size() - 1));
    }
    ~DatabaseHome() { SystemPart::RemoveTree(strFolder); }
};

DatabaseHome& Home()
{
    static DatabaseHome home;
    return home;
}

}  // namespace

std::string NativePath(std::string strPath)
{
    for (char& ch : strPath) {
        if (ch == '/')
            ch = kSeparator[0];
    }
    return strPath;
}

// ---- TempFolder ----

TempFolder::TempFolder(const char* pszTag)
{
    static unsigned nSerial = 0;
    m_strPath = SystemPart::TempRoot() + "qm_qmexport_" + pszTag + "_" + SystemPart::ProcessTag() +
                "_" + std::to_string(++nSerial) + kSeparator;
    SystemPart::RemoveTree(m_strPath);
    MakeFolder(m_strPath);
}

TempFolder::~TempFolder()
{
    SystemPart::RemoveTree(m_strPath);
}

// ---- Schema ----

std::string DatabaseFolder()
{
    return Home().strFolder;
}

Schema::Schema(const char* pszDatabase) : OciLiteSchema(DatabaseFolder(), pszDatabase)
{
    AddUser(kUser, kPassword, 0);
}

// ---- Processes ----

RunResult RunQmexport(const std::string& strArguments, const RunOptions& options)
{
    Home();
    std::map<std::string, std::string> environment{{"QUILLMARK_PASSWORD", kPassword}};
    for (const auto& change : options.environment)
        environment[change.first] = change.second;
    return SystemPart::Run(QMEXPORT_EXE, strArguments, environment, options);
}

// CommandLineToArgvW's rules: 2n backslashes before a quote are n backslashes and the quote
// opens or closes a quoted part; 2n+1 are n and a quote; other backslashes are themselves
// (no row here needs the rules for "" inside a quoted part).
std::vector<std::string> SplitCommandLine(const std::string& strLine)
{
    std::vector<std::string> args;
    size_t i = 0;
    for (;;) {
        while (i < strLine.size() && (strLine[i] == ' ' || strLine[i] == '\t'))
            ++i;
        if (i == strLine.size())
            return args;
        std::string strArg;
        bool bQuoted = false;
        while (i < strLine.size() && (bQuoted || (strLine[i] != ' ' && strLine[i] != '\t'))) {
            size_t nSlashes = 0;
            while (i < strLine.size() && strLine[i] == '\\') {
                ++nSlashes;
                ++i;
            }
            if (i < strLine.size() && strLine[i] == '"') {
                strArg.append(nSlashes / 2, '\\');
                if (nSlashes % 2 == 1)
                    strArg += '"';
                else
                    bQuoted = !bQuoted;
                ++i;
            } else {
                strArg.append(nSlashes, '\\');
                if (nSlashes == 0 && i < strLine.size())
                    strArg += strLine[i++];
            }
        }
        args.push_back(strArg);
    }
}

std::string LibraryPathWithoutOciLite()
{
    const std::string strPath = Variable(kLibraryPathVariable);
    const char chSeparator = kLibraryPathSeparator[0];
    std::string strKept;
    size_t nStart = 0;
    while (nStart <= strPath.size()) {
        size_t nEnd = strPath.find(chSeparator, nStart);
        if (nEnd == std::string::npos)
            nEnd = strPath.size();
        const std::string strPart = strPath.substr(nStart, nEnd - nStart);
        if (!strPart.empty() && strPart.find("oci-lite-bin") == std::string::npos)
            strKept += (strKept.empty() ? "" : kLibraryPathSeparator) + strPart;
        nStart = nEnd + 1;
    }
    return strKept;
}

// ---- Files and text ----

std::string Expected(const char* pszName)
{
    const std::string strPath = std::string(EXPORT_TEST_EXPECTED_DIR) + "/" + pszName;
    if (!FileExists(strPath))
        ADD_FAILURE() << "missing expected file " << strPath;
    return ReadFile(strPath);
}

std::string BlockOf(const std::vector<std::string>& lines)
{
    std::string strBlock = "CREATE OR REPLACE ";
    for (const std::string& strLine : lines)
        strBlock += strLine;
    // The last non-blank line, without blanks around it: a "/" alone needs no slash line.
    const std::string strTrimmed = strBlock.substr(0, strBlock.find_last_not_of(" \t\r\n") + 1);
    std::string strLast = strTrimmed.substr(strTrimmed.rfind('\n') + 1);
    strLast.erase(0, strLast.find_first_not_of(" \t\r"));
    strLast.erase(strLast.find_last_not_of(" \t\r") + 1);
    const bool bSlashLine = strLast == "/";
    return strBlock + (bSlashLine ? "\n" : "\n/\n");
}

std::wstring Wide(const std::string& strText)
{
    return ToWide(strText, kUtf8CodePage);
}

std::string Utf8(const std::wstring& strText)
{
    return FromWide(strText, kUtf8CodePage);
}

}  // namespace QmexportTest
