// CquillmarkApp: the application object. It runs the main dialog modally inside
// InitInstance and then lets the program end; there is no frame window, no document,
// no command line handling and nothing stored between runs.
#pragma once

#include "framework/WinApp.h"

// The framework's help command. The program ships no help file and nothing sends it.
constexpr UINT ID_HELP = 0xE146;

class CquillmarkApp : public CWinApp {
public:
    CquillmarkApp();
    ~CquillmarkApp() override = default;

    BOOL InitInstance() override;

    // Routes a command sent to the application object; TRUE when it was handled.
    // The only command is the framework's help command.
    BOOL OnCmdMsg(UINT nID);
};

// The one application object, constructed before WinMain runs.
extern CquillmarkApp theApp;
