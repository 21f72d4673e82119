// The code pages oci-lite converts with its own tables, on every system: a few characters each
// page is known for, and, where the system has its own conversions (Windows), every byte, byte
// pair and UTF-16 unit read and written as the system does.
#include <gtest/gtest.h>

#include <string>

#include "oci-lite/CodePages.h"
#include "support/TestSystem.h"

namespace {

using ocilite::CodePages;

const unsigned kCodePages[] = {437,  850,  852,  866,   874,   1250,  1251, 1252, 1253, 1254, 1255,
                               1256, 1257, 1258, 28591, 28592, 28605, 932,  936,  949,  950};

struct KnownCharacter {
    unsigned codePage;
    const char* bytes;
    char16_t unit;
};

const KnownCharacter kKnown[] = {
    {1252, "\x80", 0x20AC},     // the euro sign
    {1252, "\x81", 0x0081},     // a byte 1252 leaves undefined reads as the control
    {28591, "\x80", 0x0080},    // ISO 8859-1 has no euro sign
    {28605, "\xA4", 0x20AC},    // ISO 8859-15 has it where 8859-1 has the currency sign
    {850, "\xD5", 0x0131},      // the dotless i (858 puts the euro sign there)
    {866, "\x80", 0x0410},      // Cyrillic A
    {932, "\x81\x60", 0xFF5E},  // FULLWIDTH TILDE, not WAVE DASH
    {932, "\x5C", 0x005C},      // the backslash, not the yen sign
    {932, "\xB1", 0xFF71},      // half-width katakana in one byte
    {936, "\x80", 0x20AC},      // GBK's one-byte euro sign
    {949, "\xB0\xA1", 0xAC00},  // the first Hangul syllable
    {950, "\xA4\x40", 0x4E00},  // the first Big5 ideograph
};

TEST(OciLiteCodePages, KnownCharactersReadAndWriteBack)
{
    for (const KnownCharacter& known : kKnown) {
        SCOPED_TRACE(known.codePage);
        EXPECT_EQ(std::u16string(1, known.unit), CodePages::Decode(known.codePage, known.bytes));
        EXPECT_EQ(known.bytes,
                  CodePages::Encode(known.codePage, std::u16string(1, known.unit), "?"));
    }
}

TEST(OciLiteCodePages, WritingHasNoBestFitsAndReadingNoSurprises)
{
    // A macron letter 1252 lacks is replaced, not written as its base letter.
    EXPECT_EQ("?", CodePages::Encode(1252, u"\u0100", "?"));
    // A surrogate pair is two units the code page lacks.
    EXPECT_EQ("\x81\x48\x81\x48", CodePages::Encode(932, u"\U0001F600", "\x81\x48"));
    // A lead byte at the end, or before a zero, reads alone.
    EXPECT_EQ(u"\u30FB", CodePages::Decode(932, "\x81"));
    EXPECT_EQ(std::u16string(u"\u30FB") + u'\0', CodePages::Decode(932, std::string("\x81\0", 2)));
    EXPECT_FALSE(CodePages::Has(65001));
}

TEST(OciLiteCodePages, EveryCharacterAsTheSystemConvertsIt)
{
    std::u16string probe;
    if (!testsys::SystemDecode(1252, "a", &probe))
        GTEST_SKIP() << "this system has no code page conversions of its own";
    for (unsigned codePage : kCodePages) {
        SCOPED_TRACE(codePage);
        int mismatches = 0;
        for (unsigned lead = 0; lead < 256 && mismatches < 5; ++lead) {
            const std::string single(1, static_cast<char>(lead));
            std::u16string expected;
            testsys::SystemDecode(codePage, single, &expected);
            if (CodePages::Decode(codePage, single) != expected) {
                ADD_FAILURE() << "byte " << lead;
                ++mismatches;
            }
            for (unsigned trail = 0; lead >= 0x81 && trail < 256 && mismatches < 5; ++trail) {
                const std::string pair = single + static_cast<char>(trail);
                testsys::SystemDecode(codePage, pair, &expected);
                if (CodePages::Decode(codePage, pair) != expected) {
                    ADD_FAILURE() << "bytes " << lead << " " << trail;
                    ++mismatches;
                }
            }
        }
        for (unsigned unit = 0; unit < 0x10000 && mismatches < 5; ++unit) {
            std::string expected;
            bool mapped = false;
            testsys::SystemEncode(codePage, static_cast<char16_t>(unit), &expected, &mapped);
            const std::string written =
                CodePages::Encode(codePage, std::u16string(1, static_cast<char16_t>(unit)), "");
            if (written != expected || (!mapped && !written.empty())) {
                ADD_FAILURE() << "unit " << unit;
                ++mismatches;
            }
        }
    }
}

}  // namespace
