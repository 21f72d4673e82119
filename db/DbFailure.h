// DbFailure.h
//
// DbFailure: why a call to the client library failed, captured once, right after the call:
// Oracle's error number (or DbErrorTexts::kLibraryFailure for a failure of the library itself)
// and the text. The connection and the statement throw it inside their exceptions, so a
// catcher has the reason in hand and never asks the shared error handle again.
//
// ReadCallOutcome is the one check of a call's outcome, for the connection and the statement
// alike: the first record of the error handle, read once; a failure status that left no record
// gets a text of our own, so that a failure is never taken for success.
#pragma once

#include "db/DbErrorTexts.h"
#include "db/OciDefs.h"

struct DbFailure {
    DbFailure() { DbErrorTexts::Store(szText, ""); }
    DbFailure(int nErrorCode, const char* pszText) : nCode(nErrorCode)
    {
        DbErrorTexts::Store(szText, pszText);
    }

    // 0: no failure.
    int nCode = 0;
    char szText[DbErrorTexts::kErrorTextSize];
};

// What the connection's and the statement's exceptions carry: the failure as captured right
// after the call. Each of them derives its own type from it, so a catch of one never takes
// the other.
class DbFailureException {
public:
    explicit DbFailureException(const DbFailure& failure) : m_failure(failure) {}
    // The error number (Oracle's, or DbErrorTexts::kLibraryFailure) and text of the call that
    // failed.
    int Code() const { return m_failure.nCode; }
    const char* Text() const { return m_failure.szText; }

private:
    DbFailure m_failure;
};

// The outcome of the call that returned nStatus, with hError as its error handle (may be null);
// nCode 0 when it passed. Api is the entry-point table the call went through.
template <typename Api>
DbFailure ReadCallOutcome(const Api& api, OCIError* hError, sword nStatus,
                          const char* pszEntryPoint)
{
    DbFailure outcome;
    if (hError != nullptr) {
        sb4 nCode = 0;
        api.ErrorGet(hError, 1, &nCode, outcome.szText, DbErrorTexts::kErrorTextSize,
                     OCI_HTYPE_ERROR);
        outcome.szText[DbErrorTexts::kErrorTextSize - 1] = '\0';
        outcome.nCode = nCode;
    }
    if (outcome.nCode != 0)
        return outcome;
    if (nStatus == OCI_ERROR || nStatus == OCI_INVALID_HANDLE)
        return DbFailure(DbErrorTexts::kLibraryFailure,
                         DbErrorTexts::FailedWithoutRecord(pszEntryPoint).c_str());
    return DbFailure();
}

// The reason a call that did not succeed (whatever status it returned) failed: its record, or a
// text of our own when it left none.
template <typename Api>
DbFailure ReadCallFailure(const Api& api, OCIError* hError, const char* pszEntryPoint)
{
    return ReadCallOutcome(api, hError, OCI_ERROR, pszEntryPoint);
}
