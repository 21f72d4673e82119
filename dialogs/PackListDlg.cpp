// CPackListDlg: the object picker.
#include "dialogs/PackListDlg.h"

#include <cstring>
#include <memory>

#include "db/DBConnect.h"
#include "db/DBStmt.h"
#include "db/ObjectListCursor.h"
#include "dialogs/AppMessageBox.h"
#include "dialogs/JobParameters.h"
#include "framework/Text.h"
#include "framework/WinApp.h"
#include "res/resource.h"

namespace {
// Packages are listed once: their bodies share the name and are not offered separately.
const char kListingSql[] = "SELECT OBJECT_NAME,OBJECT_TYPE FROM USER_OBJECTS WHERE OBJECT_TYPE in "
                           "('PACKAGE','PROCEDURE','FUNCTION') ";
}  // namespace

// Constructed by the main dialog's picker button; no database work happens here.
CPackListDlg::CPackListDlg(CWnd* pParent) : CDialog(IDD_PACKLIST, pParent) {}

CPackListDlg::~CPackListDlg() = default;

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

// Anchors the controls, logs on with the job record's parameters, fills the list and logs off
// again.
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

    auto pConnection = std::make_unique<DBConnect>();
    // The record holds UTF-8, as the session speaks it.
    const CString strUser = g_strUser;
    const CString strPassword = g_strPassword;
    const CString strDatabase = g_strDatabase;
    try {
        if (g_bSysdba)
            pConnection->ConnectAsSysdba(strUser, strPassword, strDatabase);
        else
            pConnection->Connect(strUser, strPassword, strDatabase);
    } catch (const DBConnect::OtherException&) {
        ShowAppMessage(Recode(pConnection->GetErrorText(), CP_UTF8, CP_ACP));
        pConnection.reset();
        OnCancel();
        return TRUE;
    }

    m_listObjects.ResetContent();
    const bool bLoaded = LoadObjects(*pConnection);
    try {
        pConnection->Disconnect();
    } catch (const DBConnect::OtherException&) {
        // The list is complete; a failed logoff changes nothing the user can act on.
    }
    pConnection.reset();
    if (!bLoaded) {
        OnCancel();
        return TRUE;
    }

    m_bLoaded = true;
    UpdateData(FALSE);
    m_listObjects.SetCurSel(0);
    return TRUE;
}

// Needs an open connection. Names arrive in UTF-8 and are shown in the system's code page, as
// the name field holds them.
bool CPackListDlg::LoadObjects(DBConnect& connection)
{
    std::unique_ptr<ObjectListCursor> cursor;
    try {
        cursor = std::make_unique<ObjectListCursor>(connection, kListingSql);
    } catch (const DBStmt::OtherException&) {
        // A statement that failed to come into being leaves its reason in the connection.
        ShowAppMessage(connection.GetErrorText());
        return false;
    }

    // A failing fetch is reported once; a few of them in a row end the loading, so a
    // broken statement cannot keep the picker loading for ever.
    int nFailuresInRow = 0;
    bool bReported = false;
    for (;;) {
        ObjectListRow row;
        ObjectListCursor::Row kind = ObjectListCursor::Row::End;
        try {
            kind = cursor->Next(row);
        } catch (const DBStmt::OtherException&) {
            if (!bReported) {
                ShowAppMessage(cursor->Statement().GetErrorText());
                bReported = true;
            }
            if (++nFailuresInRow >= kMaxFetchFailures)
                break;
            // The error handle keeps its record until it is replaced; without a fresh one
            // the next row would be taken for the same failure.
            connection.ResetErrorHandle();
            continue;
        }
        nFailuresInRow = 0;
        if (kind == ObjectListCursor::Row::End)
            break;
        // A name cut to its buffer would be handed back as another object's name, and an
        // empty one names nothing: such rows are reported once and not offered.
        if (kind != ObjectListCursor::Row::Object) {
            if (!bReported) {
                const CString strText =
                    kind == ObjectListCursor::Row::Empty
                        ? CString(ObjectListTexts::kEmptyName)
                        : CString(ObjectListTexts::kNameDoesNotFit) + row.strName;
                ShowAppMessage(Recode(strText, CP_UTF8, CP_ACP));
                bReported = true;
            }
            continue;
        }
        // Shown in the system's code page, a character it lacks as "?" (never a look-alike:
        // İD must not read as ID); the entry keeps the name exactly as stored.
        bool bLossy = false;
        const std::string strShown = FromWide(ToWide(row.strName, UINT(CP_UTF8)), CP_ACP, &bLossy);
        const int nIndex = m_listObjects.AddString(
            MakeEntry(CString(strShown.data(), int(strShown.size())), row.strType));
        if (nIndex >= 0) {
            m_names.push_back(row.strName);
            ::SendMessageA(m_listObjects.m_hWnd, LB_SETITEMDATA, WPARAM(nIndex),
                           LPARAM(m_names.size() - 1));
        }
    }
    return true;
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

// Hands back the selected entry's name, or a blank without one.
void CPackListDlg::OnOK()
{
    const int nSelected = m_listObjects.GetCurSel();
    if (nSelected == LB_ERR) {
        StoreResult(" ");
        g_strPickedObject.Empty();
        CDialog::OnOK();
        return;
    }
    StoreResult(NameFromEntry(m_listObjects.GetText(nSelected)));
    const LRESULT nName =
        ::SendMessageA(m_listObjects.m_hWnd, LB_GETITEMDATA, WPARAM(nSelected), 0);
    g_strPickedObject =
        nName >= 0 && size_t(nName) < m_names.size() ? m_names[size_t(nName)] : CString();
    CDialog::OnOK();
}

// No choice; also the way out after a failed logon.
void CPackListDlg::OnCancel()
{
    StoreResult(" ");
    g_strPickedObject.Empty();
    CDialog::OnCancel();
}

LRESULT CPackListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
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
