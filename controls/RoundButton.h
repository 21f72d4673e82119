// Rounded, softly shaded owner-drawn buttons.
//  - CRoundButton: the common base. Takes over the painting of a button (push button,
//    check box or radio button) and draws it off screen in a palette derived from the
//    system colours; the palette is rebuilt when the system colours change.
//  - CRoundCheckBox: a check box that also handles the mouse and the space bar itself,
//    keeps its own check state (0 unchecked, 1 checked, 2 indeterminate) and sends
//    BN_CLICKED to its parent.
//  - CRoundRadioButton: the same for a radio button, plus the group behaviour: a click
//    unchecks the other rounded radio buttons of its dialog group, the arrow keys move
//    the check within the group and tabbing into the group lands on the checked button.
// The dialog binds them with DDX_Control; binding makes the control owner-drawn.
#pragma once

#include <windows.h>
#include "framework/Controls.h"
#include "framework/Gdi.h"

class CRoundButton : public CButton {
public:
    CRoundButton();

    // Sets the check state (0, 1 or 2) of a check box or radio button; no notification.
    void SetCheckState(int nCheckState);
    int GetCheckState() const { return m_nCheckState; }

    // Draws the caption with weight 700.
    void SetBoldText(BOOL bBold) { m_bBoldText = bBold; }
    // Check box mark: 0 tick, 1 cross.
    void SetMarkStyle(int nMarkStyle) { m_nMarkStyle = nMarkStyle; }
    // An icon or bitmap drawn instead of the caption (not owned); nFrame 0 none, 1 raised, 2 sunken.
    void SetIconImage(HICON hIcon, int cx, int cy, int nFrame = 0);
    void SetBitmapImage(HBITMAP hBitmap, int cx, int cy, int nFrame = 0);

    // Kind of button drawn: 0 push button, 1 check box, 2 radio button.
    int GetKind() const { return m_nKind; }
    BOOL IsPressed() const { return m_bPressed; }

    void PreSubclassWindow() override;
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

    // Colour arithmetic of the shading palette, per red, green and blue component.
    static COLORREF BrightenColor(COLORREF clr, int nAmount);
    static COLORREF DimColor(COLORREF clr, int nAmount);
    // from + ((to - from) >> 1) per component (the shift rounds toward minus infinity).
    static COLORREF HalfwayColor(COLORREF clrFrom, COLORREF clrTo);

    // The 12 by 12 rectangle of the mark of a button of kind nKind with style dwStyle
    // whose client rectangle is rcClient.
    static RECT MarkRectFor(const RECT& rcClient, DWORD dwStyle, int nKind);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Reads the palette from the system colours.
    void DeriveColors();
    void RebuildPens();
    // Redraws what a change of the pressed or check state affects.
    void Refresh();
    // Sends BN_CLICKED for hWndControl to this control's parent.
    void NotifyClicked(HWND hWndControl);
    void NotifyClicked() { NotifyClicked(m_hWnd); }
    BOOL PointInClient(LPARAM lParam) const;

    // Pressing, shared by the check box and the radio button: the left button goes down
    // (focus and capture), the mouse moves during a press (pressed only while over the
    // control; false when no press of ours is under way), space goes down.
    LRESULT OnPressStart();
    bool TrackPress(LPARAM lParam);
    LRESULT OnSpaceDown(WPARAM wParam);

    LRESULT OnSysColorChange();
    LRESULT OnLButtonDblClk(WPARAM wParam, LPARAM lParam);

    // Paint steps, drawing into the off-screen context dc.
    void PaintPushFrame(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle);
    void PaintPushLikeFrame(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle);
    void PaintRaisedBevel(CDC& dc, const RECT& rc);
    void PaintSunkenBevel(CDC& dc, const RECT& rc);
    RECT PaintLabel(CDC& dc, const CString& strText, const RECT& rc, UINT nState, DWORD dwStyle);
    RECT PaintImage(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle);
    void PaintCheckMark(CDC& dc, RECT rcMark, UINT nState, DWORD dwStyle);
    void PaintRadioMark(CDC& dc, const RECT& rcMark, UINT nState, DWORD dwStyle);
    void DrawLine(CDC& dc, HPEN hPen, int x1, int y1, int x2, int y2);
    void DrawPolyline(CDC& dc, HPEN hPen, const POINT* pts, int nCount);

    BOOL m_bBoldText = FALSE;
    int m_nMarkStyle = 0;
    int m_nImageFrame = 0;
    int m_nKind = 0;
    int m_cxImage = 0;
    int m_cyImage = 0;
    HICON m_hIconImage = nullptr;
    HBITMAP m_hBitmapImage = nullptr;
    BOOL m_bPressed = FALSE;
    int m_nCheckState = 0;

    CPen m_penHighlight;
    CPen m_penFace;
    CPen m_penLight;
    CPen m_penHalfShadow;
    CPen m_penShadow;
    CPen m_penDarkShadow;
    CPen m_penHalfDarkShadow;

    COLORREF m_clrHighlight = 0;
    COLORREF m_clrLight = 0;
    COLORREF m_clrFace = 0;
    COLORREF m_clrHalfShadow = 0;
    COLORREF m_clrShadow = 0;
    COLORREF m_clrDarkShadow = 0;
    COLORREF m_clrHalfDarkShadow = 0;
};

class CRoundCheckBox : public CRoundButton {
public:
    CRoundCheckBox();

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnLButtonUp(LPARAM lParam);
    LRESULT OnKeyUp(WPARAM wParam);
    void ToggleCheck();
};

class CRoundRadioButton : public CRoundButton {
public:
    CRoundRadioButton();

    // Moves the check within the group on the arrow keys and lets the dialog move the focus;
    // consumes the key only at the edge of the radio buttons, where check and focus stay.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The rounded radio button bound to hWnd, or null for any other window.
    static CRoundRadioButton* FromRadioHandle(HWND hWnd);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    LRESULT OnMouseMove(LPARAM lParam);
    LRESULT OnLButtonUp(LPARAM lParam);
    LRESULT OnKeyUp(WPARAM wParam);
    LRESULT OnSetFocus();
    LRESULT OnSysColorChange();
    void UncheckGroupSiblings();
};
