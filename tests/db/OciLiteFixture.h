// OciLiteFixture.h
//
// Helpers for the database layer's tests that run against oci-lite, our OCI.DLL over SQLite.
//   FixtureDatabase - writes the fixture database "qmtest.sqlite" (connect string "QMTEST")
//                     into a private temporary folder once per process and points
//                     OCI_LITE_HOME at it; the folder goes away when the tests end.
//   OciLite         - the testing exports of the loaded OCI.DLL: live handles, round trips,
//                     counted calls, fault injection and the call trace.
//   TraceCapture    - records the oci-lite call trace of a scope and hands back its lines with
//                     the handle serial numbers taken out, so two runs can be compared.
#pragma once

#include <string>
#include <vector>

namespace DbTest {

// Connect string of the fixture database and its accounts.
constexpr const char kDatabase[] = "QMTEST";
constexpr const char kUser[] = "SCOTT";
constexpr const char kPassword[] = "tiger";
constexpr const char kDbaUser[] = "SYSMAN";
constexpr const char kDbaPassword[] = "manager";

class FixtureDatabase {
public:
    // Runs before the first logon of a test: creates the database once, sets OCI_LITE_HOME.
    static void Ensure();
    // Runs when the test program ends: removes the folder and its files.
    static void Remove();
};

class OciLite {
public:
    static int LiveHandles();
    static unsigned RoundTrips();
    static unsigned CallCount();
    static void ResetCounters();
    static void SetFailAt(unsigned nCall);
    static bool SetTraceFile(const char* pszPath);
};

class TraceCapture {
public:
    TraceCapture();
    ~TraceCapture();
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    // Stops tracing and returns the lines written since construction, "#<serial>" removed.
    std::vector<std::string> Stop();

private:
    std::string m_strPath;
    bool m_bStopped = false;
};

// Lines of a trace whose entry point (first word) is pszEntryPoint.
std::vector<std::string> LinesOf(const std::vector<std::string>& lines, const char* pszEntryPoint);

}  // namespace DbTest
