#include "framework/Barrier.h"

#include "platform/Debug.h"

#include <exception>
#include <mutex>

namespace {

// Reached from any thread, the worker's included, and possibly while the process exits:
// made once and never destroyed, so a late recorder never finds it gone.
struct CaughtExceptionSlot {
    std::mutex mutex;
    CString strLast;
};

CaughtExceptionSlot& Slot()
{
    static CaughtExceptionSlot* const pSlot =
        new CaughtExceptionSlot;  // never destroyed, see above
    return *pSlot;
}

CString WhatOfCurrentException()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return CString(e.what());
    } catch (...) {
        return CString("unknown exception");
    }
}

}  // namespace

void RecordCaughtException(const char* pszWhere)
{
    const CString strRecord = CString(pszWhere ? pszWhere : "") + ": " + WhatOfCurrentException();
    DebugOutput(strRecord + "\n");
    CaughtExceptionSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.strLast = strRecord;
}

CString LastCaughtException()
{
    CaughtExceptionSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    return slot.strLast;
}

void ResetCaughtException()
{
    CaughtExceptionSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.strLast.Empty();
}
