// FetchArray.h
//
// CharColumnArray: one character column of a fetch array, the buffers a define fills for up to
// a given number of rows per fetch call: each row's value (no terminator) in an element of a
// fixed size, its delivered length and its indicator (-1 NULL, 0 whole, above 0 or -2 cut).
#pragma once

#include <algorithm>
#include <vector>

#include "db/DBStmt.h"

class CharColumnArray {
public:
    CharColumnArray(size_t nRows, size_t nElementSize)
        : m_nElementSize(nElementSize), m_values(nRows * nElementSize), m_lengths(nRows),
          m_indicators(nRows)
    {}

    void DefineIn(DBStmt& stmt, int nPosition)
    {
        stmt.DefineChars(nPosition, m_values.data(), int(m_nElementSize), m_lengths.data(),
                         m_indicators.data());
    }
    // Before each fetch call: a row the client leaves untouched reads as empty, never as the
    // previous call's.
    void Clear()
    {
        std::fill(m_lengths.begin(), m_lengths.end(), ub2(0));
        std::fill(m_indicators.begin(), m_indicators.end(), sb2(0));
    }

    size_t ElementSize() const { return m_nElementSize; }
    const char* Value(size_t nRow) const { return &m_values[nRow * m_nElementSize]; }
    // The bytes of the row's value in its element: 0 for NULL, at most the element's size.
    size_t Length(size_t nRow) const
    {
        return m_indicators[nRow] == -1 ? 0 : std::min<size_t>(m_lengths[nRow], m_nElementSize);
    }
    bool IsNull(size_t nRow) const { return m_indicators[nRow] == -1; }
    // The client cut the value to its element.
    bool IsCut(size_t nRow) const { return m_indicators[nRow] > 0 || m_indicators[nRow] < -1; }

private:
    size_t m_nElementSize;
    std::vector<char> m_values;
    std::vector<ub2> m_lengths;
    std::vector<sb2> m_indicators;
};
