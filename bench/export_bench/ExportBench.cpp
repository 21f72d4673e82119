// ExportBench.cpp
//
// Measures one whole export: the real worker (UploadThreadProc through StartUploadThread)
// against a real hidden window with a list box and two progress bars that handles the two
// registered messages as the main dialog does, over an oci-lite schema of 1,000 objects of 200
// lines and one object of 100,000 lines. The floor is the same rows read straight from SQLite
// and written to a file the same way. Both run without simulated latency and with 1000 us per
// round trip (the floor waits as long once per query it runs).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "export/ExportWorker.h"
#include "export/JobRecord.h"
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
                 "INSERT INTO users VALUES('SCOTT', 'tiger', 0);"
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
    addObject("BIG_PKG", "PACKAGE BODY", 0, kBigLines);
    sqlite3_finalize(pObject);
    sqlite3_finalize(pSource);
    sqlite3_exec(pDb, "COMMIT;", nullptr, nullptr, nullptr);
    sqlite3_close(pDb);
}

// ---- The window that stands in for the main dialog ----

HWND g_hList = nullptr;
HWND g_hObjectBar = nullptr;
HWND g_hTotalBar = nullptr;
bool g_bIdle = false;

LRESULT CALLBACK BenchWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != 0 && message == g_uAddStrMsg) {
        if (g_bRunning == 0) {
            g_bIdle = true;
            // Sent messages are handled inside GetMessage; this wakes the loop to see the end.
            ::PostMessageA(hWnd, WM_NULL, 0, 0);
        }
        ::SendMessageA(g_hList, LB_INSERTSTRING, WPARAM(g_nLogLines), reinterpret_cast<LPARAM>(g_strLogLine.GetString()));
        ++g_nLogLines;
        ::SendMessageA(g_hList, LB_SETTOPINDEX, WPARAM(g_nLogLines - 1), 0);
        return 0;
    }
    if (message != 0 && message == g_uProgressMsg) {
        ::SendMessageA(g_hObjectBar, PBM_SETPOS, WPARAM(g_nObjectPercent), 0);
        ::SendMessageA(g_hTotalBar, PBM_SETPOS, WPARAM(g_nTotalPercent), 0);
        return 0;
    }
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
}

CWnd g_mainWnd;

void CreateBenchWindow()
{
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = BenchWndProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuillmarkExportBench";
    ::RegisterClassA(&wc);
    HWND hWnd = ::CreateWindowExA(0, wc.lpszClassName, "export_bench", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    g_hList = ::CreateWindowExA(0, "LISTBOX", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0,
                                580, 300, hWnd, nullptr, wc.hInstance, nullptr);
    g_hObjectBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 310, 580, 16, hWnd,
                                     nullptr, wc.hInstance, nullptr);
    g_hTotalBar = ::CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 0, 330, 580, 16, hWnd,
                                    nullptr, wc.hInstance, nullptr);
    g_uAddStrMsg = ::RegisterWindowMessageA("ADD_STR_MESSAGE");
    g_uProgressMsg = ::RegisterWindowMessageA("PROGRESS_MESSAGE");
    g_mainWnd.Attach(hWnd);
    AfxGetApp()->m_pMainWnd = &g_mainWnd;
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
};

// One run of the real worker, as the dialog's Start does it. Without the window the worker runs
// alone (no main window: its messages go nowhere), which shows its own cost apart from the
// window thread's handling of one synchronous message per line.
Figures RunWorker(const std::string& strFile, unsigned nRttMicroseconds, bool bWithWindow)
{
    OciEntry<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay")(nRttMicroseconds);
    OciEntry<OciLiteResetCountersFn>("OciLiteResetCounters")();
    ::SendMessageA(g_hList, LB_RESETCONTENT, 0, 0);
    g_strUser = "SCOTT";
    g_strPassword = "tiger";
    g_strDatabase = kDatabase;
    g_bSysdba = 0;
    g_strFileName = strFile.c_str();
    g_bAllObjects = 1;
    std::memset(g_szObjectName, 0, sizeof(g_szObjectName));
    g_nLogLines = 0;
    g_bRunning = 1;
    g_bIdle = false;

    AfxGetApp()->m_pMainWnd = bWithWindow ? &g_mainWnd : nullptr;
    const double dStart = Seconds();
    StartUploadThread();
    MSG msg;
    while (bWithWindow && !g_bIdle && ::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    ::WaitForSingleObject(g_hWorkerThread, INFINITE);
    Figures figures;
    figures.dSeconds = Seconds() - dStart;
    figures.nLines = kSmallObjects * kSmallLines + kBigLines;
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

void Print(const char* pszWhat, unsigned nRtt, const Figures& figures)
{
    std::printf("%-7s rtt=%4u us  %8.3f s  %10.0f lines/s  %6u round trips  peak working set %zu MB\n", pszWhat,
                nRtt, figures.dSeconds, double(figures.nLines) / figures.dSeconds, figures.nRoundTrips,
                figures.nPeakMb);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4) {
        kSmallObjects = std::atoi(argv[1]);
        kSmallLines = std::atoi(argv[2]);
        kBigLines = std::atoi(argv[3]);
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
    std::printf("building schema: %d objects of %d lines and one of %d lines...\n", kSmallObjects, kSmallLines,
                kBigLines);
    std::fflush(stdout);
    BuildSchema();
    CreateBenchWindow();

    const long long nObjects = kSmallObjects + 1;
    const long long nBatches = (nObjects + kPrefetchRows) / kPrefetchRows +
                               kSmallObjects * ((kSmallLines + kPrefetchRows) / kPrefetchRows) +
                               (kBigLines + kPrefetchRows) / kPrefetchRows;
    std::printf("round-trip target: at most 3 per object plus one per prefetch batch = %lld (+ logon/logoff)\n",
                3 * nObjects + nBatches);

    for (unsigned nRtt : {0u, 1000u}) {
        const std::string strFloorFile = g_strFolder + "floor.sql";
        const std::string strWorkerFile = g_strFolder + "worker.sql";
        const Figures floor = RunFloor(strFloorFile, nRtt);
        Print("floor", nRtt, floor);
        const Figures alone = RunWorker(strWorkerFile, nRtt, false);
        Print("alone", nRtt, alone);
        std::printf("        worker without window / floor time %.2f, same file: %s\n",
                    alone.dSeconds / floor.dSeconds, ReadAll(strFloorFile) == ReadAll(strWorkerFile) ? "yes" : "NO");
        const Figures worker = RunWorker(strWorkerFile, nRtt, true);
        Print("worker", nRtt, worker);
        std::printf("        worker with window / floor time %.2f, same file: %s\n", worker.dSeconds / floor.dSeconds,
                    ReadAll(strFloorFile) == ReadAll(strWorkerFile) ? "yes" : "NO");
        std::fflush(stdout);
    }
    return 0;
}
