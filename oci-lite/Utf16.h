// Utf16.h
//
// UTF-8 and UTF-16, the same on every system: a byte sequence that is not UTF-8 (a stray
// continuation byte, a cut or overlong sequence, an encoded surrogate, beyond U+10FFFF) reads as
// one U+FFFD per byte it spans, and a lone surrogate writes as U+FFFD.
#pragma once

#include <string>

namespace ocilite {

std::u16string Utf8ToUtf16(const std::string& utf8);
std::string Utf16ToUtf8(const std::u16string& utf16);

}  // namespace ocilite
