#include "oci-lite/Diagnostics.h"

#include <windows.h>

#include <cstdlib>
#include <exception>

namespace ocilite {

namespace {

// Reads an environment variable as a non-negative number; 0 when unset or not a number.
unsigned ReadNumber(const char* name)
{
    char buffer[32];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer)
        return 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(buffer, &end, 10);
    return (end != buffer && *end == '\0') ? static_cast<unsigned>(value) : 0;
}

// Waits a number of microseconds with the best resolution the system offers cheaply.
void WaitMicroseconds(unsigned microseconds)
{
    if (microseconds == 0)
        return;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    long long ticks = static_cast<long long>(microseconds) * frequency.QuadPart / 1000000;
    if (microseconds >= 2000)
        Sleep(microseconds / 1000 - 1);
    do {
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart < ticks)
            Sleep(0);
    } while (now.QuadPart - start.QuadPart < ticks);
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
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("OCI_LITE_TRACE", path, sizeof path);
    if (length > 0 && length < sizeof path)
        SetTraceFile(path);
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
    WaitMicroseconds(m_rttMicroseconds.load());
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
    OutputDebugStringA(("oci-lite: " + line + "\n").c_str());
    Trace(line);
}

}  // namespace ocilite
