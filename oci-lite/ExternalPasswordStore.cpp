#include "oci-lite/ExternalPasswordStore.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "oci-lite/Host.h"

namespace ocilite {

namespace {

const char kSqlnetFile[] = "sqlnet.ora";
const char kWalletFile[] = "oci-lite-wallet.txt";

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string Trim(const std::string& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// A parameter file's text without its "#" comments (each runs to the end of its line).
std::string WithoutComments(const std::string& text)
{
    std::string kept;
    bool inComment = false;
    for (char c : text) {
        if (c == '\n')
            inComment = false;
        else if (c == '#')
            inComment = true;
        if (!inComment)
            kept += c;
    }
    return kept;
}

// One parameter of a parameter file: NAME = value, the value either text or a list of
// parenthesised parameters.
struct Parameter {
    std::string name;  // upper case
    std::string text;  // trimmed, surrounding double quotes removed
    std::vector<Parameter> children;

    const Parameter* Child(const char* childName) const
    {
        const Parameter* found = nullptr;
        for (const Parameter& child : children) {
            if (child.name == childName && found == nullptr)
                found = &child;
        }
        return found;
    }
};

// How deep parentheses may nest in a parameter file. The client's documentation names no
// limit; a deeper file counts as no parameter file (never a crash of the caller's process).
constexpr int kMaxNesting = 64;

class ParameterParser {
public:
    explicit ParameterParser(std::string text) : m_text(std::move(text)) {}

    // Every top-level parameter; false when the text is not a parameter file.
    bool ParseFile(std::vector<Parameter>* parameters)
    {
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                return true;
            Parameter parameter;
            if (!ParseAssignment(false, &parameter))
                return false;
            parameters->push_back(std::move(parameter));
        }
    }

private:
    bool AtEnd() const { return m_pos >= m_text.size(); }
    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(m_text[m_pos]))
            ++m_pos;
    }

    // NAME = value; inside parentheses the value's text runs to the closing parenthesis.
    bool ParseAssignment(bool inParentheses, Parameter* parameter, int depth = 0)
    {
        if (depth > kMaxNesting)
            return false;
        size_t start = m_pos;
        while (!AtEnd() && m_text[m_pos] != '=' && m_text[m_pos] != '(' && m_text[m_pos] != ')')
            ++m_pos;
        parameter->name = Upper(Trim(m_text.substr(start, m_pos - start)));
        if (AtEnd() || m_text[m_pos] != '=' || parameter->name.empty())
            return false;
        ++m_pos;
        SkipBlanks();
        if (!AtEnd() && m_text[m_pos] == '(') {
            while (!AtEnd() && m_text[m_pos] == '(') {
                ++m_pos;
                SkipBlanks();
                if (IsPlainList()) {
                    // A list of plain values, "(TNSNAMES, EZCONNECT)": kept as text.
                    const size_t close = m_text.find(')', m_pos);
                    parameter->text += Trim(m_text.substr(m_pos, close - m_pos));
                    m_pos = close;
                } else {
                    Parameter child;
                    if (!ParseAssignment(true, &child, depth + 1))
                        return false;
                    parameter->children.push_back(std::move(child));
                }
                SkipBlanks();
                if (AtEnd() || m_text[m_pos] != ')')
                    return false;
                ++m_pos;
                SkipBlanks();
            }
            return true;
        }
        start = m_pos;
        if (inParentheses) {
            while (!AtEnd() && m_text[m_pos] != ')' && m_text[m_pos] != '(' && m_text[m_pos] != '=')
                ++m_pos;
        } else {
            // A top-level value runs to the end of its line (a path may hold blanks).
            while (!AtEnd() && m_text[m_pos] != '\n' && m_text[m_pos] != '(' &&
                   m_text[m_pos] != ')')
                ++m_pos;
        }
        if (!AtEnd() && m_text[m_pos] != ')' && inParentheses)
            return false;
        std::string value = Trim(m_text.substr(start, m_pos - start));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        parameter->text = value;
        return true;
    }

    // Whether the parenthesis just opened holds plain values up to its close, not NAME = ...
    bool IsPlainList() const
    {
        const size_t next = m_text.find_first_of("=()", m_pos);
        return next != std::string::npos && m_text[next] == ')';
    }

    std::string m_text;
    size_t m_pos = 0;
};

// TNS_ADMIN, else network/admin in the folder this library was loaded from (network\admin on
// Windows), as Oracle's client finds its configuration; a TNS_ADMIN without the file is not
// looked past.
std::string NetworkAdminFolder()
{
    const std::string admin = host::Environment("TNS_ADMIN");
    if (!admin.empty())
        return admin;
    std::string folder;
    return host::LibraryFolder(&folder) ? host::JoinPath(host::JoinPath(folder, "network"), "admin")
                                        : std::string();
}

}  // namespace

bool ExternalPasswordStore::WalletFolder(const std::string& sqlnetText, std::string* folder)
{
    std::vector<Parameter> parameters;
    ParameterParser parser(WithoutComments(sqlnetText));
    if (!parser.ParseFile(&parameters))
        return false;
    // A parameter given twice: the last one counts.
    const Parameter* location = nullptr;
    const Parameter* override = nullptr;
    for (const Parameter& parameter : parameters) {
        if (parameter.name == "WALLET_LOCATION")
            location = &parameter;
        else if (parameter.name == "SQLNET.WALLET_OVERRIDE")
            override = &parameter;
    }
    if (location == nullptr || override == nullptr || Upper(override->text) != "TRUE" ||
        !override->children.empty())
        return false;
    const Parameter* source = location->Child("SOURCE");
    if (source == nullptr)
        return false;
    const Parameter* method = source->Child("METHOD");
    const Parameter* data = source->Child("METHOD_DATA");
    if (method == nullptr || Upper(method->text) != "FILE" || data == nullptr)
        return false;
    const Parameter* directory = data->Child("DIRECTORY");
    if (directory == nullptr || directory->text.empty() || !directory->children.empty())
        return false;
    *folder = directory->text;
    return true;
}

bool ExternalPasswordStore::Lookup(const std::string& walletText, const std::string& connectString,
                                   StoredCredential* credential)
{
    // A "#" starts a comment only as a line's first non-blank character: a password may hold one.
    std::istringstream lines(walletText);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string trimmed = Trim(line);
        if (!trimmed.empty() && trimmed[0] == '#')
            continue;
        std::istringstream fields(line);
        std::vector<std::string> parts;
        std::string field;
        while (fields >> field)
            parts.push_back(field);
        if (parts.size() != 3 || parts[0] != connectString)
            continue;
        credential->user = parts[1];
        credential->password = parts[2];
        return true;
    }
    return false;
}

bool ExternalPasswordStore::Find(const std::string& connectString, StoredCredential* credential)
{
    const std::string admin = NetworkAdminFolder();
    std::string sqlnet;
    if (admin.empty() || !host::ReadWholeFile(host::JoinPath(admin, kSqlnetFile), &sqlnet))
        return false;
    std::string folder;
    if (!WalletFolder(sqlnet, &folder))
        return false;
    std::string wallet;
    if (!host::ReadWholeFile(host::JoinPath(folder, kWalletFile), &wallet))
        return false;
    return Lookup(wallet, connectString, credential);
}

}  // namespace ocilite
