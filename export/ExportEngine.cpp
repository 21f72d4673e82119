// ExportEngine.cpp
//
//   ExportRun   - one run: the steps from the target check to the last block, each failure
//                 turned into an outcome (message, last log lines) that the run reports after
//                 it has logged off.
//   OutputFile  - the single-file sink: checked before the logon without changing anything,
//                 replaced by the first block, appended to once per object; every write
//                 checked.
#include "export/ExportEngine.h"

#include <cstring>
#include <memory>
#include <utility>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "db/DbErrorTexts.h"
#include "export/ExportTexts.h"

namespace {

const char kListingQuery[] =
    "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
    "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION') ";
const char kListingOneObject[] = " AND OBJECT_NAME = :1 ";
const char kListingOrder[] = " ORDER BY OBJECT_NAME,OBJECT_TYPE ";
const char kCountQuery[] = "SELECT COUNT(1) FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ";
const char kSourceQuery[] =
    "SELECT TEXT FROM USER_SOURCE WHERE NAME = :1 AND TYPE = :2 ORDER BY LINE ";
const char kCreatePrefix[] = "CREATE OR REPLACE ";

// Object names and types and the terminating zero.
constexpr int kNameBufferSize = kMaxObjectNameLength + 1;
// The widest source line and one byte more: a line that fills the buffer completely counts as
// cut, since no stored line is that long.
constexpr int kTextBufferSize = kMaxSourceLineBytes + 1;

const char kTruncatedLineText[] = "ORA-01406: fetched column value was truncated";
const char kTruncatedNameText[] = "ORA-24345: A Truncation or null fetch error occurred";

// Whether the block's last non-blank line is a "/" alone, so that it needs no slash line.
bool EndsWithSlashLine(const CString& strText)
{
    const char* pText = strText.GetString();
    int nEnd = strText.GetLength();
    auto isBlank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
    while (nEnd > 0 && isBlank(pText[nEnd - 1]))
        --nEnd;
    if (nEnd == 0 || pText[nEnd - 1] != '/')
        return false;
    int nStart = nEnd - 1;
    while (nStart > 0 && pText[nStart - 1] != '\n') {
        --nStart;
        if (!isBlank(pText[nStart]))
            return false;
    }
    return true;
}

// The database's text of a failure, or a plain one when it left none. Oracle's texts end with
// a line feed, which the log line does not need.
CString FailureText(const char* pszText)
{
    if (pszText == nullptr || *pszText == '\0')
        return "Unexpected failure while exporting.";
    int nLength = int(std::strlen(pszText));
    while (nLength > 0 && (pszText[nLength - 1] == '\n' || pszText[nLength - 1] == '\r'))
        --nLength;
    return CString(pszText, nLength);
}

class ExportRun {
public:
    ExportRun(const ExportParams& params, ExportSink& sink, ExportReporter& reporter)
        : m_params(params), m_sink(sink), m_reporter(reporter)
    {
    }

    ExportOutcome Run()
    {
        ExportOutcome outcome;
        Progress(0, 0);
        {
            DBConnect connection;
            try {
                outcome = RunSteps(connection);
            } catch (...) {
                outcome = Failed(ExportResult::FetchFailed,
                                 ExportFailure::Lines(FailureText(connection.GetErrorText())));
            }
            outcome.nObjectsWritten = m_sink.WrittenCount();
            outcome.nObjectCount = m_nObjectCount;
            if (outcome.result == ExportResult::Stopped)
                return outcome;
            try {
                connection.Disconnect();
            } catch (...) {
            }
        }
        if (!outcome.failure.strMessage.IsEmpty()) {
            if (!m_reporter.KeepGoing())
                return Stopped();
            m_reporter.Message(outcome.failure.strMessage);
        }
        if (!m_reporter.KeepGoing())
            return Stopped();
        m_reporter.Finish(outcome);
        return outcome;
    }

private:
    static ExportOutcome Stopped()
    {
        ExportOutcome outcome;
        outcome.result = ExportResult::Stopped;
        return outcome;
    }

    static ExportOutcome Failed(ExportResult result, ExportFailure failure, int nErrorCode = 0)
    {
        ExportOutcome outcome;
        outcome.result = result;
        outcome.failure = std::move(failure);
        outcome.nErrorCode = nErrorCode;
        return outcome;
    }

    // From the target check to the last object; the connection is the caller's.
    ExportOutcome RunSteps(DBConnect& connection)
    {
        if (!m_reporter.KeepGoing())
            return Stopped();
        ExportFailure failure;
        bool bChecked = false;
        if (!m_reporter.Guarded([&] { bChecked = m_sink.Check(failure); }))
            return Stopped();
        if (!bChecked)
            return Failed(ExportResult::TargetRejected, std::move(failure));

        m_reporter.LogLine("Connect to " + m_params.strUser + "@" + m_params.strDatabase);
        try {
            if (m_params.bSysdba)
                connection.ConnectAsSysdba(m_params.strUser, m_params.strPassword, m_params.strDatabase);
            else
                connection.Connect(m_params.strUser, m_params.strPassword, m_params.strDatabase);
        } catch (DBConnect::OtherException&) {
            const CString strText = connection.GetErrorText();
            const int nCode = connection.GetErrorCode();
            connection.ResetErrorHandle();
            ExportFailure logon;
            logon.strMessage = strText;
            logon.logLines.push_back(ExportTexts::kConnectFailed);
            return Failed(ExportResult::LogonFailed, std::move(logon), nCode);
        }
        m_reporter.LogLine("Connected.");
        m_reporter.LogLine("");

        std::vector<ExportObjectId> objects;
        ExportOutcome outcome;
        if (m_params.objectNames.empty()) {
            if (!ListObjects(connection, nullptr, objects, outcome))
                return outcome;
        } else {
            for (const CString& strName : m_params.objectNames) {
                const size_t nBefore = objects.size();
                if (!ListObjects(connection, &strName, objects, outcome))
                    return outcome;
                if (objects.size() == nBefore && m_params.objectNames.size() > 1) {
                    ExportFailure notFound;
                    notFound.strMessage = CString(ExportTexts::kObjectNotFound) + "\n" + strName;
                    notFound.logLines = {strName + ": " + ExportTexts::kObjectNotFound};
                    return Failed(ExportResult::NothingToExport, std::move(notFound));
                }
            }
        }
        if (objects.empty()) {
            ExportFailure notFound;
            notFound.strMessage = ExportTexts::kObjectNotFound;
            notFound.logLines = {""};
            return Failed(ExportResult::NothingToExport, std::move(notFound));
        }

        m_nObjectCount = int(objects.size());
        m_sink.Listed(objects);
        m_reporter.ObjectsListed(m_nObjectCount);
        for (int i = 0; i < m_nObjectCount; ++i) {
            if (!m_reporter.KeepGoing())
                return Stopped();
            m_nTotalPercent = int(i * 100LL / m_nObjectCount);
            m_reporter.ObjectBegins(objects[size_t(i)], i);
            if (!ExportObject(connection, objects[size_t(i)], i, outcome))
                return outcome;
        }
        ExportFailure completion;
        bool bCompleted = false;
        if (!m_reporter.Guarded([&] { bCompleted = m_sink.Complete(completion); }))
            return Stopped();
        if (!bCompleted)
            return Failed(ExportResult::WriteFailed, std::move(completion));
        m_reporter.LogLine("");
        m_reporter.LogLine(ExportTexts::kSourceUploaded);
        Progress(100, 100);
        ExportOutcome done;
        done.failure.logLines = {""};
        return done;
    }

    // The listing of all objects (pName null) or of one name: (name, type) pairs in name and
    // type order, appended to objects. False with the outcome on failure.
    bool ListObjects(DBConnect& connection, const CString* pName, std::vector<ExportObjectId>& objects,
                     ExportOutcome& outcome)
    {
        CString strSql = kListingQuery;
        if (pName != nullptr)
            strSql += kListingOneObject;
        strSql += kListingOrder;

        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, strSql, stmt, outcome))
            return false;
        char szName[kNameBufferSize] = {};
        char szType[kNameBufferSize] = {};
        try {
            stmt->DefineString(1, szName, kNameBufferSize);
            stmt->DefineString(2, szType, kNameBufferSize);
            if (pName != nullptr)
                stmt->BindString(1, *pName, pName->GetLength());
            stmt->SetPrefetchRows(kPrefetchRows);
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::FetchFailed, ExportFailure::Lines(FailureText(stmt->GetErrorText())),
                             stmt->GetErrorCode());
            return false;
        }
        for (;;) {
            int nStatus = 0;
            try {
                nStatus = stmt->Fetch();
            } catch (DBStmt::OtherException&) {
                if (stmt->GetErrorCode() == DbErrorTexts::kNoDataFound) {
                    connection.ResetErrorHandle();
                    return true;
                }
                outcome = Failed(ExportResult::ListingFailed,
                                 ExportFailure::Lines(FailureText(stmt->GetErrorText())), stmt->GetErrorCode());
                return false;
            }
            // A name or type that did not fit its buffer (or came back empty) would be exported
            // under another name: the row ends the run.
            if (nStatus == OCI_SUCCESS_WITH_INFO || szName[0] == '\0' || szType[0] == '\0') {
                outcome = Failed(ExportResult::ListingFailed,
                                 ExportFailure::Lines(kTruncatedNameText,
                                                {CString(ExportTexts::kNameDoesNotFit) + szName}),
                                 OCI_ORA_TRUNCATION_OR_NULL);
                return false;
            }
            objects.push_back(ExportObjectId{szName, szType});
        }
    }

    // One object: count its lines, fetch them, log them and hand its block to the sink.
    bool ExportObject(DBConnect& connection, const ExportObjectId& object, int nIndex, ExportOutcome& outcome)
    {
        int nLines = 0;
        if (!CountLines(connection, object, nLines, outcome))
            return false;
        if (nLines == 0) {
            outcome = Failed(ExportResult::NoSource,
                             ExportFailure::Lines(ExportTexts::kNoSource, {WhereText(object)}));
            return false;
        }

        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, kSourceQuery, stmt, outcome))
            return false;
        ub2 nDelivered = 0;
        try {
            stmt->BindString(1, object.strName, object.strName.GetLength());
            stmt->BindString(2, object.strType, object.strType.GetLength());
            stmt->DefineChars(1, m_textBuffer.data(), kTextBufferSize, &nDelivered);
            stmt->SetPrefetchRows(kPrefetchRows);
        } catch (DBStmt::OtherException&) {
            outcome = ObjectFailure(object, FailureText(stmt->GetErrorText()), stmt->GetErrorCode());
            return false;
        }

        CString strBlock;
        for (int j = 0; j < nLines; ++j) {
            if (!m_reporter.KeepGoing()) {
                outcome = Stopped();
                return false;
            }
            nDelivered = 0;
            try {
                stmt->Fetch();
            } catch (DBStmt::OtherException&) {
                outcome = ObjectFailure(object, FailureText(stmt->GetErrorText()), stmt->GetErrorCode());
                return false;
            }
            if (nDelivered >= kTextBufferSize) {
                outcome = ObjectFailure(object, TruncationText(*stmt), 1406);
                return false;
            }
            if (j == 0) {
                strBlock = kCreatePrefix;
                strBlock.Append(m_textBuffer.data(), nDelivered);
                m_reporter.LogSource(strBlock.GetString(), strBlock.GetLength());
            } else {
                strBlock.Append(m_textBuffer.data(), nDelivered);
                m_reporter.LogSource(m_textBuffer.data(), nDelivered);
            }
            Progress(int(j * 100LL / nLines), m_nTotalPercent);
        }

        if (EndsWithSlashLine(strBlock)) {
            strBlock += "\n";
        } else {
            strBlock += "\n/\n";
            m_reporter.LogLine("/");
        }
        if (!m_reporter.KeepGoing()) {
            outcome = Stopped();
            return false;
        }
        return WriteBlock(object, nIndex, nLines, strBlock, outcome);
    }

    // The number of source lines of one object.
    bool CountLines(DBConnect& connection, const ExportObjectId& object, int& nLines, ExportOutcome& outcome)
    {
        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, kCountQuery, stmt, outcome))
            return false;
        try {
            stmt->BindString(1, object.strName, object.strName.GetLength());
            stmt->BindString(2, object.strType, object.strType.GetLength());
            stmt->DefineInt(1, &nLines);
            stmt->Execute();
        } catch (DBStmt::OtherException&) {
            outcome = ObjectFailure(object, FailureText(stmt->GetErrorText()), stmt->GetErrorCode());
            return false;
        }
        return true;
    }

    // Hands one block to the sink as a step no stop cuts in two, so a stopped job never writes.
    bool WriteBlock(const ExportObjectId& object, int nIndex, int nLines, const CString& strBlock,
                    ExportOutcome& outcome)
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
            outcome = Failed(ExportResult::WriteFailed, std::move(failure));
            return false;
        }
        return true;
    }

    // A failure while reading an object: the database's text, then which object and what the
    // target holds.
    ExportOutcome ObjectFailure(const ExportObjectId& object, const CString& strText, int nErrorCode)
    {
        return Failed(ExportResult::FetchFailed, ExportFailure::Lines(strText, {WhereText(object)}), nErrorCode);
    }

    // "EMP_API (PACKAGE BODY). The file holds the 2 complete objects before it."
    CString WhereText(const ExportObjectId& object) const
    {
        return ::WhereText(object, m_sink.StateText());
    }

    // Prepares a statement; a failure leaves its reason in the connection.
    static bool Prepare(DBConnect& connection, const char* pszSql, std::unique_ptr<DBStmt>& stmt,
                        ExportOutcome& outcome)
    {
        try {
            stmt = std::make_unique<DBStmt>(connection, pszSql);
            return true;
        } catch (DBStmt::OtherException&) {
            outcome = Failed(ExportResult::FetchFailed, ExportFailure::Lines(FailureText(connection.GetErrorText())),
                             connection.GetErrorCode());
            return false;
        }
    }

    static CString TruncationText(DBStmt& stmt)
    {
        const char* pszText = stmt.GetErrorText();
        return pszText != nullptr && *pszText != '\0' ? FailureText(pszText) : CString(kTruncatedLineText);
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

    const ExportParams& m_params;
    ExportSink& m_sink;
    ExportReporter& m_reporter;
    std::vector<char> m_textBuffer = std::vector<char>(size_t(kTextBufferSize));
    int m_nObjectCount = 0;
    int m_nTotalPercent = 0;
    int m_nSentObject = -1;
    int m_nSentTotal = -1;
};

}  // namespace

ExportOutcome RunExport(const ExportParams& params, ExportSink& sink, ExportReporter& reporter)
{
    ExportRun run(params, sink, reporter);
    return run.Run();
}
