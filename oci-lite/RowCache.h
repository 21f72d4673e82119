// RowCache.h
//
// The rows a statement's round trips brought and the client has not yet delivered, packed into
// one buffer of their bytes, as a client's prefetch buffer holds them: a value object per
// column took about five times the rows' bytes, which no client spends.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "oci-lite/Database.h"

namespace ocilite {

// A value of a cached row as delivered: its text (the printed number for a number) inside the
// cache's buffer.
struct ValueView {
    Value::Kind kind = Value::kNull;
    long long integer = 0;
    double real = 0;
    std::string_view text;
};
using RowView = std::vector<ValueView>;

class RowCache {
public:
    void Push(const Row& row);
    // The oldest row; it and its texts are valid until the next call that changes the cache.
    // The cache is not empty.
    const RowView& Front();
    void PopFront();
    size_t Size() const { return m_starts.size() - m_first; }
    bool Empty() const { return Size() == 0; }
    void Clear();

private:
    std::string m_bytes;
    std::vector<size_t> m_starts;  // where each row begins in m_bytes
    size_t m_first = 0;            // the oldest row not yet delivered
    RowView m_front;
    bool m_frontUnpacked = false;
};

}  // namespace ocilite
