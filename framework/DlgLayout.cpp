// CDlgLayout: anchoring of the controls of a resizable dialog.
#include "framework/DlgLayout.h"

#include <algorithm>

#include "framework/Wnd.h"

void CDlgLayout::Attach(CWnd* pDialog)
{
    Attach(pDialog ? pDialog->GetSafeHwnd() : nullptr);
}

// The starting window rectangle, and where the client area lies inside it, measured rather
// than assumed.
void CDlgLayout::Attach(HWND hDialog)
{
    m_hDialog = hDialog;
    m_rcDialog = RECT{};
    m_frame = Frame{};
    if (!hDialog || !::IsWindow(hDialog)) {
        m_nDialogWidth = m_nDialogHeight = 0;
        return;
    }
    ::GetWindowRect(hDialog, &m_rcDialog);
    m_nDialogWidth = m_rcDialog.right - m_rcDialog.left;
    m_nDialogHeight = m_rcDialog.bottom - m_rcDialog.top;

    RECT rcClient{};
    ::GetClientRect(hDialog, &rcClient);
    POINT ptOrigin{0, 0};
    ::ClientToScreen(hDialog, &ptOrigin);
    m_frame.left = ptOrigin.x - m_rcDialog.left;
    m_frame.top = ptOrigin.y - m_rcDialog.top;
    m_frame.right = m_rcDialog.right - (ptOrigin.x + rcClient.right);
    m_frame.bottom = m_rcDialog.bottom - (ptOrigin.y + rcClient.bottom);
}

void CDlgLayout::AddControl(HWND hControl, int moveX, int moveY, int stretchX, int stretchY)
{
    Entry entry;
    entry.hWnd = hControl;
    if (hControl)
        ::GetWindowRect(hControl, &entry.rect);
    entry.moveX = moveX;
    entry.moveY = moveY;
    entry.stretchX = stretchX;
    entry.stretchY = stretchY;
    m_entries.push_back(entry);
}

// The dialog may shrink by the margin below its starting client size; below that the controls
// stay where they were at the margin.
void CDlgLayout::ApplyFloor(int& cx, int& cy) const
{
    const int nStartCx = m_nDialogWidth - m_frame.left - m_frame.right;
    const int nStartCy = m_nDialogHeight - m_frame.top - m_frame.bottom;
    cx = std::max(cx, nStartCx - kShrinkMargin);
    cy = std::max(cy, nStartCy - kShrinkMargin);
}

// The control's new rectangle in the dialog's client coordinates. Distances to the right and
// bottom edges are measured from the client area's edges at the starting size, so they are
// kept exactly.
RECT CDlgLayout::Place(const Entry& entry, const RECT& rcDialog, const Frame& frame, int cx, int cy)
{
    const RECT& c = entry.rect;
    const int nStartCx = (rcDialog.right - rcDialog.left) - frame.left - frame.right;
    int x, y;
    int width = c.right - c.left;
    int height = c.bottom - c.top;

    if (entry.moveX) {
        x = c.left + cx - rcDialog.right + frame.right;
    } else {
        x = c.left - rcDialog.left - frame.left;
        if (entry.stretchX)
            width += cx - nStartCx;
    }

    if (entry.moveY) {
        y = c.top + cy - rcDialog.bottom + frame.bottom;
    } else {
        y = c.top - rcDialog.top - frame.top;
        if (entry.stretchY)
            height = c.bottom + cy - rcDialog.bottom + frame.bottom - y;
    }
    return RECT{x, y, x + width, y + height};
}

int CDlgLayout::Resize(int cx, int cy)
{
    if (m_entries.empty())
        return 0;
    ApplyFloor(cx, cy);
    for (const Entry& entry : m_entries) {
        if (!entry.hWnd || !::IsWindow(entry.hWnd))
            continue;
        const RECT rc = Place(entry, m_rcDialog, m_frame, cx, cy);
        ::MoveWindow(entry.hWnd, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    }
    return int(m_entries.size());
}
