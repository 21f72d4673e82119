// Diagnostics.h
//
// Diagnostics: what oci-lite offers tests besides behaving like the client. It counts the calls
// that can fail (for OCI_LITE_FAIL_AT) and the simulated server round trips (each waiting
// OCI_LITE_RTT_US microseconds, and an execute's or a fetch's OCI_LITE_SERVER_US more for the
// server's work), and writes the call trace named by OCI_LITE_TRACE. The
// environment variables are read once, at the first OCIInitialize of the process; the testing
// exports of OciLiteTesting.h change the same settings at run time. Thread-safe: two
// connections on two threads share this one object.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

namespace ocilite {

class Diagnostics {
public:
    static Diagnostics& Instance();

    // Reads OCI_LITE_FAIL_AT, OCI_LITE_RTT_US, OCI_LITE_SERVER_US and OCI_LITE_TRACE; only the
    // first call does so.
    void InitializeOnce();

    // Counts one call that can fail; true when this is the call chosen by FAIL_AT.
    bool CountCallAndCheckFault();

    // Counts one server round trip and waits the configured latency (for the trips of logon and
    // logoff, which no break interrupts).
    void RoundTrip();
    // Counts one round trip whose waiting the caller does (ServerLink).
    void CountRoundTrip() { m_roundTrips.fetch_add(1); }

    // Writes one line to the trace file, if one is open.
    void Trace(const std::string& line);

    bool IsTracing() const { return m_tracing.load(); }
    unsigned CallCount() const { return m_calls.load(); }
    unsigned RoundTrips() const { return m_roundTrips.load(); }
    void ResetCounters();
    void SetFailAt(unsigned n) { m_failAt.store(n); }
    void SetRoundTripDelay(unsigned microseconds) { m_rttMicroseconds.store(microseconds); }
    unsigned RoundTripDelay() const { return m_rttMicroseconds.load(); }
    // The server's simulated work per execute and per fetch round trip (OCI_LITE_SERVER_US).
    void SetServerWork(unsigned microseconds) { m_serverMicroseconds.store(microseconds); }
    unsigned ServerWork() const { return m_serverMicroseconds.load(); }
    bool SetTraceFile(const char* path);

    // Call only inside a catch block: writes "caught where: what()" (or "where: unknown
    // exception") to the debugger's output and to the trace, so that a call failed by an
    // exception says why.
    void RecordCaughtException(const char* where);

private:
    Diagnostics() = default;
    ~Diagnostics();
    Diagnostics(const Diagnostics&) = delete;
    Diagnostics& operator=(const Diagnostics&) = delete;

    std::atomic<bool> m_initialized{false};
    std::atomic<bool> m_tracing{false};
    std::atomic<unsigned> m_calls{0};
    std::atomic<unsigned> m_roundTrips{0};
    std::atomic<unsigned> m_failAt{0};
    std::atomic<unsigned> m_rttMicroseconds{0};
    std::atomic<unsigned> m_serverMicroseconds{0};
    std::mutex m_traceMutex;
    std::FILE* m_trace = nullptr;
};

}  // namespace ocilite
