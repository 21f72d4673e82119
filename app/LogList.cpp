// LogList.cpp
#include "app/LogList.h"

#include <algorithm>
#include <vector>

namespace {

// Draws nothing while it lives; repaints the list once, its frame and scroll bar too, when it
// ends (RedrawWindow with the flags WM_SETREDRAW's documentation names for a control with a
// nonclient area). The list is also given DefWindowProc's handling of WM_SETREDRAW (the
// WS_VISIBLE redraw flag cleared and set again), which a list box's own handler need not give
// it: a list box that still counts as visible redraws its scroll bar for every line inserted.
class NoRedraw {
public:
    explicit NoRedraw(CListBox& list) : m_list(list), m_bShown((list.GetStyle() & WS_VISIBLE) != 0)
    {
        m_list.SetRedraw(FALSE);
        if (m_bShown)
            ::DefWindowProcA(m_list.m_hWnd, WM_SETREDRAW, FALSE, 0);
    }
    ~NoRedraw()
    {
        // Setting the flag shows a hidden window: only a list that was shown gets it back.
        if (m_bShown)
            ::DefWindowProcA(m_list.m_hWnd, WM_SETREDRAW, TRUE, 0);
        m_list.SetRedraw(TRUE);
        m_list.RedrawWindow(nullptr, nullptr,
                            RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    NoRedraw(const NoRedraw&) = delete;
    NoRedraw& operator=(const NoRedraw&) = delete;

private:
    CListBox& m_list;
    const bool m_bShown;
};

}  // namespace

std::string CLogList::DroppedText(long long nDropped)
{
    return "[" + std::to_string(nDropped) + " earlier lines dropped]";
}

void CLogList::Reset()
{
    m_list.ResetContent();
    m_nDropped = 0;
}

// The job's lines in the list, without the header line.
int CLogList::LinesHeld() const
{
    const int nCount = m_list.GetCount();
    return m_nDropped > 0 ? nCount - 1 : nCount;
}

int CLogList::Append(const ReportBatch& batch)
{
    const int nNew = batch.LineCount();
    if (nNew == 0)
        return m_list.GetCount();
    NoRedraw noRedraw(m_list);
    const int nHeld = LinesHeld();
    if (nHeld + nNew <= kMaxLines) {
        m_list.InitStorage(nNew, UINT(batch.text.size()));
        InsertFrom(batch, 0);
    } else {
        const int nFirst = std::max(0, nNew - kMaxLines);
        const int nKeep = std::min(nHeld, std::max(0, kLinesAfterTrim - (nNew - nFirst)));
        m_nDropped += (nHeld - nKeep) + nFirst;
        Rebuild(nKeep, batch, nFirst);
    }
    const int nCount = m_list.GetCount();
    m_list.SetTopIndex(nCount - 1);
    return nCount;
}

int CLogList::AppendLine(const char* pszLine)
{
    ReportBatch batch;
    batch.starts.push_back(0);
    batch.text = pszLine != nullptr ? pszLine : "";
    batch.text.push_back('\0');
    return Append(batch);
}

void CLogList::InsertFrom(const ReportBatch& batch, int nFirst)
{
    for (int i = nFirst; i < batch.LineCount(); ++i)
        m_list.InsertString(-1, batch.Line(i));
}

void CLogList::Rebuild(int nKeep, const ReportBatch& batch, int nFirst)
{
    const int nCount = m_list.GetCount();
    std::vector<CString> kept;
    kept.reserve(size_t(nKeep));
    for (int i = nCount - nKeep; i < nCount; ++i)
        kept.push_back(m_list.GetText(i));
    m_list.ResetContent();
    m_list.InitStorage(1 + nKeep + batch.LineCount() - nFirst,
                       UINT(batch.text.size()) + UINT(nKeep) * 64u);
    m_list.InsertString(-1, DroppedText(m_nDropped).c_str());
    for (const CString& strLine : kept)
        m_list.InsertString(-1, strLine);
    InsertFrom(batch, nFirst);
}
