// Sha256.h
//
// SHA-256 (FIPS 180-4) of a byte string.
#pragma once

#include <array>
#include <cstddef>

std::array<unsigned char, 32> Sha256(const void* pData, size_t nSize);
