// The application object and the program's entry point.
#include "app/quillmark.h"

#include "app/quillmarkDlg.h"

CquillmarkApp theApp;

// The application has no name of its own.
CquillmarkApp::CquillmarkApp() : CWinApp(nullptr) {}

// Shows the main dialog and ends the program when it closes; needs the common controls, which
// the framework made available before.
BOOL CquillmarkApp::InitInstance()
{
    AfxEnableControlContainer();

    CquillmarkDlg dlg;
    // The owner of the message boxes and the file dialog while it is open.
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;

    // FALSE: no message loop after the dialog; the program ends with ExitInstance's code.
    return FALSE;
}

BOOL CquillmarkApp::OnCmdMsg(UINT nID)
{
    switch (nID) {
    case ID_HELP:
        OnHelp();
        return TRUE;
    default:
        return FALSE;
    }
}

// The program's entry point: the framework starts the application object.
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
