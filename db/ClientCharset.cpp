// ClientCharset.cpp: Oracle's character set names and the Windows code pages they match.
#include "db/ClientCharset.h"

#include <cstring>

namespace {

struct CharsetCodePage {
    const char* pszName;
    UINT nCodePage;
};

const CharsetCodePage kCharsets[] = {
    {"AL32UTF8", CP_UTF8},   {"UTF8", CP_UTF8},       {"US7ASCII", CP_UTF8},
    {"WE8MSWIN1252", 1252},  {"EE8MSWIN1250", 1250},  {"CL8MSWIN1251", 1251},
    {"EL8MSWIN1253", 1253},  {"TR8MSWIN1254", 1254},  {"IW8MSWIN1255", 1255},
    {"AR8MSWIN1256", 1256},  {"BLT8MSWIN1257", 1257}, {"VN8MSWIN1258", 1258},
    {"TH8TISASCII", 874},    {"JA16SJIS", 932},       {"JA16SJISTILDE", 932},
    {"ZHS16GBK", 936},       {"KO16MSWIN949", 949},   {"ZHT16MSWIN950", 950},
    {"WE8ISO8859P1", 28591}, {"EE8ISO8859P2", 28592}, {"WE8ISO8859P15", 28605},
};

}  // namespace

UINT CodePageOfCharset(const char* pszCharset)
{
    for (const CharsetCodePage& charset : kCharsets) {
        if (std::strcmp(charset.pszName, pszCharset) == 0)
            return charset.nCodePage;
    }
    return 0;
}
