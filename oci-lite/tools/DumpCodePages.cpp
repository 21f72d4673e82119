// Writes what Windows' own conversions make of every byte, byte pair and UTF-16 unit in the code
// pages oci-lite's character sets are carried by, one line each, for pack-code-pages.py:
//   <code page> L <lead byte>                      (a lead byte of a double-byte code page)
//   <code page> D <byte or pair in hex> <units>    (MultiByteToWideChar, no flags)
//   <code page> E <unit> <bytes>                   (WideCharToMultiByte, WC_NO_BEST_FIT_CHARS;
//                                                   no bytes: the code page lacks the unit)
// Build with MinGW-w64 and run under Windows or Wine:
//   x86_64-w64-mingw32-g++ -O1 -static -o dump.exe DumpCodePages.cpp && wine dump.exe out.txt
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: DumpCodePages <output file>\n");
        return 2;
    }
    const unsigned pages[] = {437,  850,  852,  866,   874,   1250,  1251, 1252, 1253, 1254, 1255,
                              1256, 1257, 1258, 28591, 28592, 28605, 932,  936,  949,  950};
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 1;
    for (unsigned cp : pages) {
        auto decode = [&](const char* bytes, int length, const char* label) {
            wchar_t wide[8];
            const int count = MultiByteToWideChar(cp, 0, bytes, length, wide, 8);
            std::fprintf(out, "%u D %s", cp, label);
            for (int i = 0; i < count; ++i)
                std::fprintf(out, " %04X", static_cast<unsigned>(wide[i]));
            std::fprintf(out, "\n");
        };
        for (int lead = 0; lead < 256; ++lead) {
            if (IsDBCSLeadByteEx(cp, static_cast<BYTE>(lead)))
                std::fprintf(out, "%u L %02X\n", cp, lead);
        }
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            char label[8];
            std::snprintf(label, sizeof label, "%02X", b);
            decode(&byte, 1, label);
            if (!IsDBCSLeadByteEx(cp, static_cast<BYTE>(b)))
                continue;
            for (int trail = 0; trail < 256; ++trail) {
                const char pair[2] = {byte, static_cast<char>(trail)};
                std::snprintf(label, sizeof label, "%02X%02X", b, trail);
                decode(pair, 2, label);
            }
        }
        for (unsigned unit = 0; unit < 0x10000; ++unit) {
            const wchar_t wide = static_cast<wchar_t>(unit);
            char bytes[8];
            BOOL usedDefault = FALSE;
            const int count = WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes,
                                                  sizeof bytes, nullptr, &usedDefault);
            std::fprintf(out, "%u E %04X", cp, unit);
            for (int i = 0; !usedDefault && i < count; ++i)
                std::fprintf(out, " %02X", static_cast<unsigned char>(bytes[i]));
            std::fprintf(out, "\n");
        }
    }
    std::fclose(out);
    return 0;
}
