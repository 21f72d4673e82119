// CquillmarkDlg: the main dialog.
#include "app/quillmarkDlg.h"

#include "db/DBConnect.h"

#include <cstring>

#include "dialogs/AboutDlg.h"
#include "dialogs/AppMessageBox.h"
#include "dialogs/PackListDlg.h"
#include "app/ExportWorker.h"
#include "export/ExportTexts.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "framework/WinApp.h"

namespace {

// The controls that change a job's parameters, disabled while a job runs. The object
// name field and the picker button follow the mode as well.
const int kParameterControls[] = {IDC_USER,   IDC_DATABASE,  IDC_PASSWORD,  IDC_FILENAME,
                                  IDC_SYSDBA, IDC_RADIO_ONE, IDC_RADIO_ALL, IDC_BROWSE};
const int kObjectControls[] = {IDC_OBJECTNAME, IDC_PICK};

const char kStop[] = "Stop";
const char kThreadFailed[] = "System error! Restart application.";
const char kStart[] = "Start";

// A shared icon of the program's resources: never destroyed.
HICON LoadResourceIcon(UINT nID)
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nID));
}

}  // namespace

CquillmarkDlg::CquillmarkDlg(CWnd* pParent) : CDialog(IDD_QUILLMARK_DIALOG, pParent)
{
    m_hIcon = LoadResourceIcon(IDR_MAINFRAME);
}

// The icon is a shared resource icon and stays.
CquillmarkDlg::~CquillmarkDlg() = default;

namespace {

// A UTF-8 text in lower case, as the system lowers characters.
std::wstring LowerWide(const CString& strText)
{
    std::wstring strWide = ToWide(strText, UINT(CP_UTF8));
    if (!strWide.empty())
        ::CharLowerBuffW(&strWide[0], DWORD(strWide.size()));
    return strWide;
}

CString Utf8(const std::wstring& strWide)
{
    const std::string strBytes = FromWide(strWide, CP_UTF8);
    return CString(strBytes.data(), int(strBytes.size()));
}

}  // namespace

// The proposal never overruns the file dialog's buffer.
CString CquillmarkDlg::ProposedFileName(const CString& strObjectName)
{
    std::wstring strName = LowerWide(strObjectName + ".sql");
    if (strName.size() > size_t(kFileNameBufferSize - 1))
        strName.resize(size_t(kFileNameBufferSize - 1));
    return Utf8(strName);
}

CString CquillmarkDlg::ExportedObjectName() const
{
    if (!m_strPickedName.IsEmpty() && m_strObjectName == m_strPickedShown)
        return m_strPickedName;
    return m_strObjectName;
}

// The button's text is the dialog's notion of whether a job runs.
bool CquillmarkDlg::IsRunning() const
{
    char szText[10] = {};
    ::GetDlgItemTextA(m_hWnd, IDOK, szText, sizeof(szText));
    return std::strncmp(szText, kStop, 4) == 0;
}

void CquillmarkDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_OBJECTNAME, m_editObjectName);
    DDX_Control(pDX, IDC_PASSWORD, m_editPassword);
    DDX_Control(pDX, IDC_DATABASE, m_editDatabase);
    DDX_Control(pDX, IDC_USER, m_editUser);
    DDX_Control(pDX, IDC_FILENAME, m_editFileName);
    DDX_Control(pDX, IDC_WEBLINK, m_linkWeb);
    DDX_Control(pDX, IDC_PROGRESS_TOTAL, m_progressTotal);
    DDX_Control(pDX, IDC_PICK, m_btnPick);
    DDX_Control(pDX, IDC_PROGRESS_OBJECT, m_progressObject);
    // The log list takes batches of thousands of lines: attached, not subclassed.
    DDX_Attach(pDX, IDC_LOG, m_listLog);
    DDX_Control(pDX, IDC_BROWSE, m_btnBrowse);
    // The fields are Unicode windows and their strings UTF-8: any character the user can
    // type or pick reaches the session (which speaks UTF-8) and the file system as it is.
    DDX_TextUtf8(pDX, IDC_FILENAME, m_strFileName);
    DDX_TextUtf8(pDX, IDC_USER, m_strUser);
    DDX_TextUtf8(pDX, IDC_OBJECTNAME, m_strObjectName);
    DDX_TextUtf8(pDX, IDC_PASSWORD, m_strPassword);
    DDX_TextUtf8(pDX, IDC_DATABASE, m_strDatabase);
    DDX_Control(pDX, IDOK, m_btnStart);
    DDX_Control(pDX, IDCANCEL, m_btnCancel);
    DDX_Control(pDX, IDC_SYSDBA, m_chkSysdba);
    DDX_Control(pDX, IDC_RADIO_ONE, m_radioOne);
    DDX_Control(pDX, IDC_RADIO_ALL, m_radioAll);
    DDX_Control(pDX, IDC_GROUP_CONNECT, m_grpConnect);
    DDX_Control(pDX, IDC_GROUP_FRAME, m_grpFrame);
    DDX_Control(pDX, IDC_MAKER, m_stcMaker);
}

BOOL CquillmarkDlg::OnInitDialog()
{
    // The fields may hold characters outside the code page (a path, a password, a picked
    // name): they become Unicode windows before data exchange subclasses them.
    for (int nID : {IDC_FILENAME, IDC_USER, IDC_PASSWORD, IDC_DATABASE, IDC_OBJECTNAME})
        CWnd::UseWideText(::GetDlgItem(m_hWnd, nID));
    CDialog::OnInitDialog();

    m_layout.Attach(this);
    m_layout.AddControl(m_grpFrame.GetSafeHwnd(), 0, 0, 1, 1);
    m_layout.AddControl(m_grpConnect.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_editUser.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_editPassword.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_editDatabase.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_editFileName.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_editObjectName.GetSafeHwnd(), 0, 0, 1, 0);
    m_layout.AddControl(m_btnBrowse.GetSafeHwnd(), 1, 0, 0, 0);
    m_layout.AddControl(m_btnPick.GetSafeHwnd(), 1, 0, 0, 0);
    m_layout.AddControl(m_listLog.GetSafeHwnd(), 0, 0, 1, 1);
    m_layout.AddControl(m_progressObject.GetSafeHwnd(), 0, 1, 1, 0);
    m_layout.AddControl(m_progressTotal.GetSafeHwnd(), 0, 1, 1, 0);
    m_layout.AddControl(m_linkWeb.GetSafeHwnd(), 0, 1, 0, 0);
    m_layout.AddControl(m_btnStart.GetSafeHwnd(), 1, 1, 0, 0);
    m_layout.AddControl(m_btnCancel.GetSafeHwnd(), 1, 1, 0, 0);
    m_layout.AddControl(m_stcMaker.GetSafeHwnd(), 0, 1, 0, 0);

    m_chkSysdba.SetCheckState(0);
    m_radioOne.SetCheckState(1);

    if (HMENU hSysMenu = GetSystemMenu(FALSE)) {
        char szAbout[256] = {};
        ::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, szAbout, sizeof(szAbout));
        if (szAbout[0]) {
            ::AppendMenuA(hSysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(hSysMenu, MF_STRING, IDM_ABOUTBOX, szAbout);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    g_uAddStrMsg = ::RegisterWindowMessageA("ADD_STR_MESSAGE");
    g_uProgressMsg = ::RegisterWindowMessageA("PROGRESS_MESSAGE");

    m_progressObject.SetRange(0, 100);
    m_progressObject.SetPos(0);
    m_progressTotal.SetRange(0, 100);
    m_progressTotal.SetPos(0);

    m_linkWeb.SetMessageFunction(ShowAppMessage);
    m_btnBrowse.SetIcon(LoadResourceIcon(IDI_FOLDER));
    m_btnPick.SetIcon(LoadResourceIcon(IDI_FIND));

    CheckRadioButton(IDC_RADIO_ONE, IDC_RADIO_ALL, IDC_RADIO_ONE);
    g_bAllObjects = 0;

    // The job record keeps Oracle's longest name; the field takes no more, so nothing the
    // user typed is cut without being seen.
    m_editObjectName.SetLimitText(kObjectNameSize - 1);
    return TRUE;
}

void CquillmarkDlg::OnOK()
{
    if (IsRunning())
        StopJob();
    else
        StartJob();
}

void CquillmarkDlg::StartJob()
{
    UpdateData(TRUE);
    if (m_strDatabase.IsEmpty() || m_strUser.IsEmpty() ||
        (m_strPassword.IsEmpty() && !DBConnect::IsExternalLogon(m_strUser, m_strPassword))) {
        ShowAppMessage("Invalid connect parameters.");
        return;
    }
    if (m_strFileName.IsEmpty()) {
        ShowAppMessage("Invalid file name.");
        return;
    }
    if (m_strObjectName.IsEmpty() && g_bAllObjects == 0) {
        ShowAppMessage("Invalid object name.");
        return;
    }

    g_bRunning = 1;
    m_btnStart.SetWindowText(kStop);
    EnableParameters(FALSE);

    // The path is read wide: a name outside the code page must reach the file system intact.
    g_strFileName = ToWide(m_strFileName, UINT(CP_UTF8));
    g_strUser = m_strUser;
    g_strDatabase = m_strDatabase;
    g_strPassword = m_strPassword;
    g_bSysdba = m_chkSysdba.GetCheckState() ? 1 : 0;
    StoreObjectName(ExportedObjectName());

    g_nLogLines = 0;
    m_log.Reset();
    m_progressObject.SetRange(0, 100);
    m_progressObject.SetPos(0);
    m_progressTotal.SetRange(0, 100);
    m_progressTotal.SetPos(0);

    // The worker copies the parameters and keeps its handle in g_hWorkerThread.
    DWORD nError = 0;
    if (StartUploadThread(ShowAppMessage, m_hWnd, g_uAddStrMsg, m_startThread, &nError))
        return;
    // No job runs: the window is idle again, and says why.
    ReturnToIdle();
    const CString strReason = Recode(SystemErrorText(nError), CP_UTF8, CP_ACP);
    m_log.AppendLine(kThreadFailed);
    g_nLogLines = m_log.AppendLine(strReason);
    ShowAppMessage(CString(kThreadFailed) + "\n" + strReason);
}

// Nothing of the stopped job reaches the log any more, so the dialog ends the log itself with
// what the file holds.
void CquillmarkDlg::StopJob()
{
    RequestWorkerStop(m_startThread);
    ::KillTimer(m_hWnd, ReportQueue::kRecheckTimer);
    ReturnToIdle();
    const int nWritten = ReportQueue::Instance().ObjectsWritten();
    CString strLine;
    if (nWritten == 0)
        strLine = ExportTexts::kStoppedUnchanged;
    else
        strLine.Format("%s%d%s", ExportTexts::kStoppedHolds, nWritten,
                       ExportTexts::kStoppedHoldsAfter);
    g_nLogLines = m_log.AppendLine(strLine);
}

void CquillmarkDlg::ReturnToIdle()
{
    m_btnStart.SetWindowText(kStart);
    EnableParameters(TRUE);
}

void CquillmarkDlg::EnableParameters(BOOL bEnable)
{
    for (int nID : kParameterControls)
        ::EnableWindow(GetDlgItem(nID), bEnable);
    const BOOL bObject = bEnable && g_bAllObjects == 0;
    if (!bEnable || bObject) {
        for (int nID : kObjectControls)
            ::EnableWindow(GetDlgItem(nID), bObject);
    }
}

// The record's buffer is zeroed first and takes the name as the system's code page shows it
// (a character it lacks as "?", never a look-alike); the name itself goes exactly.
void CquillmarkDlg::StoreObjectName(const CString& strName)
{
    g_strExportObject = strName;
    std::memset(g_szObjectName, 0, sizeof(g_szObjectName));
    bool bLossy = false;
    const std::string strShown = FromWide(ToWide(strName, UINT(CP_UTF8)), CP_ACP, &bLossy);
    size_t nLength = strShown.size();
    if (nLength > size_t(kObjectNameSize - 1))
        nLength = size_t(kObjectNameSize - 1);
    std::memcpy(g_szObjectName, strShown.data(), nLength);
}

// Closes the program while idle; while a job runs the close is refused, and the worker waits
// while the refusal is on screen.
void CquillmarkDlg::OnCancel()
{
    if (!IsRunning()) {
        CDialog::OnCancel();
        return;
    }
    CWorkerHold hold;
    ShowAppMessage("Stop uploading process before close application.");
}

// The About item; everything else goes to the default handling.
void CquillmarkDlg::OnSysCommand(UINT nID, LPARAM lParam)
{
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout;
        dlgAbout.DoModal();
        return;
    }
    Default();
}

void CquillmarkDlg::OnSize(int cx, int cy)
{
    m_layout.Resize(cx, cy);
}

// A save-as dialog proposing "<object name>.sql". It uses the wide entry points, so a folder
// named outside the code page comes back intact.
void CquillmarkDlg::OnBrowse()
{
    UpdateData(TRUE);
    static const wchar_t kFilter[] = L"All Files (*.*)\0*.*\0";
    CFileDialogW dlgFile(FALSE, ToWide(ProposedFileName(m_strObjectName), UINT(CP_UTF8)),
                         OFN_HIDEREADONLY, kFilter, AfxGetMainWnd());
    if (dlgFile.DoModal() == IDOK) {
        m_editFileName.SetWindowTextWide(dlgFile.GetPathName());
        UpdateData(TRUE);
    }
}

// The picker logs on with the fields' parameters and hands the chosen name back in the job
// record; nothing chosen changes nothing.
void CquillmarkDlg::OnPickObject()
{
    UpdateData(TRUE);
    if (m_strDatabase.IsEmpty() || m_strUser.IsEmpty() ||
        (m_strPassword.IsEmpty() && !DBConnect::IsExternalLogon(m_strUser, m_strPassword))) {
        ShowAppMessage("Invalid connect parameters");
        return;
    }
    g_strUser = m_strUser;
    g_strDatabase = m_strDatabase;
    g_strPassword = m_strPassword;
    std::memset(g_szObjectName, 0, sizeof(g_szObjectName));
    g_strPickedObject.Empty();
    g_bSysdba = m_chkSysdba.GetCheckState() ? 1 : 0;

    CPackListDlg dlgPick;
    dlgPick.SetThreadStarter(m_startThread);
    // Only a choice ends the picker with IDOK; a name of any length, one character included.
    const bool bChosen = dlgPick.DoModal() == IDOK;
    g_szObjectName[kObjectNameSize - 1] = '\0';
    if (bChosen && g_szObjectName[0] != '\0') {
        // The name exactly as stored; the field may show it otherwise (upper case), and the
        // job exports the stored name as long as the field shows what it showed here.
        m_strPickedName = !g_strPickedObject.IsEmpty()
                              ? g_strPickedObject
                              : Recode(CString(g_szObjectName), CP_ACP, CP_UTF8);
        m_strObjectName = m_strPickedName;
        m_strFileName = Utf8(LowerWide(m_strObjectName + ".sql"));
        UpdateData(FALSE);
        m_strPickedShown = Utf8(m_editObjectName.GetWindowTextWide());
        m_strObjectName = m_strPickedShown;
    }
}

// The name put aside by OnAllObjects comes back.
void CquillmarkDlg::OnOneObject()
{
    UpdateData(TRUE);
    g_bAllObjects = 0;
    ::EnableWindow(GetDlgItem(IDC_OBJECTNAME), TRUE);
    ::EnableWindow(GetDlgItem(IDC_PICK), TRUE);
    m_strObjectName = m_strSavedObjectName;
    UpdateData(FALSE);
}

// The name is put aside and the field emptied.
void CquillmarkDlg::OnAllObjects()
{
    UpdateData(TRUE);
    g_bAllObjects = 1;
    ::EnableWindow(GetDlgItem(IDC_OBJECTNAME), FALSE);
    ::EnableWindow(GetDlgItem(IDC_PICK), FALSE);
    m_strSavedObjectName = m_strObjectName;
    m_strObjectName.Empty();
    UpdateData(FALSE);
}

// Posted from the worker thread to wake the window.
LRESULT CquillmarkDlg::OnAddStrMessage(WPARAM, LPARAM)
{
    DrainReports();
    return 0;
}

void CquillmarkDlg::OnTimer(UINT_PTR nIDEvent)
{
    if (nIDEvent == ReportQueue::kRecheckTimer)
        DrainReports();
}

// One batch in one go: the list draws once, the bars move once, and the line that ends the
// job returns the dialog to idle in the same handler.
void CquillmarkDlg::DrainReports()
{
    ReportQueue& queue = ReportQueue::Instance();
    const bool bTook = queue.Take(m_batch);
    queue.OnDrained(m_hWnd, bTook);
    if (!bTook)
        return;
    if (m_batch.bEnded)
        ReturnToIdle();
    if (m_batch.LineCount() > 0)
        g_nLogLines = m_log.Append(m_batch);
    if (m_batch.bProgress) {
        m_progressObject.SetPos(m_batch.nObjectPercent);
        m_progressTotal.SetPos(m_batch.nTotalPercent);
    }
}

// Every message of the main dialog. The two registered ids are known only at run
// time, so they are compared before the switch.
LRESULT CquillmarkDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_uAddStrMsg != 0 && message == g_uAddStrMsg)
        return OnAddStrMessage(wParam, lParam);

    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(UINT(wParam), lParam);
        return 0;
    case WM_TIMER:
        OnTimer(UINT_PTR(wParam));
        return 0;
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return Default();
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IDC_BROWSE:
                OnBrowse();
                return 0;
            case IDC_PICK:
                OnPickObject();
                return 0;
            case IDC_RADIO_ONE:
                OnOneObject();
                return 0;
            case IDC_RADIO_ALL:
                OnAllObjects();
                return 0;
            default:
                break;
            }
        }
        break;
    default:
        break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}
