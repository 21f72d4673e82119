// The extra exports declared in OciLiteTesting.h: read-outs and run-time settings for tests.
#include "oci-lite/Diagnostics.h"
#include "oci-lite/Handles.h"
#include "oci-lite/Limits.h"
#include "oci-lite/OciLiteTesting.h"

using ocilite::Diagnostics;

extern "C" {

// Tests read the round trips here.
unsigned __cdecl OciLiteRoundTrips(void)
{
    return Diagnostics::Instance().RoundTrips();
}

// Tests read the counted calls here, e.g. to size a failure sweep.
unsigned __cdecl OciLiteCallCount(void)
{
    return Diagnostics::Instance().CallCount();
}

// Tests read the live handles here.
int __cdecl OciLiteLiveHandles(void)
{
    return ocilite::HandleRegistry::Instance().LiveCount();
}

// Tests start a measurement or a sweep step here.
void __cdecl OciLiteResetCounters(void)
{
    Diagnostics::Instance().ResetCounters();
}

// Tests choose the failing call here, at run time.
void __cdecl OciLiteSetFailAt(unsigned n)
{
    Diagnostics::Instance().SetFailAt(n);
}

// Tests set the simulated latency here, at run time.
void __cdecl OciLiteSetRoundTripDelay(unsigned microseconds)
{
    Diagnostics::Instance().SetRoundTripDelay(microseconds);
}

// Tests start and stop the call trace here, at run time.
int __cdecl OciLiteSetTraceFile(const char* path)
{
    return Diagnostics::Instance().SetTraceFile(path) ? 1 : 0;
}

// Tests shorten the time budget of a statement here, at run time.
void __cdecl OciLiteSetQueryTimeout(unsigned milliseconds)
{
    ocilite::Limits::Instance().SetQueryTimeoutMs(milliseconds);
}

// Tests set the simulated server work of each execute and fetch round trip here, at run time.
void __cdecl OciLiteSetServerWork(unsigned microseconds)
{
    Diagnostics::Instance().SetServerWork(microseconds);
}

}  // extern "C"
