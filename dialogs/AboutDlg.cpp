// CAboutDlg: the About box.
#include "dialogs/AboutDlg.h"

#include "res/resource.h"

// Constructed by the main dialog each time the About item is chosen; no owner window.
CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr) {}

CAboutDlg::~CAboutDlg() = default;

// Binding subclasses the web address static, which is what makes it a live hyperlink, and the
// OK button, which makes it a flat button.
void CAboutDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_ABOUT_WEBLINK, m_link);
    DDX_Control(pDX, IDOK, m_btnOk);
}

// The controls set themselves up when they are bound.
BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    return TRUE;
}
