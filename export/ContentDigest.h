// ContentDigest.h
//
// ContentDigest: what a comparison needs to know of bytes it no longer holds: their number and
// their SHA-256 (FIPS 180-4), so that two texts compare equal only when their bytes are
// (nobody can make two texts of one digest). ContentDigester takes the bytes in pieces.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

struct ContentDigest {
    std::uint64_t nBytes = 0;
    std::array<std::uint8_t, 32> hash{};

    friend bool operator==(const ContentDigest& a, const ContentDigest& b)
    {
        return a.nBytes == b.nBytes && a.hash == b.hash;
    }
    friend bool operator!=(const ContentDigest& a, const ContentDigest& b) { return !(a == b); }
};

class ContentDigester {
public:
    void Add(const char* pBytes, size_t nLength)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(pBytes);
        m_nBytes += nLength;
        while (nLength > 0) {
            const size_t nTake = std::min(nLength, sizeof(m_block) - m_nInBlock);
            std::memcpy(m_block + m_nInBlock, p, nTake);
            m_nInBlock += nTake;
            p += nTake;
            nLength -= nTake;
            if (m_nInBlock == sizeof(m_block)) {
                Compress(m_block);
                m_nInBlock = 0;
            }
        }
    }

    // The bytes added so far.
    std::uint64_t Bytes() const { return m_nBytes; }

    // The digest of every byte added; the digester is not changed.
    ContentDigest Finish() const
    {
        ContentDigester last = *this;
        const std::uint64_t nBits = m_nBytes * 8;
        const std::uint8_t kEnd = 0x80;
        last.AddPadding(&kEnd, 1);
        const std::uint8_t kZero = 0;
        while (last.m_nInBlock != 56)
            last.AddPadding(&kZero, 1);
        std::uint8_t length[8];
        for (int i = 0; i < 8; ++i)
            length[i] = std::uint8_t(nBits >> (56 - 8 * i));
        last.AddPadding(length, 8);
        ContentDigest digest;
        digest.nBytes = m_nBytes;
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 4; ++j)
                digest.hash[size_t(4 * i + j)] = std::uint8_t(last.m_state[i] >> (24 - 8 * j));
        }
        return digest;
    }

    static ContentDigest Of(const char* pBytes, size_t nLength)
    {
        ContentDigester digester;
        digester.Add(pBytes, nLength);
        return digester.Finish();
    }

private:
    static std::uint32_t Rotate(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

    // Padding goes through the blocks without counting as content.
    void AddPadding(const std::uint8_t* p, size_t nLength)
    {
        for (size_t i = 0; i < nLength; ++i) {
            m_block[m_nInBlock++] = p[i];
            if (m_nInBlock == sizeof(m_block)) {
                Compress(m_block);
                m_nInBlock = 0;
            }
        }
    }

    void Compress(const std::uint8_t* pBlock)
    {
        static const std::uint32_t k[64] = {
            0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4,
            0xab1c5ed5, 0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe,
            0x9bdc06a7, 0xc19bf174, 0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f,
            0x4a7484aa, 0x5cb0a9dc, 0x76f988da, 0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7,
            0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967, 0x27b70a85, 0x2e1b2138, 0x4d2c6dfc,
            0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85, 0xa2bfe8a1, 0xa81a664b,
            0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070, 0x19a4c116,
            0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
            0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7,
            0xc67178f2};
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            w[i] = std::uint32_t(pBlock[4 * i]) << 24 | std::uint32_t(pBlock[4 * i + 1]) << 16 |
                   std::uint32_t(pBlock[4 * i + 2]) << 8 | std::uint32_t(pBlock[4 * i + 3]);
        }
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 =
                Rotate(w[i - 15], 7) ^ Rotate(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = Rotate(w[i - 2], 17) ^ Rotate(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
        std::uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t s1 = Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25);
            const std::uint32_t choice = (e & f) ^ (~e & g);
            const std::uint32_t t1 = h + s1 + choice + k[i] + w[i];
            const std::uint32_t s0 = Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22);
            const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
            const std::uint32_t t2 = s0 + majority;
            h = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        m_state[0] += a;
        m_state[1] += b;
        m_state[2] += c;
        m_state[3] += d;
        m_state[4] += e;
        m_state[5] += f;
        m_state[6] += g;
        m_state[7] += h;
    }

    std::uint32_t m_state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::uint8_t m_block[64] = {};
    size_t m_nInBlock = 0;
    std::uint64_t m_nBytes = 0;
};
