// ClientCharset.h
//
// ClientCharset: the client character set of one environment, as the real client takes it
// from NLS_LANG when the environment is created (e.g. "AMERICAN_AMERICA.WE8MSWIN1252"). The
// database keeps its text in UTF-8. Without NLS_LANG (or with AL32UTF8) the client set is
// UTF-8 and the stored bytes travel unchanged; with another set, SQL texts, binds and logon
// names are converted on the way in and fetched text on the way out, and characters the client
// set lacks arrive as "?", as Oracle's replacement character does.
#pragma once

#include <string>

namespace ocilite {

class ClientCharset {
 public:
  // The set named by NLS_LANG now; UTF-8 when it is unset or names a set not known here.
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
