// ViewSource.cpp: reading a scope's views.
#include "export/ViewSource.h"

#include <algorithm>
#include <memory>
#include <set>

#include "db/DBStmt.h"
#include "export/SourceStream.h"

namespace {

constexpr int kInvalidIdentifier = 904;
// A view's name and the widest client bytes of its characters: 128 of up to 4 bytes each.
constexpr int kNameBufferSize = kMaxObjectNameBytes + 1;
// The client may need up to this many bytes for one byte of the database's text (a single-byte
// database read by a UTF-8 client); a view's buffer allows for it, so that it is never cut.
constexpr int kClientBytesPerByte = 4;
// The most a view's text may take on the client; a longer one is refused, not cut.
constexpr long long kLongestViewBytes = 256LL * 1024 * 1024;

CString Quoted(const CString& strName)
{
    CString strQuoted = strName;
    strQuoted.Replace("\"", "\"\"");
    return "\"" + strQuoted + "\"";
}

}  // namespace

// The head is one line unless that line would pass what every SQL*Plus release reads whole
// (older ones refuse a line of more than 2,499 characters): then each column has a line.
CString ViewBlock(const CString& strName, const ViewDefinition& view)
{
    constexpr int kLongestHeadLine = 2499;
    const CString strStart = CString("CREATE OR REPLACE FORCE ") +
                             (view.bEditioning ? "EDITIONING " : "") + "VIEW " + Quoted(strName) +
                             " ";
    const CString strEnd =
        CString(view.bBequeathCurrentUser ? "BEQUEATH CURRENT_USER " : "") + "AS\n";
    for (const char* pszSeparator : {", ", ",\n"}) {
        CString strColumns;
        for (const CString& strColumn : view.columns)
            strColumns += (strColumns.IsEmpty() ? "(" : pszSeparator) + Quoted(strColumn);
        if (!strColumns.IsEmpty())
            strColumns += ") ";
        const CString strHead = strStart + strColumns + strEnd;
        if (strHead.GetLength() <= kLongestHeadLine + 1 || pszSeparator[1] == '\n')
            return strHead + view.strText;
    }
    return CString();
}

bool ViewSource::Fail(const DBStmt::OtherException& error, const CString& strView)
{
    m_strError = error.Text();
    m_nErrorCode = error.Code();
    m_strError.TrimRight();
    m_strFailedView = strView;
    return false;
}

std::unique_ptr<DBStmt> ViewSource::Prepare(const CString& strSql, const CString& strView)
{
    try {
        return std::make_unique<DBStmt>(m_connection, strSql);
    } catch (const DBStmt::OtherException& error) {
        Fail(error, strView);
        return nullptr;
    }
}

void ViewSource::PrefetchAndBind(DBStmt& stmt) const
{
    PrefetchInBatches(stmt);
    BindSourceScope(stmt, m_scope);
}

bool ViewSource::Changed(const CString& strView)
{
    m_strError = kSourceChangedText;
    m_nErrorCode = OCI_ORA_COLUMN_TRUNCATED;
    m_strFailedView = strView;
    return false;
}

bool ViewSource::Read(const std::vector<CString>& listed, std::map<CString, ViewDefinition>& views)
{
    std::map<CString, ViewDefinition> measured;
    int nNameBytes = 0;
    int nShortBytes = 0;
    if (!Measure(measured, nNameBytes, nShortBytes))
        return false;
    const std::set<CString> wanted(listed.begin(), listed.end());
    for (auto it = measured.begin(); it != measured.end();) {
        it = wanted.count(it->first) == 0 ? measured.erase(it) : std::next(it);
    }
    const bool bAnyShort =
        m_release == ViewQueries::Release::k12 &&
        std::any_of(measured.begin(), measured.end(), [](const auto& entry) {
            return !entry.second.bTyped && entry.second.nTextLength <= ViewQueries::kShortTextBytes;
        });
    if (bAnyShort && !ReadShortTexts(measured, nNameBytes, nShortBytes))
        return false;
    for (auto& entry : measured) {
        ViewDefinition& view = entry.second;
        const bool bShort = m_release == ViewQueries::Release::k12 &&
                            view.nTextLength <= ViewQueries::kShortTextBytes;
        if (!view.bTyped && !bShort && !ReadLongText(entry.first, view))
            return false;
    }
    if (!ReadColumns(measured))
        return false;
    views = std::move(measured);
    return true;
}

// Tries the columns of 12.1 first; a database that lacks them says so (ORA-00904) and is asked
// again with fewer.
bool ViewSource::Measure(std::map<CString, ViewDefinition>& views, int& nNameBytes,
                         int& nShortBytes)
{
    for (;;) {
        const std::unique_ptr<DBStmt> stmt = Prepare(ViewQueries::Measure(m_scope, m_release));
        if (!stmt)
            return false;
        char szName[kNameBufferSize] = {};
        ub2 nNameLength = 0;
        int nTextLength = 0;
        char szEditioning[8] = {};
        ub2 nEditioningLength = 0;
        sb2 nEditioningIndicator = 0;
        char szBequeath[32] = {};
        ub2 nBequeathLength = 0;
        sb2 nBequeathIndicator = 0;
        int nTyped = 0;
        int nNameMeasured = 0;
        try {
            stmt->DefineChars(1, szName, sizeof(szName), &nNameLength);
            stmt->DefineInt(2, &nTextLength);
            stmt->DefineChars(3, szEditioning, sizeof(szEditioning), &nEditioningLength,
                              &nEditioningIndicator);
            stmt->DefineChars(4, szBequeath, sizeof(szBequeath), &nBequeathLength,
                              &nBequeathIndicator);
            stmt->DefineInt(5, &nTyped);
            stmt->DefineInt(6, &nNameMeasured);
            PrefetchAndBind(*stmt);
            int nStatus = OCI_SUCCESS;
            while (stmt->FetchRow(nStatus)) {
                // A name wider than any listed one matches no listed view.
                if (nNameLength > kMaxObjectNameBytes)
                    continue;
                ViewDefinition& view = views[CString(szName, nNameLength)];
                view.nTextLength = nTextLength;
                view.bEditioning =
                    nEditioningIndicator != -1 && CString(szEditioning, nEditioningLength) == "Y";
                view.bBequeathCurrentUser = nBequeathIndicator != -1 &&
                                            CString(szBequeath, nBequeathLength) == "CURRENT_USER";
                view.bTyped = nTyped != 0;
                nNameBytes = std::max(nNameBytes, nNameMeasured);
                if (!view.bTyped && nTextLength <= ViewQueries::kShortTextBytes)
                    nShortBytes = std::max(nShortBytes, nTextLength);
            }
            return true;
        } catch (const DBStmt::OtherException& error) {
            if (error.Code() == kInvalidIdentifier && m_release != ViewQueries::Release::kOlder) {
                m_connection.ResetErrorHandle();
                m_release = m_release == ViewQueries::Release::k12 ? ViewQueries::Release::k11
                                                                   : ViewQueries::Release::kOlder;
                views.clear();
                continue;
            }
            return Fail(error);
        }
    }
}

bool ViewSource::ReadShortTexts(std::map<CString, ViewDefinition>& views, int nNameBytes,
                                int nTextBytes)
{
    const std::unique_ptr<DBStmt> stmt =
        Prepare(ViewQueries::ShortTexts(m_scope, nNameBytes, nTextBytes));
    if (!stmt)
        return false;
    char szName[kNameBufferSize] = {};
    ub2 nNameLength = 0;
    // One byte more than the widest text can take: a text that fills it was cut.
    std::vector<char> text(size_t(std::max(nTextBytes, 1)) * kClientBytesPerByte + 1);
    ub2 nTextLength = 0;
    sb2 nTextIndicator = 0;
    int nWider = 0;
    int nLength = 0;
    try {
        stmt->DefineChars(1, szName, sizeof(szName), &nNameLength);
        stmt->DefineChars(2, text.data(), int(text.size()), &nTextLength, &nTextIndicator);
        stmt->DefineInt(3, &nWider);
        stmt->DefineInt(4, &nLength);
        PrefetchAndBind(*stmt);
        int nStatus = OCI_SUCCESS;
        while (stmt->FetchRow(nStatus)) {
            if (nNameLength > kMaxObjectNameBytes)
                continue;
            const CString strName(szName, nNameLength);
            const auto found = views.find(strName);
            // Not listed (or created since), or typed: not exported, and no measure of its own.
            if (found == views.end() || found->second.bTyped)
                continue;
            ViewDefinition& view = found->second;
            if (nWider != 0 || nLength != view.nTextLength || nTextIndicator > 0 ||
                nTextLength >= text.size())
                return Changed(strName);
            view.strText = nTextIndicator == -1 ? CString() : CString(text.data(), nTextLength);
        }
        return true;
    } catch (const DBStmt::OtherException& error) {
        return Fail(error);
    }
}

// One round trip: the execute brings the view's one row.
bool ViewSource::ReadLongText(const CString& strName, ViewDefinition& view)
{
    const long long nBytes = (long long)std::max(view.nTextLength, 1) * kClientBytesPerByte + 1;
    if (nBytes > kLongestViewBytes)
        return Changed(strName);
    SourceScope scope = m_scope;
    scope.pName = &strName;
    scope.includes.clear();
    scope.excludes.clear();
    const std::unique_ptr<DBStmt> stmt = Prepare(ViewQueries::Text(scope), strName);
    if (!stmt)
        return false;
    std::vector<char> text(size_t(nBytes), '\0');
    try {
        stmt->DefineString(1, text.data(), int(text.size()));
        BindSourceScope(*stmt, scope);
        int nStatus = OCI_SUCCESS;
        if (!stmt->FetchRow(nStatus))
            return Changed(strName);  // dropped since it was measured
        const size_t nLength = std::char_traits<char>::length(text.data());
        if (nLength + 1 >= text.size())
            return Changed(strName);
        view.strText = CString(text.data(), int(nLength));
        return true;
    } catch (const DBStmt::OtherException& error) {
        // Cut short: the view grew past its measured length.
        if (error.Code() == OCI_ORA_COLUMN_TRUNCATED)
            return Changed(strName);
        return Fail(error, strName);
    }
}

bool ViewSource::ReadColumns(std::map<CString, ViewDefinition>& views)
{
    const std::unique_ptr<DBStmt> stmt = Prepare(ViewQueries::Columns(m_scope));
    if (!stmt)
        return false;
    char szView[kNameBufferSize] = {};
    ub2 nViewLength = 0;
    char szColumn[kNameBufferSize] = {};
    ub2 nColumnLength = 0;
    try {
        stmt->DefineChars(1, szView, sizeof(szView), &nViewLength);
        stmt->DefineChars(2, szColumn, sizeof(szColumn), &nColumnLength);
        PrefetchAndBind(*stmt);
        int nStatus = OCI_SUCCESS;
        while (stmt->FetchRow(nStatus)) {
            if (nViewLength > kMaxObjectNameBytes || nColumnLength > kMaxObjectNameBytes)
                continue;
            const auto found = views.find(CString(szView, nViewLength));
            if (found != views.end())
                found->second.columns.emplace_back(szColumn, nColumnLength);
        }
        return true;
    } catch (const DBStmt::OtherException& error) {
        return Fail(error);
    }
}
