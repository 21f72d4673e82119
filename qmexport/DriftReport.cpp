#include "qmexport/DriftReport.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "framework/Text.h"
#include "qmexport/FolderIndex.h"

namespace {

const char kCreatePrefix[] = "CREATE OR REPLACE ";
constexpr size_t kCreatePrefixLength = sizeof(kCreatePrefix) - 1;

bool StartsWith(const std::string& strText, size_t nAt, const char* pszPrefix)
{
    return strText.compare(nAt, std::char_traits<char>::length(pszPrefix), pszPrefix) == 0;
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
    DriftReport::FileScan scan;
    scan.Add(strFile.data(), strFile.size());
    scan.Finish();
    *pstrLead = strFile.substr(0, size_t(scan.LeadLength()));
    std::vector<Block> blocks;
    for (const DriftReport::FileScan::ScannedBlock& scanned : scan.Blocks())
        blocks.push_back(scanned.block);
    return blocks;
}

}  // namespace SqlFileBlocks

namespace DriftReport {

namespace {

// An exported block under the object its first words name (its stored name and type when
// they name none).
ObjectKey WordsKey(const OutputFile::RenderedBlock& block)
{
    ObjectKey key;
    if (!SqlFileBlocks::NameOf(block.strHead, key.strType, key.strName))
        key = ObjectKey{block.object.strName.str(), block.object.strType.str()};
    return key;
}

}  // namespace

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
    FileScan scan(blocks);
    scan.Add(strOld.data(), strOld.size());
    scan.Finish();
    return FileLines(strShownPath, bExists, scan, newFile, blocks);
}

std::vector<std::string> FileLines(const std::string& strShownPath, bool bExists,
                                   const FileScan& old, const ContentDigest& newFile,
                                   const std::vector<OutputFile::RenderedBlock>& blocks)
{
    std::vector<std::string> lines;
    if (bExists && old.FileDigest() == newFile)
        return lines;
    lines.push_back("changed " + strShownPath);

    // The file's blocks by the object their words name (the first of a name counts; a name
    // whose block the file holds twice differs whatever its bytes).
    std::map<ObjectKey, const FileScan::ScannedBlock*> oldBlocks;
    std::set<ObjectKey> twice;
    ObjectKey lastKey;
    for (const FileScan::ScannedBlock& scanned : old.Blocks()) {
        if (scanned.block.strName.empty())
            continue;
        const ObjectKey key{scanned.block.strName, scanned.block.strType};
        if (!oldBlocks.emplace(key, &scanned).second)
            twice.insert(key);
    }
    if (!old.Blocks().empty())
        lastKey = ObjectKey{old.Blocks().back().block.strName, old.Blocks().back().block.strType};
    // Each exported object under the key its own block's words give, so that names are
    // compared in the file's bytes whatever its character set.
    std::map<ObjectKey, std::string> lineOf;
    for (const OutputFile::RenderedBlock& block : blocks) {
        const std::string strShown =
            block.object.strName.str() + " (" + block.object.strType.str() + ")";
        const ObjectKey storedKey{block.object.strName.str(), block.object.strType.str()};
        const auto old = oldBlocks.find(WordsKey(block));
        if (old == oldBlocks.end()) {
            lineOf[storedKey] = "added " + strShown;
            continue;
        }
        const FileScan::ScannedBlock& oldBlock = *old->second;
        const bool bSame = oldBlock.digest == block.digest;
        // Bytes after the file's last block are the file's difference, not that object's.
        const bool bSameWithTail = old->first.strName == lastKey.strName &&
                                   old->first.strType == lastKey.strType &&
                                   oldBlock.block.nLength > block.digest.nBytes &&
                                   oldBlock.bHasHeadDigest && oldBlock.headDigest == block.digest;
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

FileScan::FileScan(const std::vector<OutputFile::RenderedBlock>& exported)
{
    for (const OutputFile::RenderedBlock& block : exported) {
        const ObjectKey key = WordsKey(block);
        m_exportedSizes.emplace(std::make_pair(key.strType, key.strName), block.digest.nBytes);
    }
}

// Line by line: at a line where a block may begin, its first bytes wait until they tell
// whether it does; the other bytes go on in runs.
void FileScan::Add(const char* pBytes, size_t nLength)
{
    m_file.Add(pBytes, nLength);
    size_t nRun = 0;  // where the bytes not yet routed begin
    for (size_t i = 0; i < nLength; ++i) {
        if (!m_bUndecided && m_line == LineState::Other) {
            const void* pEnd = std::memchr(pBytes + i, '\n', nLength - i);
            if (pEnd == nullptr)
                break;
            i = size_t(static_cast<const char*>(pEnd) - pBytes);
        }
        const char ch = pBytes[i];
        if (m_bUndecided) {
            // The prefix holds no line end: a line's end always decides.
            m_strLineStart += ch;
            const bool bBegins = ch == kCreatePrefix[m_strLineStart.size() - 1];
            if (!bBegins || m_strLineStart.size() == kCreatePrefixLength) {
                m_bUndecided = false;
                if (bBegins)
                    StartBlock();
                Route(m_strLineStart.data(), m_strLineStart.size());
                m_strLineStart.clear();
                nRun = i + 1;
            }
        }
        if (ch == '\n') {
            const bool bSlashLine = m_line == LineState::Slash || m_line == LineState::SlashReturn;
            Route(pBytes + nRun, i + 1 - nRun);
            nRun = i + 1;
            LineEnds(bSlashLine);
            continue;
        }
        switch (m_line) {
        case LineState::Blank:
            m_line = ch == ' ' || ch == '\t' ? LineState::Blank
                     : ch == '/'             ? LineState::Slash
                                             : LineState::Other;
            break;
        case LineState::Slash:
            m_line = ch == ' ' || ch == '\t' ? LineState::Slash
                     : ch == '\r'            ? LineState::SlashReturn
                                             : LineState::Other;
            break;
        case LineState::SlashReturn:
        case LineState::Other:
            m_line = LineState::Other;
            break;
        }
    }
    if (!m_bUndecided)
        Route(pBytes + nRun, nLength - nRun);
}

void FileScan::Finish()
{
    // A last line too short to begin a block.
    if (m_bUndecided) {
        Route(m_strLineStart.data(), m_strLineStart.size());
        m_strLineStart.clear();
    }
    if (m_bInBlock)
        EndBlock();
}

void FileScan::LineEnds(bool bSlashLine)
{
    m_line = LineState::Blank;
    // Before the first block any line may come (the file's SET lines).
    m_bUndecided = !m_bInBlock || bSlashLine;
}

void FileScan::Route(const char* pBytes, size_t nLength)
{
    m_nAt += nLength;
    if (!m_bInBlock) {
        m_nLead += nLength;
        return;
    }
    if (m_bNamed) {
        Digest(pBytes, nLength);
        return;
    }
    // The words that name the object come first: the block's head is enough.
    const size_t nTake =
        std::min(nLength, OutputFile::RenderedBlock::kHeadBytes - m_strHead.size());
    m_strHead.append(pBytes, nTake);
    if (m_strHead.size() < OutputFile::RenderedBlock::kHeadBytes)
        return;
    NameBlock();
    Digest(pBytes + nTake, nLength - nTake);
}

void FileScan::StartBlock()
{
    if (m_bInBlock)
        EndBlock();
    m_bInBlock = true;
    m_bNamed = false;
    m_strHead.clear();
    m_block = ContentDigester();
    m_blocks.emplace_back();
    m_blocks.back().block.nStart = size_t(m_nAt);
}

void FileScan::NameBlock()
{
    m_bNamed = true;
    SqlFileBlocks::Block& block = m_blocks.back().block;
    if (!SqlFileBlocks::NameOf(m_strHead, block.strType, block.strName))
        block.strType.clear(), block.strName.clear();
    const auto size = m_exportedSizes.find(std::make_pair(block.strType, block.strName));
    m_nHeadDigestAt = block.strName.empty() || size == m_exportedSizes.end() ? 0 : size->second;
    std::string strHead;
    std::swap(strHead, m_strHead);
    Digest(strHead.data(), strHead.size());
}

void FileScan::Digest(const char* pBytes, size_t nLength)
{
    const std::uint64_t nBefore = m_block.Bytes();
    if (m_nHeadDigestAt > nBefore && nBefore + nLength >= m_nHeadDigestAt) {
        const size_t nTake = size_t(m_nHeadDigestAt - nBefore);
        m_block.Add(pBytes, nTake);
        m_blocks.back().bHasHeadDigest = true;
        m_blocks.back().headDigest = m_block.Finish();
        pBytes += nTake;
        nLength -= nTake;
    }
    m_block.Add(pBytes, nLength);
}

void FileScan::EndBlock()
{
    if (!m_bNamed)
        NameBlock();
    ScannedBlock& scanned = m_blocks.back();
    scanned.digest = m_block.Finish();
    scanned.block.nLength = size_t(m_nAt) - scanned.block.nStart;
    m_bInBlock = false;
}

}  // namespace DriftReport
