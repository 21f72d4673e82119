// CWinApp and the Afx* functions. The application object registers itself here; this
// pointer is the framework's only process-wide variable.
#include "framework/WinApp.h"

#include <commctrl.h>

namespace {
CWinApp* s_pApp = nullptr;
}

// The newest application object becomes the one AfxGetApp returns (the program's is a global,
// built before WinMain).
CWinApp::CWinApp(const char* pszAppName)
    : m_hInstance(::GetModuleHandleA(nullptr)), m_pszAppName(pszAppName)
{
    s_pApp = this;
}

// Afterwards there is no application object.
CWinApp::~CWinApp()
{
    if (s_pApp == this)
        s_pApp = nullptr;
}

// A shared icon: the caller does not destroy it.
HICON CWinApp::LoadIcon(UINT nIDResource) const
{
    return ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource));
}

CWinApp* AfxGetApp()
{
    return s_pApp;
}

// The window the application names as its main one (the main dialog while it runs).
CWnd* AfxGetMainWnd()
{
    return s_pApp ? s_pApp->m_pMainWnd : nullptr;
}

// Resources live in the exe itself.
HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

HINSTANCE AfxGetInstanceHandle()
{
    if (s_pApp && s_pApp->m_hInstance)
        return s_pApp->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

void AfxEnableControlContainer() {}

// The body of WinMain: makes the common controls (progress bars among them) available,
// then runs InitInstance and, if it asks for one, a message loop until WM_QUIT.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;  // the program declared no application object
    if (hInstance)
        pApp->m_hInstance = hInstance;

    if (!pApp->InitInstance())
        return pApp->ExitInstance();

    MSG msg;
    for (;;) {
        const BOOL bGot = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bGot == 0 || bGot == -1)
            break;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return pApp->ExitInstance();
}
