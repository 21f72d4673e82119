// CDialog: a dialog built from a template resource, modal (DoModal, with its own
// message loop so that controls get PreTranslateMessage) or modeless (Create, used by
// tests that drive a dialog without blocking). CDataExchange and the DDX_ functions move
// values between the dialog's controls and its members, and bind member control objects
// to template controls (DDX_Control subclasses the control, DDX_Attach only attaches it).
#pragma once

#include "framework/Wnd.h"

class CDialog;

// One exchange pass of UpdateData: towards the members (save) or towards the controls.
class CDataExchange {
public:
    CDataExchange(CDialog* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd)
    {}
    BOOL m_bSaveAndValidate;
    CDialog* m_pDlgWnd;
    HWND GetControl(int nIDC) const;
};

// Binds rControl to the template control nIDC (once; later passes leave it bound).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Attaches the thin wrapper rControl to the template control nIDC without routing its
// messages through the object (once). For controls whose wrapper only sends messages: a
// subclassed control pays for the subclass on every message, which a list fed thousands of
// lines a second cannot afford.
void DDX_Attach(CDataExchange* pDX, int nIDC, CWnd& rControl);
// The text of control nIDC.
void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// The text of control nIDC in UTF-8, through the wide entry points: every character the field
// holds survives both ways (the control should be a Unicode window, CWnd::UseWideText).
void DDX_TextUtf8(CDataExchange* pDX, int nIDC, CString& value);
// The selected string of list box nIDC (empty when nothing is selected); towards the
// control, selects the first entry that begins with value (LB_SELECTSTRING), or none.
void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Returns the value given to EndDialog, or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless (hidden unless the template makes it visible).
    BOOL Create(CWnd* pParentWnd = nullptr);
    void EndDialog(int nResult);

    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    UINT GetTemplateId() const { return m_nIDTemplate; }
    // The value given to EndDialog (valid once the dialog ended).
    int GetModalResult() const { return m_nModalResult; }
    bool IsEnding() const { return m_bEndModal; }

    // Keyboard navigation of the dialog manager (IsDialogMessage).
    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // Once the controls exist; the base exchanges data towards the controls.
    virtual BOOL OnInitDialog();
    // IDOK: the base takes the data from the controls and ends with IDOK.
    virtual void OnOK();
    // IDCANCEL (Cancel, Escape, the close box): the base ends with IDCANCEL.
    virtual void OnCancel();
    // The dialog's bindings and exchanges; UpdateData's direction is in pDX.
    virtual void DoDataExchange(CDataExchange* pDX) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

    CWnd* m_pParentWnd;

private:
    static INT_PTR CALLBACK DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
    HWND CreateFromTemplate(HWND hWndOwner);
    void RunModalLoop();

    UINT m_nIDTemplate;
    int m_nModalResult = -1;
    bool m_bEndModal = false;
    bool m_bModal = false;
};
