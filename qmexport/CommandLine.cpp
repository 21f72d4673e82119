// CommandLine.cpp
#include "qmexport/CommandLine.h"

#include "platform/TextCase.h"

#include <set>

#include "framework/Text.h"
#include "qmexport/ObjectKinds.h"

namespace {

const char kUsage[] =
    "usage: qmexport --user NAME --database CONNECT [--sysdba] (--file PATH | --dir FOLDER)\n"
    "                [--check] [--kinds LIST] [--owner NAME] [--object NAME]...\n"
    "                [--include PATTERN]... [--exclude PATTERN]... [--encoding utf-8|client]\n"
    "                [--ascii-names] [--quiet]\n"
    "       qmexport --help\n"
    "       qmexport --version\n"
    "\n"
    "Exports the PL/SQL source of a schema's stored code through the Oracle client (OCI.DLL\n"
    "on Windows, libclntsh.so on Linux), as the Quillmark window does.\n"
    "\n"
    "  --user NAME         Oracle user name; / logs on through the client's secure external\n"
    "                      password store (a wallet), and no password is read\n"
    "  --database CONNECT  connect string\n"
    "  --sysdba            connect as SYSDBA\n"
    "  --file PATH         one .sql file holding every object, as the window writes it\n"
    "  --dir FOLDER        one file per object (.tps .pks .fnc .prc .vw .tpb .pkb .trg)\n"
    "                      and install.sql; unchanged files are left alone, files of\n"
    "                      dropped objects removed\n"
    "  --kinds LIST        the kinds to export, separated by commas: PACKAGE, PACKAGE BODY,\n"
    "                      PROCEDURE, FUNCTION, TYPE, TYPE BODY, TRIGGER, VIEW, or all for all\n"
    "                      eight (default: the window's four, PACKAGE to FUNCTION)\n"
    "  --owner NAME        export this owner's objects (needs SELECT ANY DICTIONARY or\n"
    "                      SYSDBA); default: the user's own\n"
    "  --object NAME       export this object only (as stored, exact); may be repeated\n"
    "  --include PATTERN   export only objects whose name is LIKE the pattern (% any run,\n"
    "                      _ one character, \\ before %, _ or \\ makes it plain; case as\n"
    "                      stored); may be repeated: any pattern selects\n"
    "  --exclude PATTERN   leave out objects whose name is LIKE the pattern; may be repeated\n"
    "                      (not with --object)\n"
    "  --encoding ENC      utf-8: every file in UTF-8; client (default): in the character\n"
    "                      set NLS_LANG names\n"
    "  --ascii-names       with --dir: escape every character beyond ASCII in file names,\n"
    "                      so that the folder's names are the same on every system\n"
    "  --check             write nothing; print one line per difference between the export\n"
    "                      and the file or folder on standard output (changed, added,\n"
    "                      removed); exit 4 when anything differs\n"
    "  --quiet             print errors only\n"
    "\n"
    "The password comes from the environment variable QUILLMARK_PASSWORD, else it is read\n"
    "from the console (not shown) or from the first line of standard input; with --user /\n"
    "none is read.\n"
    "\n"
    "Exit codes: 0 done (with --check: no difference), 1 export failed, 2 usage error,\n"
    "3 logon failed or no client library, 4 differences found (--check), 130 stopped with\n"
    "Ctrl+C, 143 stopped by SIGTERM.\n";

const char kPasswordRefusal[] =
    "the password is never taken from the command line (it would show in process lists); "
    "set QUILLMARK_PASSWORD or type it when asked";

// Text for messages, which go out as UTF-8.
std::string Utf8(const std::wstring& strText)
{
    return FromWide(strText, kUtf8CodePage);
}

// Names as the session takes them: UTF-8, whatever the system's code page.
CString SessionText(const std::wstring& strText)
{
    const std::string strBytes = FromWide(strText, kUtf8CodePage);
    return CString(strBytes.data(), int(strBytes.size()));
}

// Upper case as Oracle folds a name that is not quoted: every letter, not only ASCII's.
std::wstring Upper(const std::wstring& strText)
{
    return UpperCase(strText);
}

// One option as the handlers see it: its name as typed (for messages) and its value.
struct OptionValue {
    const std::wstring& strName;
    const std::wstring& strValue;
};

using Handler = bool (*)(const OptionValue& option, CommandLine& line, std::string& strError);

bool OnHelp(const OptionValue&, CommandLine& line, std::string&)
{
    line.bHelp = true;
    return true;
}

bool OnVersion(const OptionValue&, CommandLine& line, std::string&)
{
    line.bVersion = true;
    return true;
}

bool OnSysdba(const OptionValue&, CommandLine& line, std::string&)
{
    line.bSysdba = true;
    return true;
}

bool OnQuiet(const OptionValue&, CommandLine& line, std::string&)
{
    line.bQuiet = true;
    return true;
}

bool OnCheck(const OptionValue&, CommandLine& line, std::string&)
{
    line.bCheck = true;
    return true;
}

bool OnAsciiNames(const OptionValue&, CommandLine& line, std::string&)
{
    line.bAsciiNames = true;
    return true;
}

// A pattern the server takes: "\" only before "%", "_" or "\" (Oracle refuses any other
// escaped character, and a pattern ending in the escape, with ORA-01424).
bool ReadPattern(const OptionValue& option, std::vector<CString>& patterns, std::string& strError)
{
    const std::wstring& strPattern = option.strValue;
    for (size_t i = 0; i < strPattern.size(); ++i) {
        if (strPattern[i] != L'\\')
            continue;
        if (i + 1 >= strPattern.size() || (strPattern[i + 1] != L'%' && strPattern[i + 1] != L'_' &&
                                           strPattern[i + 1] != L'\\')) {
            strError =
                Utf8(option.strName) + " " + Utf8(strPattern) + ": \\ must come before %, _ or \\";
            return false;
        }
        ++i;
    }
    patterns.push_back(SessionText(strPattern));
    return true;
}

bool OnInclude(const OptionValue& option, CommandLine& line, std::string& strError)
{
    return ReadPattern(option, line.includePatterns, strError);
}

bool OnExclude(const OptionValue& option, CommandLine& line, std::string& strError)
{
    return ReadPattern(option, line.excludePatterns, strError);
}

bool OnEncoding(const OptionValue& option, CommandLine& line, std::string& strError)
{
    std::wstring strValue = option.strValue;
    for (wchar_t& ch : strValue)
        ch = (ch >= L'A' && ch <= L'Z') ? wchar_t(ch - L'A' + L'a') : ch;
    if (strValue == L"utf-8") {
        line.bUtf8Files = true;
        return true;
    }
    if (strValue == L"client") {
        line.bUtf8Files = false;
        return true;
    }
    strError = "unknown encoding " + Utf8(option.strValue) + " (the encodings: utf-8, client)";
    return false;
}

bool OnUser(const OptionValue& option, CommandLine& line, std::string&)
{
    line.strUser = SessionText(Upper(option.strValue));
    return true;
}

bool OnOwner(const OptionValue& option, CommandLine& line, std::string&)
{
    line.strOwner = SessionText(Upper(option.strValue));
    return true;
}

bool OnDatabase(const OptionValue& option, CommandLine& line, std::string&)
{
    line.strDatabase = SessionText(option.strValue);
    return true;
}

bool OnObject(const OptionValue& option, CommandLine& line, std::string&)
{
    line.objectNames.push_back(SessionText(option.strValue));
    return true;
}

bool OnFile(const OptionValue& option, CommandLine& line, std::string&)
{
    line.strFile = option.strValue;
    return true;
}

bool OnDir(const OptionValue& option, CommandLine& line, std::string&)
{
    line.strFolder = option.strValue;
    return true;
}

bool IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

// One item of --kinds as a kind's name: blanks around it dropped, blanks inside it one space,
// letters in upper case.
std::wstring KindName(const std::wstring& strItem)
{
    std::wstring strName;
    bool bBlank = false;
    for (wchar_t ch : strItem) {
        if (IsBlank(ch)) {
            bBlank = !strName.empty();
            continue;
        }
        if (bBlank)
            strName += L' ';
        bBlank = false;
        strName += (ch >= L'a' && ch <= L'z') ? wchar_t(ch - L'a' + L'A') : ch;
    }
    return strName;
}

std::string KindList()
{
    std::string strList;
    for (const ObjectKind& kind : ObjectKinds::All())
        strList += std::string(strList.empty() ? "" : ", ") + kind.pszType;
    return strList + ", or all";
}

std::wstring Trimmed(const std::wstring& strText)
{
    size_t nStart = 0;
    size_t nEnd = strText.size();
    while (nStart < nEnd && IsBlank(strText[nStart]))
        ++nStart;
    while (nEnd > nStart && IsBlank(strText[nEnd - 1]))
        --nEnd;
    return strText.substr(nStart, nEnd - nStart);
}

bool OnKinds(const OptionValue& option, CommandLine& line, std::string& strError)
{
    std::set<std::string> chosen;
    size_t nStart = 0;
    for (;;) {
        const size_t nComma = option.strValue.find(L',', nStart);
        const std::wstring strItem =
            option.strValue.substr(nStart, nComma == std::wstring::npos ? nComma : nComma - nStart);
        const std::string strName = Utf8(KindName(strItem));
        if (strName == "ALL") {
            for (const ObjectKind& kind : ObjectKinds::All())
                chosen.insert(kind.pszType);
        } else if (ObjectKinds::OfType(strName.c_str()) != nullptr) {
            chosen.insert(strName);
        } else {
            const std::string strShown = strName.empty() ? "\"\"" : Utf8(Trimmed(strItem));
            strError = "unknown kind " + strShown + " (the kinds: " + KindList() + ")";
            return false;
        }
        if (nComma == std::wstring::npos)
            break;
        nStart = nComma + 1;
    }
    for (const ObjectKind& kind : ObjectKinds::All()) {
        if (chosen.count(kind.pszType) != 0)
            line.kinds.emplace_back(kind.pszType);
    }
    return true;
}

enum class Takes { Nothing, Value };

struct OptionRow {
    const wchar_t* pszName;
    Takes takes;
    // The option may be given once only.
    bool bOnce;
    Handler handler;
};

const OptionRow kOptions[] = {
    {L"--user", Takes::Value, true, OnUser},
    {L"--database", Takes::Value, true, OnDatabase},
    {L"--sysdba", Takes::Nothing, false, OnSysdba},
    {L"--file", Takes::Value, true, OnFile},
    {L"--dir", Takes::Value, true, OnDir},
    {L"--kinds", Takes::Value, true, OnKinds},
    {L"--owner", Takes::Value, true, OnOwner},
    {L"--object", Takes::Value, false, OnObject},
    {L"--quiet", Takes::Nothing, false, OnQuiet},
    {L"--help", Takes::Nothing, false, OnHelp},
    {L"--check", Takes::Nothing, false, OnCheck},
    {L"--include", Takes::Value, false, OnInclude},
    {L"--exclude", Takes::Value, false, OnExclude},
    {L"--encoding", Takes::Value, true, OnEncoding},
    {L"--ascii-names", Takes::Nothing, false, OnAsciiNames},
    {L"-h", Takes::Nothing, false, OnHelp},
    {L"/?", Takes::Nothing, false, OnHelp},
    {L"--version", Takes::Nothing, false, OnVersion},
};

const OptionRow* FindOption(const std::wstring& strName)
{
    for (const OptionRow& row : kOptions) {
        if (strName == row.pszName)
            return &row;
    }
    return nullptr;
}

// The arguments one at a time: each option's name, its value (inline after "=" or the next
// argument), and the options seen so far.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::wstring>& args) : m_args(args) {}

    // Reads the next option and runs its handler; false with the reason in strError.
    bool ReadOne(CommandLine& line, std::string& strError)
    {
        const std::wstring& strArgument = m_args[m_nNext++];
        std::wstring strName = strArgument;
        std::wstring strValue;
        bool bInlineValue = false;
        const size_t nEquals = strName.find(L'=');
        if (strName.rfind(L"--", 0) == 0 && nEquals != std::wstring::npos) {
            strValue = strName.substr(nEquals + 1);
            strName = strName.substr(0, nEquals);
            bInlineValue = true;
        }
        if (strName == L"--password") {
            strError = kPasswordRefusal;
            return false;
        }
        const OptionRow* pRow = FindOption(strName);
        if (pRow == nullptr) {
            strError = (strName.rfind(L"-", 0) == 0 ? "unknown option " : "unexpected argument ") +
                       Utf8(strArgument);
            return false;
        }
        if (pRow->takes == Takes::Value && !bInlineValue) {
            if (AtEnd()) {
                strError = Utf8(strName) + " needs a value";
                return false;
            }
            strValue = m_args[m_nNext++];
        } else if (pRow->takes == Takes::Nothing && bInlineValue) {
            strError = Utf8(strName) + " takes no value";
            return false;
        }
        if (pRow->takes == Takes::Value && strValue.empty()) {
            strError = Utf8(strName) + " needs a value";
            return false;
        }
        if (pRow->bOnce && !m_seen.insert(pRow->handler).second) {
            strError = Utf8(strName) + " given twice";
            return false;
        }
        return pRow->handler(OptionValue{strName, strValue}, line, strError);
    }

    bool AtEnd() const { return m_nNext >= m_args.size(); }
    bool Seen(Handler handler) const { return m_seen.count(handler) != 0; }

private:
    const std::vector<std::wstring>& m_args;
    size_t m_nNext = 0;
    std::set<Handler> m_seen;
};

}  // namespace

const char* CommandLine::UsageText()
{
    return kUsage;
}

bool CommandLine::Parse(const std::vector<std::wstring>& args, CommandLine& line,
                        std::string& strError)
{
    line = CommandLine();
    ArgumentReader reader(args);
    while (!reader.AtEnd()) {
        if (!reader.ReadOne(line, strError))
            return false;
    }
    if (line.bHelp || line.bVersion)
        return true;
    if (!reader.Seen(OnUser)) {
        strError = "--user is missing";
        return false;
    }
    if (!reader.Seen(OnDatabase)) {
        strError = "--database is missing";
        return false;
    }
    if (line.strFile.empty() == line.strFolder.empty()) {
        strError = line.strFile.empty() ? "one of --file and --dir is needed"
                                        : "--file and --dir exclude each other";
        return false;
    }
    if (!line.objectNames.empty() &&
        (!line.includePatterns.empty() || !line.excludePatterns.empty())) {
        strError = "--object excludes --include and --exclude";
        return false;
    }
    if (line.bAsciiNames && line.strFolder.empty()) {
        strError = "--ascii-names needs --dir";
        return false;
    }
    return true;
}
