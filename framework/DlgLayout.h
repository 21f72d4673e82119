// CDlgLayout: keeps the controls of a resizable dialog anchored. Each control is
// registered once with four flags (follow the right edge, follow the bottom edge,
// stretch with the width, stretch with the height); on every WM_SIZE the dialog hands
// the new client size to Resize, which places each control from the rectangle it had
// when it was registered.
//
// The rectangles are recorded in screen coordinates. To turn them into client
// coordinates the helper measures the dialog's real frame when it is attached (where
// the client area sits inside the window rectangle), so that at the starting size
// every control stays exactly where the template put it, whatever the border and
// caption sizes of the system are.
#pragma once

#include <windows.h>
#include <vector>

class CWnd;

class CDlgLayout {
public:
    // The thickness of the dialog's frame on each side, in pixels: the distance from
    // the window rectangle to the client rectangle.
    struct Frame {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    // One registered control and how it follows the dialog's edges.
    struct Entry {
        HWND hWnd = nullptr;
        RECT rect{};  // window rectangle at registration, screen coordinates
        int moveX = 0;
        int moveY = 0;
        int stretchX = 0;  // used only when moveX is 0
        int stretchY = 0;  // used only when moveY is 0
    };

    // How far below its starting size the dialog may shrink before the controls stop
    // following.
    static constexpr int kShrinkMargin = 70;

    CDlgLayout() = default;
    CDlgLayout(const CDlgLayout&) = delete;
    CDlgLayout& operator=(const CDlgLayout&) = delete;

    // Before any AddControl, while the dialog still has its starting size: records the dialog's
    // window rectangle and measures its frame.
    void Attach(CWnd* pDialog);
    void Attach(HWND hDialog);
    // Records the control's rectangle at the starting size, and its flags.
    void AddControl(HWND hControl, int moveX, int moveY, int stretchX, int stretchY);
    // cx, cy: the new client size, as WM_SIZE gives it. Places every registered control and
    // returns the number of entries.
    int Resize(int cx, int cy);

    // The place of one entry for a client area of cx by cy (after the shrink floor),
    // in the dialog's client coordinates; what Resize hands to MoveWindow.
    static RECT Place(const Entry& entry, const RECT& rcDialog, const Frame& frame, int cx, int cy);
    // The client size below which Resize stops following (starting client size minus
    // the shrink margin); cx and cy are raised to it.
    void ApplyFloor(int& cx, int& cy) const;

    int GetCount() const { return int(m_entries.size()); }
    const RECT& GetDialogRect() const { return m_rcDialog; }
    const Frame& GetFrame() const { return m_frame; }
    int GetDialogWidth() const { return m_nDialogWidth; }
    int GetDialogHeight() const { return m_nDialogHeight; }

private:
    std::vector<Entry> m_entries;
    HWND m_hDialog = nullptr;
    RECT m_rcDialog{};
    int m_nDialogWidth = 0;
    int m_nDialogHeight = 0;
    Frame m_frame;
};
