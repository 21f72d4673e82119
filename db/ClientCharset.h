// ClientCharset.h
//
// The character set the Oracle client of this machine uses (what its NLS_LANG names: the
// environment variable, or the registry where the client reads it): the set its SQL*Plus reads
// files in. The client itself converts text into it (DBConnect::ConvertToClient).
#pragma once

#include "db/OciDefs.h"
#include "framework/String.h"

struct ClientCharset {
    static constexpr ub2 kUs7AsciiId = 1;

    // As the client names it ("WE8MSWIN1252"); empty when the client could not say.
    CString strName;
    // Its id (NLS_CHARSET_ID); 0 when the client could not say.
    ub2 nId = 0;

    bool IsUnicode() const { return nId == OCI_CHARSET_AL32UTF8 || nId == OCI_CHARSET_UTF8; }
    bool IsUs7Ascii() const { return nId == kUs7AsciiId; }
};
