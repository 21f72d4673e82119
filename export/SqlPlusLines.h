// SqlPlusLines.h
//
// What SQL*Plus needs to run a file of blocks exactly as stored, decided once for a job:
//   SqlPlusNeeds     - what the job's lines hold that SQL*Plus would read as its own: "&" (a
//                      substitution variable), a line that is "." alone (the end of a unit's
//                      entry), a line whose first non-blank character is "#" (a SQL*Plus
//                      command while a unit is entered), and which other characters begin
//                      lines. Made per block (or per file, or from the job's grouped query) and
//                      merged.
//   SettingsFor      - the SET lines a file's top needs, in their order: SET DEFINE OFF,
//                      SET BLOCKTERMINATOR OFF, SET SQLPREFIX <c> with the first of ~ ^ = + |
//                      that begins no line, SET SQLBLANKLINES ON, SET SQLTERMINATOR OFF (the
//                      last two for a view: SQL*Plus ends a SQL statement, not a PL/SQL unit,
//                      at a blank line and at a line ending in ";").
//   LoneSlashLines   - the lines of a block that are "/" alone but not its last line: SQL*Plus
//                      runs the unit there, and no setting prevents it.
#pragma once

#include <vector>

#include "framework/String.h"

struct SqlPlusNeeds {
    bool bAmpersand = false;
    bool bDotLine = false;
    bool bHashLine = false;
    // Rules for a SQL statement (a view), not a PL/SQL unit: a blank line with statement text
    // after it, and a line that ends in ";".
    bool bBlankLine = false;
    bool bTerminatorLine = false;
    // Bit i: some line begins with kPrefixCandidates[i].
    unsigned nTakenPrefixes = 0;

    static constexpr char kPrefixCandidates[] = "~^=+|";

    // One line (with or without its line end), or a text of many lines.
    void AddLine(const char* pLine, int nLength);
    // bSqlStatement: the text is a SQL statement's block (a view's), ending in its "/" line.
    void AddText(const char* pText, int nLength, bool bSqlStatement = false);
    void Merge(const SqlPlusNeeds& other);
    // Whether any line begins with kPrefixCandidates[nIndex].
    bool PrefixTaken(int nIndex) const { return (nTakenPrefixes & (1u << nIndex)) != 0; }
};

struct SqlPlusSettings {
    // "SET DEFINE OFF\n" and the others, in order.
    CString strLines;
    // Lines begin with "#" and with every candidate prefix: no SQLPREFIX could be set.
    bool bNoPrefixLeft = false;
};

// bDefineOffAlways: the line "SET DEFINE OFF" whatever the lines hold (install.sql's rule).
SqlPlusSettings SettingsFor(const SqlPlusNeeds& needs, bool bDefineOffAlways = false);

// The text of the warning for a job whose "#" lines no SQLPREFIX could guard.
CString NoPrefixLeftText();
// "<NAME> (<TYPE>) line <N> holds only '/': SQL*Plus ends the unit there, so the file does not
// recreate it as stored"
CString LoneSlashText(const CString& strName, const CString& strType, int nLine);

// Tracks one block's lines as they come, in order (line 1 first).
class LoneSlashLines {
public:
    void AddLine(const char* pLine, int nLength);
    // The lines that are "/" alone, the last non-blank line of the block excepted.
    std::vector<int> Lines() const;

private:
    std::vector<int> m_slashLines;
    int m_nLine = 0;
    int m_nLastNonBlank = 0;
};
