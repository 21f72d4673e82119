// CFlatButton: the owner-drawn push button used for the OK, Start and Cancel buttons of
// every dialog. It paints its own face (background, thin edges, caption, focus
// rectangle), tracks the pointer for a hot state, keeps the default-button state the
// dialog manager assigns (BM_SETSTYLE) and reports it in WM_GETDLGCODE, and turns a
// double-click into a second press. It can also show an icon beside its caption, act
// as a two-state check box, open a link target and drop down an owner-drawn menu
// (COwnerMenu); the program itself keeps every button in its default configuration.
#pragma once

#include <windows.h>
#include "framework/Controls.h"
#include "framework/Gdi.h"
#include "framework/UniqueHandle.h"
#include "controls/OwnerMenu.h"

class CFlatButton : public CButton {
public:
    // Colour slots, in index order.
    enum ColorSlot {
        BackHot = 0,
        ForeHot,
        BackNormal,
        ForeNormal,
        BackFocus,
        ForeFocus,
        ColorCount
    };

    // Image positions relative to the caption.
    enum ImageAlign : BYTE { ImageLeft = 0, ImageAbove = 1, ImageRight = 2 };

    // Result code for an unknown pressed-offset style.
    static constexpr int ErrorInvalidStyle = 6;

    CFlatButton();
    ~CFlatButton() override;

    // Style 0: caption shifts (1, 1) while pressed; style 1: (0, 2); others give 6.
    int SetPressedOffsetStyle(BYTE nStyle, BOOL bRepaint = TRUE);
    // Check-box mode only: sets the check state.
    int SetCheckState(int nCheck, BOOL bRepaint = TRUE);
    int GetCheckState() const { return m_bCheckState; }
    // Refills the colour slots from the current system colours.
    int ResetColors(BOOL bRepaint = TRUE);
    // Document or address opened on click (at most 260 bytes kept); null clears it.
    int SetLinkTarget(const char* pszTarget);
    // Forgets the icons, destroying them when bDestroy is set.
    void ReleaseImages(BOOL bDestroy);
    // Creates the (inactive, tool-less) tooltip window on first need.
    void EnsureToolTip();
    // Drops the hot state of a flat button and repaints.
    void CancelHover();

    // Drop-down menu: the menu this button shows on click (its sub-menu 0 is tracked),
    // the window that receives the chosen command, and an optional message sent to
    // hWndNotify just before the menu drops down.
    COwnerMenu& GetMenu() { return m_menu; }
    void SetMenuOwner(HWND hWndOwner) { m_hMenuOwner = hWndOwner; }
    void SetMenuNotify(HWND hWndNotify, UINT nMessage, LPARAM lParam);

    // Read-only views of the state, for the owner and for tests.
    BOOL IsDefault() const { return m_bIsDefault; }
    BOOL IsCheckBoxMode() const { return m_bCheckBoxMode; }
    BOOL IsHover() const { return m_bHover; }
    BOOL IsFlat() const { return m_bFlat; }
    BOOL IsMenuShown() const { return m_bMenuShown; }
    POINT GetPressedOffset() const { return m_ptPressedOffset; }
    COLORREF GetColor(ColorSlot nSlot) const { return m_clrColors[nSlot]; }

    // Look and behaviour switches (the program keeps the defaults).
    void SetFlat(BOOL bFlat, BOOL bRepaint = TRUE);
    // Icons beside the caption, taken over by the button: hHot while hot or pressed,
    // hNormal otherwise (hHot when there is none). Replaces (and destroys) older images.
    void SetIcons(HICON hHot, HICON hNormal = nullptr, BOOL bRepaint = TRUE);
    // Image position: ImageLeft, ImageAbove or ImageRight of the caption.
    void SetImageAlign(BYTE nAlign, BOOL bRepaint = TRUE);

    // Owner-draw hook: paints the button for the parent's WM_DRAWITEM.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // Painting steps, each overridable.
    virtual void DrawBackground(CDC* pDC, RECT* prc);
    virtual void DrawFrame(CDC* pDC, RECT* prc);
    virtual void DrawIconImage(CDC* pDC, BOOL bHasText, const RECT* prcItem, RECT* prcCaption,
                               BOOL bPressed, BOOL bDisabled);
    virtual void DrawCaption(CDC* pDC, const char* pszText, const RECT* prcItem, RECT* prcCaption,
                             BOOL bPressed, BOOL bDisabled);

    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct IconSlot {
        CIconHandle icon;
        DWORD dwWidth = 0;
        DWORD dwHeight = 0;
    };
    struct MenuNotify {
        HWND hWnd;
        UINT nMessage;
        LPARAM lParam;
    };

    LRESULT OnKillFocus();
    LRESULT OnMouseMove(UINT nFlags, POINT pt);
    LRESULT OnSysColorChange();
    LRESULT OnActivate(UINT nState);
    LRESULT OnEnable(BOOL bEnable);
    LRESULT OnCancelMode();
    LRESULT OnGetDlgCode();
    LRESULT OnSetStyle(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseLeave();
    LRESULT OnSetCheck(WPARAM nCheck);
    LRESULT OnMenuChar(WPARAM wParam, LPARAM lParam);
    LRESULT OnMeasureItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnDrawMenuItem(WPARAM wParam, LPARAM lParam);
    bool IsMenuItemOfOurs(UINT nItemID, ULONG_PTR itemData) const;
    // Reflected BN_CLICKED: focus, sound, check toggle, drop-down menu or link.
    void OnClicked();
    void DropDownMenu();
    // The image rectangle for an image of cx by cy; narrows *prcCaption for the caption.
    RECT PlaceImage(BOOL bHasText, const RECT* prcItem, RECT* prcCaption, BOOL bPressed, DWORD cx,
                    DWORD cy) const;
    // Slot 0 when pressed or hot (outside check-box mode); else slot 1 if it is filled.
    int ChooseImageSlot(bool bSlot1Filled) const;
    void RepaintIf(BOOL bRepaint);

    POINT m_ptPressedOffset{1, 1};
    BOOL m_bFlat = TRUE;
    BOOL m_bHover = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bFocused = FALSE;
    BOOL m_bDisabled = FALSE;
    BOOL m_bIsDefault = FALSE;
    BOOL m_bCheckBoxMode = FALSE;
    BYTE m_nImageAlign = ImageLeft;
    COLORREF m_clrColors[ColorCount] = {};
    HWND m_hMenuOwner = nullptr;
    BOOL m_bMenuShown = FALSE;
    COwnerMenu m_menu;
    CToolTipCtrl m_toolTip;
    BOOL m_bCheckState = FALSE;
    char m_szLinkTarget[MAX_PATH] = {};
    IconSlot m_icons[2];
    MenuNotify m_menuNotify = {};
};
