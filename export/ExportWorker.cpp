// ExportWorker.cpp
//
//   ExportJob   - the parameters of one job, copied from the job record when it starts, with
//                 the job's number.
//   OutputFile  - the output file: deleted before the logon, truncated by the first write of
//                 the run, appended to once per object; every write checked.
//   ExportRun   - one run: the steps from the logon to the last object, each failure turned
//                 into an Ending (message, last log line) that the run shows after it has
//                 logged off.
#include "export/ExportWorker.h"

#include <cstring>
#include <memory>
#include <vector>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "dialogs/AppMessageBox.h"
#include "export/JobControl.h"
#include "export/JobRecord.h"

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

// Object names and types: identifiers of up to 128 bytes and the terminating zero.
constexpr int kNameBufferSize = 129;
// One source line as the client delivers it; a line that fills the buffer completely counts as
// cut, since no stored line is that long.
constexpr int kTextBufferSize = kMaxSourceLineBytes + 1;

constexpr int kNoDataFound = 1403;
const char kTruncatedLineText[] = "ORA-01406: fetched column value was truncated";

struct ExportJob {
    unsigned nJob = 0;
    CString strUser;
    CString strPassword;
    CString strDatabase;
    CString strFileName;
    CString strObjectName;
    int bSysdba = 0;
    int bAllObjects = 0;

    // Runs on the thread that starts the job, while the parameters cannot change.
    static ExportJob FromRecord(unsigned nJob)
    {
        ExportJob job;
        job.nJob = nJob;
        job.strUser = g_strUser;
        job.strPassword = g_strPassword;
        job.strDatabase = g_strDatabase;
        job.strFileName = g_strFileName;
        job.strObjectName = CString(g_szObjectName, int(strnlen(g_szObjectName, kObjectNameSize - 1)));
        job.bSysdba = g_bSysdba;
        job.bAllObjects = g_bAllObjects;
        return job;
    }
};

struct ObjectId {
    CString strName;
    CString strType;
};

// How a run that is not stopped ends: an optional message box, then the last log line.
struct Ending {
    bool bStopped = false;
    bool bShowMessage = false;
    CString strMessage;
    CString strLastLine;

    // A stopped job: nothing more is shown or sent.
    static Ending Stopped()
    {
        Ending ending;
        ending.bStopped = true;
        return ending;
    }
    // An end without a message box.
    static Ending LastLine(const CString& strLine)
    {
        Ending ending;
        ending.strLastLine = strLine;
        return ending;
    }
    // An end with a message box, then the last line.
    static Ending Message(const CString& strText, const CString& strLine)
    {
        Ending ending;
        ending.bShowMessage = true;
        ending.strMessage = strText;
        ending.strLastLine = strLine;
        return ending;
    }
    // A database failure: its text in the box and as the last line.
    static Ending DatabaseFailure(const CString& strText) { return Message(strText, strText); }
};

// Closes a kernel handle when it goes out of scope.
class FileHandle {
public:
    // Takes over a handle from CreateFile, valid or not.
    explicit FileHandle(HANDLE hFile) : m_hFile(hFile) {}
    // Closes the handle when the scope ends.
    ~FileHandle()
    {
        if (IsValid())
            ::CloseHandle(m_hFile);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool IsValid() const { return m_hFile != INVALID_HANDLE_VALUE && m_hFile != nullptr; }
    HANDLE Get() const { return m_hFile; }

private:
    HANDLE m_hFile;
};

class OutputFile {
public:
    enum class Result { Written, NotOpened, WriteFailed };

    explicit OutputFile(const CString& strPath) : m_strPath(strPath) {}

    // Runs before the logon: a file that can be read is deleted; false when that fails.
    bool DeleteOld() const
    {
        {
            FileHandle probe(::CreateFileA(m_strPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!probe.IsValid())
                return true;
        }
        return ::DeleteFileA(m_strPath) != FALSE;
    }

    // Runs once per object: the first write of the run truncates whatever the file held, so it
    // holds exactly the blocks of this run; later writes append. A write that fails or writes
    // fewer bytes is reported.
    Result Append(const CString& strBytes)
    {
        FileHandle file(::CreateFileA(m_strPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.IsValid()) {
            FileHandle created(::CreateFileA(m_strPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!created.IsValid())
                return Result::NotOpened;
            m_bTruncated = true;
            return Write(created.Get(), strBytes);
        }
        LARGE_INTEGER zero{};
        if (!m_bTruncated) {
            if (!::SetFilePointerEx(file.Get(), zero, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.Get()))
                return Result::WriteFailed;
            m_bTruncated = true;
        } else if (!::SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) {
            return Result::WriteFailed;
        }
        return Write(file.Get(), strBytes);
    }

private:
    // One WriteFile of the whole block; anything short of all its bytes is a failure.
    static Result Write(HANDLE hFile, const CString& strBytes)
    {
        const DWORD nLength = DWORD(strBytes.GetLength());
        DWORD nWritten = 0;
        if (!::WriteFile(hFile, strBytes.GetString(), nLength, &nWritten, nullptr) ||
            nWritten != nLength)
            return Result::WriteFailed;
        return Result::Written;
    }

    CString m_strPath;
    bool m_bTruncated = false;
};

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

class ExportRun {
public:
    explicit ExportRun(const ExportJob& job) : m_job(job), m_file(job.strFileName) {}

    // Runs the whole job on the worker thread.
    void Run()
    {
        if (!ReportProgress(0, 0))
            return;
        {
            CJobSection section(m_job.nJob);
            if (!section.IsOpen())
                return;
            g_bPendingLine = 0;
        }
        Ending ending;
        {
            DBConnect connection;
            try {
                ending = RunSteps(connection);
            } catch (...) {
                ending = Ending::DatabaseFailure(FailureText(connection.GetErrorText()));
            }
            if (ending.bStopped)
                return;
            try {
                connection.Disconnect();
            } catch (...) {
            }
        }
        Finish(ending);
    }

private:
    // Runs after the connection is gone: the message, then the running flag and the last line.
    void Finish(const Ending& ending)
    {
        if (ending.bShowMessage) {
            if (!JobControl::WaitWhileHeld(m_job.nJob))
                return;
            ShowAppMessage(ending.strMessage);
        }
        CJobSection section(m_job.nJob);
        if (!section.IsOpen())
            return;
        g_bRunning = 0;
        g_strLogLine = ending.strLastLine;
        SendToMainWindow(g_uAddStrMsg);
    }

    // From the old file to the last object; the connection is the caller's.
    Ending RunSteps(DBConnect& connection)
    {
        {
            CJobSection section(m_job.nJob);
            if (!section.IsOpen())
                return Ending::Stopped();
            if (!m_file.DeleteOld())
                return Ending::LastLine("Error while delete old file " + m_job.strFileName);
        }
        AddLogText("Connect to " + m_job.strUser + "@" + m_job.strDatabase, 0);
        try {
            if (m_job.bSysdba != 0)
                connection.ConnectAsSysdba(m_job.strUser, m_job.strPassword, m_job.strDatabase);
            else
                connection.Connect(m_job.strUser, m_job.strPassword, m_job.strDatabase);
        } catch (DBConnect::OtherException&) {
            const CString strText = connection.GetErrorText();
            connection.ResetErrorHandle();
            return Ending::Message(strText, "Error while connect to specified database");
        }
        AddLogText("Connected.", 0);
        AddLogText("", 0);

        std::vector<ObjectId> objects;
        Ending ending;
        if (!ListObjects(connection, objects, ending))
            return ending;
        if (objects.empty())
            return Ending::Message("Object not found.", "");

        const int nCount = int(objects.size());
        for (int i = 0; i < nCount; ++i) {
            if (!JobControl::WaitWhileHeld(m_job.nJob))
                return Ending::Stopped();
            m_nTotalPercent = int(i * 100LL / nCount);
            if (!ExportObject(connection, objects[size_t(i)], ending))
                return ending;
        }
        AddLogText("", 0);
        AddLogText("Source uploaded. File created.", 0);
        if (!ReportProgress(100, 100))
            return Ending::Stopped();
        return Ending::LastLine("");
    }

    // The listing: (name, type) pairs in name and type order. False with the ending on failure.
    bool ListObjects(DBConnect& connection, std::vector<ObjectId>& objects, Ending& ending)
    {
        CString strSql = kListingQuery;
        if (m_job.bAllObjects == 0)
            strSql += kListingOneObject;
        strSql += kListingOrder;

        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, strSql, stmt, ending))
            return false;
        char szName[kNameBufferSize] = {};
        char szType[kNameBufferSize] = {};
        try {
            stmt->DefineString(1, szName, kNameBufferSize);
            stmt->DefineString(2, szType, kNameBufferSize);
            if (m_job.bAllObjects == 0)
                stmt->BindString(1, m_job.strObjectName, m_job.strObjectName.GetLength());
            stmt->SetPrefetchRows(kPrefetchRows);
        } catch (DBStmt::OtherException&) {
            ending = Ending::DatabaseFailure(FailureText(stmt->GetErrorText()));
            return false;
        }
        for (;;) {
            try {
                stmt->Fetch();
            } catch (DBStmt::OtherException&) {
                if (stmt->GetErrorCode() == kNoDataFound) {
                    connection.ResetErrorHandle();
                    return true;
                }
                ending = Ending::LastLine("");
                return false;
            }
            objects.push_back(ObjectId{szName, szType});
        }
    }

    // One object: count its lines, fetch them, log them and append its block to the file.
    bool ExportObject(DBConnect& connection, const ObjectId& object, Ending& ending)
    {
        int nLines = 0;
        if (!CountLines(connection, object, nLines, ending))
            return false;
        if (nLines == 0) {
            ending = Ending::Message("Source doesn't exists.", "Source doesn't exists.");
            return false;
        }

        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, kSourceQuery, stmt, ending))
            return false;
        ub2 nDelivered = 0;
        try {
            stmt->BindString(1, object.strName, object.strName.GetLength());
            stmt->BindString(2, object.strType, object.strType.GetLength());
            stmt->DefineChars(1, m_textBuffer.data(), kTextBufferSize, &nDelivered);
            stmt->SetPrefetchRows(kPrefetchRows);
        } catch (DBStmt::OtherException&) {
            ending = Ending::DatabaseFailure(FailureText(stmt->GetErrorText()));
            return false;
        }

        CString strBlock;
        for (int j = 0; j < nLines; ++j) {
            if (!JobControl::WaitWhileHeld(m_job.nJob)) {
                ending = Ending::Stopped();
                return false;
            }
            nDelivered = 0;
            try {
                stmt->Fetch();
            } catch (DBStmt::OtherException&) {
                ending = Ending::DatabaseFailure(FailureText(stmt->GetErrorText()));
                return false;
            }
            if (IsCut(nDelivered)) {
                ending = Ending::DatabaseFailure(TruncationText(*stmt));
                return false;
            }
            if (j == 0) {
                strBlock = kCreatePrefix;
                strBlock.Append(m_textBuffer.data(), nDelivered);
                AddLogText(strBlock, 1);
            } else {
                strBlock.Append(m_textBuffer.data(), nDelivered);
                AddLogChars(m_textBuffer.data(), nDelivered);
            }
            if (!ReportProgress(int(j * 100LL / nLines), m_nTotalPercent)) {
                ending = Ending::Stopped();
                return false;
            }
        }

        if (EndsWithSlashLine(strBlock)) {
            strBlock += "\n";
        } else {
            strBlock += "\n/\n";
            AddLogText("/", 0);
        }
        return WriteBlock(strBlock, ending);
    }

    // The number of source lines of one object.
    bool CountLines(DBConnect& connection, const ObjectId& object, int& nLines, Ending& ending)
    {
        std::unique_ptr<DBStmt> stmt;
        if (!Prepare(connection, kCountQuery, stmt, ending))
            return false;
        try {
            stmt->BindString(1, object.strName, object.strName.GetLength());
            stmt->BindString(2, object.strType, object.strType.GetLength());
            stmt->DefineInt(1, &nLines);
            stmt->Execute();
        } catch (DBStmt::OtherException&) {
            ending = Ending::DatabaseFailure(FailureText(stmt->GetErrorText()));
            return false;
        }
        return true;
    }

    // Appends one block inside a section, so a stopped job never writes.
    bool WriteBlock(const CString& strBlock, Ending& ending)
    {
        CJobSection section(m_job.nJob);
        if (!section.IsOpen()) {
            ending = Ending::Stopped();
            return false;
        }
        switch (m_file.Append(strBlock)) {
        case OutputFile::Result::Written:
            return true;
        case OutputFile::Result::NotOpened:
            ending = Ending::Message("Error while create specified file.", "");
            return false;
        case OutputFile::Result::WriteFailed:
        default:
            ending = Ending::Message("Error while write specified file.", "");
            return false;
        }
    }

    // Prepares a statement; a failure leaves its reason in the connection.
    static bool Prepare(DBConnect& connection, const char* pszSql, std::unique_ptr<DBStmt>& stmt,
                        Ending& ending)
    {
        try {
            stmt = std::make_unique<DBStmt>(connection, pszSql);
            return true;
        } catch (DBStmt::OtherException&) {
            ending = Ending::DatabaseFailure(FailureText(connection.GetErrorText()));
            return false;
        }
    }

    // A line cut by the client (the truncation warning, which the statement lets pass): the
    // client then delivers as many bytes as the buffer holds, which no whole line fills.
    static bool IsCut(ub2 nDelivered) { return nDelivered >= kTextBufferSize; }

    static CString TruncationText(DBStmt& stmt)
    {
        const char* pszText = stmt.GetErrorText();
        return pszText != nullptr && *pszText != '\0' ? CString(pszText) : CString(kTruncatedLineText);
    }

    // The database's text of a failure, or a plain one when it left none.
    static CString FailureText(const char* pszText)
    {
        if (pszText != nullptr && *pszText != '\0')
            return pszText;
        return "Unexpected failure while exporting.";
    }

    // Stores both values and sends the progress message, unless they equal the last ones sent.
    // False when the job was stopped.
    bool ReportProgress(int nObjectPercent, int nTotalPercent)
    {
        if (nObjectPercent == m_nSentObject && nTotalPercent == m_nSentTotal)
            return JobControl::IsCurrent(m_job.nJob) || m_job.nJob == 0;
        CJobSection section(m_job.nJob);
        if (!section.IsOpen())
            return false;
        g_nObjectPercent = nObjectPercent;
        g_nTotalPercent = nTotalPercent;
        m_nSentObject = nObjectPercent;
        m_nSentTotal = nTotalPercent;
        SendToMainWindow(g_uProgressMsg);
        return true;
    }

    const ExportJob& m_job;
    OutputFile m_file;
    std::vector<char> m_textBuffer = std::vector<char>(size_t(kTextBufferSize));
    int m_nTotalPercent = 0;
    int m_nSentObject = -1;
    int m_nSentTotal = -1;
};

}  // namespace

DWORD WINAPI UploadThreadProc(LPVOID pParameter)
{
    std::unique_ptr<ExportJob> job(static_cast<ExportJob*>(pParameter));
    if (!job)
        job = std::make_unique<ExportJob>(ExportJob::FromRecord(JobControl::BeginJob()));
    CWorkerThreadJob threadJob(job->nJob);
    ExportRun run(*job);
    run.Run();
    return 0;
}

HANDLE StartUploadThread()
{
    auto job = std::make_unique<ExportJob>(ExportJob::FromRecord(JobControl::BeginJob()));
    g_bRunning = 1;
    HANDLE hThread = ::CreateThread(nullptr, 0, UploadThreadProc, job.get(), 0, nullptr);
    if (hThread == nullptr)
        return nullptr;
    job.release();
    if (g_hWorkerThread != nullptr)
        ::CloseHandle(g_hWorkerThread);
    g_hWorkerThread = hThread;
    return hThread;
}
