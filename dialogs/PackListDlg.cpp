// CPackListDlg: the object picker.
#include "dialogs/PackListDlg.h"

#include <cstring>
#include <memory>

#include "dialogs/AppMessageBox.h"
#include "dialogs/JobParameters.h"
#include "dialogs/PickerListing.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {

// The engine's texts are UTF-8; the box shows the system's code page.
void ShowMessage(const CString& strText)
{
    ShowAppMessage(Recode(strText, CP_UTF8, CP_ACP));
}

}  // namespace

// Constructed by the main dialog's picker button; no database work happens here.
CPackListDlg::CPackListDlg(CWnd* pParent) : CDialog(IDD_PACKLIST, pParent) {}

CPackListDlg::~CPackListDlg()
{
    AbandonListing();
}

// The text a list entry shows for one object.
CString CPackListDlg::MakeEntry(const char* pszName, const char* pszType)
{
    CString strEntry(pszName);
    strEntry += " [";
    strEntry += pszType;
    strEntry += "]";
    return strEntry;
}

// Only the suffix that MakeEntry appended is removed, so a name that itself holds blanks or
// brackets comes back unchanged.
CString CPackListDlg::NameFromEntry(const CString& strEntry)
{
    const int nLength = strEntry.GetLength();
    if (nLength == 0 || strEntry[nLength - 1] != ']')
        return strEntry;
    // The type is one word without brackets, so the last " [" starts the suffix.
    int nSuffix = -1;
    for (int i = nLength - 2; i >= 0; --i) {
        if (strEntry[i] == '[') {
            if (i > 0 && strEntry[i - 1] == ' ')
                nSuffix = i - 1;
            break;
        }
    }
    if (nSuffix < 0)
        return strEntry;
    return strEntry.Left(nSuffix);
}

void CPackListDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LOG, m_listObjects);
    DDX_LBString(pDX, IDC_LOG, m_strSelected);
    DDX_Text(pDX, IDC_FIND, m_strFind);
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_GROUP_OBJECTS, m_grpObjects);
    DDX_Control(pDX, IDC_FIND_LABEL, m_stcFind);
    DDX_Control(pDX, IDC_FIND, m_editFind);
}

// Anchors the controls and starts the listing; the list says what it waits for meanwhile.
BOOL CPackListDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    m_layout.Attach(this);
    m_layout.AddControl(m_grpObjects.GetSafeHwnd(), 0, 0, 1, 1);
    m_layout.AddControl(m_stcFind.GetSafeHwnd(), 0, 1, 0, 0);
    m_layout.AddControl(m_listObjects.GetSafeHwnd(), 0, 0, 1, 1);
    m_layout.AddControl(m_btnOk.GetSafeHwnd(), 1, 1, 0, 0);
    m_layout.AddControl(m_btnCancel.GetSafeHwnd(), 1, 1, 0, 0);
    m_layout.AddControl(m_editFind.GetSafeHwnd(), 0, 1, 1, 0);

    SetIcon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)), TRUE);

    m_listObjects.ResetContent();
    m_listObjects.AddString(kListingText);
    ::EnableWindow(m_listObjects.m_hWnd, FALSE);
    ::EnableWindow(m_editFind.m_hWnd, FALSE);
    ::EnableWindow(m_btnOk.m_hWnd, FALSE);

    // The record holds UTF-8, as the session speaks it.
    ExportParams params;
    params.strUser = g_strUser;
    params.strPassword = g_strPassword;
    params.strDatabase = g_strDatabase;
    params.bSysdba = g_bSysdba != 0;
    DWORD nError = 0;
    m_listing = PickerListing::Start(params, m_hWnd, kListedMessage, m_startThread, nError);
    if (!m_listing) {
        ShowMessage(SystemErrorText(nError));
        OnCancel();
        return TRUE;
    }
    // Cancel has the focus while OK is disabled, so Escape and Enter both close.
    ::SetFocus(m_btnCancel.m_hWnd);
    return FALSE;
}

void CPackListDlg::OnListed()
{
    if (!m_listing)
        return;
    std::vector<ExportObjectId> objects;
    ExportEnding ending;
    m_listing->Take(objects, ending);
    m_listing.reset();
    m_listObjects.ResetContent();
    if (ending.result == ExportResult::LogonFailed) {
        ShowMessage(ending.MessageText());
        OnCancel();
        return;
    }
    FillList(objects);
    ::EnableWindow(m_listObjects.m_hWnd, TRUE);
    ::EnableWindow(m_editFind.m_hWnd, TRUE);
    ::EnableWindow(m_btnOk.m_hWnd, TRUE);
    m_bLoaded = true;
    UpdateData(FALSE);
    m_listObjects.SetCurSel(0);
    ::SetFocus(m_listObjects.m_hWnd);
    // A listing that failed part way keeps the rows before the failure.
    if (ending.Failed())
        ShowMessage(ending.MessageText());
}

// Names arrive in UTF-8 and are shown in the system's code page, as the name field holds them.
void CPackListDlg::FillList(const std::vector<ExportObjectId>& objects)
{
    ::SendMessageA(m_listObjects.m_hWnd, WM_SETREDRAW, FALSE, 0);
    m_listObjects.ResetContent();
    ::SendMessageA(m_listObjects.m_hWnd, LB_INITSTORAGE, WPARAM(objects.size()),
                   LPARAM(objects.size() * 32));
    for (size_t i = 0; i < objects.size(); ++i) {
        const ExportObjectId& object = objects[i];
        // A body comes right after its specification (the listing's order): exporting the
        // package's name exports both.
        if (object.strType == "PACKAGE BODY" && i > 0 && objects[i - 1].strType == "PACKAGE" &&
            objects[i - 1].strName == object.strName)
            continue;
        // Shown in the system's code page, a character it lacks as "?" (never a look-alike:
        // İD must not read as ID); the entry keeps the name exactly as stored.
        bool bLossy = false;
        const std::string strShown =
            FromWide(ToWide(object.strName, UINT(CP_UTF8)), CP_ACP, &bLossy);
        const int nIndex = m_listObjects.AddString(
            MakeEntry(CString(strShown.data(), int(strShown.size())), object.strType));
        if (nIndex >= 0) {
            m_names.push_back(object.strName);
            ::SendMessageA(m_listObjects.m_hWnd, LB_SETITEMDATA, WPARAM(nIndex),
                           LPARAM(m_names.size() - 1));
        }
    }
    ::SendMessageA(m_listObjects.m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(m_listObjects.m_hWnd, nullptr, TRUE);
}

void CPackListDlg::AbandonListing()
{
    if (!m_listing)
        return;
    m_listing->Abandon(m_startThread);
    m_listing.reset();
}

// Selects the first entry that begins with the typed text, ignoring case; no match leaves the
// selection alone.
void CPackListDlg::OnFindChange()
{
    if (!m_bLoaded)
        return;
    UpdateData(TRUE);
    m_listObjects.SelectString(-1, m_strFind);
}

void CPackListDlg::OnSize(int cx, int cy)
{
    m_layout.Resize(cx, cy);
}

// The main dialog zeroes the buffer first; the result is terminated here as well, so it never
// runs past its buffer.
void CPackListDlg::StoreResult(const char* pszName)
{
    const size_t nSize = sizeof(g_szObjectName);
    size_t nLength = std::strlen(pszName);
    if (nLength > nSize - 1)
        nLength = nSize - 1;
    std::memcpy(g_szObjectName, pszName, nLength);
    g_szObjectName[nLength] = '\0';
}

// Hands back the selected entry's name; without one (or before the listing arrived) nothing
// was chosen.
void CPackListDlg::OnOK()
{
    const int nSelected = m_bLoaded ? m_listObjects.GetCurSel() : LB_ERR;
    if (nSelected == LB_ERR) {
        OnCancel();
        return;
    }
    StoreResult(NameFromEntry(m_listObjects.GetText(nSelected)));
    const LRESULT nName =
        ::SendMessageA(m_listObjects.m_hWnd, LB_GETITEMDATA, WPARAM(nSelected), 0);
    g_strPickedObject =
        nName >= 0 && size_t(nName) < m_names.size() ? m_names[size_t(nName)] : CString();
    CDialog::OnOK();
}

// No choice; also the way out after a failed logon. A listing under way is broken off.
void CPackListDlg::OnCancel()
{
    AbandonListing();
    StoreResult("");
    g_strPickedObject.Empty();
    CDialog::OnCancel();
}

LRESULT CPackListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kListedMessage:
        OnListed();
        return 0;
    case WM_DESTROY:
        AbandonListing();
        break;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return Default();
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_FIND && HIWORD(wParam) == EN_CHANGE) {
            OnFindChange();
            return 0;
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
