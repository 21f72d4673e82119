// EngineHarness.h
//
// What the export engine's tests need on every system, without a window:
//   Schema  - writes an oci-lite database: users, objects and their source lines.
//   OciLite - the testing exports of our client library (round trips, fault injection,
//             handles), kept loaded for the whole run so that its counters live.
//   Files   - the test folder (OCI_LITE_HOME), reading and writing files, the expected files.
#pragma once

#include <string>

#include "support/OciLiteSchema.h"

namespace ExportTest {

constexpr const char kUser[] = "SCOTT";
constexpr const char kPassword[] = "tiger";

// An oci-lite database in the test folder, with the user SCOTT/tiger.
class Schema : public OciLiteSchema {
public:
    explicit Schema(const char* pszDatabase);
};

class OciLite {
public:
    static unsigned RoundTrips();
    static unsigned CallCount();
    static int LiveHandles();
    static void ResetCounters();
    static void SetFailAt(unsigned n);
    static void SetRoundTripDelay(unsigned nMicroseconds);
    // Simulated server work per execute and per fetch round trip.
    static void SetServerWork(unsigned nMicroseconds);
};

// The folder of the test's databases and output files (OCI_LITE_HOME), with a trailing
// separator.
std::string TestFolder();
std::string ReadFile(const std::string& strPath);
bool FileExists(const std::string& strPath);
void WriteFile(const std::string& strPath, const std::string& strContent);
// An expected output file of the tests.
std::string Expected(const char* pszName);

// Runs before each engine test: oci-lite injects no fault and adds no latency.
void PrepareEngineTest();

}  // namespace ExportTest
