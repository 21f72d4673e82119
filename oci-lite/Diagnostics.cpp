#include "oci-lite/Diagnostics.h"

#include <cstdlib>
#include <exception>

#include "oci-lite/Host.h"

namespace ocilite {

namespace {

// Reads an environment variable as a non-negative number; 0 when unset or not a number.
unsigned ReadNumber(const char* name)
{
    const std::string text = host::Environment(name);
    if (text.empty() || text.size() >= 32)
        return 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    return (end != text.c_str() && *end == '\0') ? static_cast<unsigned>(value) : 0;
}

}  // namespace

// The one instance of the process, made on first use.
Diagnostics& Diagnostics::Instance()
{
    // Never destroyed: nothing runs at process exit, where a thread ended from outside may have
    // left anything half done.
    static Diagnostics* instance = new Diagnostics();
    return *instance;
}

// Runs when the library unloads.
Diagnostics::~Diagnostics()
{
    if (m_trace != nullptr)
        std::fclose(m_trace);
}

// Runs at every OCIInitialize; only the first one reads the environment.
void Diagnostics::InitializeOnce()
{
    bool expected = false;
    if (!m_initialized.compare_exchange_strong(expected, true))
        return;
    m_failAt.store(ReadNumber("OCI_LITE_FAIL_AT"));
    m_rttMicroseconds.store(ReadNumber("OCI_LITE_RTT_US"));
    m_serverMicroseconds.store(ReadNumber("OCI_LITE_SERVER_US"));
    const std::string path = host::Environment("OCI_LITE_TRACE");
    if (!path.empty())
        SetTraceFile(path.c_str());
}

// Runs at the start of every counted entry point.
bool Diagnostics::CountCallAndCheckFault()
{
    unsigned number = m_calls.fetch_add(1) + 1;
    unsigned failAt = m_failAt.load();
    return failAt != 0 && number == failAt;
}

// Runs wherever the real client would wait for the server.
void Diagnostics::RoundTrip()
{
    m_roundTrips.fetch_add(1);
    host::WaitMicroseconds(m_rttMicroseconds.load());
}

// Runs from OciLiteResetCounters.
void Diagnostics::ResetCounters()
{
    m_calls.store(0);
    m_roundTrips.store(0);
}

// Runs at the first OCIInitialize (OCI_LITE_TRACE) and from OciLiteSetTraceFile.
bool Diagnostics::SetTraceFile(const char* path)
{
    std::lock_guard<std::mutex> lock(m_traceMutex);
    if (m_trace != nullptr)
        std::fclose(m_trace);
    m_trace = nullptr;
    if (path != nullptr && *path != '\0')
        m_trace = std::fopen(path, "ab");
    m_tracing.store(m_trace != nullptr);
    return path == nullptr || *path == '\0' || m_trace != nullptr;
}

// Runs as each entry point returns, while tracing.
void Diagnostics::Trace(const std::string& line)
{
    std::lock_guard<std::mutex> lock(m_traceMutex);
    if (m_trace == nullptr)
        return;
    std::fwrite(line.data(), 1, line.size(), m_trace);
    std::fputc('\n', m_trace);
    std::fflush(m_trace);
}

void Diagnostics::RecordCaughtException(const char* where)
{
    std::string what = "unknown exception";
    try {
        throw;
    } catch (const std::exception& error) {
        what = error.what();
    } catch (...) {
    }
    const std::string line = std::string("caught ") + where + ": " + what;
    host::DebugOutput("oci-lite: " + line);
    Trace(line);
}

}  // namespace ocilite
