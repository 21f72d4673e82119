#include "qmexport/DriftReport.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "framework/Text.h"
#include "qmexport/FolderIndex.h"

namespace {

const char kCreatePrefix[] = "CREATE OR REPLACE ";

bool StartsWith(const std::string& strText, size_t nAt, const char* pszPrefix)
{
    return strText.compare(nAt, std::char_traits<char>::length(pszPrefix), pszPrefix) == 0;
}

// The line that begins at nAt without its line end.
std::string LineAt(const std::string& strText, size_t nAt)
{
    size_t nEnd = strText.find('\n', nAt);
    if (nEnd == std::string::npos)
        nEnd = strText.size();
    std::string strLine = strText.substr(nAt, nEnd - nAt);
    if (!strLine.empty() && strLine.back() == '\r')
        strLine.pop_back();
    return strLine;
}

std::string Trimmed(const std::string& strText)
{
    size_t nBegin = strText.find_first_not_of(" \t");
    if (nBegin == std::string::npos)
        return std::string();
    return strText.substr(nBegin, strText.find_last_not_of(" \t") + 1 - nBegin);
}

// Words of SQL text: blanks and comments skipped, a quoted name kept with its quotes.
class WordReader {
public:
    explicit WordReader(const std::string& strText) : m_text(strText) {}

    std::string Next()
    {
        SkipBlanks();
        if (m_nAt >= m_text.size())
            return std::string();
        const size_t nStart = m_nAt;
        const char ch = m_text[m_nAt];
        if (ch == '"') {
            const size_t nClose = m_text.find('"', m_nAt + 1);
            m_nAt = nClose == std::string::npos ? m_text.size() : nClose + 1;
        } else if (IsWordChar(ch)) {
            while (m_nAt < m_text.size() && IsWordChar(m_text[m_nAt]))
                ++m_nAt;
        } else {
            ++m_nAt;
        }
        return m_text.substr(nStart, m_nAt - nStart);
    }

private:
    static bool IsWordChar(char ch)
    {
        return std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '$' ||
               ch == '#' || (static_cast<unsigned char>(ch) & 0x80) != 0;
    }

    void SkipBlanks()
    {
        for (;;) {
            while (m_nAt < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_nAt])))
                ++m_nAt;
            if (StartsWith(m_text, m_nAt, "--")) {
                const size_t nEnd = m_text.find('\n', m_nAt);
                m_nAt = nEnd == std::string::npos ? m_text.size() : nEnd;
            } else if (StartsWith(m_text, m_nAt, "/*")) {
                const size_t nEnd = m_text.find("*/", m_nAt + 2);
                m_nAt = nEnd == std::string::npos ? m_text.size() : nEnd + 2;
            } else {
                return;
            }
        }
    }

    const std::string& m_text;
    size_t m_nAt = 0;
};

std::string Upper(std::string strText)
{
    for (char& ch : strText) {
        if (ch >= 'a' && ch <= 'z')
            ch = char(ch - 'a' + 'A');
    }
    return strText;
}

// A name as the database stores it: a quoted one as written, any other in upper case.
std::string StoredName(const std::string& strWord)
{
    if (strWord.size() >= 2 && strWord.front() == '"' && strWord.back() == '"')
        return strWord.substr(1, strWord.size() - 2);
    return Upper(strWord);
}

struct ObjectKey {
    std::string strName;
    std::string strType;
    bool operator<(const ObjectKey& other) const
    {
        return std::tie(strName, strType) < std::tie(other.strName, other.strType);
    }
};

}  // namespace

namespace SqlFileBlocks {

bool NameOf(const std::string& strBlock, std::string& strType, std::string& strName)
{
    WordReader words(strBlock);
    for (const char* pszWord : {"CREATE", "OR", "REPLACE"}) {
        if (Upper(words.Next()) != pszWord)
            return false;
    }
    std::string strWord = Upper(words.Next());
    // A view's: [NO] FORCE, then EDITIONABLE, NONEDITIONABLE, EDITIONING (the first two may
    // come before the last).
    if (strWord == "NO")
        strWord = Upper(words.Next());
    if (strWord == "FORCE")
        strWord = Upper(words.Next());
    while (strWord == "EDITIONABLE" || strWord == "NONEDITIONABLE" || strWord == "EDITIONING")
        strWord = Upper(words.Next());
    std::string strNameWord = words.Next();
    if ((strWord == "PACKAGE" || strWord == "TYPE") && Upper(strNameWord) == "BODY") {
        strWord += " BODY";
        strNameWord = words.Next();
    } else if (strWord != "PACKAGE" && strWord != "TYPE" && strWord != "PROCEDURE" &&
               strWord != "FUNCTION" && strWord != "TRIGGER" && strWord != "VIEW") {
        return false;
    }
    if (strNameWord.empty() || strNameWord == "." || strNameWord == "(")
        return false;
    // A qualified name: the object's own name follows the owner's.
    std::string strAfter = words.Next();
    if (strAfter == ".") {
        strNameWord = words.Next();
        if (strNameWord.empty())
            return false;
    }
    strType = strWord;
    strName = StoredName(strNameWord);
    return true;
}

std::vector<Block> Split(const std::string& strFile, std::string* pstrLead)
{
    std::vector<size_t> starts;
    bool bAfterSlash = true;
    for (size_t nAt = 0; nAt < strFile.size();) {
        if (bAfterSlash && StartsWith(strFile, nAt, kCreatePrefix))
            starts.push_back(nAt);
        const std::string strLine = LineAt(strFile, nAt);
        // Before the first block any line may come (the file's SET lines).
        bAfterSlash = starts.empty() || Trimmed(strLine) == "/";
        const size_t nEnd = strFile.find('\n', nAt);
        nAt = nEnd == std::string::npos ? strFile.size() : nEnd + 1;
    }
    std::vector<Block> blocks;
    *pstrLead = strFile.substr(0, starts.empty() ? strFile.size() : starts.front());
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t nEnd = i + 1 < starts.size() ? starts[i + 1] : strFile.size();
        Block block;
        block.nStart = starts[i];
        block.nLength = nEnd - starts[i];
        // The words that name the object come first: the block's head is enough.
        const std::string strHead = strFile.substr(
            block.nStart, std::min(block.nLength, OutputFile::RenderedBlock::kHeadBytes));
        if (!NameOf(strHead, block.strType, block.strName))
            block.strType.clear(), block.strName.clear();
        blocks.push_back(std::move(block));
    }
    return blocks;
}

}  // namespace SqlFileBlocks

namespace DriftReport {

std::vector<std::string> FolderLines(const std::vector<FolderFiles::Difference>& differences)
{
    std::vector<std::string> lines;
    for (const FolderFiles::Difference& difference : differences) {
        const std::string strName = FromWide(difference.strName, kUtf8CodePage);
        // The manifest is kept under version control beside the files: the export rewriting it
        // is a difference too, whatever became of it.
        if (ObjectFileNames::SameFileName(difference.strName, InstallScript::kFileName) ||
            ObjectFileNames::SameFileName(difference.strName, Manifest::kFileName)) {
            lines.push_back("changed " + strName);
            continue;
        }
        switch (difference.kind) {
        case FolderFiles::Difference::Kind::Added:
            lines.push_back("added " + strName);
            break;
        case FolderFiles::Difference::Kind::Changed:
            lines.push_back("changed " + strName);
            break;
        case FolderFiles::Difference::Kind::Removed:
            lines.push_back("removed " + strName);
            break;
        }
    }
    return lines;
}

std::vector<std::string> FileLines(const std::string& strShownPath, bool bExists,
                                   const std::string& strOld, const ContentDigest& newFile,
                                   const std::vector<OutputFile::RenderedBlock>& blocks)
{
    std::vector<std::string> lines;
    if (bExists && ContentDigester::Of(strOld.data(), strOld.size()) == newFile)
        return lines;
    lines.push_back("changed " + strShownPath);

    // The file's blocks by the object their words name (the first of a name counts; a name
    // whose block the file holds twice differs whatever its bytes).
    std::string strLead;
    std::map<ObjectKey, SqlFileBlocks::Block> oldBlocks;
    std::set<ObjectKey> twice;
    ObjectKey lastKey;
    const std::vector<SqlFileBlocks::Block> split =
        SqlFileBlocks::Split(bExists ? strOld : std::string(), &strLead);
    for (const SqlFileBlocks::Block& block : split) {
        if (block.strName.empty())
            continue;
        const ObjectKey key{block.strName, block.strType};
        if (!oldBlocks.emplace(key, block).second)
            twice.insert(key);
    }
    if (!split.empty())
        lastKey = ObjectKey{split.back().strName, split.back().strType};
    // Each exported object under the key its own block's words give, so that names are
    // compared in the file's bytes whatever its character set.
    std::map<ObjectKey, std::string> lineOf;
    for (const OutputFile::RenderedBlock& block : blocks) {
        ObjectKey wordsKey;
        const std::string strShown =
            block.object.strName.str() + " (" + block.object.strType.str() + ")";
        const ObjectKey storedKey{block.object.strName.str(), block.object.strType.str()};
        if (!SqlFileBlocks::NameOf(block.strHead, wordsKey.strType, wordsKey.strName))
            wordsKey = storedKey;
        const auto old = oldBlocks.find(wordsKey);
        if (old == oldBlocks.end()) {
            lineOf[storedKey] = "added " + strShown;
            continue;
        }
        const SqlFileBlocks::Block& oldBlock = old->second;
        const char* pOld = strOld.data() + oldBlock.nStart;
        const bool bSame = ContentDigester::Of(pOld, oldBlock.nLength) == block.digest;
        // Bytes after the file's last block are the file's difference, not that object's.
        const bool bSameWithTail =
            old->first.strName == lastKey.strName && old->first.strType == lastKey.strType &&
            oldBlock.nLength > block.digest.nBytes &&
            ContentDigester::Of(pOld, size_t(block.digest.nBytes)) == block.digest;
        if ((!bSame && !bSameWithTail) || twice.count(old->first) != 0)
            lineOf[storedKey] = "changed " + strShown;
        oldBlocks.erase(old);
    }
    for (const auto& gone : oldBlocks)
        lineOf[gone.first] = "removed " + gone.first.strName + " (" + gone.first.strType + ")";
    for (const auto& entry : lineOf)
        lines.push_back(entry.second);
    return lines;
}

}  // namespace DriftReport
