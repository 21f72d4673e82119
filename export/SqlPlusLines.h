// SqlPlusLines.h
//
// What SQL*Plus needs to run a file of blocks exactly as stored:
//   SqlPlusNeeds     - what lines hold that SQL*Plus would read as its own: "&" (a
//                      substitution variable), a line that is "." alone (the end of a unit's
//                      entry), in a view (a SQL statement, not a PL/SQL unit) a blank line and
//                      a line ending in ";" (each ends the statement), and which characters begin
//                      lines (first non-blank), among them
//                      "#" (SQL*Plus's own prefix: such a line is run as a command while a unit
//                      is entered) and the characters SQLPREFIX could take instead. Made per
//                      line, per block, per file or from the job's grouped query, and merged.
//   SqlPlusSettings  - the SET lines a file's top holds (SettingsFor), and whether a line is
//                      guarded by them (Unguarded): the file's top is decided before the source
//                      is read, so every line read is held against it.
//   BlockLines       - the lines of one block SQL*Plus will not run as stored whatever the
//                      SET lines say: "/" alone before the block's end, a line beginning with
//                      "@" (SQL*Plus puts the script it names in its place), a line longer than
//                      SQL*Plus reads.
//
// The SET lines come from a table of rules (kSetLineRules in SqlPlusLines.cpp): a rule is a
// need of SqlPlusNeeds and the SET line that guards it. A new rule is a bool of SqlPlusNeeds
// (found in AddLine, kept in Merge, counted by the line counts query of SourceQueries) and a row
// of that table; the file's top and the check of every line read follow from it. The prefix is
// the one rule with a choice: SET SQLPREFIX takes the first of kPrefixCandidates that begins no
// line.
#pragma once

#include <vector>

#include "framework/String.h"

struct SqlPlusNeeds {
    bool bAmpersand = false;
    bool bDotLine = false;
    bool bHashLine = false;
    // Rules for a SQL statement (a view), not a PL/SQL unit, found by AddText only: a blank line
    // with more of the statement after it, and a line ending in ";".
    bool bBlankLine = false;
    bool bTerminatorLine = false;
    // Bit i: some line begins with kPrefixCandidates[i].
    unsigned nTakenPrefixes = 0;
    // Where the first line beginning with "#" is ("EMP_API (PACKAGE) line 3"), when known.
    CString strFirstHashLine;

    // Every printable ASCII character SQLPREFIX accepts (it must not be alphanumeric) that
    // means nothing else to SQL*Plus, in the order they are tried. Left out: letters, digits,
    // blanks, "&" (substitution), "." (block terminator, also CONCAT), "/" (runs the buffer),
    // ";" (SQL terminator, command separator), "-" (continues a command; "--" a comment), "@"
    // (runs a script), "#" (the default prefix), "'" and '"' (quotes), "!" and "$" (HOST on
    // Unix and Windows), "\" (the ESCAPE character), ":" (bind variables), "?" (the Oracle home
    // in file names) and "_" (part of names).
    static constexpr char kPrefixCandidates[] = "~^=+|`{}[]<>,%*()";
    static constexpr int kPrefixCandidateCount = int(sizeof(kPrefixCandidates)) - 1;

    // One line (with or without its line end), or a text of many lines. bSqlStatement: the text
    // is a SQL statement's block (a view's), whose blank lines and ";" line ends count too.
    void AddLine(const char* pLine, int nLength);
    void AddText(const char* pText, int nLength, bool bSqlStatement = false);
    void Merge(const SqlPlusNeeds& other);
    // Whether any line begins with kPrefixCandidates[nIndex].
    bool PrefixTaken(int nIndex) const { return (nTakenPrefixes & (1u << nIndex)) != 0; }
    // Whether any line begins with ch.
    bool Begins(char ch) const;
};

// One SET line and the need it guards. More rules go into kSetLineRules (SqlPlusLines.cpp).
struct SetLineRule {
    const char* pszSetLine;
    bool SqlPlusNeeds::*pNeed;
    // What a line that needs it holds, for messages ("holds '&'").
    const char* pszWhat;
};

struct SqlPlusSettings {
    // "SET DEFINE OFF\n" and the others, in order.
    CString strLines;
    // Lines begin with "#" and with every candidate prefix: no SQLPREFIX could be set.
    bool bNoPrefixLeft = false;
    // Bit i: the rule kSetLineRules[i] is set.
    unsigned nRulesSet = 0;
    // The prefix SQL*Plus runs the file with: "#" unless SQLPREFIX is set.
    char chPrefix = '#';

    // What a line (or text) holds that these settings leave to SQL*Plus ("holds '&'", "begins
    // with '#'"); empty when they guard all of it.
    CString Unguarded(const SqlPlusNeeds& lineNeeds) const;
};

// bDefineOffAlways: the line "SET DEFINE OFF" whatever the lines hold (install.sql's rule).
SqlPlusSettings SettingsFor(const SqlPlusNeeds& needs, bool bDefineOffAlways = false);

// A run refused because no prefix is left: "<NAME> (<TYPE>) line <N> begins with '#', and every
// character SQLPREFIX can take also begins a line of the source: SQL*Plus would run that line
// as its own command, so nothing was written"
CString NoPrefixLeftText(const CString& strFirstHashLine);
// "<NAME> (<TYPE>) line <N>"
CString LineOf(const CString& strName, const CString& strType, int nLine);
// The first line of a text (1 for the first) whose first non-blank character is ch; 0: none.
int FirstLineBeginning(const char* pText, int nLength, char ch);
// "<NAME> (<TYPE>) line <N> holds only '/': SQL*Plus ends the unit there, so the file does not
// recreate it as stored"
CString LoneSlashText(const CString& strName, const CString& strType, int nLine);
// "<NAME> (<TYPE>) line <N> begins with '@': SQL*Plus runs the script it names in place of that
// line, so the file does not recreate the unit as stored"
CString ScriptLineText(const CString& strName, const CString& strType, int nLine);
// "<NAME> (<TYPE>) line <N> is <L> characters long: SQL*Plus up to release 12.1 reads at most
// 2,499 characters of a line (later releases 4,999)"
CString LongLineText(const CString& strName, const CString& strType, int nLine, int nLength);

// Tracks one block's lines as they come, in order (line 1 first), as the file holds them (the
// first line with the "CREATE OR REPLACE " in front of it).
class BlockLines {
public:
    // The most characters SQL*Plus reads of a line up to release 12.1.
    static constexpr int kMaxLineCharacters = 2499;

    void AddLine(const char* pLine, int nLength);
    // The warnings about the block's lines, in line order: "/" alone (the last non-blank line
    // excepted), "@" first, too long.
    std::vector<CString> Warnings(const CString& strName, const CString& strType) const;

private:
    enum class Hazard { LoneSlash, ScriptLine, LongLine };
    struct Found {
        int nLine;
        Hazard hazard;
        int nLength;
    };
    std::vector<Found> m_found;
    int m_nLine = 0;
    int m_nLastNonBlank = 0;
};
