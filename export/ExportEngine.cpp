// ExportEngine.cpp
//
//   ExportRun - one run: the steps from the target check to the last block, each failure
//               turned into an ending (what failed, where, what the target holds) that the run
//               reports after it has logged off. The listing, the line counts and the source are one query each
//               per scope (the whole schema, or each named object), so a schema costs a few
//               round trips whatever its size.
#include "export/ExportEngine.h"

#include <cstring>
#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <utility>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "db/ObjectListCursor.h"
#include "export/BlockText.h"
#include "export/ExportTexts.h"
#include "export/SqlPlusLines.h"
#include "export/SourceQueries.h"
#include "export/SourceStream.h"
#include "framework/Barrier.h"

namespace {

const char kCreatePrefix[] = "CREATE OR REPLACE ";
const char kTruncatedNameText[] = "ORA-24345: A Truncation or null fetch error occurred";

// The database's text of a failure, or a plain one when it left none. Oracle's texts end with
// a line feed, which the log line does not need.
CString FailureText(const char* pszText)
{
    if (pszText == nullptr || *pszText == '\0')
        return "Unexpected failure while exporting.";
    CString strText(pszText);
    strText.TrimRight();
    return strText;
}

// A name as a message can show it: a zero byte inside it (which would end the text) as "\0".
CString Printable(const CString& strName)
{
    CString strShown;
    for (int i = 0; i < strName.GetLength(); ++i) {
        if (strName[i] == '\0')
            strShown += "\\0";
        else
            strShown += strName[i];
    }
    return strShown;
}

// The line counts of a scope, by name and type.
struct ObjectLines {
    int nLines = 0;
    SqlPlusNeeds needs;
};

// The client converts a block in pieces of about this many bytes, each ending at a line end.
constexpr size_t kConvertPiece = 64 * 1024;

// Where the piece that starts at nStart ends: after the last line end within kConvertPiece
// bytes, else at the last character's end there, else at the text's end.
size_t PieceEnd(const char* pText, size_t nLength, size_t nStart)
{
    if (nLength - nStart <= kConvertPiece)
        return nLength;
    size_t nEnd = nStart + kConvertPiece;
    for (size_t i = nEnd; i > nStart; --i) {
        if (pText[i - 1] == '\n')
            return i;
    }
    // A UTF-8 continuation byte is not a character's start.
    while (nEnd > nStart + 1 && (static_cast<unsigned char>(pText[nEnd]) & 0xC0) == 0x80)
        --nEnd;
    return nEnd;
}

// The length of the UTF-8 character at pText (1 for a byte that starts none).
int CharacterLength(const char* pText, size_t nLeft)
{
    const unsigned char lead = static_cast<unsigned char>(pText[0]);
    const int nLength = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return size_t(nLength) <= nLeft ? nLength : 1;
}

// "U+00E4" of the UTF-8 character at pText.
CString CodePointText(const char* pText, int nLength)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(pText);
    unsigned nCode = p[0];
    if (nLength == 2)
        nCode = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    else if (nLength == 3)
        nCode = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    else if (nLength == 4)
        nCode = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) |
                (p[3] & 0x3Fu);
    CString strCode;
    strCode.Format("U+%04X", nCode);
    return strCode;
}
using LineCountMap = std::map<std::pair<CString, CString>, ObjectLines>;

class ExportRun {
public:
    ExportRun(const ExportParams& params, ExportSink& sink, ExportReporter& reporter)
        : m_params(params), m_sink(sink), m_reporter(reporter)
    {}

    ExportEnding Run()
    {
        ExportEnding outcome;
        Progress(0, 0);
        {
            DBConnect connection;
            connection.SetInterrupt(m_params.interrupt);
            outcome = RunGuarded(connection);
            outcome.nObjectsWritten = m_sink.WrittenCount();
            outcome.nObjectCount = m_nObjectCount;
            if (outcome.result == ExportResult::Stopped)
                return outcome;
            try {
                connection.Disconnect();
            } catch (DBConnect::OtherException&) {
                // The blocks are written; a session that does not end cleanly changes none.
            }
        }
        if (outcome.Failed()) {
            if (!m_reporter.KeepGoing())
                return Stopped();
            m_reporter.Message(outcome.MessageText());
        }
        if (!m_reporter.KeepGoing())
            return Stopped();
        m_reporter.Finish(outcome);
        return outcome;
    }

private:
    static ExportEnding Stopped()
    {
        ExportEnding outcome;
        outcome.result = ExportResult::Stopped;
        return outcome;
    }

    static ExportEnding Failed(ExportResult result, const CString& strText,
                               std::vector<CString> details = {}, int nErrorCode = 0)
    {
        ExportEnding ending;
        ending.result = result;
        ending.strText = strText;
        ending.details = std::move(details);
        ending.nErrorCode = nErrorCode;
        return ending;
    }

    // A failure while one object was read or written: it names the object and what the target
    // holds.
    ExportEnding FailedAt(ExportResult result, const ExportObjectId& object, const CString& strText,
                          std::vector<CString> details = {}, int nErrorCode = 0) const
    {
        ExportEnding ending = Failed(result, strText, std::move(details), nErrorCode);
        Locate(ending, object);
        return ending;
    }

    void Locate(ExportEnding& ending, const ExportObjectId& object) const
    {
        ending.strWhere = object.strName + " (" + object.strType + ")";
        ending.strTargetState = m_sink.StateText();
    }

    static ExportEnding SinkFailed(ExportResult result, const ExportFailure& failure)
    {
        return Failed(result, failure.strText, failure.details);
    }

    // A failure that is not one of the export's own (out of memory, a bug in a reporter or a
    // sink) says so in its own words rather than passing for a database failure.
    ExportEnding RunGuarded(DBConnect& connection)
    {
        try {
            ExportEnding outcome = RunSteps(connection);
            // A call ended by Stop or Ctrl+C fails with ORA-01013: the run was stopped.
            if (outcome.result != ExportResult::Done && Interrupted())
                return Stopped();
            return outcome;
        } catch (const std::exception& error) {
            RecordCaughtException("export");
            return Unexpected(error.what());
        } catch (...) {
            RecordCaughtException("export");
            return Unexpected("unknown exception");
        }
    }

    ExportEnding Unexpected(const char* pszWhat)
    {
        if (Interrupted())
            return Stopped();
        return Failed(ExportResult::Unexpected, CString(ExportTexts::kUnexpectedError) + pszWhat);
    }

    bool Interrupted() const { return m_params.interrupt && m_params.interrupt->IsRequested(); }

    ExportEnding RunSteps(DBConnect& connection)
    {
        if (!m_reporter.KeepGoing())
            return Stopped();
        ExportFailure failure;
        bool bChecked = false;
        if (!m_reporter.Guarded([&] { bChecked = m_sink.Check(failure); }))
            return Stopped();
        if (!bChecked)
            return SinkFailed(ExportResult::TargetRejected, failure);

        m_reporter.LogLine("Connect to " + m_params.strUser + "@" + m_params.strDatabase);
        try {
            if (m_params.bSysdba)
                connection.ConnectAsSysdba(m_params.strUser, m_params.strPassword,
                                           m_params.strDatabase);
            else
                connection.Connect(m_params.strUser, m_params.strPassword, m_params.strDatabase);
        } catch (DBConnect::OtherException&) {
            const CString strText = connection.GetErrorText();
            const int nCode = connection.GetErrorCode();
            connection.ResetErrorHandle();
            return Failed(ExportResult::LogonFailed, strText, {}, nCode);
        }
        m_reporter.LogLine("Connected.");
        if (!connection.GetLogonWarning().IsEmpty())
            m_reporter.LogonWarning(connection.GetLogonWarning());
        m_reporter.LogLine("");
        m_charset = connection.GetClientCharset();
        m_pConnection = &connection;
        m_strSessionUser = m_params.bSysdba ? CString("SYS") : m_params.strUser;
        // Whom an external logon made the session user is the database's to say; it is asked
        // only where the name matters.
        if (DBConnect::IsExternalLogon(m_params.strUser, m_params.strPassword) &&
            !m_params.bSysdba && !m_params.strOwner.IsEmpty()) {
            ExportEnding asked;
            if (!ReadSessionUser(connection, asked))
                return asked;
        }
        // The listing's other comparisons are made on NLSSORT(..., 'NLS_SORT=BINARY') bytes
        // whatever the client's NLS_COMP; a name filter's LIKE has no such form, and a client
        // with NLS_COMP=LINGUISTIC would make it follow NLS_SORT (ignoring case with a _CI
        // sort). A filtered run pays one round trip for byte comparisons in its session.
        if (!m_params.includePatterns.empty() || !m_params.excludePatterns.empty()) {
            ExportEnding failed;
            if (!CompareBytesInSession(connection, failed))
                return failed;
        }

        // The scopes: the whole schema, or each named object in the order given.
        std::vector<SourceScope> scopes;
        if (m_params.objectNames.empty()) {
            scopes.push_back(Scope(nullptr));
        } else {
            for (size_t i = 0; i < m_params.objectNames.size(); ++i) {
                const CString& strName = m_params.objectNames[i];
                // A name given again adds nothing: each object is exported once.
                if (std::find(m_params.objectNames.begin(), m_params.objectNames.begin() + i,
                              strName) == m_params.objectNames.begin() + i)
                    scopes.push_back(Scope(&strName));
            }
        }

        std::vector<ExportObjectId> objects;
        std::vector<size_t> scopeEnds;
        ExportEnding outcome;
        for (const SourceScope& scope : scopes) {
            const size_t nBefore = objects.size();
            if (!ListObjects(connection, scope, objects, outcome))
                return outcome;
            if (scope.pName != nullptr && objects.size() == nBefore && scopes.size() > 1) {
                ExportEnding notFound =
                    Failed(ExportResult::NothingToExport, ExportTexts::kObjectNotFound);
                notFound.strWhere = *scope.pName;
                return notFound;
            }
            scopeEnds.push_back(objects.size());
        }
        if (objects.empty()) {
            if (!Scope(nullptr).strOwner.IsEmpty() && m_params.objectNames.empty())
                return OwnerHasNone();
            return Failed(ExportResult::NothingToExport, ExportTexts::kObjectNotFound);
        }

        LineCountMap lineCounts;
        std::vector<SourceWidths> scopeWidths(scopes.size());
        for (size_t s = 0; s < scopes.size(); ++s) {
            if (!CountLines(connection, scopes[s], lineCounts, scopeWidths[s], outcome))
                return outcome;
        }

        if (m_sink.WantsSchemaListing()) {
            const bool bFiltered =
                !m_params.includePatterns.empty() || !m_params.excludePatterns.empty();
            if (m_params.objectNames.empty() && !bFiltered) {
                m_sink.SchemaListed(objects);
            } else {
                std::vector<ExportObjectId> schemaObjects;
                SourceScope schema = Scope(nullptr);
                schema.includes.clear();
                schema.excludes.clear();
                if (!ListObjects(connection, schema, schemaObjects, outcome))
                    return outcome;
                m_sink.SchemaListed(schemaObjects);
            }
        }
        m_nObjectCount = int(objects.size());
        m_sink.Listed(objects);
        SqlPlusNeeds jobNeeds;
        for (const ExportObjectId& object : objects) {
            const auto found = lineCounts.find({object.strName, object.strType});
            if (found != lineCounts.end())
                jobNeeds.Merge(found->second.needs);
        }
        m_sink.JobNeeds(jobNeeds);
        if (SettingsFor(jobNeeds).bNoPrefixLeft)
            m_reporter.Warning(NoPrefixLeftText());
        m_reporter.ObjectsListed(m_nObjectCount);

        size_t nFirst = 0;
        for (size_t s = 0; s < scopes.size(); ++s) {
            if (!ExportScope(connection, scopes[s], scopeWidths[s], objects, nFirst, scopeEnds[s],
                             lineCounts, outcome))
                return outcome;
            nFirst = scopeEnds[s];
        }

        ExportFailure completion;
        bool bCompleted = false;
        if (!m_reporter.Guarded([&] { bCompleted = m_sink.Complete(completion); }))
            return Stopped();
        if (!bCompleted)
            return SinkFailed(ExportResult::WriteFailed, completion);
        m_reporter.LogLine("");
        if (!m_strFirstBeyondAscii.IsEmpty())
            m_reporter.Warning(ExportTexts::BeyondUs7Ascii(m_strFirstBeyondAscii));
        m_reporter.LogLine(ExportTexts::kSourceUploaded);
        Progress(100, 100);
        ExportEnding done;
        for (const ExportObjectId& object : objects) {
            if (object.bInvalid)
                done.invalidObjects.push_back(object);
        }
        // A US7ASCII client's files are UTF-8 whatever --encoding says; that case has advice
        // of its own.
        done.bNeedsUtf8Client = m_params.bUtf8Files && m_bWroteBeyondAscii &&
                                !IsUtf8Charset(m_charset.strName) &&
                                m_charset.strName != "US7ASCII";
        return done;
    }

    static bool IsUtf8Charset(const CString& strName)
    {
        return strName == "AL32UTF8" || strName == "UTF8";
    }

    bool CompareBytesInSession(DBConnect& connection, ExportEnding& outcome)
    {
        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, "ALTER SESSION SET NLS_COMP = BINARY NLS_SORT = BINARY", stmt,
                     outcome))
            return false;
        try {
            stmt->Execute();
            return true;
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::ListingFailed, FailureText(stmt->GetErrorText()), {},
                             stmt->GetErrorCode());
            return false;
        }
    }

    // The session user's name, once, into m_strSessionUser.
    bool ReadSessionUser(DBConnect& connection, ExportEnding& outcome)
    {
        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, "SELECT SYS_CONTEXT('USERENV','SESSION_USER') FROM DUAL", stmt,
                     outcome))
            return false;
        char szUser[kMaxObjectNameBytes + 1] = {};
        ub2 nLength = 0;
        try {
            stmt->DefineChars(1, szUser, sizeof(szUser), &nLength);
            int nStatus = OCI_SUCCESS;
            if (stmt->FetchRow(nStatus) && nLength <= kMaxObjectNameBytes) {
                m_strSessionUser = CString(szUser, nLength);
                return true;
            }
            outcome = Failed(ExportResult::ListingFailed, FailureText(nullptr));
            return false;
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::ListingFailed, FailureText(stmt->GetErrorText()), {},
                             stmt->GetErrorCode());
            return false;
        }
    }

    SourceScope Scope(const CString* pName) const
    {
        SourceScope scope;
        // The user's own schema needs no dictionary privilege: its own views show it whole.
        const bool bOwnSchema = !m_params.bSysdba && m_params.strOwner == m_strSessionUser;
        scope.strOwner = bOwnSchema ? CString() : m_params.strOwner;
        scope.kinds = m_params.kinds;
        scope.pName = pName;
        scope.includes = m_params.includePatterns;
        scope.excludes = m_params.excludePatterns;
        return scope;
    }

    // Binds the owner (when there is one) and the object name (when the scope has one).
    void BindScope(DBStmt& stmt, const SourceScope& scope) const
    {
        int nPosition = 1;
        if (!scope.strOwner.IsEmpty())
            stmt.BindString(nPosition++, scope.strOwner, scope.strOwner.GetLength());
        if (scope.pName != nullptr) {
            stmt.BindString(nPosition, *scope.pName, scope.pName->GetLength());
            ++nPosition;
        }
        for (const CString& strPattern : scope.includes)
            stmt.BindString(nPosition++, strPattern, strPattern.GetLength());
        for (const CString& strPattern : scope.excludes)
            stmt.BindString(nPosition++, strPattern, strPattern.GetLength());
    }

    // The DBA_ views are missing: the user may not read the dictionary.
    ExportEnding OwnerNotVisible() const
    {
        return Failed(ExportResult::ListingFailed, "No objects of " + m_params.strOwner +
                                                       " are visible to " + m_strSessionUser +
                                                       ExportTexts::kOwnerNeedsPrivilege);
    }

    // The views are readable, and the owner has nothing of the run's kinds.
    ExportEnding OwnerHasNone() const
    {
        CString strKinds;
        for (const CString& strKind :
             m_params.kinds.empty() ? DefaultExportKinds() : m_params.kinds) {
            strKinds += (strKinds.IsEmpty() ? "" : ", ") + strKind;
        }
        return Failed(ExportResult::ListingFailed, m_params.strOwner +
                                                       " has no objects of the kinds exported (" +
                                                       strKinds + ")");
    }

    // The listed objects of one scope, in name and type order, appended to objects.
    bool ListObjects(DBConnect& connection, const SourceScope& scope,
                     std::vector<ExportObjectId>& objects, ExportEnding& outcome)
    {
        std::unique_ptr<ObjectListCursor> cursor;
        try {
            cursor =
                std::make_unique<ObjectListCursor>(connection, SourceQueries::Listing(scope), true);
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::ListingFailed, FailureText(connection.GetErrorText()),
                             {}, connection.GetErrorCode());
            return false;
        }
        try {
            BindScope(cursor->Statement(), scope);
            for (;;) {
                // A long listing is a place to stop too.
                if (!m_reporter.KeepGoing()) {
                    outcome = Stopped();
                    return false;
                }
                ObjectListRow row;
                switch (cursor->Next(row)) {
                case ObjectListCursor::Row::End:
                    return true;
                case ObjectListCursor::Row::Object:
                    objects.push_back(
                        ExportObjectId{row.strName, row.strType, row.strStatus == "INVALID"});
                    break;
                case ObjectListCursor::Row::Cut:
                    // Exported under another name it would replace another object's code.
                    outcome =
                        Failed(ExportResult::ListingFailed, kTruncatedNameText,
                               {CString(ObjectListTexts::kNameDoesNotFit) + Printable(row.strName)},
                               OCI_ORA_TRUNCATION_OR_NULL);
                    return false;
                case ObjectListCursor::Row::Empty:
                    outcome = Failed(ExportResult::ListingFailed, ObjectListTexts::kEmptyName);
                    return false;
                }
            }
        } catch (DBStmt::OtherException&) {
            DBStmt& stmt = cursor->Statement();
            const int nCode = stmt.GetErrorCode();
            if (!scope.strOwner.IsEmpty() && nCode == kTableOrViewDoesNotExist) {
                outcome = OwnerNotVisible();
                outcome.nErrorCode = nCode;
                return false;
            }
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(stmt.GetErrorText()), {}, nCode);
            return false;
        }
    }

    // The number of lines of every object of the scope and how many hold "&", one row each, and
    // the widest name and line of the scope.
    bool CountLines(DBConnect& connection, const SourceScope& scope, LineCountMap& counts,
                    SourceWidths& widths, ExportEnding& outcome)
    {
        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, SourceQueries::LineCounts(scope), stmt, outcome))
            return false;
        char szName[kMaxObjectNameBytes + 1] = {};
        char szType[kMaxObjectNameBytes + 1] = {};
        ub2 nNameLength = 0;
        ub2 nTypeLength = 0;
        int nLines = 0;
        int nAmpersandLines = 0;
        int nDotLines = 0;
        // "#", then the prefix candidates, as first non-blank characters.
        int firstCharacters[1 + sizeof(SqlPlusNeeds::kPrefixCandidates) - 1] = {};
        const int nFirstCharacters = int(sizeof(firstCharacters) / sizeof(firstCharacters[0]));
        int nNameBytes = 0;
        int nTextBytes = 0;
        try {
            stmt->DefineChars(1, szName, sizeof(szName), &nNameLength);
            stmt->DefineChars(2, szType, sizeof(szType), &nTypeLength);
            stmt->DefineInt(3, &nLines);
            stmt->DefineInt(4, &nAmpersandLines);
            stmt->DefineInt(5, &nDotLines);
            for (int i = 0; i < nFirstCharacters; ++i)
                stmt->DefineInt(6 + i, &firstCharacters[i]);
            stmt->DefineInt(6 + nFirstCharacters, &nNameBytes);
            stmt->DefineInt(7 + nFirstCharacters, &nTextBytes);
            stmt->SetPrefetchRows(kPrefetchRows);
            stmt->SetPrefetchMemory(kPrefetchMemory);
            BindScope(*stmt, scope);
            int nStatus = OCI_SUCCESS;
            while (stmt->FetchRow(nStatus)) {
                widths.nNameBytes = std::max(widths.nNameBytes, nNameBytes);
                widths.nTextBytes = std::max(widths.nTextBytes, nTextBytes);
                // A name longer than any listed one matches no object and is not needed.
                if (nNameLength <= kMaxObjectNameBytes && nTypeLength <= kMaxObjectNameBytes) {
                    ObjectLines& lines =
                        counts[{CString(szName, nNameLength), CString(szType, nTypeLength)}];
                    lines.nLines = nLines;
                    lines.needs.bAmpersand = nAmpersandLines > 0;
                    lines.needs.bDotLine = nDotLines > 0;
                    lines.needs.bHashLine = firstCharacters[0] > 0;
                    for (int i = 1; i < nFirstCharacters; ++i) {
                        if (firstCharacters[i] > 0)
                            lines.needs.nTakenPrefixes |= 1u << (i - 1);
                    }
                }
            }
            return true;
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::ListingFailed, FailureText(stmt->GetErrorText()), {},
                             stmt->GetErrorCode());
            return false;
        }
    }

    // Walks the scope's source stream, cutting it into the listed objects [nFirst, nEnd). An
    // object is complete once the stream shows another object's row or its end; rows of an
    // object the listing does not hold (created after it) are passed over.
    bool ExportScope(DBConnect& connection, const SourceScope& scope, const SourceWidths& widths,
                     const std::vector<ExportObjectId>& objects, size_t nFirst, size_t nEnd,
                     const LineCountMap& lineCounts, ExportEnding& outcome)
    {
        std::map<std::pair<CString, CString>, size_t> listedAt;
        for (size_t i = nFirst; i < nEnd; ++i)
            listedAt[{objects[i].strName, objects[i].strType}] = i;

        std::unique_ptr<SourceStream> stream;
        try {
            stream = std::make_unique<SourceStream>(connection,
                                                    SourceQueries::Source(scope, widths), widths);
            BindScope(stream->Statement(), scope);
        } catch (DBStmt::OtherException&) {
            outcome = FetchFailedAt(objects[nFirst], FailureText(connection.GetErrorText()),
                                    connection.GetErrorCode());
            return false;
        }
        bool bHaveRow = false;
        for (size_t i = nFirst; i < nEnd; ++i) {
            const ExportObjectId& object = objects[i];
            if (!m_reporter.KeepGoing()) {
                outcome = Stopped();
                return false;
            }
            m_nTotalPercent = int(i * 100LL / m_nObjectCount);
            m_reporter.ObjectBegins(object, int(i));
            try {
                if (!bHaveRow && !stream->AtEnd())
                    bHaveRow = stream->Next();
                // Rows of objects the listing does not hold, up to this object's or a later
                // listed object's first row.
                while (bHaveRow && !stream->IsObject(object.strName, object.strType)) {
                    const auto later = listedAt.find({stream->Name(), stream->Type()});
                    if (later != listedAt.end() && later->second > i)
                        break;
                    bHaveRow = stream->Next();
                }
            } catch (DBStmt::OtherException&) {
                outcome = FetchFailedAt(object, FailureText(stream->Statement().GetErrorText()),
                                        stream->Statement().GetErrorCode());
                return false;
            }
            if (!bHaveRow || !stream->IsObject(object.strName, object.strType)) {
                outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
                return false;
            }
            const auto counted = lineCounts.find({object.strName, object.strType});
            const int nCounted = counted == lineCounts.end() ? 0 : counted->second.nLines;
            if (!ExportObject(*stream, object, int(i), nCounted, bHaveRow, outcome))
                return false;
        }
        return true;
    }

    // One object whose first row the stream holds: its rows, logged, then its block.
    bool ExportObject(SourceStream& stream, const ExportObjectId& object, int nIndex, int nCounted,
                      bool& bHaveRow, ExportEnding& outcome)
    {
        CString strBlock = kCreatePrefix;
        int nLine = 0;
        LoneSlashLines slashLines;
        // Rows whose every text is NULL or empty are no source: no statement could be made.
        bool bAnyText = false;
        do {
            slashLines.AddLine(stream.Text(), stream.TextLength());
            if (!m_reporter.KeepGoing()) {
                outcome = Stopped();
                return false;
            }
            if (nLine == 0) {
                strBlock.Append(stream.Text(), stream.TextLength());
                m_reporter.LogSource(strBlock.GetString(), strBlock.GetLength());
            } else {
                strBlock.Append(stream.Text(), stream.TextLength());
                m_reporter.LogSource(stream.Text(), stream.TextLength());
            }
            bAnyText = bAnyText || stream.TextLength() > 0;
            ++nLine;
            // The count was taken a moment before the stream; the bar never passes the end.
            const int nLines = nCounted > nLine ? nCounted : nLine;
            Progress(int((nLine - 1) * 100LL / nLines), m_nTotalPercent);
            try {
                bHaveRow = stream.Next();
            } catch (DBStmt::OtherException&) {
                outcome = FetchFailedAt(object, FailureText(stream.Statement().GetErrorText()),
                                        stream.Statement().GetErrorCode());
                return false;
            }
        } while (bHaveRow && stream.IsObject(object.strName, object.strType));
        m_reporter.SourceEnds();
        if (!bAnyText) {
            outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
            return false;
        }

        for (int nSlashLine : slashLines.Lines())
            m_reporter.Warning(LoneSlashText(object.strName, object.strType, nSlashLine));
        if (BlockText::EndsWithSlashLine(strBlock)) {
            strBlock += "\n";
        } else {
            strBlock += "\n/\n";
            m_reporter.LogLine("/");
        }
        if (!m_reporter.KeepGoing()) {
            outcome = Stopped();
            return false;
        }
        if (!Encode(object, strBlock, outcome))
            return false;
        return WriteBlock(object, nIndex, nLine, strBlock, outcome);
    }

    // The block in the client's own set, made by the client in bounded pieces, each written
    // over the bytes it came from (no set needs more bytes for a character than UTF-8 does;
    // should one, the rest goes to a copy). A character the set cannot hold ends the run. With
    // US7ASCII the block stays UTF-8 and the first character beyond ASCII is remembered.
    bool Encode(const ExportObjectId& object, CString& strBlock, ExportEnding& outcome)
    {
        if (m_params.bUtf8Files || m_charset.IsUnicode() || m_charset.IsUs7Ascii() ||
            m_charset.nId == 0) {
            // UTF-8 files asked for a client whose set is not UTF-8: the run advises at its end.
            if (m_params.bUtf8Files && !m_charset.IsUnicode() && !m_bWroteBeyondAscii)
                m_bWroteBeyondAscii = BlockText::HoldsBeyondAscii(strBlock);
            if (!m_params.bUtf8Files && m_charset.IsUs7Ascii() && m_strFirstBeyondAscii.IsEmpty())
                NoteBeyondAscii(object, strBlock);
            return true;
        }
        const int nLength = strBlock.GetLength();
        char* pText = strBlock.GetBuffer(nLength);
        size_t nRead = 0;
        size_t nWritten = 0;
        int nLinesBefore = 0;
        std::string strPiece;
        std::string strCopy;  // used only once a piece grew
        bool bCopying = false;
        bool bOk = true;
        while (nRead < size_t(nLength)) {
            const size_t nEnd = PieceEnd(pText, size_t(nLength), nRead);
            bool bReplaced = false;
            if (!m_pConnection->ConvertToClient(pText + nRead, nEnd - nRead, strPiece, bReplaced)) {
                outcome = FetchFailedAt(object, FailureText(m_pConnection->GetErrorText()),
                                        m_pConnection->GetErrorCode());
                bOk = false;
                break;
            }
            if (bReplaced) {
                outcome = Unwritable(object, pText + nRead, nEnd - nRead, nLinesBefore);
                bOk = false;
                break;
            }
            for (size_t i = nRead; i < nEnd; ++i)
                nLinesBefore += pText[i] == '\n' ? 1 : 0;
            if (!bCopying && nWritten + strPiece.size() > nEnd) {
                strCopy.assign(pText, nWritten);
                bCopying = true;
            }
            if (bCopying) {
                strCopy += strPiece;
            } else {
                std::memmove(pText + nWritten, strPiece.data(), strPiece.size());
                nWritten += strPiece.size();
            }
            nRead = nEnd;
        }
        strBlock.ReleaseBuffer(bOk && !bCopying ? int(nWritten) : nLength);
        if (bOk && bCopying)
            strBlock = CString(strCopy.data(), int(strCopy.size()));
        return bOk;
    }

    // The ending for a piece that held a character the client's set cannot: the first such
    // character and its line, found line by line and then character by character.
    ExportEnding Unwritable(const ExportObjectId& object, const char* pPiece, size_t nLength,
                            int nLinesBefore)
    {
        int nLine = nLinesBefore + 1;
        CString strCharacter = "?";
        std::string strConverted;
        size_t nLineStart = 0;
        bool bFound = false;
        while (nLineStart < nLength && !bFound) {
            size_t nLineEnd = nLineStart;
            while (nLineEnd < nLength && pPiece[nLineEnd] != '\n')
                ++nLineEnd;
            bool bReplaced = false;
            m_pConnection->ConvertToClient(pPiece + nLineStart, nLineEnd - nLineStart, strConverted,
                                           bReplaced);
            if (bReplaced) {
                for (size_t i = nLineStart; i < nLineEnd && !bFound;) {
                    const int nChar = CharacterLength(pPiece + i, nLineEnd - i);
                    m_pConnection->ConvertToClient(pPiece + i, size_t(nChar), strConverted,
                                                   bReplaced);
                    if (bReplaced) {
                        strCharacter = CodePointText(pPiece + i, nChar);
                        bFound = true;
                    }
                    i += size_t(nChar);
                }
                bFound = true;
                break;
            }
            nLineStart = nLineEnd + 1;
            ++nLine;
        }
        // The block's first line carries the "CREATE OR REPLACE " prefix: still line 1.
        CString strFirst;
        strFirst.Format("%s (%s) line %d: the character %s cannot be written in %s; set NLS_LANG "
                        "to a character set that holds it, such as AMERICAN_AMERICA.AL32UTF8",
                        object.strName.GetString(), object.strType.GetString(), nLine,
                        strCharacter.GetString(), m_charset.strName.GetString());
        return FailedAt(ExportResult::Unwritable, object, strFirst);
    }

    // Remembers where the first byte beyond ASCII of the job is ("EMP_API (PACKAGE) line 3").
    void NoteBeyondAscii(const ExportObjectId& object, const CString& strBlock)
    {
        int nLine = 1;
        for (int i = 0; i < strBlock.GetLength(); ++i) {
            const unsigned char byte = static_cast<unsigned char>(strBlock[i]);
            if (byte == '\n') {
                ++nLine;
            } else if (byte >= 0x80) {
                m_strFirstBeyondAscii.Format("%s (%s) line %d", object.strName.GetString(),
                                             object.strType.GetString(), nLine);
                return;
            }
        }
    }

    // Hands one block to the sink as a step no stop cuts in two, so a stopped job never writes.
    bool WriteBlock(const ExportObjectId& object, int nIndex, int nLines, const CString& strBlock,
                    ExportEnding& outcome)
    {
        ExportFailure failure;
        bool bWritten = false;
        const bool bRan = m_reporter.Guarded([&] {
            bWritten = m_sink.Write(object, strBlock, failure);
            if (bWritten)
                m_reporter.ObjectWritten(object, nIndex, nLines);
        });
        if (!bRan) {
            outcome = Stopped();
            return false;
        }
        if (!bWritten) {
            outcome = SinkFailed(ExportResult::WriteFailed, failure);
            Locate(outcome, object);
            return false;
        }
        return true;
    }

    // A failure while reading an object: the database's text, then which object and what the
    // target holds.
    ExportEnding FetchFailedAt(const ExportObjectId& object, const CString& strText,
                               int nErrorCode) const
    {
        return FailedAt(ExportResult::FetchFailed, object, strText, {}, nErrorCode);
    }

    // Prepares a statement; a failure leaves its reason in the connection.
    static bool Prepare(DBConnect& connection, const char* pszSql, std::unique_ptr<DBStmt>& stmt,
                        ExportEnding& outcome)
    {
        try {
            stmt = std::make_unique<DBStmt>(connection, pszSql);
            return true;
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::FetchFailed, FailureText(connection.GetErrorText()), {},
                             connection.GetErrorCode());
            return false;
        }
    }

    // Reports both values unless they equal the last ones reported.
    void Progress(int nObjectPercent, int nTotalPercent)
    {
        if (nObjectPercent == m_nSentObject && nTotalPercent == m_nSentTotal)
            return;
        m_nSentObject = nObjectPercent;
        m_nSentTotal = nTotalPercent;
        m_reporter.Progress(nObjectPercent, nTotalPercent);
    }

    static constexpr int kTableOrViewDoesNotExist = 942;

    const ExportParams& m_params;
    ExportSink& m_sink;
    ExportReporter& m_reporter;
    ClientCharset m_charset;
    DBConnect* m_pConnection = nullptr;
    // "<NAME> (<TYPE>) line <N>" of the first character beyond ASCII, for a US7ASCII client.
    CString m_strFirstBeyondAscii;
    // The logged-on user's name as the database knows it.
    CString m_strSessionUser;
    bool m_bWroteBeyondAscii = false;
    int m_nObjectCount = 0;
    int m_nTotalPercent = 0;
    int m_nSentObject = -1;
    int m_nSentTotal = -1;
};

}  // namespace

const std::vector<CString>& DefaultExportKinds()
{
    static const std::vector<CString> kinds = {"PACKAGE", "PACKAGE BODY", "PROCEDURE", "FUNCTION"};
    return kinds;
}

std::vector<CString> ExportEnding::MessageLines() const
{
    std::vector<CString> lines{strText};
    if (!strWhere.IsEmpty())
        lines.push_back(strTargetState.IsEmpty() ? strWhere : strWhere + ". " + strTargetState);
    lines.insert(lines.end(), details.begin(), details.end());
    return lines;
}

CString ExportEnding::MessageText() const
{
    CString strMessage;
    for (const CString& strLine : MessageLines())
        strMessage += (strMessage.IsEmpty() ? "" : "\n") + strLine;
    return strMessage;
}

ExportEnding RunExport(const ExportParams& params, ExportSink& sink, ExportReporter& reporter)
{
    ExportRun run(params, sink, reporter);
    return run.Run();
}
