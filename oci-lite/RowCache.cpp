// RowCache.cpp
#include "oci-lite/RowCache.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ocilite {

namespace {

template <typename T>
char* Put(char* at, const T& value)
{
    std::memcpy(at, &value, sizeof value);
    return at + sizeof value;
}

template <typename T>
T Read(const std::string& bytes, size_t& at)
{
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    at += sizeof value;
    return value;
}

}  // namespace

// A row: its value count, then per value its kind, the number for numbers, and the text's
// length (a value is at most 16 MiB) and bytes for everything but NULL.
void RowCache::Push(const Row& row)
{
    // Rows delivered before a partly delivered trip are dropped once they are half the cache,
    // so that the buffer never grows past twice the rows it holds.
    if (m_first > 0 && m_first * 2 >= m_starts.size()) {
        const size_t consumed = m_starts[m_first];
        m_bytes.erase(0, consumed);
        m_starts.erase(m_starts.begin(), m_starts.begin() + static_cast<std::ptrdiff_t>(m_first));
        for (size_t& start : m_starts)
            start -= consumed;
        m_first = 0;
    }
    size_t bytes = sizeof(unsigned);
    for (const Value& value : row) {
        bytes += 1;
        if (value.kind == Value::kInteger)
            bytes += sizeof value.integer;
        else if (value.kind == Value::kReal)
            bytes += sizeof value.real;
        if (value.kind != Value::kNull)
            bytes += sizeof(std::uint32_t) + value.text.size();
    }
    const size_t start = m_bytes.size();
    m_starts.push_back(start);
    m_bytes.resize(start + bytes);
    char* at = Put(&m_bytes[start], static_cast<unsigned>(row.size()));
    for (const Value& value : row) {
        *at++ = static_cast<char>(value.kind);
        if (value.kind == Value::kInteger)
            at = Put(at, value.integer);
        else if (value.kind == Value::kReal)
            at = Put(at, value.real);
        if (value.kind != Value::kNull) {
            at = Put(at, static_cast<std::uint32_t>(value.text.size()));
            std::memcpy(at, value.text.data(), value.text.size());
            at += value.text.size();
        }
    }
}

const RowView& RowCache::Front()
{
    if (m_frontUnpacked)
        return m_front;
    size_t at = m_starts[m_first];
    const unsigned count = Read<unsigned>(m_bytes, at);
    m_front.resize(count);
    for (ValueView& value : m_front) {
        value.kind = static_cast<Value::Kind>(m_bytes[at++]);
        value.integer = 0;
        value.real = 0;
        value.text = std::string_view();
        if (value.kind == Value::kInteger)
            value.integer = Read<long long>(m_bytes, at);
        else if (value.kind == Value::kReal)
            value.real = Read<double>(m_bytes, at);
        if (value.kind != Value::kNull) {
            const size_t length = Read<std::uint32_t>(m_bytes, at);
            value.text = std::string_view(m_bytes.data() + at, length);
            at += length;
        }
    }
    m_frontUnpacked = true;
    return m_front;
}

void RowCache::PopFront()
{
    ++m_first;
    m_frontUnpacked = false;
    if (m_first == m_starts.size())
        Clear();
}

// Keeps the buffers' capacity: the next trip fills the same memory, as a client's prefetch
// buffer is reused.
void RowCache::Clear()
{
    m_bytes.clear();
    m_starts.clear();
    m_first = 0;
    m_frontUnpacked = false;
}

}  // namespace ocilite
