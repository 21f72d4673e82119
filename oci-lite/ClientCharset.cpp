#include "oci-lite/ClientCharset.h"

#include <windows.h>

#include <cctype>

namespace ocilite {

namespace {

struct CharsetEntry {
  const char* oracleName;
  unsigned codePage;
};

// Oracle character set names of common Windows clients and their code pages.
const CharsetEntry kCharsets[] = {
    {"AL32UTF8", CP_UTF8},    {"UTF8", CP_UTF8},       {"WE8MSWIN1252", 1252},
    {"EE8MSWIN1250", 1250},   {"CL8MSWIN1251", 1251},  {"EL8MSWIN1253", 1253},
    {"TR8MSWIN1254", 1254},   {"IW8MSWIN1255", 1255},  {"AR8MSWIN1256", 1256},
    {"BLT8MSWIN1257", 1257},  {"VN8MSWIN1258", 1258},  {"WE8ISO8859P1", 28591},
    {"WE8ISO8859P15", 28605}, {"EE8ISO8859P2", 28592}, {"CL8ISO8859P5", 28595},
    {"US7ASCII", 20127},      {"WE8PC850", 850},       {"US8PC437", 437},
    {"JA16SJIS", 932},        {"ZHS16GBK", 936},       {"KO16MSWIN949", 949},
    {"ZHT16MSWIN950", 950},   {"TH8TISASCII", 874},
};

// Re-encodes text from one code page to another through UTF-16; unknown characters become '?'.
std::string Convert(const std::string& text, unsigned from, unsigned to) {
  if (text.empty() || from == to) return text;
  int wideLength =
      MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wideLength <= 0) return text;
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &wide[0], wideLength);
  BOOL unused = FALSE;
  bool toUtf8 = to == CP_UTF8;
  int length = WideCharToMultiByte(to, toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                   nullptr, 0, toUtf8 ? nullptr : "?", toUtf8 ? nullptr : &unused);
  if (length <= 0) return text;
  std::string converted(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(to, toUtf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, &converted[0],
                      length, toUtf8 ? nullptr : "?", toUtf8 ? nullptr : &unused);
  return converted;
}

}  // namespace

// Runs when an environment is created.
ClientCharset ClientCharset::FromEnvironment() {
  char value[128];
  DWORD length = GetEnvironmentVariableA("NLS_LANG", value, sizeof value);
  if (length > 0 && length < sizeof value) {
    std::string name(value, length);
    size_t dot = name.rfind('.');
    name = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const CharsetEntry& entry : kCharsets) {
      if (name == entry.oracleName) return ClientCharset(entry.codePage);
    }
  }
  return ClientCharset(CP_UTF8);
}

// The set of statements made outside any environment.
ClientCharset ClientCharset::Utf8() { return ClientCharset(CP_UTF8); }

// Runs on SQL texts, text binds and credentials before they reach SQLite.
std::string ClientCharset::ToDatabase(const std::string& clientText) const {
  return Convert(clientText, m_codePage, CP_UTF8);
}

// Runs on each fetched text value as it enters the prefetch cache.
std::string ClientCharset::ToClient(const std::string& databaseText) const {
  return Convert(databaseText, CP_UTF8, m_codePage);
}

}  // namespace ocilite
