// RowCache.h
//
// The rows a statement's round trips brought and the client has not yet delivered, packed into
// one buffer of their bytes, as a client's prefetch buffer holds them: a value object per
// column took about five times the rows' bytes, which no client spends.
#pragma once

#include <string>
#include <vector>

#include "oci-lite/Database.h"

namespace ocilite {

class RowCache {
public:
    void Push(const Row& row);
    // The oldest row; valid until the next call that changes the cache. The cache is not empty.
    const Row& Front();
    void PopFront();
    size_t Size() const { return m_starts.size() - m_first; }
    bool Empty() const { return Size() == 0; }
    void Clear();

private:
    std::string m_bytes;
    std::vector<size_t> m_starts;  // where each row begins in m_bytes
    size_t m_first = 0;            // the oldest row not yet delivered
    Row m_front;
    bool m_frontUnpacked = false;
};

}  // namespace ocilite
