// ClientCharset.h
//
// ClientCharset: the client character set of one environment, as the real client takes it
// from NLS_LANG when the environment is created ("AMERICAN_AMERICA.WE8MSWIN1252"; without
// NLS_LANG, the system's ANSI code page). The database keeps its text in UTF-8; the program
// sends and receives 8-bit text in the client set, so SQL texts, binds and logon names are
// converted on the way in and fetched text on the way out. Characters the client set lacks
// arrive as "?", as Oracle's replacement character does. With a UTF-8 client set nothing is
// converted.
#pragma once

#include <string>

namespace ocilite {

class ClientCharset {
 public:
  // The set named by NLS_LANG now, or the ANSI code page.
  static ClientCharset FromEnvironment();
  static ClientCharset Utf8();

  std::string ToDatabase(const std::string& clientText) const;
  std::string ToClient(const std::string& databaseText) const;
  unsigned CodePage() const { return m_codePage; }

 private:
  explicit ClientCharset(unsigned codePage) : m_codePage(codePage) {}
  unsigned m_codePage;
};

}  // namespace ocilite
