// CommandLine.cpp
#include "qmexport/CommandLine.h"

#include <windows.h>

#include "framework/Text.h"

namespace {

const char kUsage[] =
    "usage: qmexport --user NAME --database CONNECT [--sysdba] (--file PATH | --dir FOLDER)\n"
    "                [--object NAME]... [--quiet]\n"
    "       qmexport --help\n"
    "\n"
    "Exports the PL/SQL source of the user's packages, package bodies, procedures and\n"
    "functions through the Oracle client (OCI.DLL), as the Quillmark window does.\n"
    "\n"
    "  --user NAME         Oracle user name\n"
    "  --database CONNECT  connect string\n"
    "  --sysdba            connect as SYSDBA\n"
    "  --file PATH         one .sql file holding every object, as the window writes it\n"
    "  --dir FOLDER        one file per object (.pks .pkb .prc .fnc) and install.sql;\n"
    "                      unchanged files are left alone, files of dropped objects removed\n"
    "  --object NAME       export this object only (as stored, exact); may be repeated\n"
    "  --quiet             print errors only\n"
    "\n"
    "The password comes from the environment variable QUILLMARK_PASSWORD, else it is read\n"
    "from the console (not shown) or from the first line of standard input.\n"
    "\n"
    "Exit codes: 0 done, 1 export failed, 2 usage error, 3 logon failed or no client library,\n"
    "130 stopped with Ctrl+C.\n";

// Text for messages, which go out as UTF-8.
std::string Utf8(const std::wstring& strText)
{
    return FromWide(strText, CP_UTF8);
}

// Text in the system code page; false when a character has no exact equivalent there.
bool ToCodePage(const std::wstring& strText, CString& strOut)
{
    bool bLossy = false;
    const std::string strBytes = FromWide(strText, CP_ACP, &bLossy);
    if (bLossy)
        return false;
    strOut = CString(strBytes.data(), int(strBytes.size()));
    return true;
}

enum class Option { User, Database, Sysdba, File, Dir, Object, Quiet, Help, Password, Unknown };

struct OptionName {
    const wchar_t* pszName;
    Option option;
    bool bTakesValue;
};

const OptionName kOptions[] = {
    {L"--user", Option::User, true},         {L"--database", Option::Database, true},
    {L"--sysdba", Option::Sysdba, false},    {L"--file", Option::File, true},
    {L"--dir", Option::Dir, true},           {L"--object", Option::Object, true},
    {L"--quiet", Option::Quiet, false},      {L"--help", Option::Help, false},
    {L"-h", Option::Help, false},            {L"/?", Option::Help, false},
    {L"--password", Option::Password, true},
};

const OptionName* FindOption(const std::wstring& strName)
{
    for (const OptionName& entry : kOptions) {
        if (strName == entry.pszName)
            return &entry;
    }
    return nullptr;
}

}  // namespace

const char* CommandLine::UsageText()
{
    return kUsage;
}

bool CommandLine::Parse(const std::vector<std::wstring>& args, CommandLine& line, std::string& strError)
{
    line = CommandLine();
    bool bUserSeen = false;
    bool bDatabaseSeen = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::wstring strName = args[i];
        std::wstring strValue;
        bool bInlineValue = false;
        const size_t nEquals = strName.find(L'=');
        if (strName.rfind(L"--", 0) == 0 && nEquals != std::wstring::npos) {
            strValue = strName.substr(nEquals + 1);
            strName = strName.substr(0, nEquals);
            bInlineValue = true;
        }
        const OptionName* pOption = FindOption(strName);
        if (pOption == nullptr) {
            strError = (strName.rfind(L"-", 0) == 0 ? "unknown option " : "unexpected argument ") + Utf8(args[i]);
            return false;
        }
        if (pOption->option == Option::Password) {
            strError = "the password is never taken from the command line (it would show in process lists); "
                       "set QUILLMARK_PASSWORD or type it when asked";
            return false;
        }
        if (pOption->bTakesValue && !bInlineValue) {
            if (i + 1 >= args.size()) {
                strError = Utf8(strName) + " needs a value";
                return false;
            }
            strValue = args[++i];
        } else if (!pOption->bTakesValue && bInlineValue) {
            strError = Utf8(strName) + " takes no value";
            return false;
        }
        if (pOption->bTakesValue && strValue.empty()) {
            strError = Utf8(strName) + " needs a value";
            return false;
        }

        CString strText;
        switch (pOption->option) {
        case Option::Help:
            line.bHelp = true;
            break;
        case Option::Sysdba:
            line.bSysdba = true;
            break;
        case Option::Quiet:
            line.bQuiet = true;
            break;
        case Option::User:
        case Option::Database:
        case Option::Object: {
            if (!ToCodePage(strValue, strText)) {
                strError = Utf8(strName) + " " + Utf8(strValue) + ": a character the system code page cannot hold";
                return false;
            }
            bool& bSeen = pOption->option == Option::User ? bUserSeen : bDatabaseSeen;
            if (pOption->option == Option::Object) {
                line.objectNames.push_back(strText);
            } else if (bSeen) {
                strError = Utf8(strName) + " given twice";
                return false;
            } else {
                bSeen = true;
                if (pOption->option == Option::User)
                    line.strUser = strText.MakeUpper();
                else
                    line.strDatabase = strText;
            }
            break;
        }
        case Option::File:
        case Option::Dir: {
            std::wstring& strPath = pOption->option == Option::File ? line.strFile : line.strFolder;
            if (!strPath.empty()) {
                strError = Utf8(strName) + " given twice";
                return false;
            }
            strPath = strValue;
            break;
        }
        default:
            break;
        }
    }
    if (line.bHelp)
        return true;
    if (!bUserSeen) {
        strError = "--user is missing";
        return false;
    }
    if (!bDatabaseSeen) {
        strError = "--database is missing";
        return false;
    }
    if (line.strFile.empty() == line.strFolder.empty()) {
        strError = line.strFile.empty() ? "one of --file and --dir is needed" : "--file and --dir exclude each other";
        return false;
    }
    return true;
}
