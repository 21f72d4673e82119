// LogList.h
//
// CLogList: the main dialog's log list (a list box it attaches), fed a batch at a time. A
// batch goes in with drawing off, room reserved for it, every line at the end in order, one
// scroll to the newest line, and one repaint. The list keeps at most kMaxLines lines of the
// job; when it has to drop older ones its first line says how many were dropped.
#pragma once

#include <string>

#include "app/ReportQueue.h"
#include "framework/Controls.h"

class CLogList {
public:
    // The newest lines the list keeps.
    static constexpr int kMaxLines = 100000;
    // When the list is full it is rebuilt with this many of its newest lines. Rebuilding
    // reinserts the lines it keeps in one handler, so they are few enough for the dialog to
    // stay responsive, and it happens once per kMaxLines - kLinesAfterTrim lines.
    static constexpr int kLinesAfterTrim = 20000;

    explicit CLogList(CListBox& list) : m_list(list) {}
    CLogList(const CLogList&) = delete;
    CLogList& operator=(const CLogList&) = delete;

    // Start: the list is emptied.
    void Reset();
    // Appends the batch's lines; returns the list's line count.
    int Append(const ReportBatch& batch);
    // Appends one line of the dialog's own (the line after Stop).
    int AppendLine(const char* pszLine);
    // Lines dropped since Start.
    long long DroppedLines() const { return m_nDropped; }
    // "[N earlier lines dropped]"
    static std::string DroppedText(long long nDropped);

private:
    // The newest nKeep lines of the list, the header and then the batch from line nFirst.
    void Rebuild(int nKeep, const ReportBatch& batch, int nFirst);
    void InsertFrom(const ReportBatch& batch, int nFirst);
    int LinesHeld() const;

    CListBox& m_list;
    long long m_nDropped = 0;
};
