// EngineHarness.cpp
#include "tests/export/EngineHarness.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "db/OciDefs.h"
#include "oci-lite/OciLiteTesting.h"
#include "support/TestSystem.h"

namespace ExportTest {

namespace {

// Runs once per process before the first logon: a private folder for the databases and files,
// named in OCI_LITE_HOME, and our client library kept loaded so its counters live for the whole
// run.
struct Environment {
    std::string strFolder;
    void* pLibrary = nullptr;

    Environment()
    {
        strFolder =
            testsys::TempFolder() + testsys::kSeparator + "qm_export_" + testsys::ProcessTag();
        testsys::MakeFolder(strFolder);
        testsys::SetVariable("OCI_LITE_HOME", strFolder.c_str());
        strFolder += testsys::kSeparator;
        testsys::SetVariable("OCI_LITE_RTT_US", nullptr);
        testsys::SetVariable("OCI_LITE_FAIL_AT", nullptr);
        pLibrary = testsys::LoadLibraryByName(testsys::kClientLibraryName);
        // oci-lite reads its settings from the environment at the first initialisation: made
        // now, so that what the tests set through its testing exports stays in force.
        if (auto fn = reinterpret_cast<OCIInitializeFn>(Entry("OCIInitialize")))
            fn(OCI_THREADED | OCI_OBJECT, nullptr, nullptr, nullptr, nullptr);
    }

    void* Entry(const char* pszName) const
    {
        return pLibrary != nullptr ? testsys::FindSymbol(pLibrary, pszName) : nullptr;
    }
};

Environment& Env()
{
    static Environment env;
    return env;
}

template <typename Fn>
Fn Entry(const char* pszName)
{
    return reinterpret_cast<Fn>(Env().Entry(pszName));
}

}  // namespace

// ---- Schema ----

Schema::Schema(const char* pszDatabase) : OciLiteSchema(TestFolder(), pszDatabase)
{
    AddUser(kUser, kPassword, 0);
}

// ---- OciLite ----

unsigned OciLite::RoundTrips()
{
    auto fn = Entry<OciLiteRoundTripsFn>("OciLiteRoundTrips");
    return fn ? fn() : 0;
}

unsigned OciLite::CallCount()
{
    auto fn = Entry<OciLiteCallCountFn>("OciLiteCallCount");
    return fn ? fn() : 0;
}

int OciLite::LiveHandles()
{
    auto fn = Entry<OciLiteLiveHandlesFn>("OciLiteLiveHandles");
    return fn ? fn() : -1;
}

void OciLite::ResetCounters()
{
    if (auto fn = Entry<OciLiteResetCountersFn>("OciLiteResetCounters"))
        fn();
}

void OciLite::SetFailAt(unsigned n)
{
    if (auto fn = Entry<OciLiteSetFailAtFn>("OciLiteSetFailAt"))
        fn(n);
}

void OciLite::SetRoundTripDelay(unsigned nMicroseconds)
{
    if (auto fn = Entry<OciLiteSetRoundTripDelayFn>("OciLiteSetRoundTripDelay"))
        fn(nMicroseconds);
}

void OciLite::SetServerWork(unsigned nMicroseconds)
{
    if (auto fn = Entry<OciLiteSetServerWorkFn>("OciLiteSetServerWork"))
        fn(nMicroseconds);
}

// ---- Files ----

std::string TestFolder()
{
    return Env().strFolder;
}

std::string ReadFile(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string& strPath)
{
    return testsys::IsFile(strPath);
}

void WriteFile(const std::string& strPath, const std::string& strContent)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strContent;
}

std::string Expected(const char* pszName)
{
    const std::string strPath = std::string(EXPORT_TEST_EXPECTED_DIR) + "/" + pszName;
    if (!FileExists(strPath))
        ADD_FAILURE() << "missing expected file " << strPath;
    return ReadFile(strPath);
}

// ---- Tests ----

void PrepareEngineTest()
{
    Env();
    OciLite::SetFailAt(0);
    OciLite::SetRoundTripDelay(0);
    OciLite::SetServerWork(0);
}

}  // namespace ExportTest
