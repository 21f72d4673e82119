#include "oci-lite/ExternalPasswordStore.h"

#include <windows.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

#include "oci-lite/LibraryFolder.h"

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

std::wstring Wide(const std::string& utf8)
{
    int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], size);
    return wide;
}

// The whole file, or false when it cannot be read (a folder under its name included).
bool ReadWholeFile(const std::wstring& path, std::string* content)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    if (!ok)
        return false;
    *content = std::move(text);
    return true;
}

std::wstring WithSeparator(std::wstring folder)
{
    if (!folder.empty() && folder.back() != L'\\' && folder.back() != L'/')
        folder += L'\\';
    return folder;
}

// TNS_ADMIN, else network\admin beside OCI.DLL.
std::wstring NetworkAdminFolder()
{
    const std::wstring admin = FolderFromEnvironment(L"TNS_ADMIN");
    if (!admin.empty())
        return WithSeparator(admin);
    std::wstring folder;
    return LibraryFolder(&folder) ? folder + L"network\\admin\\" : std::wstring();
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
    const std::wstring admin = NetworkAdminFolder();
    std::string sqlnet;
    if (admin.empty() || !ReadWholeFile(admin + Wide(kSqlnetFile), &sqlnet))
        return false;
    std::string folder;
    if (!WalletFolder(sqlnet, &folder))
        return false;
    std::string wallet;
    if (!ReadWholeFile(WithSeparator(Wide(folder)) + Wide(kWalletFile), &wallet))
        return false;
    return Lookup(wallet, connectString, credential);
}

}  // namespace ocilite
