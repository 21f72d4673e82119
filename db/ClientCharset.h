// ClientCharset.h
//
// The character set the Oracle client of this machine uses (what its NLS_LANG names: the
// environment variable, or the registry where the client reads it), and the Windows code page
// that holds the same characters, for files that its SQL*Plus is to read.
//   CodePageOfCharset - the code page of an Oracle character set name; 0 for a set without
//                       one here. US7ASCII, the client's default when NLS_LANG is set nowhere,
//                       gives UTF-8: the same bytes for ASCII text, and nothing lost otherwise.
#pragma once

#include <windows.h>

#include "framework/String.h"

UINT CodePageOfCharset(const char* pszCharset);

struct ClientCharset {
    // As the client names it ("WE8MSWIN1252"); empty when the client could not say.
    CString strName;
    // The code page for files (CP_UTF8 for the Unicode sets and US7ASCII); 0: none known, so
    // the session uses the client's own set and text passes through unchanged.
    UINT nCodePage = 0;
};
