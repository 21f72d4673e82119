// Limits.h
//
// Limits: the process-wide bounds on what one call may cost.
//   - the time budget of each execute and each fetch round trip: OCI_LITE_QUERY_TIMEOUT_MS
//     (read at the first environment; default 0, no budget, as the real client has no call
//     timeout unless one is set), changeable at run time by tests; a statement over budget
//     fails with ORA-01013 and the connection stays usable.
//   - the bytes that rows prefetched beyond the requested ones may carry in one round trip,
//     counted as OCI_ATTR_PREFETCH_MEMORY counts them, so that a huge OCI_ATTR_PREFETCH_ROWS on
//     an endless result cannot exhaust the process; and, for rows that carry few bytes (NULLs),
//     the memory those rows take in this library.
//   - the memory a statement may take in SQLite: no value longer than kValueBytes (per
//     connection), and no more than kHeapBytes for all of the library's SQLite together (its
//     temporary tables and sorts kept in memory, so that they count); beyond either the
//     statement fails with ORA-04030.
#pragma once

#include <atomic>
#include <cstddef>

namespace ocilite {

class Limits {
public:
    static constexpr unsigned kDefaultQueryTimeoutMs = 0;
    static constexpr size_t kPrefetchBytes = 16u << 20;
    static constexpr size_t kPrefetchHeldBytes = 256u << 20;
    static constexpr int kValueBytes = 16 << 20;
    static constexpr long long kHeapBytes = 256ll << 20;

    static Limits& Instance();

    // Reads OCI_LITE_QUERY_TIMEOUT_MS; only the first call does so.
    void InitializeOnce();

    unsigned QueryTimeoutMs() const { return m_queryTimeoutMs.load(); }
    void SetQueryTimeoutMs(unsigned milliseconds) { m_queryTimeoutMs.store(milliseconds); }

private:
    Limits() = default;
    Limits(const Limits&) = delete;
    Limits& operator=(const Limits&) = delete;

    std::atomic<bool> m_initialized{false};
    std::atomic<unsigned> m_queryTimeoutMs{kDefaultQueryTimeoutMs};
};

}  // namespace ocilite
