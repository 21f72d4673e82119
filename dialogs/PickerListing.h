// PickerListing.h
//
// PickerListing: the object picker's logon and listing, on a thread of its own, so that the
// window never waits for the database. The thread lists what an export with the same logon
// would find (ListExportObjects: the same kinds, comparisons, order and prefetch), logs off,
// and posts a message to the picker; the picker then takes the rows and how the listing ended.
// Abandon (Cancel, the close box, the picker going away) ends the call the thread waits in and
// lets the window go: nothing is posted after it, and the thread ends by itself.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

#include "export/ExportEngine.h"
#include "framework/Thread.h"

class PickerListing {
public:
    // Starts the listing for params (its interrupt is made here); uMessage goes to hWnd when it
    // is done. Null, with the system's error in nError, when its thread could not be started.
    static std::shared_ptr<PickerListing> Start(ExportParams params, HWND hWnd, UINT uMessage,
                                                const ThreadStarter& startThread, DWORD& nError);

    // After the message: the rows listed (those before a failure included) and the ending.
    void Take(std::vector<ExportObjectId>& objects, ExportEnding& ending);
    // Ends the wait from the window thread without waiting itself; startThread delivers the
    // break.
    void Abandon(const ThreadStarter& startThread);

private:
    PickerListing(ExportParams params, HWND hWnd, UINT uMessage);
    void Run();

    const ExportParams m_params;
    std::mutex m_mutex;
    // Null once abandoned.
    HWND m_hWnd;
    const UINT m_uMessage;
    std::vector<ExportObjectId> m_objects;
    ExportEnding m_ending;
};
