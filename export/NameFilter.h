// NameFilter.h
//
// NameFilter: which object names the --include and --exclude patterns select, as the server's
// LIKE ... ESCAPE '\' decides it ("%" any run of characters, "_" one character, "\" makes the
// next character plain; case as stored). The export leaves this to the server; a folder export
// asks it about the objects of files the manifest names, which the listing cannot tell.
// Names and patterns are UTF-8; a character is a whole UTF-8 sequence.
#pragma once

#include <vector>

#include "framework/String.h"

class NameFilter {
public:
    NameFilter() = default;
    NameFilter(std::vector<CString> includes, std::vector<CString> excludes)
        : m_includes(std::move(includes)), m_excludes(std::move(excludes))
    {}

    bool IsEmpty() const { return m_includes.empty() && m_excludes.empty(); }
    // Matches any include (every name when there is none) and no exclude.
    bool Selects(const CString& strName) const;

    // Oracle's LIKE with "\" as the escape character. A pattern ending in a lone "\" matches
    // nothing (Oracle refuses it with ORA-01424).
    static bool Like(const CString& strName, const CString& strPattern);

private:
    std::vector<CString> m_includes;
    std::vector<CString> m_excludes;
};
