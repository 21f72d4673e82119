// Helpers shared by the user-interface tests:
//  - UiTestEnvironment: the application object, the common controls and the fixture
//    databases (oci-lite files in a temporary OCI_LITE_HOME), made once per program;
//  - PumpFor / PumpUntil: run the window thread's messages the way the dialogs' modal
//    loop does (keyboard navigation included) while a test waits;
//  - MessageBoxWatcher (tests/support): finds each box the program shows, records its
//    text and closes it;
//  - OciLiteControl: oci-lite's testing exports (round-trip delay, injected failures);
//  - typing, clicking and reading helpers for controls.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/Thread.h"
#include "support/MessageBoxWatcher.h"

namespace UiTest {

// The folder of the fixture databases (also OCI_LITE_HOME).
std::string FixtureHome();

// Runs the messages of the calling thread for the given time.
void PumpFor(int nMilliseconds);
// Runs messages until done() holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, int nTimeoutMilliseconds);

// Sends WM_CHAR for each character, as typing into the control does.
void TypeText(HWND hWnd, const char* pszText);
// The window text of hWnd.
std::string TextOf(HWND hWnd);
// Presses a button the way a mouse click does (down and up at its centre).
void ClickWithMouse(HWND hButton);
// Posts a key press (down and up) to hWnd; the pump delivers it.
void PostKey(HWND hWnd, WPARAM nKey);
// The lines of a list box.
std::vector<std::string> ListLines(HWND hList);
// From a thread other than the picker's (a box watcher's hook): waits until the object picker
// hPicker has its listing (its OK button enabled); false when the time ran out first.
bool WaitForPickerList(HWND hPicker, int nTimeoutMilliseconds);
// A thread starter that starts nothing and says why (nError), as CreateThread would.
ThreadStarter FailingThreadStarter(DWORD nError);

namespace OciLiteControl {
// Wait per simulated server round trip, in microseconds (0: none).
void SetRoundTripDelay(unsigned nMicroseconds);
// Makes counted call number n fail (0: none).
void SetFailAt(unsigned n);
void ResetCounters();
unsigned CallCount();
// Appends oci-lite's call trace to the file from now on; "" stops tracing.
bool SetTraceFile(const std::string& strPath);
// The counted calls (those that can be made to fail) of a trace, in order: the entry
// point names, so that index + 1 is the number to give SetFailAt.
std::vector<std::string> CountedCallsOfTrace(const std::string& strPath);
}  // namespace OciLiteControl

// A client password store for the logons made while it lives: TNS_ADMIN names a folder whose
// sqlnet.ora points at a wallet holding one credential.
class ScopedWallet {
public:
    ScopedWallet(const char* pszConnect, const char* pszUser, const char* pszPassword);
    ~ScopedWallet();
    ScopedWallet(const ScopedWallet&) = delete;
    ScopedWallet& operator=(const ScopedWallet&) = delete;

private:
    std::string m_strFolder;
};

}  // namespace UiTest
