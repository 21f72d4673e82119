// CWinApp: the one application object. Its constructor makes it the object that
// AfxGetApp returns; AfxWinMain, called from the program's WinMain, makes the common
// controls available and runs InitInstance. A program whose InitInstance returns FALSE
// ends there (a dialog-based program runs its main dialog inside InitInstance).
#pragma once

#include <windows.h>
#include "framework/Wnd.h"

class CWinApp {
public:
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Once at start-up; TRUE would mean "run a message loop", FALSE "end now".
    virtual BOOL InitInstance() { return FALSE; }
    // The result becomes the exit code.
    virtual int ExitInstance() { return 0; }
    // The framework's help command; the program ships no help file.
    void OnHelp() {}

    HICON LoadIcon(UINT nIDResource) const;

    CWnd* m_pMainWnd = nullptr;
    HINSTANCE m_hInstance = nullptr;
    const char* m_pszAppName = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetResourceHandle();
HINSTANCE AfxGetInstanceHandle();
// No control of this program needs ActiveX containment; kept as a named start-up step.
void AfxEnableControlContainer();
// The body of WinMain.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);
