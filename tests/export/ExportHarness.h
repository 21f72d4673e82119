// ExportHarness.h
//
// What the export tests need around the real worker:
//   LogWindow   - the application's main window for the tests: a real (hidden) window that
//                 takes the worker's report queue as the main dialog does (idle on the job's
//                 last line) and records lines and progress.
//   MessageBoxWatcher (tests/support) - finds the program's message boxes, records their
//                 text and closes them.
//   Schema, OciLite, the files - the engine's harness (EngineHarness.h).
//   RunJob      - fills the job record as Start does, starts the worker and runs the window
//                 thread's messages until the job returns to idle.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "support/MessageBoxWatcher.h"
#include "tests/export/EngineHarness.h"

namespace ExportTest {

class LogWindow {
public:
    // Runs on the test's main thread: the one window, created and registered on first use.
    static LogWindow& Instance();

    // Runs before each job: forgets what was recorded.
    void Reset();

    std::vector<std::string> Lines() const;
    std::vector<std::pair<int, int>> Progress() const;
    int LineCount() const { return m_nLines.load(); }
    int ProgressCount() const { return m_nProgress.load(); }
    bool IsIdle() const { return m_bIdle.load(); }
    // Batches taken from the queue since Reset.
    int BatchCount() const { return m_nBatches.load(); }
    // Takes what is queued now, on the window's thread, as a wake would.
    void DrainNow();
    HWND Handle() const { return m_hWnd; }

    // Called on the window thread after each recorded line.
    std::function<void(const std::string&)> onLine;

private:
    LogWindow();
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam, bool& bHandled);

    HWND m_hWnd = nullptr;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_lines;
    std::vector<std::pair<int, int>> m_progress;
    std::atomic<int> m_nLines{0};
    std::atomic<int> m_nProgress{0};
    std::atomic<int> m_nBatches{0};
    std::atomic<bool> m_bIdle{false};
};

struct Job {
    std::string strDatabase;
    std::string strFile;
    std::string strObject;  // empty: all objects
    std::string strUser = kUser;
    std::string strPassword = kPassword;
    int bSysdba = 0;
};

// Runs before each test: the main window exists, oci-lite injects no fault and adds no latency
// (PrepareEngineTest).
void PrepareTest();
// Does what Start does and starts the worker; the caller runs the messages.
void StartJob(const Job& job);
// Runs the window thread's messages until the window is idle; false after nTimeoutMs.
bool RunUntilIdle(DWORD nTimeoutMs = 20000);
// Runs the window thread's messages for nMs, or until stop returns true.
void RunMessages(DWORD nMs, const std::function<bool()>& stop = nullptr);
// Waits for the most recent worker thread to return.
bool WaitForWorker(DWORD nTimeoutMs = 10000);
// StartJob, RunUntilIdle and WaitForWorker.
bool RunJob(const Job& job, DWORD nTimeoutMs = 20000);

}  // namespace ExportTest
