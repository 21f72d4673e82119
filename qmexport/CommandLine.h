// CommandLine.h
//
// CommandLine: the console exporter's arguments, parsed from the wide argument list
// (CommandLineToArgvW without the program's own name) into one value, with the usage text
// and the reason a command line was refused.
//
//   qmexport --user NAME --database CONNECT [--sysdba] (--file PATH | --dir FOLDER)
//            [--check] [--kinds LIST] [--owner NAME] [--object NAME]...
//            [--include PATTERN]... [--exclude PATTERN]... [--encoding utf-8|client]
//            [--ascii-names] [--quiet]
//   qmexport --help
//   qmexport --version
//
// Each option with a value takes it as the next argument or after "=" ("--user=SCOTT").
// User, owner, database and object names become UTF-8, the session's character set, whatever
// the system's code page; paths stay wide. The user and owner names are upper-cased, as the window's field does and as Oracle
// takes a name that is not quoted; object names stay exactly as given (they are compared with
// the stored names), as do the name patterns. Kinds are Oracle's type names (ObjectKinds), in
// any case, or "all". The password is never an argument; a user of "/" logs on through the
// client's password store and has none.
#pragma once

#include <string>
#include <vector>

#include "framework/String.h"

struct CommandLine {
    bool bHelp = false;
    bool bVersion = false;
    CString strUser;
    CString strDatabase;
    bool bSysdba = false;
    std::wstring strFile;
    std::wstring strFolder;
    std::vector<CString> objectNames;
    // Each kind once, in ObjectKinds' order; empty when --kinds was not given (the window's four).
    std::vector<CString> kinds;
    // Empty: the logged-on user's own objects.
    CString strOwner;
    bool bQuiet = false;
    // Compare what the export would write with what is there; write nothing.
    bool bCheck = false;
    // Oracle LIKE patterns ("\" escapes "%", "_" or "\"), as given.
    std::vector<CString> includePatterns;
    std::vector<CString> excludePatterns;
    // --encoding utf-8: every file in UTF-8; otherwise the client's character set.
    bool bUtf8Files = false;
    // --ascii-names: file names escape every character beyond ASCII (the same names whatever
    // a system's code page).
    bool bAsciiNames = false;
    // The user is "/": an external logon, with no password to read.
    bool IsExternalLogon() const { return strUser == "/"; }

    // Parses the arguments; false with the reason in strError (one line, no usage text).
    static bool Parse(const std::vector<std::wstring>& args, CommandLine& line,
                      std::string& strError);
    static const char* UsageText();
};
