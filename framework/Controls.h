// Stateless wrappers of the standard controls: each operation is one SendMessage on
// the control's handle. Controls with behaviour of their own derive from these.
// CButton adds the owner-draw hook DrawItem, called when the parent reflects WM_DRAWITEM.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include "framework/Wnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return int(SendMessage(BM_GETCHECK)); }
    void SetCheck(int nCheck) { SendMessage(BM_SETCHECK, WPARAM(nCheck)); }
    UINT GetState() const { return UINT(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL bHighlight) { SendMessage(BM_SETSTATE, bHighlight); }
    UINT GetButtonStyle() const { return UINT(GetStyle() & 0xFFFF); }
    void SetButtonStyle(UINT nStyle, BOOL bRedraw = TRUE)
    {
        SendMessage(BM_SETSTYLE, nStyle, bRedraw);
    }
    HICON SetIcon(HICON hIcon)
    {
        return reinterpret_cast<HICON>(
            SendMessage(BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(hIcon)));
    }
    HBITMAP SetBitmap(HBITMAP hBitmap)
    {
        return reinterpret_cast<HBITMAP>(
            SendMessage(BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    }

    // Reached only through the parent's reflected WM_DRAWITEM for an owner-drawn button.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {}
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
};

class CStatic : public CWnd {
public:
    HICON SetIcon(HICON hIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(hIcon)));
    }
    HBITMAP SetBitmap(HBITMAP hBitmap)
    {
        return reinterpret_cast<HBITMAP>(
            SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(hBitmap)));
    }
};

class CEdit : public CWnd {
public:
    void SetLimitText(UINT nMax) { SendMessage(EM_LIMITTEXT, nMax); }
    UINT GetLimitText() const { return UINT(SendMessage(EM_GETLIMITTEXT)); }
    void SetSel(int nStart, int nEnd) { SendMessage(EM_SETSEL, WPARAM(nStart), LPARAM(nEnd)); }
    void ReplaceSel(const char* psz, BOOL bCanUndo = FALSE)
    {
        SendMessage(EM_REPLACESEL, bCanUndo, reinterpret_cast<LPARAM>(psz));
    }
    void SetReadOnly(BOOL bReadOnly = TRUE) { SendMessage(EM_SETREADONLY, bReadOnly); }
};

class CListBox : public CWnd {
public:
    int GetCount() const { return int(SendMessage(LB_GETCOUNT)); }
    int GetCurSel() const { return int(SendMessage(LB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return int(SendMessage(LB_SETCURSEL, WPARAM(nSelect))); }
    int AddString(const char* psz)
    {
        return int(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz)));
    }
    int InsertString(int nIndex, const char* psz)
    {
        return int(SendMessage(LB_INSERTSTRING, WPARAM(nIndex), reinterpret_cast<LPARAM>(psz)));
    }
    int DeleteString(UINT nIndex) { return int(SendMessage(LB_DELETESTRING, nIndex)); }
    void ResetContent() { SendMessage(LB_RESETCONTENT); }
    int SelectString(int nStartAfter, const char* psz)
    {
        return int(
            SendMessage(LB_SELECTSTRING, WPARAM(nStartAfter), reinterpret_cast<LPARAM>(psz)));
    }
    int FindString(int nStartAfter, const char* psz) const
    {
        return int(SendMessage(LB_FINDSTRING, WPARAM(nStartAfter), reinterpret_cast<LPARAM>(psz)));
    }
    int SetTopIndex(int nIndex) { return int(SendMessage(LB_SETTOPINDEX, WPARAM(nIndex))); }
    int GetTopIndex() const { return int(SendMessage(LB_GETTOPINDEX)); }
    int GetTextLen(int nIndex) const { return int(SendMessage(LB_GETTEXTLEN, WPARAM(nIndex))); }
    CString GetText(int nIndex) const;
    void GetText(int nIndex, CString& rString) const { rString = GetText(nIndex); }
    // Reserves room for nItems more items holding nBytes of text in all.
    int InitStorage(int nItems, UINT nBytes)
    {
        return int(SendMessage(LB_INITSTORAGE, WPARAM(nItems), LPARAM(nBytes)));
    }
    void SetRedraw(BOOL bRedraw) { SendMessage(WM_SETREDRAW, WPARAM(bRedraw)); }
};

class CProgressCtrl : public CWnd {
public:
    void SetRange(short nLower, short nUpper)
    {
        SendMessage(PBM_SETRANGE, 0, MAKELPARAM(nLower, nUpper));
    }
    int SetPos(int nPos) { return int(SendMessage(PBM_SETPOS, WPARAM(nPos))); }
    int GetPos() const { return int(SendMessage(PBM_GETPOS)); }
};

// The tooltip window of a control: created by its owner, destroyed with this object.
class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // One tool covering rcTool of pWnd's client area, with the given id and text.
    BOOL AddTool(CWnd* pWnd, const char* pszText, const RECT* prcTool, UINT_PTR nIDTool);
    void UpdateTipText(const char* pszText, CWnd* pWnd, UINT_PTR nIDTool);
    CString GetToolText(CWnd* pWnd, UINT_PTR nIDTool) const;
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
    int SetMaxTipWidth(int nWidth) { return int(SendMessage(TTM_SETMAXTIPWIDTH, 0, nWidth)); }
    void RelayEvent(MSG* pMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
    int GetToolCount() const { return int(SendMessage(TTM_GETTOOLCOUNT)); }
};
