// ExportEngine.cpp
//
//   ExportRun - one run: the steps from the target check to the last block, each failure
//               turned into an ending (what failed, where, what the target holds) that the run
//               reports after it has logged off. The listing, the line counts and the source
//               are one query each per scope (the whole schema, or each named object), so a
//               schema costs a few round trips whatever its size.
#include "export/ExportEngine.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <utility>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "db/ObjectListCursor.h"
#include "export/BlockEncoder.h"
#include "export/BlockPieces.h"
#include "export/BlockText.h"
#include "export/ExportTexts.h"
#include "export/LineCounts.h"
#include "export/SqlPlusLines.h"
#include "export/SourceQueries.h"
#include "export/SourceStream.h"
#include "export/ViewSource.h"
#include "framework/Barrier.h"

namespace {

const char kCreatePrefix[] = "CREATE OR REPLACE ";
const char kViewKind[] = "VIEW";
const char kTruncatedNameText[] = "ORA-24345: A Truncation or null fetch error occurred";

// Gives the sink's block up when it goes unwritten: the run stopped or failed between its
// first piece and its last.
class UnfinishedBlock {
public:
    explicit UnfinishedBlock(ExportSink& sink) : m_sink(sink) {}
    ~UnfinishedBlock()
    {
        if (!m_bWritten)
            m_sink.AbandonBlock();
    }
    UnfinishedBlock(const UnfinishedBlock&) = delete;
    UnfinishedBlock& operator=(const UnfinishedBlock&) = delete;
    void Written() { m_bWritten = true; }

private:
    ExportSink& m_sink;
    bool m_bWritten = false;
};

// The database's text of a failure, or a plain one when it left none. Oracle's texts end with
// a line feed, which the log line does not need.
CString FailureText(const char* pszText)
{
    if (pszText == nullptr || *pszText == '\0')
        return ExportTexts::kUnexpectedFailure;
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
    // Its source's bytes in the database's set, what its block is made for.
    int nBytes = 0;
};

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

    // The logon and the listing alone, into objects (the rows before a failure included).
    ExportEnding ListOnly(std::vector<ExportObjectId>& objects)
    {
        ExportEnding outcome;
        DBConnect connection;
        connection.SetInterrupt(m_params.interrupt);
        try {
            if (LogOn(connection, outcome))
                ListObjects(connection, Scope(nullptr), objects, outcome);
            if (outcome.result != ExportResult::Done && Interrupted())
                outcome = Stopped();
        } catch (const std::exception& error) {
            RecordCaughtException("listing");
            outcome = Unexpected(error.what());
        } catch (...) {
            RecordCaughtException("listing");
            outcome = Unexpected("unknown exception");
        }
        if (outcome.result != ExportResult::Stopped) {
            try {
                connection.Disconnect();
            } catch (DBConnect::OtherException&) {
                // The list is complete; a session that does not end cleanly changes nothing.
            }
        }
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

    // Runs one sink call as a step no stop cuts in two; false with the ending (stopped, or the
    // sink's failure as result) when it did not pass.
    bool SinkStep(ExportResult result, const std::function<bool(ExportFailure&)>& step,
                  ExportEnding& outcome)
    {
        ExportFailure failure;
        bool bPassed = false;
        if (!m_reporter.Guarded([&] { bPassed = step(failure); })) {
            outcome = Stopped();
            return false;
        }
        if (!bPassed) {
            outcome = SinkFailed(result, failure);
            return false;
        }
        return true;
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

    // The logon and what the session needs before the listing; false with the ending.
    bool LogOn(DBConnect& connection, ExportEnding& outcome)
    {
        m_reporter.LogLine(ExportTexts::ConnectTo(m_params.strUser, m_params.strDatabase));
        try {
            if (m_params.bSysdba)
                connection.ConnectAsSysdba(m_params.strUser, m_params.strPassword,
                                           m_params.strDatabase);
            else
                connection.Connect(m_params.strUser, m_params.strPassword, m_params.strDatabase);
        } catch (const DBConnect::OtherException& error) {
            const CString strText = error.Text();
            const int nCode = error.Code();
            connection.ResetErrorHandle();
            outcome = Failed(ExportResult::LogonFailed, strText, {}, nCode);
            return false;
        }
        m_reporter.LogLine(ExportTexts::kConnected);
        if (!connection.GetLogonWarning().IsEmpty())
            m_reporter.LogonWarning(connection.GetLogonWarning());
        m_reporter.LogLine("");
        m_encoder = std::make_unique<BlockEncoder>(connection, m_params.bUtf8Files);
        m_strSessionUser = m_params.bSysdba ? CString("SYS") : m_params.strUser;
        // Whom an external logon made the session user is the database's to say; it is asked
        // only where the name matters.
        if (DBConnect::IsExternalLogon(m_params.strUser, m_params.strPassword) &&
            !m_params.bSysdba && !m_params.strOwner.IsEmpty()) {
            if (!ReadSessionUser(connection, outcome))
                return false;
        }
        // The listing's other comparisons are made on NLSSORT(..., 'NLS_SORT=BINARY') bytes
        // whatever the client's NLS_COMP; a name filter's LIKE has no such form, and a client
        // with NLS_COMP=LINGUISTIC would make it follow NLS_SORT (ignoring case with a _CI
        // sort). A filtered run pays one round trip for byte comparisons in its session.
        if (!m_params.includePatterns.empty() || !m_params.excludePatterns.empty()) {
            if (!CompareBytesInSession(connection, outcome))
                return false;
        }
        return true;
    }

    ExportEnding RunSteps(DBConnect& connection)
    {
        if (!m_reporter.KeepGoing())
            return Stopped();
        ExportEnding checked;
        if (!SinkStep(
                ExportResult::TargetRejected,
                [&](ExportFailure& failure) { return m_sink.Check(failure); }, checked))
            return checked;

        ExportEnding loggedOn;
        if (!LogOn(connection, loggedOn))
            return loggedOn;

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

        // The views, read before anything is written: the file's head needs their lines.
        m_views.assign(scopes.size(), {});
        if (!ReadViews(connection, scopes, objects, scopeEnds, outcome))
            return outcome;

        LineCountMap lineCounts;
        std::vector<SourceWidths> scopeWidths(scopes.size());
        for (size_t s = 0; s < scopes.size(); ++s) {
            if (HasSourceKinds(scopes[s]) && !CountLines(connection, SourceKindsOf(scopes[s]),
                                                         lineCounts, scopeWidths[s], outcome))
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
        SqlPlusNeeds jobNeeds = JobNeeds(objects, lineCounts);
        // A "#" line makes the target choose a prefix no line begins with: the characters the
        // source's lines begin with are read only then.
        if (jobNeeds.bHashLine || m_sink.RunsOtherHashLines()) {
            for (size_t s = 0; s < scopes.size(); ++s) {
                if (HasSourceKinds(scopes[s]) &&
                    !ReadLineStarts(connection, SourceKindsOf(scopes[s]), lineCounts, outcome))
                    return outcome;
            }
            jobNeeds = JobNeeds(objects, lineCounts);
        }
        // A file whose "#" lines no prefix can guard would run them as commands: none is
        // written.
        if (SettingsFor(jobNeeds).bNoPrefixLeft)
            return Failed(ExportResult::Unwritable, NoPrefixLeftText(jobNeeds.strFirstHashLine));
        m_sink.JobNeeds(jobNeeds);
        m_pHead = m_sink.Head();
        ExportFailure refused;
        if (!m_sink.AcceptsNeeds(jobNeeds, refused))
            return SinkFailed(ExportResult::Unwritable, refused);
        m_reporter.ObjectsListed(m_nObjectCount);

        size_t nFirst = 0;
        for (size_t s = 0; s < scopes.size(); ++s) {
            if (!ExportScope(connection, SourceKindsOf(scopes[s]), scopeWidths[s], objects, nFirst,
                             scopeEnds[s], lineCounts, m_views[s], outcome))
                return outcome;
            nFirst = scopeEnds[s];
        }

        if (!SinkStep(
                ExportResult::WriteFailed,
                [&](ExportFailure& failure) { return m_sink.Complete(failure); }, outcome))
            return outcome;
        m_reporter.LogLine("");
        if (!m_encoder->FirstBeyondUs7Ascii().IsEmpty())
            m_reporter.Warning(ExportTexts::BeyondUs7Ascii(m_encoder->FirstBeyondUs7Ascii()));
        m_reporter.LogLine(ExportTexts::kSourceUploaded);
        Progress(100, 100);
        ExportEnding done;
        for (const ExportObjectId& object : objects) {
            if (object.bInvalid)
                done.invalidObjects.push_back(object);
        }
        done.bNeedsUtf8Client = m_encoder->NeedsUtf8Client();
        return done;
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
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, error.Code());
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
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, error.Code());
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

    static bool IsView(const ExportObjectId& object) { return object.strType == kViewKind; }

    // The scope as the stored units' queries read it: its kinds without VIEW.
    static SourceScope SourceKindsOf(const SourceScope& scope)
    {
        SourceScope units = scope;
        if (!units.kinds.empty())
            units.kinds.erase(std::remove(units.kinds.begin(), units.kinds.end(), kViewKind),
                              units.kinds.end());
        return units;
    }

    static bool HasSourceKinds(const SourceScope& scope)
    {
        return scope.kinds.empty() || !SourceKindsOf(scope).kinds.empty();
    }

    // Reads each scope's listed views into m_views; an object view or XMLType view is named
    // (the user must learn that it is not in the export) and leaves the listing.
    bool ReadViews(DBConnect& connection, const std::vector<SourceScope>& scopes,
                   std::vector<ExportObjectId>& objects, std::vector<size_t>& scopeEnds,
                   ExportEnding& outcome)
    {
        size_t nFirst = 0;
        std::vector<ExportObjectId> kept;
        for (size_t s = 0; s < scopes.size(); ++s) {
            std::vector<CString> listed;
            for (size_t i = nFirst; i < scopeEnds[s]; ++i) {
                if (IsView(objects[i]))
                    listed.push_back(objects[i].strName);
            }
            if (!listed.empty()) {
                ViewSource source(connection, scopes[s]);
                if (!source.Read(listed, m_views[s])) {
                    const bool bNotVisible = !scopes[s].strOwner.IsEmpty() &&
                                             source.ErrorCode() == kTableOrViewDoesNotExist;
                    outcome = Failed(
                        bNotVisible ? ExportResult::ListingFailed : ExportResult::FetchFailed,
                        bNotVisible ? ExportTexts::OwnersViewsNotVisible(m_params.strOwner,
                                                                         m_strSessionUser)
                                    : FailureText(source.ErrorText()),
                        {}, source.ErrorCode());
                    if (!source.FailedView().IsEmpty()) {
                        outcome.strWhere = source.FailedView() + " (" + kViewKind + ")";
                        outcome.strTargetState = m_sink.StateText();
                    }
                    return false;
                }
            }
            for (size_t i = nFirst; i < scopeEnds[s]; ++i) {
                const auto found =
                    IsView(objects[i]) ? m_views[s].find(objects[i].strName) : m_views[s].end();
                if (found != m_views[s].end() && found->second.bTyped) {
                    m_reporter.Warning(ExportTexts::NotExportedTypedView(objects[i].strName));
                    m_views[s].erase(found);
                    continue;
                }
                kept.push_back(objects[i]);
            }
            nFirst = scopeEnds[s];
            scopeEnds[s] = kept.size();
        }
        objects = std::move(kept);
        if (objects.empty()) {
            outcome = Failed(ExportResult::NothingToExport, ExportTexts::kObjectNotFound);
            return false;
        }
        return true;
    }

    // The DBA_ views are missing: the user may not read the dictionary.
    ExportEnding OwnerNotVisible() const
    {
        return Failed(ExportResult::ListingFailed,
                      ExportTexts::OwnerNotVisible(m_params.strOwner, m_strSessionUser));
    }

    // The views are readable, and the owner has nothing of the run's kinds.
    ExportEnding OwnerHasNone() const
    {
        CString strKinds;
        for (const CString& strKind :
             m_params.kinds.empty() ? DefaultExportKinds() : m_params.kinds) {
            strKinds += (strKinds.IsEmpty() ? "" : ", ") + strKind;
        }
        return Failed(ExportResult::ListingFailed,
                      ExportTexts::OwnerHasNone(m_params.strOwner, strKinds));
    }

    // The listed objects of one scope, in name and type order, appended to objects.
    bool ListObjects(DBConnect& connection, const SourceScope& scope,
                     std::vector<ExportObjectId>& objects, ExportEnding& outcome)
    {
        std::unique_ptr<ObjectListCursor> cursor;
        try {
            cursor =
                std::make_unique<ObjectListCursor>(connection, SourceQueries::Listing(scope), true);
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, error.Code());
            return false;
        }
        try {
            BindSourceScope(cursor->Statement(), scope);
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
        } catch (const DBStmt::OtherException& error) {
            const int nCode = error.Code();
            if (!scope.strOwner.IsEmpty() && nCode == kTableOrViewDoesNotExist) {
                outcome = OwnerNotVisible();
                outcome.nErrorCode = nCode;
                return false;
            }
            outcome = Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, nCode);
            return false;
        }
    }

    // What the listed objects' lines and the views' hold that SQL*Plus would read as its own.
    SqlPlusNeeds JobNeeds(const std::vector<ExportObjectId>& objects,
                          const LineCountMap& lineCounts) const
    {
        SqlPlusNeeds jobNeeds;
        for (const ExportObjectId& object : objects) {
            const auto found = lineCounts.find({object.strName, object.strType});
            if (found != lineCounts.end())
                jobNeeds.Merge(found->second.needs);
        }
        for (const std::map<CString, ViewDefinition>& views : m_views) {
            for (const auto& view : views) {
                const CString strBlock = ViewBlock(view.first, view.second);
                SqlPlusNeeds viewNeeds;
                viewNeeds.AddText(strBlock.GetString(), strBlock.GetLength(), true);
                if (viewNeeds.bHashLine)
                    viewNeeds.strFirstHashLine =
                        LineOf(view.first, kViewKind,
                               FirstLineBeginning(strBlock.GetString(), strBlock.GetLength(), '#'));
                jobNeeds.Merge(viewNeeds);
            }
        }
        return jobNeeds;
    }

    // Runs one of the scope's grouped count queries (LineCounts.h), handing every row to take;
    // false with the ending when it fails.
    bool ForEachCountRow(DBConnect& connection, const SourceScope& scope, LineCountColumns columns,
                         const std::function<void(const LineCountRow&)>& take,
                         ExportEnding& outcome)
    {
        std::unique_ptr<LineCountCursor> cursor;
        try {
            const CString strSql = columns == LineCountColumns::kCounts
                                       ? SourceQueries::LineCounts(scope)
                                       : SourceQueries::LineStarts(scope);
            cursor = std::make_unique<LineCountCursor>(connection, strSql, columns);
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::FetchFailed, FailureText(error.Text()), {}, error.Code());
            return false;
        }
        try {
            BindSourceScope(cursor->Statement(), scope);
            LineCountRow row;
            while (cursor->Next(row))
                take(row);
            return true;
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, error.Code());
            return false;
        }
    }

    // The characters the lines of every counted object of the scope begin with, into its needs.
    bool ReadLineStarts(DBConnect& connection, const SourceScope& scope, LineCountMap& counts,
                        ExportEnding& outcome)
    {
        return ForEachCountRow(
            connection, scope, LineCountColumns::kLineStarts,
            [&](const LineCountRow& row) {
                const auto found = counts.find({row.strName, row.strType});
                if (row.bFits && found != counts.end())
                    found->second.needs.Merge(row.needs);
            },
            outcome);
    }

    // The number of lines of every object of the scope and what they hold that SQL*Plus would
    // read as its own (but for the characters they begin with, ReadLineStarts), one row each,
    // and the widest name and line of the scope.
    bool CountLines(DBConnect& connection, const SourceScope& scope, LineCountMap& counts,
                    SourceWidths& widths, ExportEnding& outcome)
    {
        bool bWrapped = false;
        const bool bCounted = ForEachCountRow(
            connection, scope, LineCountColumns::kCounts,
            [&](const LineCountRow& row) {
                widths.nNameBytes = std::max(widths.nNameBytes, row.nNameBytes);
                widths.nTextBytes = std::max(widths.nTextBytes, row.nTextBytes);
                bWrapped = bWrapped || row.bWrapped;
                if (row.bFits)
                    counts[{row.strName, row.strType}] =
                        ObjectLines{row.nLines, row.needs, row.nSourceBytes};
            },
            outcome);
        if (!bCounted || !bWrapped)
            return bCounted;
        try {
            JudgeWrappedRows(connection, scope, counts);
            return true;
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::ListingFailed, FailureText(error.Text()), {}, error.Code());
            return false;
        }
    }

    // The lines after a line end inside a row (the counts judged each row's first line), each
    // judged as the written line will be, into their objects' needs. Such rows are rare: one
    // more query, only when the counts found some. A failure throws DBStmt::OtherException.
    static void JudgeWrappedRows(DBConnect& connection, const SourceScope& scope,
                                 LineCountMap& counts)
    {
        DBStmt stmt(connection, SourceQueries::WrappedRows(scope));
        char szName[kMaxObjectNameBytes + 1] = {};
        char szType[kMaxObjectNameBytes + 1] = {};
        std::vector<char> text(size_t(kMaxSourceLineBytes) + 1);
        ub2 nNameLength = 0;
        ub2 nTypeLength = 0;
        ub2 nTextLength = 0;
        sb2 nTextIndicator = 0;
        stmt.DefineChars(1, szName, sizeof(szName), &nNameLength);
        stmt.DefineChars(2, szType, sizeof(szType), &nTypeLength);
        int nLine = 0;
        stmt.DefineInt(3, &nLine);
        stmt.DefineChars(4, text.data(), int(text.size()), &nTextLength, &nTextIndicator);
        PrefetchInBatches(stmt);
        BindSourceScope(stmt, scope);
        int nStatus = OCI_SUCCESS;
        while (stmt.FetchRow(nStatus)) {
            // A name too long for a listed object belongs to none.
            if (nNameLength > kMaxObjectNameBytes || nTypeLength > kMaxObjectNameBytes)
                continue;
            const CString strName(szName, nNameLength);
            const CString strType(szType, nTypeLength);
            const auto found = counts.find({strName, strType});
            if (found == counts.end() || nTextIndicator == -1)
                continue;
            SqlPlusNeeds rowNeeds;
            rowNeeds.AddText(text.data(), std::min<int>(nTextLength, kMaxSourceLineBytes));
            if (rowNeeds.bHashLine)
                rowNeeds.strFirstHashLine = LineOf(strName, strType, nLine);
            // A "#" line the counts found stays the one named.
            found->second.needs.Merge(rowNeeds);
        }
    }

    // Walks the scope's source stream, cutting it into the listed objects [nFirst, nEnd). An
    // object is complete once the stream shows another object's row or its end; rows of an
    // object the listing does not hold (created after it) are passed over.
    bool ExportScope(DBConnect& connection, const SourceScope& scope, const SourceWidths& widths,
                     const std::vector<ExportObjectId>& objects, size_t nFirst, size_t nEnd,
                     const LineCountMap& lineCounts, const std::map<CString, ViewDefinition>& views,
                     ExportEnding& outcome)
    {
        std::map<std::pair<CString, CString>, size_t> listedAt;
        for (size_t i = nFirst; i < nEnd; ++i)
            listedAt[{objects[i].strName, objects[i].strType}] = i;

        // The stored units' source, when the scope lists any.
        std::unique_ptr<SourceStream> stream;
        const auto firstUnit =
            std::find_if(objects.begin() + nFirst, objects.begin() + nEnd,
                         [](const ExportObjectId& object) { return !IsView(object); });
        if (firstUnit != objects.begin() + nEnd) {
            try {
                stream = std::make_unique<SourceStream>(
                    connection, SourceQueries::Source(scope, widths), widths);
                BindSourceScope(stream->Statement(), scope);
            } catch (const DBStmt::OtherException& error) {
                outcome = FetchFailedAt(*firstUnit, FailureText(error.Text()), error.Code());
                return false;
            }
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
            if (IsView(object)) {
                const auto found = views.find(object.strName);
                if (found == views.end()) {
                    outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
                    return false;
                }
                if (!ExportView(object, int(i), found->second, outcome))
                    return false;
                continue;
            }
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
            } catch (const DBStmt::OtherException& error) {
                outcome = FetchFailedAt(object, FailureText(error.Text()), error.Code());
                return false;
            }
            if (!bHaveRow || !stream->IsObject(object.strName, object.strType)) {
                outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
                return false;
            }
            const auto counted = lineCounts.find({object.strName, object.strType});
            const ObjectLines lines = counted == lineCounts.end() ? ObjectLines() : counted->second;
            if (!ExportObject(*stream, object, int(i), lines, bHaveRow, outcome))
                return false;
        }
        return true;
    }

    // One object whose first row the stream holds: its rows, logged, then its block.
    bool ExportObject(SourceStream& stream, const ExportObjectId& object, int nIndex,
                      const ObjectLines& counted, bool& bHaveRow, ExportEnding& outcome)
    {
        const int nCounted = counted.nLines;
        BlockPieces block(kCreatePrefix, size_t(counted.nBytes));
        UnfinishedBlock unfinished(m_sink);
        int nLine = 0;
        BlockLines blockLines;
        // Rows whose every text is NULL or empty are no source: no statement could be made.
        bool bAnyText = false;
        do {
            if (!m_reporter.KeepGoing()) {
                outcome = Stopped();
                return false;
            }
            // The line as the file holds it.
            const char* pLine = stream.Text();
            int nLineLength = stream.TextLength();
            block.Append(stream.Text(), size_t(stream.TextLength()));
            if (nLine == 0) {
                pLine = block.Held().GetString();
                nLineLength = block.Held().GetLength();
            }
            blockLines.AddLine(pLine, nLineLength);
            if (!Guarded(object, nLine + 1, pLine, nLineLength, outcome))
                return false;
            m_reporter.LogSource(pLine, nLineLength);
            bAnyText = bAnyText || stream.TextLength() > 0;
            ++nLine;
            // The count was taken a moment before the stream; the bar never passes the end.
            const int nLines = nCounted > nLine ? nCounted : nLine;
            Progress(int((nLine - 1) * 100LL / nLines), m_nTotalPercent);
            if (block.PieceReady() && !HandOn(object, nIndex, nLine, block, false, outcome))
                return false;
            try {
                bHaveRow = stream.Next();
            } catch (const DBStmt::OtherException& error) {
                outcome = FetchFailedAt(object, FailureText(error.Text()), error.Code());
                return false;
            }
        } while (bHaveRow && stream.IsObject(object.strName, object.strType));
        m_reporter.SourceEnds();
        if (!bAnyText) {
            outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
            return false;
        }
        if (!FinishBlock(object, nIndex, nLine, block, blockLines, outcome))
            return false;
        unfinished.Written();
        return true;
    }

    // A view's block, its text held since the views were read, checked as the units' lines are.
    bool ExportView(const ExportObjectId& object, int nIndex, const ViewDefinition& view,
                    ExportEnding& outcome)
    {
        if (view.strText.IsEmpty()) {
            outcome = FailedAt(ExportResult::NoSource, object, ExportTexts::kNoSource);
            return false;
        }
        CString strBlock = ViewBlock(object.strName, view);
        if (!Guarded(object, 1, strBlock.GetString(), strBlock.GetLength(), outcome, true))
            return false;
        BlockLines blockLines;
        int nLine = 0;
        int nStart = 0;
        for (int i = 0; i <= strBlock.GetLength(); ++i) {
            if (i == strBlock.GetLength() || strBlock[i] == '\n') {
                if (i < strBlock.GetLength() || i > nStart) {
                    blockLines.AddLine(strBlock.GetString() + nStart, i - nStart);
                    ++nLine;
                }
                nStart = i + 1;
            }
        }
        m_reporter.LogSource(strBlock.GetString(), strBlock.GetLength());
        m_reporter.SourceEnds();
        Progress(100, m_nTotalPercent);
        BlockPieces block("", size_t(strBlock.GetLength()));
        block.Append(strBlock.GetString(), size_t(strBlock.GetLength()));
        return FinishBlock(object, nIndex, nLine, block, blockLines, outcome);
    }

    // The end of every block: the warnings for its lines, its own "/" line, its last piece.
    bool FinishBlock(const ExportObjectId& object, int nIndex, int nLine, BlockPieces& block,
                     const BlockLines& blockLines, ExportEnding& outcome)
    {
        for (const CString& strWarning : blockLines.Warnings(object.strName, object.strType))
            m_reporter.Warning(strWarning);
        if (block.End())
            m_reporter.LogLine("/");
        if (!m_reporter.KeepGoing()) {
            outcome = Stopped();
            return false;
        }
        return HandOn(object, nIndex, nLine, block, true, outcome);
    }

    // The block's next piece (bLast: the rest of the ended block) in the file's character set,
    // to the sink.
    bool HandOn(const ExportObjectId& object, int nIndex, int nLines, BlockPieces& block,
                bool bLast, ExportEnding& outcome)
    {
        const int nLinesBefore = block.LinesTaken();
        CString strPiece = bLast ? block.TakeRest() : block.TakePiece();
        return Encode(object, strPiece, nLinesBefore, outcome) &&
               WritePiece(object, nIndex, nLines, strPiece, bLast, outcome);
    }

    // Whether the SET lines the file began with guard the line: one that needs another (it
    // changed after the lines were counted) ends the run before its block is written.
    bool Guarded(const ExportObjectId& object, int nLine, const char* pLine, int nLength,
                 ExportEnding& outcome, bool bSqlStatement = false) const
    {
        if (m_pHead == nullptr)
            return true;
        SqlPlusNeeds lineNeeds;
        lineNeeds.AddText(pLine, nLength, bSqlStatement);
        const CString strWhat = m_pHead->Unguarded(lineNeeds);
        if (strWhat.IsEmpty())
            return true;
        CString strText;
        strText.Format("The source changed while it was read (line %d %s, which the SET lines at "
                       "the file's top, decided when the lines were counted, do not provide "
                       "for); run the export again.",
                       nLine, strWhat.GetString());
        outcome = FetchFailedAt(object, strText, 0);
        return false;
    }

    // The block in the file's character set; a character that set cannot hold ends the run.
    bool Encode(const ExportObjectId& object, CString& strPiece, int nLinesBefore,
                ExportEnding& outcome)
    {
        BlockEncoder::Failure failure;
        if (m_encoder->Encode(object, strPiece, nLinesBefore, failure))
            return true;
        if (failure.bUnwritable)
            outcome = FailedAt(ExportResult::Unwritable, object, failure.strText);
        else
            outcome = FetchFailedAt(object, FailureText(failure.strText), failure.nErrorCode);
        return false;
    }

    // Hands one piece of a block to the sink as a step no stop cuts in two, so a stopped job
    // never writes.
    bool WritePiece(const ExportObjectId& object, int nIndex, int nLines, const CString& strPiece,
                    bool bLast, ExportEnding& outcome)
    {
        ExportFailure failure;
        bool bWritten = false;
        const bool bRan = m_reporter.Guarded([&] {
            bWritten = m_sink.WritePiece(object, strPiece, bLast, failure);
            if (bWritten && bLast)
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
        } catch (const DBStmt::OtherException& error) {
            outcome =
                Failed(ExportResult::FetchFailed, FailureText(error.Text()), {}, error.Code());
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
    // Made once the logon has succeeded.
    std::unique_ptr<BlockEncoder> m_encoder;
    // The SET lines the target's top holds (null when the sink fits them to the blocks as
    // written).
    const SqlPlusSettings* m_pHead = nullptr;
    // The logged-on user's name as the database knows it.
    CString m_strSessionUser;
    // Each scope's views by name, read before the first block.
    std::vector<std::map<CString, ViewDefinition>> m_views;
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

std::vector<CString> ExportEnding::ClosingLines() const
{
    if (result == ExportResult::LogonFailed)
        return {ExportTexts::kConnectFailed};
    if (result == ExportResult::NothingToExport && !strWhere.IsEmpty())
        return {strWhere + ": " + strText};
    return {};
}

bool ExportSink::WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                            ExportFailure& failure)
{
    if (!bLast) {
        m_strGathered += strPiece;
        return true;
    }
    if (m_strGathered.IsEmpty())
        return Write(object, strPiece, failure);
    m_strGathered += strPiece;
    CString strBlock;
    std::swap(strBlock, m_strGathered);
    return Write(object, strBlock, failure);
}

ExportEnding RunExport(const ExportParams& params, ExportSink& sink, ExportReporter& reporter)
{
    ExportRun run(params, sink, reporter);
    return run.Run();
}

namespace {

// A listing writes nothing and reports nothing; it stops once its interrupt is requested.
class ListingSink : public ExportSink {
public:
    bool Check(ExportFailure&) override { return true; }
    bool Write(const ExportObjectId&, const CString&, ExportFailure&) override { return true; }
    CString StateText() const override { return CString(); }
    int WrittenCount() const override { return 0; }
};

class ListingReporter : public ExportReporter {
public:
    explicit ListingReporter(const std::shared_ptr<DBInterrupt>& interrupt) : m_interrupt(interrupt)
    {}
    bool KeepGoing() override { return !m_interrupt || !m_interrupt->IsRequested(); }
    bool Guarded(const std::function<void()>& step) override
    {
        if (!KeepGoing())
            return false;
        step();
        return true;
    }
    void LogLine(const CString&) override {}
    void LogSource(const char*, int) override {}
    void Progress(int, int) override {}
    void Message(const CString&) override {}
    void Finish(const ExportEnding&) override {}

private:
    const std::shared_ptr<DBInterrupt>& m_interrupt;
};

}  // namespace

ExportEnding ListExportObjects(const ExportParams& params, std::vector<ExportObjectId>& objects)
{
    ListingSink sink;
    ListingReporter reporter(params.interrupt);
    ExportRun run(params, sink, reporter);
    return run.ListOnly(objects);
}
