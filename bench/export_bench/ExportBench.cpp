// ExportBench.cpp
//
// Measures one whole export started from the real main dialog (CquillmarkDlg), over an
// oci-lite schema of 1,000 objects of 200 lines and one object of 100,000 lines: the worker
// alone (nobody takes its reports), with the dialog hidden and with it visible, each against
// the floor (the same rows read straight from SQLite and written to a file the same way), with
// no simulated latency and with 1000 us per round trip (the floor waits as long once per
// query). Also: the dialog's latency while a visible export runs, how fast Stop returns it to
// idle, and the peak working set of exports of 100,000 and 1,000,000 lines (child processes).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <atomic>
#include <fstream>
#include <memory>
#include <thread>
#include <sstream>
#include <string>
#include <vector>

#include "app/quillmarkDlg.h"
#include "export/ExportEngine.h"
#include "app/JobRecord.h"
#include "framework/WinApp.h"
#include "oci-lite/OciLiteTesting.h"

CWinApp theApp("export_bench");

namespace {

// The schema's size; the command line may give others: objects, lines each, lines of the big one.
int kSmallObjects = 1000;
int kSmallLines = 200;
int kBigLines = 100000;
const char kDatabase[] = "BENCH";

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
    std::snprintf(szLine, sizeof(szLine), "  v_%06d := v_%06d + %d; -- object %d\n", nLine, nLine - 1,
                  nObject, nObject);
    return szLine;
}

// Writes the schema once: SCOTT's 1,000 procedures and one big package body.
void BuildSchema()
{
    const std::string strPath = g_strFolder + "bench.sqlite";
    ::DeleteFileA(strPath.c_str());
    sqlite3* pDb = nullptr;
    sqlite3_open_v2(strPath.c_str(), &pDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(pDb,
                 "CREATE TABLE users(name TEXT PRIMARY KEY, password TEXT, sysdba INTEGER);"
                 "CREATE TABLE objects(owner TEXT, object_name TEXT, object_type TEXT, status TEXT);"
                 "CREATE TABLE source(owner TEXT, name TEXT, type TEXT, line INTEGER, text TEXT);"
                 "CREATE INDEX source_key ON source(owner, name, type, line);"
                 "INSERT INTO users VALUES('SCOTT', 'TIGER', 0);"
                 "BEGIN;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* pObject = nullptr;
    sqlite3_stmt* pSource = nullptr;
    sqlite3_prepare_v2(pDb, "INSERT INTO objects VALUES('SCOTT', ?1, ?2, 'VALID')", -1, &pObject, nullptr);
    sqlite3_prepare_v2(pDb, "INSERT INTO source VALUES('SCOTT', ?1, ?2, ?3, ?4)", -1, &pSource, nullptr);
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
    for (int i = 1; i <= kSmallObjects; ++i) {
        std::snprintf(szName, sizeof(szName), "PROC_%04d", i);
        addObject(szName, "PROCEDURE", i, kSmallLines);
    }
    if (kBigLines > 0)
        addObject("BIG_PKG", "PACKAGE BODY", 0, kBigLines);
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
    ::SendMessageA(g_pDlg->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_RADIO_ALL, BN_CLICKED),
                   LPARAM(::GetDlgItem(g_pDlg->m_hWnd, IDC_RADIO_ALL)));
}

template <typename Fn>
Fn OciEntry(const char* pszName)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(::GetModuleHandleA("OCI.DLL"), pszName)));
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

// One run of the real worker, started the way the user starts it. Without the dialog as the
// application's main window the worker runs alone: nobody takes its reports.
enum class Mode { Alone, Hidden, Visible };

Figures RunWorker(const std::string& strFile, unsigned nRttMicroseconds, Mode mode, double dStopAfter = 0,
                  double* pStopSeconds = nullptr)
{
    OciEntry<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay")(nRttMicroseconds);
    OciEntry<OciLiteResetCountersFn>("OciLiteResetCounters")();
    HWND hDlg = g_pDlg->m_hWnd;
    ::ShowWindow(hDlg, mode == Mode::Visible ? SW_SHOW : SW_HIDE);
    ::SetDlgItemTextA(hDlg, IDC_FILENAME, strFile.c_str());
    AfxGetApp()->m_pMainWnd = mode == Mode::Alone ? nullptr : g_pDlg.get();

    Figures figures;
    const double dStart = Seconds();
    {
        std::unique_ptr<LatencyProbe> probe(mode == Mode::Visible ? new LatencyProbe(hDlg) : nullptr);
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(::GetDlgItem(hDlg, IDOK)));
        MSG msg;
        bool bStopped = false;
        while (mode != Mode::Alone && g_pDlg->IsRunning()) {
            if (dStopAfter > 0 && !bStopped && Seconds() - dStart >= dStopAfter) {
                const double dStop = Seconds();
                ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(::GetDlgItem(hDlg, IDOK)));
                if (pStopSeconds != nullptr)
                    *pStopSeconds = Seconds() - dStop;
                bStopped = true;
                continue;
            }
            if (::MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_TIMEOUT)
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
    if (mode == Mode::Alone) {
        // Nobody took the reports: the dialog is put back to idle as Stop would.
        ::SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(::GetDlgItem(hDlg, IDOK)));
    }
    figures.nLines = static_cast<long long>(kSmallObjects) * kSmallLines + kBigLines;
    figures.nRoundTrips = OciEntry<OciLiteRoundTripsFn>("OciLiteRoundTrips")();
    figures.nPeakMb = PeakWorkingSetMb();
    return figures;
}

// The floor: the listing and each object's lines straight from SQLite, each block written to
// the file as the worker writes it; one simulated round trip per query.
Figures RunFloor(const std::string& strFile, unsigned nRttMicroseconds)
{
    Figures figures;
    const double dStart = Seconds();
    sqlite3* pDb = nullptr;
    sqlite3_open_v2((g_strFolder + "bench.sqlite").c_str(), &pDb, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* pList = nullptr;
    sqlite3_stmt* pLines = nullptr;
    sqlite3_prepare_v2(pDb,
                       "SELECT object_name, object_type FROM objects WHERE owner = 'SCOTT' AND object_type IN "
                       "('PACKAGE','PACKAGE BODY','PROCEDURE','FUNCTION') ORDER BY object_name, object_type",
                       -1, &pList, nullptr);
    sqlite3_prepare_v2(pDb, "SELECT text FROM source WHERE owner = 'SCOTT' AND name = ?1 AND type = ?2 ORDER BY line",
                       -1, &pLines, nullptr);
    HANDLE hFile = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr);
    WaitMicroseconds(nRttMicroseconds);
    ++figures.nRoundTrips;
    std::vector<std::pair<std::string, std::string>> objects;
    while (sqlite3_step(pList) == SQLITE_ROW)
        objects.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(pList, 0)),
                             reinterpret_cast<const char*>(sqlite3_column_text(pList, 1)));
    for (const auto& object : objects) {
        sqlite3_bind_text(pLines, 1, object.first.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(pLines, 2, object.second.c_str(), -1, SQLITE_STATIC);
        WaitMicroseconds(nRttMicroseconds);
        ++figures.nRoundTrips;
        std::string strBlock = "CREATE OR REPLACE ";
        while (sqlite3_step(pLines) == SQLITE_ROW) {
            strBlock.append(reinterpret_cast<const char*>(sqlite3_column_blob(pLines, 0)),
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

void Print(const char* pszWhat, unsigned nRtt, const Figures& figures, const Figures* pFloor = nullptr)
{
    std::printf("%-8s rtt=%4u us %8.3f s %10.0f lines/s %6u round trips  peak working set %4zu MB", pszWhat, nRtt,
                figures.dSeconds, double(figures.nLines) / figures.dSeconds, figures.nRoundTrips, figures.nPeakMb);
    if (pFloor != nullptr)
        std::printf("  x%.2f floor", figures.dSeconds / pFloor->dSeconds);
    if (figures.dLatencyMs > 0)
        std::printf("  latency %.0f ms", figures.dLatencyMs);
    std::printf("\n");
    std::fflush(stdout);
}

// Runs this program again for one visible export of nLines lines (objects of 1,000 lines) and
// returns the peak working set it printed.
int PeakOfChild(long long nLines)
{
    char szExe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, szExe, MAX_PATH);
    const std::string strOut = g_strFolder + "peak.txt";
    std::string strCommand = "\"" + std::string(szExe) + "\" " + std::to_string(nLines / 1000) + " 1000 0 --peak";
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    HANDLE hOut = ::CreateFileA(strOut.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, &strCommand[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(hOut);
        return -1;
    }
    ::WaitForSingleObject(pi.hProcess, INFINITE);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::CloseHandle(hOut);
    const std::string strText = ReadAll(strOut);
    const size_t nAt = strText.find("peak=");
    return nAt == std::string::npos ? -1 : std::atoi(strText.c_str() + nAt + 5);
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
    }
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    g_strFolder = std::string(szTemp) + "qm_export_bench\\";
    ::CreateDirectoryA(g_strFolder.c_str(), nullptr);
    ::SetEnvironmentVariableA("OCI_LITE_HOME", g_strFolder.substr(0, g_strFolder.size() - 1).c_str());
    ::SetEnvironmentVariableA("OCI_LITE_RTT_US", nullptr);
    if (::LoadLibraryA("OCI.DLL") == nullptr) {
        std::printf("OCI.DLL (oci-lite) not found: put its folder on WINEPATH\n");
        return 1;
    }
    if (!bPeakOnly)
        std::printf("building schema: %d objects of %d lines and one of %d lines...\n", kSmallObjects, kSmallLines,
                    kBigLines);
    std::fflush(stdout);
    BuildSchema();
    CreateDialogWindow();
    const std::string strFloorFile = g_strFolder + "floor.sql";
    const std::string strWorkerFile = g_strFolder + "worker.sql";

    if (bPeakOnly) {
        const Figures visible = RunWorker(strWorkerFile, 0, Mode::Visible);
        std::printf("peak=%zu lines=%lld seconds=%.2f\n", visible.nPeakMb, visible.nLines, visible.dSeconds);
        return 0;
    }

    const long long nObjects = kSmallObjects + 1;
    const long long nBatches = (nObjects + kPrefetchRows) / kPrefetchRows +
                               kSmallObjects * ((kSmallLines + kPrefetchRows) / kPrefetchRows) +
                               (kBigLines + kPrefetchRows) / kPrefetchRows;
    std::printf("round-trip target: at most 3 per object plus one per prefetch batch = %lld (+ logon/logoff)\n",
                3 * nObjects + nBatches);

    for (unsigned nRtt : {0u, 1000u}) {
        const Figures floor = RunFloor(strFloorFile, nRtt);
        Print("floor", nRtt, floor);
        const std::string strFloor = ReadAll(strFloorFile);
        const Figures alone = RunWorker(strWorkerFile, nRtt, Mode::Alone);
        Print("alone", nRtt, alone, &floor);
        const bool bAloneSame = strFloor == ReadAll(strWorkerFile);
        const Figures hidden = RunWorker(strWorkerFile, nRtt, Mode::Hidden);
        Print("hidden", nRtt, hidden, &floor);
        const bool bHiddenSame = strFloor == ReadAll(strWorkerFile);
        const Figures visible = RunWorker(strWorkerFile, nRtt, Mode::Visible);
        Print("visible", nRtt, visible, &floor);
        std::printf("         visible / alone %.2f (target 1.5), visible / floor %.2f (target 4); same file: %s\n",
                    visible.dSeconds / alone.dSeconds, visible.dSeconds / floor.dSeconds,
                    bAloneSame && bHiddenSame && strFloor == ReadAll(strWorkerFile) ? "yes" : "NO");
        std::fflush(stdout);
    }

    double dStopSeconds = 0;
    RunWorker(strWorkerFile, 0, Mode::Visible, 0.5, &dStopSeconds);
    std::printf("stop half a second into a visible export: idle after %.1f ms (target 200)\n", dStopSeconds * 1000.0);
    const int nPeakSmall = PeakOfChild(100000);
    const int nPeakLarge = PeakOfChild(1000000);
    std::printf("peak working set of a visible export: 100,000 lines %d MB, 1,000,000 lines %d MB, "
                "difference %d MB (target 50)\n",
                nPeakSmall, nPeakLarge, nPeakLarge - nPeakSmall);
    g_pDlg->DestroyWindow();
    return 0;
}
