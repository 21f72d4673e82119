// CodePages.h
//
// The Windows code pages oci-lite's character sets are carried by (437, 850, 852, 866, 874,
// 1250 to 1258, 28591, 28592, 28605, 932, 936, 949, 950), converted as Windows converts them,
// on every system alike: from tables of what Windows' own conversions give for each byte, byte
// pair and UTF-16 unit (CodePageData.inc, made by tools/pack-code-pages.py). Reading is
// MultiByteToWideChar's without flags: a lead byte takes the next byte as its trail unless that
// is the last byte's end or a zero, and a pair the code page lacks reads as its default
// character. Writing is WideCharToMultiByte's with WC_NO_BEST_FIT_CHARS: a unit the code page
// lacks (each half of a surrogate pair too) becomes the replacement given.
#pragma once

#include <string>

namespace ocilite {

class CodePages {
public:
    // Whether the code page has tables here.
    static bool Has(unsigned codePage);
    // The text's bytes in the code page as UTF-16 (empty for a code page without tables).
    static std::u16string Decode(unsigned codePage, const std::string& text);
    // UTF-16 in the code page; replacement (zero-terminated) for each unit it lacks.
    static std::string Encode(unsigned codePage, const std::u16string& text,
                              const char* replacement);
};

}  // namespace ocilite
