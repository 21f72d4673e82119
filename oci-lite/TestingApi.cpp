// The extra exports declared in OciLiteTesting.h: read-outs and run-time settings for tests.
#include "oci-lite/OciLiteTesting.h"

#include "oci-lite/Diagnostics.h"
#include "oci-lite/Handles.h"

using ocilite::Diagnostics;

extern "C" {

unsigned __cdecl OciLiteRoundTrips(void) { return Diagnostics::Instance().RoundTrips(); }

unsigned __cdecl OciLiteCallCount(void) { return Diagnostics::Instance().CallCount(); }

int __cdecl OciLiteLiveHandles(void) { return ocilite::HandleRegistry::Instance().LiveCount(); }

void __cdecl OciLiteResetCounters(void) { Diagnostics::Instance().ResetCounters(); }

void __cdecl OciLiteSetFailAt(unsigned n) { Diagnostics::Instance().SetFailAt(n); }

void __cdecl OciLiteSetRoundTripDelay(unsigned microseconds) {
  Diagnostics::Instance().SetRoundTripDelay(microseconds);
}

int __cdecl OciLiteSetTraceFile(const char* path) {
  return Diagnostics::Instance().SetTraceFile(path) ? 1 : 0;
}

}  // extern "C"
