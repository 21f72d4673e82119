// AppMessageBox.cpp
#include "dialogs/AppMessageBox.h"

#include <mutex>

#include "res/resource.h"

CString g_strAppMessage;

namespace {

// Guards g_strAppMessage, which both threads write.
std::mutex& AppMessageLock()
{
    static std::mutex lock;
    return lock;
}

// The text as the field shows it: every line feed becomes a line break of the edit control;
// a "\r\n" already there therefore becomes "\r\r\n".
CString FieldText(const char* text)
{
    CString strField(text);
    strField.Replace("\n", "\r\n");
    return strField;
}

}  // namespace

AppMessageBoxDlg::AppMessageBoxDlg(CWnd* pParent) : CDialog(IDD_APPMESSAGEBOX, pParent)
{
    std::lock_guard<std::mutex> lock(AppMessageLock());
    m_strText = g_strAppMessage;
}

AppMessageBoxDlg::AppMessageBoxDlg(const CString& strText, CWnd* pParent)
    : CDialog(IDD_APPMESSAGEBOX, pParent), m_strText(strText)
{}

void AppMessageBoxDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDOK, m_btnOk);
    DDX_Text(pDX, IDC_MESSAGE_TEXT, m_strText);
}

int ShowAppMessage(const char* text)
{
    const CString strField = FieldText(text);
    {
        std::lock_guard<std::mutex> lock(AppMessageLock());
        g_strAppMessage.Empty();
        g_strAppMessage = strField;
    }
    AppMessageBoxDlg dlg(strField, nullptr);
    return int(dlg.DoModal());
}
