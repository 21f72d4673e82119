// ExportBench.cpp
//
// Measures whole exports started from the real main dialog (CquillmarkDlg) over an oci-lite
// schema of 1,000 objects of 200 lines and one object of 100,000 lines, at 0, 1 and 20 ms per
// simulated round trip: the worker alone (nobody takes its reports), with the dialog hidden
// and with it visible, each against the floor (the listing and then every object's lines read
// straight from SQLite in one query and written to a file the same way; the floor waits one
// round trip per query). "floor/1", at 0 ms, reads each object with a query of its own, as
// this bench's floor did before the engine read one stream. Also: the round trips of
// one-package exports, the dialog's latency while a visible export runs, how fast Stop returns
// it to idle, and the peak working set of exports of 100,000 and 1,000,000 lines (child
// processes). Each timed figure is the fastest of three rounds. Ends with the targets beside
// the figures, where the time goes (the phases of an export timed apart, --phases alone, or
// "objects lines big --phases" over another schema) and
// qmexport's peak working set exporting and checking one object of 1,000,000 lines
// (--qmexport alone).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <sqlite3.h>

#include "bench/BenchSchema.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "app/ExportWorker.h"
#include "app/quillmarkDlg.h"
#include "export/ExportEngine.h"
#include "app/JobRecord.h"
#include "db/DBConnect.h"
#include "db/ObjectListCursor.h"
#include "export/LineCounts.h"
#include "export/OutputFile.h"
#include "export/SourceQueries.h"
#include "export/SourceStream.h"
#include "framework/WinApp.h"
#include "oci-lite/OciLiteTesting.h"

CWinApp theApp("export_bench");

namespace {

// The schema's size; the command line may give others: objects, lines each, lines of the big one.
int kSmallObjects = 1000;
int kSmallLines = 200;
int kBigLines = 100000;
const char kDatabase[] = "BENCH";
// The client sets the peaks are compared in.
const char kUtf8NlsLang[] = "AMERICAN_AMERICA.AL32UTF8";
const char kWesternNlsLang[] = "AMERICAN_AMERICA.WE8MSWIN1252";

std::string g_strFolder;

double Seconds()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return double(now.QuadPart) / double(frequency.QuadPart);
}

void WaitMicroseconds(unsigned nMicroseconds)
{
    const double dEnd = Seconds() + nMicroseconds / 1e6;
    while (Seconds() < dEnd) {
    }
}

size_t PeakWorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

std::string SourceLine(int nObject, int nLine)
{
    char szLine[96];
    std::snprintf(szLine, sizeof(szLine), "  v_%06d := v_%06d + %d; -- object %d\n", nLine,
                  nLine - 1, nObject, nObject);
    return szLine;
}

// Writes the schema once: SCOTT's 1,000 procedures and one big package body (into the database
// pszDatabase names, lower case, with other sizes when given).
void BuildSchema(const char* pszFile = "bench", int nSmallObjects = kSmallObjects,
                 int nSmallLines = kSmallLines, int nBigLines = kBigLines)
{
    const std::string strPath = g_strFolder + pszFile + ".sqlite";
    sqlite3* pDb = OpenBenchSchema(strPath);
    sqlite3_stmt* pObject = nullptr;
    sqlite3_stmt* pSource = nullptr;
    sqlite3_prepare_v2(pDb, "INSERT INTO objects VALUES('SCOTT', ?1, ?2, 'VALID')", -1, &pObject,
                       nullptr);
    sqlite3_prepare_v2(pDb, "INSERT INTO source VALUES('SCOTT', ?1, ?2, ?3, ?4)", -1, &pSource,
                       nullptr);
    auto addObject = [&](const std::string& strName, const char* pszType, int nObject, int nLines) {
        sqlite3_bind_text(pObject, 1, strName.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(pObject, 2, pszType, -1, SQLITE_STATIC);
        sqlite3_step(pObject);
        sqlite3_reset(pObject);
        for (int nLine = 1; nLine <= nLines; ++nLine) {
            const std::string strText =
                nLine == 1 ? "PROCEDURE " + strName + " IS\n" : SourceLine(nObject, nLine);
            sqlite3_bind_text(pSource, 1, strName.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(pSource, 2, pszType, -1, SQLITE_STATIC);
            sqlite3_bind_int(pSource, 3, nLine);
            sqlite3_bind_text(pSource, 4, strText.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(pSource);
            sqlite3_reset(pSource);
        }
    };
    char szName[32];
    for (int i = 1; i <= nSmallObjects; ++i) {
        std::snprintf(szName, sizeof(szName), "PROC_%04d", i);
        addObject(szName, "PROCEDURE", i, nSmallLines);
    }
    if (nBigLines > 0)
        addObject("BIG_PKG", "PACKAGE BODY", 0, nBigLines);
    sqlite3_finalize(pObject);
    sqlite3_finalize(pSource);
    sqlite3_exec(pDb, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
}

// ---- The real main dialog ----

std::unique_ptr<CquillmarkDlg> g_pDlg;

void CreateDialogWindow()
{
    g_pDlg = std::make_unique<CquillmarkDlg>();
    g_pDlg->Create();
    ::SetDlgItemTextA(g_pDlg->m_hWnd, IDC_USER, "SCOTT");
    ::SetDlgItemTextA(g_pDlg->m_hWnd, IDC_PASSWORD, "TIGER");
    ::SetDlgItemTextA(g_pDlg->m_hWnd, IDC_DATABASE, kDatabase);
}

void ClickButton(int nID)
{
    ::SendMessageA(g_pDlg->m_hWnd, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED),
                   LPARAM(::GetDlgItem(g_pDlg->m_hWnd, nID)));
}

// The next export's scope, chosen as the user chooses it: the whole schema (null) or the
// object of that name.
void ChooseObjects(const char* pszObject)
{
    if (pszObject == nullptr) {
        ClickButton(IDC_RADIO_ALL);
        return;
    }
    ClickButton(IDC_RADIO_ONE);
    ::SetDlgItemTextA(g_pDlg->m_hWnd, IDC_OBJECTNAME, pszObject);
}

template <typename Fn>
Fn OciEntry(const char* pszName)
{
    return reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("OCI.DLL"), pszName)));
}

struct Figures {
    double dSeconds = 0;
    long long nLines = 0;
    unsigned nRoundTrips = 0;
    size_t nPeakMb = 0;
    double dLatencyMs = 0;  // the longest the dialog took to answer a message during the run
};

// Sends the dialog a message every few milliseconds from another thread and keeps the longest
// time it took to answer: the dialog's latency while a job runs.
class LatencyProbe {
public:
    explicit LatencyProbe(HWND hWnd) : m_hWnd(hWnd), m_thread([this] { Run(); }) {}
    ~LatencyProbe()
    {
        m_bStop = true;
        m_thread.join();
    }
    double WorstMs() const { return m_dWorst * 1000.0; }

private:
    void Run()
    {
        while (!m_bStop) {
            const double dStart = Seconds();
            DWORD_PTR nResult = 0;
            ::SendMessageTimeoutA(m_hWnd, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &nResult);
            const double dTaken = Seconds() - dStart;
            if (dTaken > m_dWorst)
                m_dWorst = dTaken;
            ::Sleep(5);
        }
    }

    HWND m_hWnd;
    std::atomic<bool> m_bStop{false};
    double m_dWorst = 0;
    std::thread m_thread;
};

int PrintMessage(const char* pszText)
{
    std::printf("message: %s\n", pszText);
    std::fflush(stdout);
    return IDOK;
}

// The worker alone: the job record filled as the dialog fills it at Start, and the worker
// started with nobody to take its reports (they pile up in the queue until the next job).
void StartAlone(const std::string& strFile)
{
    g_strUser = "SCOTT";
    g_strPassword = "TIGER";
    g_strDatabase = kDatabase;
    g_bSysdba = 0;
    g_strFileName.assign(strFile.begin(), strFile.end());
    StartUploadThread(PrintMessage, nullptr, 0);
}

// One run of the real worker over the scope ChooseObjects chose (nLines lines): alone, or
// started from the dialog the way the user starts it.
enum class Mode { Alone, Hidden, Visible };

Figures RunWorker(const std::string& strFile, unsigned nRttMicroseconds, Mode mode,
                  long long nLines, double dStopAfter = 0, double* pStopSeconds = nullptr)
{
    OciEntry<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay")(nRttMicroseconds);
    OciEntry<OciLiteResetCountersFn>("OciLiteResetCounters")();
    HWND hDlg = g_pDlg->m_hWnd;
    ::ShowWindow(hDlg, mode == Mode::Visible ? SW_SHOW : SW_HIDE);
    ::SetDlgItemTextA(hDlg, IDC_FILENAME, strFile.c_str());
    AfxGetApp()->m_pMainWnd = g_pDlg.get();

    Figures figures;
    const double dStart = Seconds();
    {
        std::unique_ptr<LatencyProbe> probe(mode == Mode::Visible ? new LatencyProbe(hDlg)
                                                                  : nullptr);
        if (mode == Mode::Alone)
            StartAlone(strFile);
        else
            ClickButton(IDOK);
        MSG msg;
        bool bStopped = false;
        while (mode != Mode::Alone && g_pDlg->IsRunning()) {
            if (dStopAfter > 0 && !bStopped && Seconds() - dStart >= dStopAfter) {
                const double dStop = Seconds();
                ClickButton(IDOK);
                if (pStopSeconds != nullptr)
                    *pStopSeconds = Seconds() - dStop;
                bStopped = true;
                continue;
            }
            if (::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                WAIT_TIMEOUT)
                continue;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
        }
        ::WaitForSingleObject(g_hWorkerThread, INFINITE);
        figures.dSeconds = Seconds() - dStart;
        if (probe)
            figures.dLatencyMs = probe->WorstMs();
    }
    figures.nLines = nLines;
    figures.nRoundTrips = OciEntry<OciLiteRoundTripsFn>("OciLiteRoundTrips")();
    figures.nPeakMb = PeakWorkingSetMb();
    return figures;
}

long long SchemaLines()
{
    return static_cast<long long>(kSmallObjects) * kSmallLines + kBigLines;
}

std::string Column(sqlite3_stmt* pStmt, int nColumn)
{
    return std::string(static_cast<const char*>(sqlite3_column_blob(pStmt, nColumn)),
                       size_t(sqlite3_column_bytes(pStmt, nColumn)));
}

// The floor: the listing, then the lines of every object in one query in the order they are
// written, each object's block written to the file as the worker writes it; one simulated
// round trip per query. Rows of objects the listing does not hold are passed over.
Figures RunFloor(const std::string& strFile, unsigned nRttMicroseconds)
{
    Figures figures;
    const double dStart = Seconds();
    sqlite3* pDb = nullptr;
    sqlite3_open_v2((g_strFolder + "bench.sqlite").c_str(), &pDb, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* pList = nullptr;
    sqlite3_stmt* pLines = nullptr;
    sqlite3_prepare_v2(
        pDb,
        "SELECT object_name, object_type FROM objects WHERE owner = 'SCOTT' AND object_type IN "
        "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION') ORDER BY object_name, object_type",
        -1, &pList, nullptr);
    sqlite3_prepare_v2(
        pDb, "SELECT name, type, text FROM source WHERE owner = 'SCOTT' ORDER BY name, type, line",
        -1, &pLines, nullptr);
    HANDLE hFile = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    WaitMicroseconds(nRttMicroseconds);
    ++figures.nRoundTrips;
    std::vector<std::pair<std::string, std::string>> objects;
    while (sqlite3_step(pList) == SQLITE_ROW)
        objects.emplace_back(Column(pList, 0), Column(pList, 1));
    WaitMicroseconds(nRttMicroseconds);
    ++figures.nRoundTrips;
    bool bRow = sqlite3_step(pLines) == SQLITE_ROW;
    for (const auto& object : objects) {
        while (bRow && std::make_pair(Column(pLines, 0), Column(pLines, 1)) < object)
            bRow = sqlite3_step(pLines) == SQLITE_ROW;
        std::string strBlock = "CREATE OR REPLACE ";
        while (bRow && Column(pLines, 0) == object.first && Column(pLines, 1) == object.second) {
            strBlock.append(static_cast<const char*>(sqlite3_column_blob(pLines, 2)),
                            size_t(sqlite3_column_bytes(pLines, 2)));
            ++figures.nLines;
            bRow = sqlite3_step(pLines) == SQLITE_ROW;
        }
        strBlock += "\n/\n";
        DWORD nWritten = 0;
        ::WriteFile(hFile, strBlock.data(), DWORD(strBlock.size()), &nWritten, nullptr);
    }
    ::CloseHandle(hFile);
    sqlite3_finalize(pList);
    sqlite3_finalize(pLines);
    sqlite3_close(pDb);
    figures.dSeconds = Seconds() - dStart;
    figures.nPeakMb = PeakWorkingSetMb();
    return figures;
}

// The floor as this bench measured it before the engine read the schema in one stream: the
// listing, then one query per object (one simulated round trip each), read in the index's
// order without a sort.
Figures RunObjectFloor(const std::string& strFile, unsigned nRttMicroseconds)
{
    Figures figures;
    const double dStart = Seconds();
    sqlite3* pDb = nullptr;
    sqlite3_open_v2((g_strFolder + "bench.sqlite").c_str(), &pDb, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* pList = nullptr;
    sqlite3_stmt* pLines = nullptr;
    sqlite3_prepare_v2(
        pDb,
        "SELECT object_name, object_type FROM objects WHERE owner = 'SCOTT' AND object_type IN "
        "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION') ORDER BY object_name, object_type",
        -1, &pList, nullptr);
    sqlite3_prepare_v2(
        pDb,
        "SELECT text FROM source WHERE owner = 'SCOTT' AND name = ?1 AND type = ?2 ORDER BY line",
        -1, &pLines, nullptr);
    HANDLE hFile = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    WaitMicroseconds(nRttMicroseconds);
    ++figures.nRoundTrips;
    std::vector<std::pair<std::string, std::string>> objects;
    while (sqlite3_step(pList) == SQLITE_ROW)
        objects.emplace_back(Column(pList, 0), Column(pList, 1));
    for (const auto& object : objects) {
        sqlite3_bind_text(pLines, 1, object.first.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(pLines, 2, object.second.c_str(), -1, SQLITE_STATIC);
        WaitMicroseconds(nRttMicroseconds);
        ++figures.nRoundTrips;
        std::string strBlock = "CREATE OR REPLACE ";
        while (sqlite3_step(pLines) == SQLITE_ROW) {
            strBlock.append(static_cast<const char*>(sqlite3_column_blob(pLines, 0)),
                            size_t(sqlite3_column_bytes(pLines, 0)));
            ++figures.nLines;
        }
        sqlite3_reset(pLines);
        strBlock += "\n/\n";
        DWORD nWritten = 0;
        ::WriteFile(hFile, strBlock.data(), DWORD(strBlock.size()), &nWritten, nullptr);
    }
    ::CloseHandle(hFile);
    sqlite3_finalize(pList);
    sqlite3_finalize(pLines);
    sqlite3_close(pDb);
    figures.dSeconds = Seconds() - dStart;
    figures.nPeakMb = PeakWorkingSetMb();
    return figures;
}

std::string ReadAll(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The block of one object in an export of the whole schema; empty when it holds none.
std::string BlockOf(const std::string& strExport, const std::string& strFirstLine)
{
    const size_t nStart = strExport.find("CREATE OR REPLACE " + strFirstLine);
    if (nStart == std::string::npos)
        return std::string();
    const size_t nEnd = strExport.find("\n/\n", nStart);
    return nEnd == std::string::npos ? std::string() : strExport.substr(nStart, nEnd + 3 - nStart);
}

void Print(const char* pszWhat, unsigned nRtt, const Figures& figures,
           const Figures* pFloor = nullptr, const Figures* pAtZero = nullptr)
{
    std::printf("%-8s rtt=%5u us %8.3f s %10.0f lines/s %6u round trips  peak working set %4zu MB",
                pszWhat, nRtt, figures.dSeconds, double(figures.nLines) / figures.dSeconds,
                figures.nRoundTrips, figures.nPeakMb);
    if (pFloor != nullptr)
        std::printf("  x%.2f floor", figures.dSeconds / pFloor->dSeconds);
    if (pAtZero != nullptr && nRtt > 0)
        std::printf("  x%.2f at 0 us (extra time = %.1f round trips)",
                    figures.dSeconds / pAtZero->dSeconds,
                    (figures.dSeconds - pAtZero->dSeconds) / (nRtt / 1e6));
    if (figures.dLatencyMs > 0)
        std::printf("  latency %.0f ms", figures.dLatencyMs);
    std::printf("\n");
    std::fflush(stdout);
}

// One line of the closing table: the figure, its limit, and whether it is met.
void PrintTarget(const char* pszWhat, double dValue, double dLimit)
{
    std::printf("  %-50s %9.2f  at most %6.2f  ", pszWhat, dValue, dLimit);
    if (dValue <= dLimit)
        std::printf("met\n");
    else
        std::printf("MISSED by %.2f (x%.2f)\n", dValue - dLimit, dValue / dLimit);
    std::fflush(stdout);
}

// Runs this program again for one visible export (nObjects objects of nLinesEach lines, and one
// of nBigLines) with NLS_LANG set to pszNlsLang (null: as this process has it); returns its
// peak working set and time.
struct ChildFigures {
    int nPeakMb = -1;
    double dSeconds = 0;
};

ChildFigures RunChild(int nObjects, int nLinesEach, int nBigLines, const char* pszNlsLang)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    const std::string strOut = g_strFolder + "peak.txt";
    std::string strCommand = "\"" + std::string(szExe) + "\" " + std::to_string(nObjects) + " " +
                             std::to_string(nLinesEach) + " " + std::to_string(nBigLines) +
                             " --peak" +
                             (pszNlsLang != nullptr ? std::string(" ") + pszNlsLang : "");
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE hOut = ::CreateFileA(strOut.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    PROCESS_INFORMATION pi{};
    ChildFigures figures;
    if (!::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                          &pi)) {
        ::CloseHandle(hOut);
        return figures;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(hOut);
    const std::string strText = ReadAll(strOut);
    const size_t nAt = strText.find("peak=");
    const size_t nSecondsAt = strText.find("seconds=");
    if (nAt == std::string::npos || nSecondsAt == std::string::npos) {
        std::printf("the export of %d x %d + %d lines printed no peak: \"%s\"\n", nObjects,
                    nLinesEach, nBigLines, strText.c_str());
        return figures;
    }
    figures.nPeakMb = std::atoi(strText.c_str() + nAt + 5);
    figures.dSeconds = std::atof(strText.c_str() + nSecondsAt + 8);
    return figures;
}

int PeakOfChild(long long nLines)
{
    return RunChild(int(nLines / 1000), 1000, 0, nullptr).nPeakMb;
}

// ---- Where the time goes ----

// One phase of an export: its time, its rows and the client calls and round trips it made.
struct Phase {
    const char* pszWhat;
    double dSeconds = 0;
    long long nRows = 0;
    unsigned nRoundTrips = 0;
    size_t nPeakMb = 0;  // this process's peak working set after the phase
};

// Runs step between two readings of the clock and of oci-lite's round-trip counter.
template <typename Step>
Phase TimePhase(const char* pszWhat, Step step)
{
    Phase phase;
    phase.pszWhat = pszWhat;
    const unsigned nTripsBefore = OciEntry<OciLiteRoundTripsFn>("OciLiteRoundTrips")();
    const double dStart = Seconds();
    phase.nRows = step();
    phase.dSeconds = Seconds() - dStart;
    phase.nRoundTrips = OciEntry<OciLiteRoundTripsFn>("OciLiteRoundTrips")() - nTripsBefore;
    phase.nPeakMb = PeakWorkingSetMb();
    return phase;
}

// A reporter nobody reads (qmexport --quiet's share of the work).
class SilentReporter : public ExportReporter {
public:
    bool KeepGoing() override { return true; }
    bool Guarded(const std::function<void()>& step) override
    {
        step();
        return true;
    }
    void LogLine(const CString&) override {}
    void LogSource(const char*, int) override {}
    void Progress(int, int) override {}
    void Message(const CString& strText) override
    {
        std::printf("message: %s\n", strText.GetString());
    }
    void Finish(const ExportEnding&) override {}
};

// The phases of an export of the whole schema at 0 us per round trip, each through the classes
// the engine reads with (logon, listing, line counts, the source stream, every row touched),
// then the engine itself into a file with nobody reporting (the phases and the blocks' making,
// checking, encoding and writing) and the worker alone (the engine and the window's log
// queue). The fastest of three rounds each.
void PrintPhases(const std::string& strFile)
{
    OciEntry<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay")(0);
    std::vector<Phase> fastest;
    // The first round's peaks: the process's peak only grows.
    std::vector<size_t> peaks;
    for (int nRound = 0; nRound < 3; ++nRound) {
        std::vector<Phase> phases;
        DBConnect connection;
        SourceScope scope;
        SourceWidths widths;
        phases.push_back(TimePhase("logon", [&] {
            connection.Connect("SCOTT", "TIGER", kDatabase);
            return 0LL;
        }));
        phases.push_back(TimePhase("listing", [&] {
            ObjectListCursor cursor(connection, SourceQueries::Listing(scope), true);
            ObjectListRow row;
            long long nRows = 0;
            while (cursor.Next(row) == ObjectListCursor::Row::Object)
                ++nRows;
            return nRows;
        }));
        phases.push_back(TimePhase("line counts", [&] {
            LineCountCursor cursor(connection, SourceQueries::LineCounts(scope),
                                   LineCountColumns::kCounts);
            LineCountRow row;
            long long nRows = 0;
            while (cursor.Next(row)) {
                widths.nNameBytes = std::max(widths.nNameBytes, row.nNameBytes);
                widths.nTextBytes = std::max(widths.nTextBytes, row.nTextBytes);
                ++nRows;
            }
            return nRows;
        }));
        phases.push_back(TimePhase("source rows", [&] {
            SourceStream stream(connection, SourceQueries::Source(scope, widths), widths);
            long long nRows = 0;
            while (stream.Next())
                nRows += stream.TextLength() >= 0 ? 1 : 0;
            return nRows;
        }));
        connection.Disconnect();
        phases.push_back(TimePhase("engine, into a file", [&] {
            ExportParams params;
            params.strUser = "SCOTT";
            params.strPassword = "TIGER";
            params.strDatabase = kDatabase;
            OutputFile sink(std::wstring(strFile.begin(), strFile.end()));
            SilentReporter reporter;
            const ExportEnding ending = RunExport(params, sink, reporter);
            return ending.Failed() ? -1LL : SchemaLines();
        }));
        ChooseObjects(nullptr);
        const Figures alone = RunWorker(strFile, 0, Mode::Alone, SchemaLines());
        Phase worker{"worker alone"};
        worker.dSeconds = alone.dSeconds;
        worker.nRows = alone.nLines;
        worker.nRoundTrips = alone.nRoundTrips;
        worker.nPeakMb = alone.nPeakMb;
        phases.push_back(worker);
        const Figures floor = RunFloor(strFile + ".floor", 0);
        Phase floorPhase{"floor"};
        floorPhase.dSeconds = floor.dSeconds;
        floorPhase.nRows = floor.nLines;
        floorPhase.nRoundTrips = floor.nRoundTrips;
        floorPhase.nPeakMb = floor.nPeakMb;
        phases.push_back(floorPhase);
        for (size_t i = 0; i < phases.size() && nRound == 0; ++i)
            peaks.push_back(phases[i].nPeakMb);
        for (size_t i = 0; i < phases.size(); ++i) {
            if (nRound == 0 || phases[i].dSeconds < fastest[i].dSeconds) {
                if (nRound == 0)
                    fastest.push_back(phases[i]);
                else
                    fastest[i] = phases[i];
            }
        }
    }
    const double dFloor = fastest.back().dSeconds;
    double dReads = 0;
    std::printf("where the time goes at 0 us per round trip (the fastest of 3 rounds; the peak "
                "working set after each phase of the first):\n");
    for (size_t i = 0; i < fastest.size(); ++i) {
        const Phase& phase = fastest[i];
        if (i < 4)
            dReads += phase.dSeconds;
        std::printf("  %-22s %8.3f s  %5.2fx floor  %8lld rows  %4u round trips  peak %4zu MB\n",
                    phase.pszWhat, phase.dSeconds, phase.dSeconds / dFloor, phase.nRows,
                    phase.nRoundTrips, peaks[i]);
    }
    const double dEngine = fastest[4].dSeconds;
    std::printf("  the engine's own work (blocks made, checked, encoded, written): %.3f s\n",
                dEngine - dReads);
    std::printf("  the worker's beyond the engine (the window's log queue): %.3f s\n",
                fastest[5].dSeconds - dEngine);
    std::fflush(stdout);
}

// ---- qmexport's peak working set ----

// One qmexport.exe run (beside this program) over the database BIG1M; its peak working set in
// MB, read while it runs (Wine forgets a process's figures once it has ended), or -1 when it
// could not start or ended with another exit code than nExpected.
int QmexportPeakMb(const std::string& strArguments, const char* pszNlsLang, DWORD nExpected)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    std::string strHere = szExe;
    strHere.resize(strHere.find_last_of('\\') + 1);
    std::string strCommand =
        "\"" + strHere + "qmexport.exe\" --user SCOTT --database BIG1M --quiet " + strArguments;
    ::SetEnvironmentVariableA("NLS_LANG", pszNlsLang);
    ::SetEnvironmentVariableA("QUILLMARK_PASSWORD", "TIGER");
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    const BOOL bStarted = ::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, FALSE, 0,
                                           nullptr, nullptr, &si, &pi);
    ::SetEnvironmentVariableA("NLS_LANG", nullptr);
    if (!bStarted)
        return -1;
    size_t nPeak = 0;
    do {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof(counters);
        if (::GetProcessMemoryInfo(pi.hProcess, &counters, sizeof(counters)))
            nPeak = std::max(nPeak, size_t(counters.PeakWorkingSetSize));
    } while (::WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT);
    DWORD nExit = 1;
    ::GetExitCodeProcess(pi.hProcess, &nExit);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    if (nExit != nExpected) {
        std::printf("qmexport %s ended with exit code %lu\n", strArguments.c_str(),
                    static_cast<unsigned long>(nExit));
        return -1;
    }
    return int(nPeak / (1024 * 1024));
}

constexpr int kMaxQmexportPeakMb = 64;

// qmexport over one object of 1,000,000 lines, in each client set: the export into a file and
// into a folder, then --check on each (which must hold no more than the export did).
bool PrintQmexportPeaks()
{
    BuildSchema("big1m", 0, 0, 1000000);
    const std::string strFile = g_strFolder + "big1m.sql";
    const std::string strFolder = g_strFolder + "big1m_dir";
    bool bMet = true;
    std::printf("qmexport's peak working set, one object of 1,000,000 lines (MB):\n");
    for (const char* pszNlsLang : {kUtf8NlsLang, kWesternNlsLang}) {
        const int nFile = QmexportPeakMb("--file \"" + strFile + "\"", pszNlsLang, 0);
        const int nCheckFile = QmexportPeakMb("--check --file \"" + strFile + "\"", pszNlsLang, 0);
        const int nFolder = QmexportPeakMb("--dir \"" + strFolder + "\"", pszNlsLang, 0);
        const int nCheckFolder =
            QmexportPeakMb("--check --dir \"" + strFolder + "\"", pszNlsLang, 0);
        std::printf("  %-26s --file %4d  --check --file %4d  --dir %4d  --check --dir %4d\n",
                    pszNlsLang, nFile, nCheckFile, nFolder, nCheckFolder);
        const int nExport = std::max(nFile, nFolder);
        PrintTarget((std::string("qmexport export peak, ") + pszNlsLang).c_str(), nExport,
                    kMaxQmexportPeakMb);
        PrintTarget((std::string("--check --file / --file, ") + pszNlsLang).c_str(),
                    double(nCheckFile) / std::max(nFile, 1), 1.0);
        PrintTarget((std::string("--check --dir / --dir, ") + pszNlsLang).c_str(),
                    double(nCheckFolder) / std::max(nFolder, 1), 1.0);
        bMet = bMet && nFile > 0 && nFolder > 0 && nCheckFile > 0 && nCheckFolder > 0 &&
               nExport <= kMaxQmexportPeakMb && nCheckFile <= nFile && nCheckFolder <= nFolder;
    }
    return bMet;
}

// The targets of an export over a slow link.
constexpr unsigned kMaxSchemaRoundTrips = 100;
constexpr unsigned kMaxPackageRoundTrips = 6;
constexpr unsigned kSlowRoundTripUs = 20000;
constexpr double kMaxSlowLinkFactor = 2.0;
constexpr int kMaxPeakMbMillionLines = 66;
// A client set other than UTF-8 against AL32UTF8, for the same schema: time and peak.
constexpr double kMaxClientSetFactor = 1.5;
constexpr double kMaxAloneOverFloor = 3.0;
const unsigned kRoundTripDelaysUs[] = {0, 1000, kSlowRoundTripUs};

// The machine is shared: each timed figure is the fastest of a few rounds, each round running
// every delay and mode once, so that a busy spell does not fall on one figure alone.
constexpr int kRounds = 3;

void KeepFastest(Figures& kept, const Figures& figures, bool bFirst)
{
    if (bFirst || figures.dSeconds < kept.dSeconds)
        kept = figures;
}

struct ModeRuns {
    Figures floor;
    Figures objectFloor;  // at 0 us only
    Figures alone;
    Figures hidden;
    Figures visible;
    // Every run wrote the file the first floor wrote.
    bool bSameFile = true;
};

// The client's own conversion (WE8MSWIN1252) against none (AL32UTF8): a schema of 1,000 objects
// of 1,000 lines, and one object of 1,000,000 lines; each a visible export in a child process.
bool CompareClientSets()
{
    const struct {
        const char* pszWhat;
        int nObjects;
        int nBigLines;
    } kSchemas[] = {{"1,000 objects of 1,000 lines", 1000, 0},
                    {"one object of 1,000,000 lines", 0, 1000000}};
    bool bMet = true;
    std::printf("client set WE8MSWIN1252 against AL32UTF8 (visible export, child process):\n");
    for (const auto& schema : kSchemas) {
        const ChildFigures utf8 = RunChild(schema.nObjects, 1000, schema.nBigLines, kUtf8NlsLang);
        const ChildFigures western =
            RunChild(schema.nObjects, 1000, schema.nBigLines, kWesternNlsLang);
        std::printf("  %-32s AL32UTF8 %6.2f s %4d MB   WE8MSWIN1252 %6.2f s %4d MB\n",
                    schema.pszWhat, utf8.dSeconds, utf8.nPeakMb, western.dSeconds, western.nPeakMb);
        const double dTime = utf8.dSeconds > 0 ? western.dSeconds / utf8.dSeconds : 99;
        const double dPeak = utf8.nPeakMb > 0 ? double(western.nPeakMb) / utf8.nPeakMb : 99;
        PrintTarget((std::string("time, client set / UTF-8, ") + schema.pszWhat).c_str(), dTime,
                    kMaxClientSetFactor);
        PrintTarget((std::string("peak, client set / UTF-8, ") + schema.pszWhat).c_str(), dPeak,
                    kMaxClientSetFactor);
        bMet = bMet && dTime <= kMaxClientSetFactor && dPeak <= kMaxClientSetFactor;
    }
    return bMet;
}

}  // namespace

int main(int argc, char** argv)
{
    bool bPeakOnly = false;
    if (argc >= 4) {
        kSmallObjects = std::atoi(argv[1]);
        kSmallLines = std::atoi(argv[2]);
        kBigLines = std::atoi(argv[3]);
        bPeakOnly = argc >= 5 && std::strcmp(argv[4], "--peak") == 0;
        if (bPeakOnly && argc >= 6)
            ::SetEnvironmentVariableA("NLS_LANG", argv[5]);
    }
    const bool bClientSetsOnly = argc == 2 && std::strcmp(argv[1], "--client-sets") == 0;
    const bool bPhasesOnly =
        (argc == 2 || argc == 5) && std::strcmp(argv[argc - 1], "--phases") == 0;
    const bool bQmexportOnly = argc == 2 && std::strcmp(argv[1], "--qmexport") == 0;
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    g_strFolder = std::string(szTemp) + "qm_export_bench\\";
    ::CreateDirectoryA(g_strFolder.c_str(), nullptr);
    ::SetEnvironmentVariableA("OCI_LITE_HOME",
                              g_strFolder.substr(0, g_strFolder.size() - 1).c_str());
    ::SetEnvironmentVariableA("OCI_LITE_RTT_US", nullptr);
    if (::LoadLibraryA("OCI.DLL") == nullptr) {
        std::printf("OCI.DLL (oci-lite) not found: put its folder on WINEPATH\n");
        return 1;
    }
    if (bClientSetsOnly)
        return CompareClientSets() ? 0 : 1;
    if (bQmexportOnly)
        return PrintQmexportPeaks() ? 0 : 1;
    if (!bPeakOnly)
        std::printf("building schema: %d objects of %d lines and one of %d lines...\n",
                    kSmallObjects, kSmallLines, kBigLines);
    std::fflush(stdout);
    BuildSchema();
    CreateDialogWindow();
    const std::string strFloorFile = g_strFolder + "floor.sql";
    const std::string strWorkerFile = g_strFolder + "worker.sql";

    if (bPhasesOnly) {
        PrintPhases(strWorkerFile);
        g_pDlg->DestroyWindow();
        return 0;
    }
    ChooseObjects(nullptr);
    if (bPeakOnly) {
        const Figures visible = RunWorker(strWorkerFile, 0, Mode::Visible, SchemaLines());
        std::printf("peak=%zu lines=%lld seconds=%.2f\n", visible.nPeakMb, visible.nLines,
                    visible.dSeconds);
        return 0;
    }

    std::vector<ModeRuns> runs(std::size(kRoundTripDelaysUs));
    std::string strFloor;
    for (int nRound = 0; nRound < kRounds; ++nRound) {
        const bool bFirst = nRound == 0;
        for (size_t i = 0; i < runs.size(); ++i) {
            const unsigned nRtt = kRoundTripDelaysUs[i];
            ModeRuns& run = runs[i];
            KeepFastest(run.floor, RunFloor(strFloorFile, nRtt), bFirst);
            if (strFloor.empty())
                strFloor = ReadAll(strFloorFile);
            run.bSameFile = ReadAll(strFloorFile) == strFloor && run.bSameFile;
            if (nRtt == 0) {
                KeepFastest(run.objectFloor, RunObjectFloor(strFloorFile, nRtt), bFirst);
                run.bSameFile = ReadAll(strFloorFile) == strFloor && run.bSameFile;
            }
            for (const auto& timed : {std::make_pair(Mode::Alone, &run.alone),
                                      std::make_pair(Mode::Hidden, &run.hidden),
                                      std::make_pair(Mode::Visible, &run.visible)}) {
                KeepFastest(*timed.second,
                            RunWorker(strWorkerFile, nRtt, timed.first, SchemaLines()), bFirst);
                run.bSameFile = ReadAll(strWorkerFile) == strFloor && run.bSameFile;
            }
        }
    }
    std::printf("the fastest of %d rounds:\n", kRounds);
    for (size_t i = 0; i < runs.size(); ++i) {
        const unsigned nRtt = kRoundTripDelaysUs[i];
        const ModeRuns& run = runs[i];
        const ModeRuns* pAtZero = i == 0 ? nullptr : &runs.front();
        Print("floor", nRtt, run.floor, nullptr, pAtZero ? &pAtZero->floor : nullptr);
        if (nRtt == 0)
            Print("floor/1", nRtt, run.objectFloor);
        Print("alone", nRtt, run.alone, &run.floor, pAtZero ? &pAtZero->alone : nullptr);
        Print("hidden", nRtt, run.hidden, &run.floor, pAtZero ? &pAtZero->hidden : nullptr);
        Print("visible", nRtt, run.visible, &run.floor, pAtZero ? &pAtZero->visible : nullptr);
        std::printf("         visible / alone %.2f (target 1.5), visible / floor %.2f (target 4); "
                    "same file: %s\n",
                    run.visible.dSeconds / run.alone.dSeconds,
                    run.visible.dSeconds / run.floor.dSeconds, run.bSameFile ? "yes" : "NO");
    }
    std::fflush(stdout);

    // One-package exports through the dialog: the big package body and one small procedure.
    unsigned nPackageRoundTrips = 0;
    const struct {
        const char* pszName;
        long long nLines;
    } packages[] = {{"BIG_PKG", kBigLines}, {"PROC_0001", kSmallLines}};
    for (const auto& package : packages) {
        ChooseObjects(package.pszName);
        const Figures one = RunWorker(strWorkerFile, 0, Mode::Hidden, package.nLines);
        const std::string strBlock =
            BlockOf(strFloor, std::string("PROCEDURE ") + package.pszName + " IS\n");
        std::printf("one package %-10s %7lld lines %8.3f s %6u round trips; same block: %s\n",
                    package.pszName, package.nLines, one.dSeconds, one.nRoundTrips,
                    !strBlock.empty() && strBlock == ReadAll(strWorkerFile) ? "yes" : "NO");
        if (one.nRoundTrips > nPackageRoundTrips)
            nPackageRoundTrips = one.nRoundTrips;
    }
    ChooseObjects(nullptr);

    double dStopSeconds = 0;
    RunWorker(strWorkerFile, 0, Mode::Visible, SchemaLines(), 0.5, &dStopSeconds);
    std::printf("stop half a second into a visible export: idle after %.1f ms (target 200)\n",
                dStopSeconds * 1000.0);
    const int nPeakSmall = PeakOfChild(100000);
    const int nPeakLarge = PeakOfChild(1000000);
    std::printf("peak working set of a visible export: 100,000 lines %d MB, 1,000,000 lines %d MB, "
                "difference %d MB (target 50)\n",
                nPeakSmall, nPeakLarge, nPeakLarge - nPeakSmall);

    const ModeRuns& atZero = runs.front();
    const ModeRuns& slow = runs.back();
    std::printf(
        "\ntargets (%d objects of %d lines and one of %d; slow link: %u us per round trip)\n",
        kSmallObjects, kSmallLines, kBigLines, kSlowRoundTripUs);
    unsigned nSchemaRoundTrips = 0;
    for (const ModeRuns& run : runs) {
        for (const Figures* pFigures : {&run.alone, &run.hidden, &run.visible}) {
            if (pFigures->nRoundTrips > nSchemaRoundTrips)
                nSchemaRoundTrips = pFigures->nRoundTrips;
        }
    }
    PrintTarget("round trips, whole schema (most of any run)", nSchemaRoundTrips,
                kMaxSchemaRoundTrips);
    PrintTarget("round trips, one package (most of the two)", nPackageRoundTrips,
                kMaxPackageRoundTrips);
    PrintTarget("time at 20 ms / at 0 ms, worker alone",
                slow.alone.dSeconds / atZero.alone.dSeconds, kMaxSlowLinkFactor);
    PrintTarget("time at 20 ms / at 0 ms, dialog hidden",
                slow.hidden.dSeconds / atZero.hidden.dSeconds, kMaxSlowLinkFactor);
    PrintTarget("time at 20 ms / at 0 ms, dialog visible",
                slow.visible.dSeconds / atZero.visible.dSeconds, kMaxSlowLinkFactor);
    PrintTarget("peak working set, 1,000,000 lines (MB)", nPeakLarge, kMaxPeakMbMillionLines);
    PrintTarget("worker alone / floor at 0 ms", atZero.alone.dSeconds / atZero.floor.dSeconds,
                kMaxAloneOverFloor);
    PrintTarget("worker alone / floor/1 (a query per object) at 0 ms",
                atZero.alone.dSeconds / atZero.objectFloor.dSeconds, kMaxAloneOverFloor);
    const bool bClientSets = CompareClientSets();
    std::printf("\n");
    PrintPhases(strWorkerFile);
    std::printf("\n");
    const bool bQmexport = PrintQmexportPeaks();
    g_pDlg->DestroyWindow();
    return bClientSets && bQmexport ? 0 : 1;
}
